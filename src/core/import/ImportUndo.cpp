#include "core/import/ImportUndo.h"

#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/messages/ImportMessages.h"
#include "core/import/ImportRules.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <vector>

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

// What a working file holds, in short: "-" when it is missing. The
// sections count in any order: the window stores its shown group on
// showing the catalog again, which moves that group's section to the end
// of the file without changing the catalog.
std::string fingerprint(const std::string& path)
{
    if (!FileExists(path)) {
        return "-";
    }
    const IniFile file(path);
    std::vector<std::string> sections = file.ReadSections();
    std::sort(sections.begin(), sections.end());
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    std::size_t size = 0;
    const auto add = [&](std::string_view text) {
        for (const char c : text) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        hash = (hash ^ 0xFFu) * 1099511628211ull; // ends the text, so "ab"+"c" differs from "a"+"bc"
        size += text.size() + 1;
    };
    for (const std::string& section : sections) {
        add(section);
        for (const auto& [key, value] : file.ReadSectionValues(section)) {
            add(key);
            add(value);
        }
    }
    char text[48];
    std::snprintf(text, sizeof text, "%zu:%016llx", size, static_cast<unsigned long long>(hash));
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
