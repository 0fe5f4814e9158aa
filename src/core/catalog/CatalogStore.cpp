#include "core/catalog/CatalogStore.h"

#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"

#include <algorithm>
#include <set>

namespace quillane {

namespace {

constexpr std::string_view kVersand = "Versand";

bool isVersand(const std::string& key)
{
    return SameText(key, kVersand);
}

} // namespace

CatalogStore::CatalogStore(std::string tempDir) : tempDir_(std::move(tempDir)) {}

void CatalogStore::SetLanguages(std::string catalogLanguage, std::string countryLanguage)
{
    catalogLanguage_ = std::move(catalogLanguage);
    countryLanguage_ = std::move(countryLanguage);
}

void CatalogStore::NotifyChanged()
{
    if (onChange_) {
        onChange_();
    }
}

void CatalogStore::Clear()
{
    GroupMap.clear();
    CurrentItems.clear();
    CurrentGroup = "-1";
    CurrentItemKey.clear();
    ItemCount = 0;
}

std::vector<IniLine> CatalogStore::GroupEntries() const
{
    return IniFile(GroupsFile()).ReadSectionValues(catalogLanguage_);
}

void CatalogStore::LoadGroups()
{
    if (!FileExists(GroupsFile())) {
        return;
    }
    ItemCount = 0;
    GroupMap.clear();
    {
        IniFile groups(GroupsFile());
        if (!groups.SectionExists(catalogLanguage_)) {
            // A language without names of its own starts as a copy of the country language.
            for (const auto& [key, value] : groups.ReadSectionValues(countryLanguage_)) {
                groups.WriteString(catalogLanguage_, key, value);
            }
            groups.UpdateFile();
        }
    }
    SyncGroups();
    // Read after the sync, so groups added meanwhile in the country language
    // show and their items are counted at once.
    const std::vector<IniLine> entries = GroupEntries();

    const IniFile items(ItemsFile());
    for (const auto& [key, value] : entries) {
        const SplitArray parts = Split('|', value);
        auto main =
            std::find_if(GroupMap.begin(), GroupMap.end(), [&](const IniLine& l) { return l.first == parts[0]; });
        if (main == GroupMap.end()) {
            GroupMap.emplace_back(parts[0], "");
            main = GroupMap.end() - 1;
        }
        if (parts.size() == 1) {
            main->second = "0";
        } else {
            main->second += parts[1] + "|";
        }
        const int keys = static_cast<int>(items.ReadSection(key).size());
        ItemCount += std::max(0, keys - 1);
    }
}

void CatalogStore::SyncGroups()
{
    IniFile groups(GroupsFile());
    const std::vector<IniLine> country = groups.ReadSectionValues(countryLanguage_);
    for (const std::string& section : groups.ReadSections()) {
        if (section == countryLanguage_) {
            continue;
        }
        for (const auto& [key, value] : country) {
            if (!groups.ValueExists(section, key)) {
                groups.WriteString(section, key, value);
            }
        }
    }
    if (groups.Modified()) {
        groups.UpdateFile();
    }
}

int CatalogStore::GetGroupNum(const std::string& path) const
{
    for (const auto& [key, value] : GroupEntries()) {
        std::int32_t number = -1;
        if (value == path && TryParseInteger(key, number) && number >= 0) {
            return number;
        }
    }
    return -1;
}

bool CatalogStore::IsEmptyGroup(int group) const
{
    return IniFile(ItemsFile()).ReadSection(std::to_string(group)).size() < 2;
}

void CatalogStore::LoadGroupItems(int group)
{
    CurrentGroup = std::to_string(group);
    CurrentItems = IniFile(ItemsFile()).ReadSectionValues(CurrentGroup);
    // The list's rows count from the "Versand" line, so it must stand first.
    const auto versand =
        std::find_if(CurrentItems.begin(), CurrentItems.end(), [](const IniLine& l) { return isVersand(l.first); });
    if (versand == CurrentItems.end()) {
        CurrentItems.insert(CurrentItems.begin(), IniLine(std::string(kVersand), "0.000"));
    } else if (versand != CurrentItems.begin()) {
        std::rotate(CurrentItems.begin(), versand, versand + 1);
    }
}

void CatalogStore::SaveGroup()
{
    if (CurrentItems.empty()) {
        return;
    }
    IniFile items(ItemsFile());
    const std::string stored = items.ReadString(CurrentGroup, kVersand, "");
    items.EraseSection(CurrentGroup);
    if (CurrentGroup != "-1") {
        items.WriteString(CurrentGroup, kVersand, stored);
        for (const auto& [key, value] : CurrentItems) {
            items.WriteString(CurrentGroup, key, value);
        }
    }
    items.UpdateFile();
}

ItemFields CatalogStore::SplitItem(const std::string& value)
{
    ItemFields fields;
    std::string* const order[] = {&fields.Name,      &fields.Price, &fields.Picture,
                                  &fields.Discounts, &fields.Shown, &fields.Rest};
    std::size_t pos = 0;
    for (std::string* field : order) {
        const std::size_t bar = field == &fields.Rest ? std::string::npos : value.find('|', pos);
        if (bar == std::string::npos) {
            *field = value.substr(pos);
            break;
        }
        *field = value.substr(pos, bar - pos);
        pos = bar + 1;
    }
    return fields;
}

std::string CatalogStore::JoinItem(const ItemFields& fields)
{
    return fields.Name + '|' + fields.Price + '|' + fields.Picture + '|' + fields.Discounts + '|' + fields.Shown + '|' +
           fields.Rest;
}

int CatalogStore::IndexOfItem(const std::string& orderNo) const
{
    for (std::size_t i = 0; i < CurrentItems.size(); ++i) {
        if (SameText(CurrentItems[i].first, orderNo)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void CatalogStore::ChangeValue(const std::string& orderNo, std::string ItemFields::*field, const std::string& text)
{
    const int index = IndexOfItem(orderNo);
    if (index < 0) {
        return;
    }
    ItemFields fields = SplitItem(CurrentItems[index].second);
    fields.*field = text;
    CurrentItems[index].second = JoinItem(fields);
    NotifyChanged();
    SaveGroup();
}

void CatalogStore::DeleteGroup(int group)
{
    CurrentItems.clear();
    // Nothing may be stored into the deleted group's section afterwards.
    if (CurrentGroup == std::to_string(group)) {
        CurrentGroup = "-1";
    }
    const std::string key = std::to_string(group);
    {
        IniFile groups(GroupsFile());
        for (const std::string& section : groups.ReadSections()) {
            groups.DeleteKey(section, key);
        }
        groups.UpdateFile();
    }
    IniFile items(ItemsFile());
    for (const std::string& k : items.ReadSection(key)) {
        if (!isVersand(k)) {
            --ItemCount;
        }
    }
    items.EraseSection(key);
    items.UpdateFile();
}

void CatalogStore::MergeGroups(int source, int target)
{
    const std::string from = std::to_string(source);
    const std::string to = std::to_string(target);
    {
        IniFile items(ItemsFile());
        for (const auto& [key, value] : items.ReadSectionValues(from)) {
            if (isVersand(key)) {
                continue;
            }
            if (items.ValueExists(to, key)) {
                --ItemCount; // the source item replaces one of the same order number
            }
            items.WriteString(to, key, value);
        }
        items.UpdateFile();
    }
    // The merged items stay counted: take them out of the source's count first.
    const int moved = static_cast<int>(IniFile(ItemsFile()).ReadSection(from).size()) - 1;
    ItemCount += std::max(0, moved);
    DeleteGroup(source);
}

int CatalogStore::NewGroupNumber()
{
    std::set<int> used;
    for (const auto& [key, value] : GroupEntries()) {
        std::int32_t n = -1;
        if (TryParseInteger(key, n)) {
            used.insert(n);
        }
    }
    int number = 0;
    while (used.count(number) != 0) {
        ++number;
    }
    IniFile items(ItemsFile());
    const std::string section = std::to_string(number);
    items.EraseSection(section);
    items.WriteString(section, kVersand, "0.000");
    items.UpdateFile();
    return number;
}

void CatalogStore::WriteGroupPath(int group, const std::string& path)
{
    IniFile groups(GroupsFile());
    groups.WriteString(catalogLanguage_, std::to_string(group), path);
    groups.UpdateFile();
}

} // namespace quillane
