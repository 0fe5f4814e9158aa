#include "core/import/ImportUndo.h"

#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/messages/ImportMessages.h"
#include "core/import/ImportRules.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace quillane {

namespace {

constexpr const char* kFiles[] = {"groups.ini", "shop.tmp"};

std::string undoDir(const CatalogStore& store)
{
    return store.TempDir() + "import-undo/";
}

std::string manifest(const CatalogStore& store)
{
    return undoDir(store) + "undo.ini";
}

// What a working file holds, in short: "-" when it is missing.
std::string fingerprint(const std::string& path)
{
    std::string content;
    if (!FileExists(path) || !TryReadFile(path, content)) {
        return "-";
    }
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (const char c : content) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%zu:%016llx", content.size(), static_cast<unsigned long long>(hash));
    return text;
}

} // namespace

void SaveImportUndo(const CatalogStore& store)
{
    DiscardImportUndo(store);
    CreateFolder(undoDir(store));
    IniFile saved(manifest(store));
    for (const char* name : kFiles) {
        const std::string path = store.TempDir() + name;
        const bool exists = FileExists(path);
        if (exists) {
            WriteFileAtomic(undoDir(store) + name, ReadFile(path));
        }
        saved.WriteBool("Before", name, exists);
    }
    saved.UpdateFile();
}

void MarkImportDone(const CatalogStore& store)
{
    if (!FileExists(manifest(store))) {
        return;
    }
    IniFile saved(manifest(store));
    for (const char* name : kFiles) {
        saved.WriteString("After", name, fingerprint(store.TempDir() + name));
    }
    saved.UpdateFile();
}

bool ImportUndoAvailable(const CatalogStore& store)
{
    if (!FileExists(manifest(store))) {
        return false;
    }
    const IniFile saved(manifest(store));
    if (!saved.SectionExists("After")) {
        return false;
    }
    for (const char* name : kFiles) {
        if (saved.ReadString("After", name, "") != fingerprint(store.TempDir() + name)) {
            return false;
        }
    }
    return true;
}

void UndoImport(CatalogStore& store)
{
    if (!FileExists(manifest(store)) || !IniFile(manifest(store)).SectionExists("After")) {
        throw Error(msg::ImportNothingToUndo);
    }
    if (!ImportUndoAvailable(store)) {
        throw Error(msg::ImportUndoCatalogChanged);
    }
    const IniFile saved(manifest(store));
    for (const char* name : kFiles) {
        const std::string path = store.TempDir() + name;
        if (saved.ReadBool("Before", name, false)) {
            WriteFileAtomic(path, ReadFile(undoDir(store) + name));
        } else {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
    }
    DiscardImportUndo(store);
    store.NotifyChanged();
    RefreshAfterImport(store);
}

void DiscardImportUndo(const CatalogStore& store)
{
    DeleteFolder(undoDir(store));
}

} // namespace quillane
