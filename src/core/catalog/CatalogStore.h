#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quillane {

// One line of a section: key and value.
using IniLine = std::pair<std::string, std::string>;

// The catalog of the open project: groups.ini (group paths per language,
// keyed by group number) and shop.tmp (a section per group number with the
// "Versand" line and one line per item) in the working folder, and the
// lists the window draws from. The files are the truth; only the items of
// the shown group are held in memory and written back by SaveGroup.
class CatalogStore {
public:
    // An item value is six fields joined by "|".
    static constexpr int kItemFields = 6;

    explicit CatalogStore(std::string tempDir);

    const std::string& TempDir() const { return tempDir_; }
    std::string GroupsFile() const { return tempDir_ + "groups.ini"; }
    std::string ItemsFile() const { return tempDir_ + "shop.tmp"; }

    // The language whose group names are shown and edited, and the
    // language of the home country.
    void SetLanguages(std::string catalogLanguage, std::string countryLanguage);
    const std::string& CatalogLanguage() const { return catalogLanguage_; }
    const std::string& CountryLanguage() const { return countryLanguage_; }

    // Called whenever an operation changes the project.
    void SetChangeListener(std::function<void()> listener) { onChange_ = std::move(listener); }
    void NotifyChanged();

    // Main group name = "0" (a leaf main group) or its sub group names, each followed by "|".
    std::vector<IniLine> GroupMap;
    std::vector<IniLine> CurrentItems;
    std::string CurrentGroup = "-1";
    std::string CurrentItemKey;
    int ItemCount = 0;

    void Clear();
    void LoadGroups();
    void SyncGroups();
    int GetGroupNum(const std::string& path) const;
    bool IsEmptyGroup(int group) const;
    void LoadGroupItems(int group);
    void SaveGroup();
    void ChangeValue(const std::string& orderNo, int field, const std::string& text);
    void DeleteGroup(int group);
    void MergeGroups(int source, int target);
    // The numbering rule: the smallest number free in the catalog language,
    // with its section in shop.tmp ("Versand" = "0.000") written at once.
    int NewGroupNumber();
    // Writes number = path into the catalog language's section.
    void WriteGroupPath(int group, const std::string& path);

    // The entries of the catalog language's section of groups.ini.
    std::vector<IniLine> GroupEntries() const;

    // Splits an item value into its six fields; missing fields are empty,
    // fields beyond the sixth stay in the last one.
    static std::vector<std::string> ItemFields(const std::string& value);
    static std::string JoinFields(const std::vector<std::string>& fields);
    // Index of the line with this key in CurrentItems, or -1.
    int IndexOfItem(const std::string& orderNo) const;

private:
    std::string tempDir_;
    std::string catalogLanguage_ = "english";
    std::string countryLanguage_ = "english";
    std::function<void()> onChange_;
};

} // namespace quillane
