#include "core/catalog/Project.h"

#include "core/catalog/CatalogStore.h"
#include "core/catalog/GroupOps.h"
#include "core/catalog/PictureList.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/CatalogMessages.h"
#include "core/i18n/LanguageFile.h"

#include <filesystem>

namespace quillane {

namespace {

// A project name becomes a folder name: it never leaves the projects folder.
std::string safeName(std::string name)
{
    name = name.substr(0, name.find_first_of("\r\n"));
    const std::size_t slash = name.rfind('/');
    if (slash != std::string::npos) {
        name = name.substr(slash + 1);
    }
    if (name.empty() || name == "." || name == "..") {
        return Project::kUntitled;
    }
    return name;
}

// The working copy of the catalog in the temp folder.
constexpr const char* kWorkingFiles[] = {"shop.tmp", "groups.ini", "pictures.ini"};

void removeFile(const std::string& path)
{
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// Copies a working file into the project, never leaving half a file.
void saveCopy(const std::string& from, const std::string& to)
{
    std::string content;
    ReadFailure failure;
    if (!TryReadFile(from, content, &failure)) {
        throw Error(msg::ProjectCannotReadFile, {from, failure.Reason});
    }
    try {
        WriteFileAtomic(to, content);
    } catch (const Error& e) {
        throw Error(msg::ProjectNotSaved, {e.Said()});
    }
}

} // namespace

Project::Project(TAppDirs& dirs, CatalogStore& store, Prompter& prompter, const TextTables& texts)
    : dirs_(dirs), store_(store), prompter_(prompter), texts_(texts)
{
    file_ = dirs_.TempDir + "shop.tmp";
}

std::string Project::Title() const
{
    // A leading "*" marks changes not saved yet.
    const std::string name = Untitled() ? texts_.Notice("Untitled", "[untitled]") : "[" + name_ + ".shp]";
    return (changed_ ? "*" : "") + name + " - Quillane";
}

void Project::notify()
{
    if (onState_) {
        onState_();
    }
}

void Project::Changes(bool changed)
{
    changed_ = changed;
    if (changed) {
        active_ = true;
    }
    notify();
}

bool Project::Pruefen()
{
    if (!changed_) {
        return true;
    }
    const SplitArray parts = Split('#', texts_.MsgBoxTexts[msgbox::kSaveChanges]);
    std::string message = parts[0] + "\"" + name_ + "\"";
    for (std::size_t i = 1; i < parts.size(); ++i) {
        message += parts[i];
    }
    switch (prompter_.Ask("Best\xE4tigung!", message, Prompter::Buttons::YesNoCancel, Prompter::Icon::Question)) {
    case Prompter::Answer::Yes:
        // What could not be saved must not be thrown away.
        return Save();
    case Prompter::Answer::No:
        return true;
    case Prompter::Answer::Cancel:
        break;
    }
    return false;
}

bool Project::New(bool fromAction)
{
    if (!Pruefen()) {
        return false;
    }
    if (fromAction) {
        store_.Clear();
        for (const char* name : {"shop.tmp", "groups.ini", "pictures.ini", "recovery.dat"}) {
            removeFile(dirs_.TempDir + name);
        }
        // Descriptions of the thrown-away untitled project must not reach
        // the next one through Save As.
        DeleteFolder(dirs_.TempDir + "daten/");
    }
    name_ = kUntitled;
    file_ = dirs_.TempDir + "shop.tmp";
    dirs_.DataDir = dirs_.TempDir + "daten/";
    dirs_.ShopDir = dirs_.TempDir + "shop/";
    store_.ItemCount = 0;
    active_ = false;
    CreateFolder(dirs_.DataDir);
    CreateFolder(dirs_.ShopDir);
    Changes(false);
    return true;
}

bool Project::Open(const std::string& path)
{
    std::string content;
    ReadFailure failure;
    if (!TryReadFile(path, content, &failure)) {
        // Opening it empty would let the next Save overwrite the real file.
        throw Error(msg::ProjectFileUnreadable, {path, failure.Reason});
    }
    if (!New(true)) {
        return false;
    }
    file_ = path;
    WriteFileAtomic(dirs_.TempDir + "shop.tmp", content);
    name_ = safeName(BaseNameWithoutExtension(path));
    dirs_.DataDir = projectsDir() + name_ + "/daten/";
    if (FileExists(dirs_.DataDir + "pictures.ini")) {
        ReplaceFile(dirs_.DataDir + "pictures.ini", dirs_.TempDir + "pictures.ini");
    } else {
        ImportPics(dirs_.TempDir, dirs_.DataDir);
    }
    if (FileExists(dirs_.DataDir + "groups.ini")) {
        ReplaceFile(dirs_.DataDir + "groups.ini", dirs_.TempDir + "groups.ini");
    } else {
        ImportGroups(store_, dirs_.DataDir, dirs_.ProgramDir);
    }
    WriteTextFile(dirs_.TempDir + "recovery.dat", name_);
    commonOpenEnd();
    return true;
}

bool Project::RecoveryPending() const
{
    return FileExists(dirs_.TempDir + "recovery.dat");
}

void Project::Recover()
{
    name_ = safeName(Split('\n', ReadFile(dirs_.TempDir + "recovery.dat"))[0]);
    file_ = projectsDir() + name_ + ".shp";
    dirs_.DataDir = projectsDir() + name_ + "/daten/";
    commonOpenEnd();
}

void Project::DeclineRecovery()
{
    for (const char* name : kWorkingFiles) {
        removeFile(dirs_.TempDir + name);
    }
    removeFile(dirs_.TempDir + "recovery.dat");
    // Descriptions and profile of an untitled catalog go with it.
    if (Untitled()) {
        DeleteFolder(dirs_.TempDir + "daten/");
        CreateFolder(dirs_.DataDir);
    }
    store_.Clear();
}

bool Project::leftoversExist() const
{
    for (const char* name : kWorkingFiles) {
        if (FileExists(dirs_.TempDir + name)) {
            return true;
        }
    }
    // Data of an untitled project that was closed without saving.
    std::error_code ec;
    const std::string untitledData = dirs_.TempDir + "daten/";
    return Untitled() && DirectoryExists(untitledData) && !std::filesystem::is_empty(untitledData, ec);
}

bool Project::workingCopyHoldsGroups() const
{
    if (!FileExists(store_.GroupsFile())) {
        return false;
    }
    const IniFile groups(store_.GroupsFile());
    for (const std::string& section : groups.ReadSections()) {
        if (!groups.ReadSection(section).empty()) {
            return true;
        }
    }
    return false;
}

Project::Recovery Project::OfferRecovery()
{
    const bool named = RecoveryPending();
    if (!named && !workingCopyHoldsGroups()) {
        if (!leftoversExist()) {
            return Recovery::Nothing;
        }
        DeclineRecovery();
        return Recovery::Cleared;
    }
    const Prompter::Answer answer = prompter_.Ask("Recover?", MessageLines(texts_.MsgBoxTexts[msgbox::kRecover]),
                                                  Prompter::Buttons::YesNo, Prompter::Icon::Warning);
    if (answer != Prompter::Answer::Yes) {
        DeclineRecovery();
        return Recovery::Cleared;
    }
    if (named) {
        Recover();
        return Recovery::Recovered;
    }
    // The untitled project of New(false) takes the catalog as it was left;
    // it was saved nowhere, so it counts as changed.
    store_.Clear();
    store_.LoadGroups();
    Changes(true);
    return Recovery::Restored;
}

std::string ProjectShopDir(const std::string& programDir, const std::string& projectFile)
{
    return IncludeTrailingSlash(programDir) + "Projekte/" + safeName(BaseNameWithoutExtension(projectFile)) + "/shop/";
}

std::string ProjectDataDir(const std::string& programDir, const std::string& projectFile)
{
    return IncludeTrailingSlash(programDir) + "Projekte/" + safeName(BaseNameWithoutExtension(projectFile)) + "/daten/";
}

void Project::commonOpenEnd()
{
    dirs_.ShopDir = projectsDir() + name_ + "/shop/";
    store_.ItemCount = 0;
    active_ = true;
    store_.LoadGroups();
    Changes(false);
}

bool Project::Save()
{
    if (Untitled()) {
        const std::optional<std::string> path = askSavePath_ ? askSavePath_() : std::nullopt;
        if (!path) {
            return false; // nothing was saved, so the project stays changed
        }
        SaveAs(*path);
        return true;
    }
    writeProject(file_, dirs_.DataDir);
    Changes(false);
    return true;
}

void Project::writeProject(const std::string& file, const std::string& dataDir)
{
    const std::string items = dirs_.TempDir + "shop.tmp";
    if (FileExists(items)) {
        saveCopy(items, file);
    } else {
        WriteFileAtomic(file, "");
    }
    CreateFolder(dataDir);
    for (const char* name : {"groups.ini", "pictures.ini"}) {
        if (FileExists(dirs_.TempDir + name)) {
            saveCopy(dirs_.TempDir + name, dataDir + name);
        }
    }
}

void Project::SaveAs(const std::string& path)
{
    const std::string name = safeName(BaseNameWithoutExtension(path));
    const std::string base = projectsDir() + name;
    const std::string dataDir = base + "/daten/";
    CreateFolder(base);
    const std::string& oldDataDir = dirs_.DataDir;
    if (ExcludeTrailingSlash(oldDataDir) != ExcludeTrailingSlash(dataDir) && DirectoryExists(oldDataDir) &&
        !CopyFolder(oldDataDir, base)) {
        throw Error(msg::ProjectCannotCopyFolder, {oldDataDir, base});
    }
    // Written straight, not through Save: a project saved as "untitled"
    // would otherwise ask for a name again. The project takes the new name
    // only once all is written, so a failed Save As leaves it as it was.
    writeProject(path, dataDir);
    file_ = path;
    name_ = name;
    dirs_.DataDir = dataDir;
    dirs_.ShopDir = base + "/shop/";
    // The working copy now belongs to this name, also for a recovery.
    WriteTextFile(dirs_.TempDir + "recovery.dat", name_);
    Changes(false);
}

} // namespace quillane
