#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quillane {

// One line of a section: key and value.
using IniLine = std::pair<std::string, std::string>;

// The fields of an item value, stored joined by "|".
struct ItemFields {
    std::string Name;
    std::string Price;     // net euro price as stored
    std::string Picture;   // number of the primary picture; empty means the first
    std::string Discounts; // ticked discount levels
    std::string Shown;     // "0" keeps the item out of the shop
    std::string Rest;      // the sixth field and whatever follows it, kept as read

    bool operator==(const ItemFields&) const = default;
};

// The catalog of the open project: groups.ini (group paths per language,
// keyed by group number) and shop.tmp (a section per group number with the
// "Versand" line and one line per item) in the working folder, and the
// lists the window draws from. The files are the truth; only the items of
// the shown group are held in memory and written back by SaveGroup.
class CatalogStore {
public:
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
    void ChangeValue(const std::string& orderNo, std::string ItemFields::*field, const std::string& text);
    void DeleteGroup(int group);
    void MergeGroups(int source, int target);
    // The numbering rule: the smallest number free in the catalog language,
    // with its section in shop.tmp ("Versand" = "0.000") written at once.
    int NewGroupNumber();
    // Writes number = path into the catalog language's section.
    void WriteGroupPath(int group, const std::string& path);

    // The entries of the catalog language's section of groups.ini.
    std::vector<IniLine> GroupEntries() const;

    // Splits an item value into its fields; missing fields are empty, and
    // what follows the fifth "|" stays in Rest.
    static ItemFields SplitItem(const std::string& value);
    static std::string JoinItem(const ItemFields& fields);
    // Index of the line with this key in CurrentItems, or -1.
    int IndexOfItem(const std::string& orderNo) const;

private:
    std::string tempDir_;
    std::string catalogLanguage_ = "english";
    std::string countryLanguage_ = "english";
    std::function<void()> onChange_;
};

} // namespace quillane
