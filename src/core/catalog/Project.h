#pragma once

#include "core/settings/AppDirs.h"

#include <functional>
#include <optional>
#include <string>

namespace quillane {

class CatalogStore;
class Prompter;
struct TextTables;

// The shop folder of the project file path once it is opened: projects
// keep their data and shop under Projekte/ by name, wherever the file lies.
std::string ProjectShopDir(const std::string& programDir, const std::string& projectFile);
// The data folder of the project file path in the same way.
std::string ProjectDataDir(const std::string& programDir, const std::string& projectFile);

// The open project: its name and file, its change state, and the
// operations New, Open, recovery, Save and Save As that move the working
// copy in the temp folder to and from the project's files.
class Project {
public:
    // The window's part: the Save As dialog.
    using AskSavePath = std::function<std::optional<std::string>()>;

    Project(TAppDirs& dirs, CatalogStore& store, Prompter& prompter, const TextTables& texts);

    const std::string& Name() const { return name_; }
    const std::string& File() const { return file_; }
    bool Untitled() const { return name_ == kUntitled; }
    // Unsaved changes (the save action is enabled).
    bool Changed() const { return changed_; }
    // A project to generate, view and publish (the shop actions are enabled).
    bool Active() const { return active_; }
    // The window title: "[name.shp] - Quillane", "*" in front while changes are unsaved.
    std::string Title() const;

    // Called after every change of name, change state or activity.
    void SetStateListener(std::function<void()> listener) { onState_ = std::move(listener); }
    void SetAskSavePath(AskSavePath ask) { askSavePath_ = std::move(ask); }

    void Changes(bool changed);
    // Asks whether to save unsaved changes; false when the merchant cancels
    // or the save does not happen.
    bool Pruefen();

    // Starts a new project. fromAction: the merchant asked for it, so the
    // working copy is thrown away; at start-up it stays for recovery.
    // False when the save question was cancelled.
    bool New(bool fromAction);
    // Opens a project file. Throws Error, changing nothing, when the file
    // cannot be read; false when the save question was cancelled.
    bool Open(const std::string& path);
    // Recovery of a run that did not end normally.
    bool RecoveryPending() const;
    void Recover();
    // Clears the working copy the earlier run left.
    void DeclineRecovery();

    enum class Recovery {
        Nothing,   // the earlier run left nothing
        Recovered, // the named project of recovery.dat is open again
        Restored,  // the unsaved untitled catalog is back, counted as changed
        Cleared,   // the leftovers are gone
    };
    // At start-up, after New(false): asks whether to bring back what a run
    // that did not end normally left in the temp folder, the project named
    // in recovery.dat or an untitled catalog that was never saved. A "No"
    // clears it, so it never mixes into the next catalog; leftovers that
    // hold no group (also the data of an untitled project closed without
    // saving) are cleared without a question.
    Recovery OfferRecovery();
    // False when Save As was cancelled. Throws Error when a file cannot be written.
    bool Save();
    void SaveAs(const std::string& path);

    static constexpr const char* kUntitled = "untitled";

private:
    void commonOpenEnd();
    // groups.ini of the working copy holds at least one group.
    bool workingCopyHoldsGroups() const;
    // Working files, or data an untitled project left in the temp folder.
    bool leftoversExist() const;
    // Copies the working copy into the project file and its data folder.
    void writeProject(const std::string& file, const std::string& dataDir);
    void notify();
    std::string projectsDir() const { return dirs_.ProgramDir + "Projekte/"; }

    TAppDirs& dirs_;
    CatalogStore& store_;
    Prompter& prompter_;
    const TextTables& texts_;
    std::string name_ = kUntitled;
    std::string file_;
    bool changed_ = false;
    bool active_ = false;
    std::function<void()> onState_;
    AskSavePath askSavePath_;
};

} // namespace quillane
