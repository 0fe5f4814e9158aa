#pragma once

#include <string>
#include <vector>

namespace quillane {

class CatalogStore;
class Prompter;

// Group operations on the catalog store. Paths are a main group's name, or
// main group name, "|" and sub group name. The window redraws the tree from
// the store after each of them.
class GroupOps {
public:
    // mergeQuestion: the text of the "Merge Groups?" question ("|" = line break).
    GroupOps(CatalogStore& store, Prompter& prompter, std::string mergeQuestion);

    enum class Result { Created, Renamed, Merged, Declined, Unchanged };

    // The question follows the interface language.
    void SetMergeQuestion(std::string question) { mergeQuestion_ = std::move(question); }

    // Creates, renames or moves a group, or merges it into an existing one.
    Result ChangeGroup(const std::string& oldPath, const std::string& newPath);

    // Enter in the main-group field (sub empty) or the sub-group field.
    // Empty names are ignored; false when nothing was added.
    bool AddGroup(const std::string& mainName, const std::string& subName, bool inSubField);

    // A label was edited. subName empty: a main group.
    void RenameGroup(const std::string& mainName, const std::string& subName, const std::string& newName);
    // Deletes a sub group, or a main group with all its sub groups.
    void DeleteGroupNode(const std::string& mainName, const std::string& subName);
    // Makes a sub group a main group.
    void MakeMainGroup(const std::string& mainName, const std::string& subName);
    // Drops a group onto the main group target.
    void DropGroup(const std::string& mainName, const std::string& subName, const std::string& target);
    // Stores the shipping surcharge of the shown group, typed in the home
    // currency; empty is no surcharge. Throws Error, storing nothing, when
    // the text is no amount or the surcharge is beyond kMaxAmount.
    void SetSurcharge(const std::string& typed, double homeRate);

    // The items of a sub group, or of a main group with all its sub groups,
    // the shown group's as they stand unsaved.
    int ItemsIn(const std::string& mainName, const std::string& subName) const;

    // Sub group names of a main group in the group map ("0" entries left out).
    std::vector<std::string> SubGroups(const std::string& mainName) const;

private:
    CatalogStore& store_;
    Prompter& prompter_;
    std::string mergeQuestion_;
};

// Turns the items file of an older project, whose sections are named by
// group path, into numbered groups; moves the older descriptions and texts
// into the catalog language's files.
void ImportGroups(CatalogStore& store, const std::string& dataDir, const std::string& programDir);

} // namespace quillane
