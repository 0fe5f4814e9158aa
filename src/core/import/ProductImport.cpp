#include "core/import/ProductImport.h"

#include "core/catalog/CatalogStore.h"
#include "core/catalog/GroupOps.h"
#include "core/catalog/ItemOps.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/ImportMessages.h"
#include "core/import/ImportRules.h"
#include "core/import/ImportUndo.h"

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace quillane {

namespace {

// Creating a group asks nothing; only a merge would.
class NoQuestions : public Prompter {
public:
    Answer Ask(const std::string&, const std::string&, Buttons, Icon) override { return Answer::No; }
    void Tell(const std::string&, const std::string&) override {}
};

// The group path as the catalog stores it (blanks around its names
// dropped), or false with the reason it cannot be stored.
bool tidyGroupPath(std::string& path, Message& reason)
{
    const SplitArray parts = Split('|', path);
    const auto refuse = [&](MessageKey key) {
        // "|" stands in a value: in a message's text it breaks the line.
        reason = Message{key, {path, "|"}};
        return false;
    };
    if (parts.size() > 2) {
        return refuse(msg::ImportGroupTooDeep);
    }
    std::string tidy;
    for (const std::string& part : parts) {
        const std::string name(TrimBlanks(part));
        if (name.empty()) {
            return refuse(msg::ImportGroupEmptyName);
        }
        if (name.find_first_of("\r\n") != std::string::npos) {
            return refuse(msg::ImportGroupLineBreak);
        }
        if (HasControlChar(name)) {
            return refuse(msg::ImportGroupControlChar);
        }
        tidy += (tidy.empty() ? "" : "|") + name;
    }
    // The group map keeps main groups as name=value lines.
    if (const std::string main(TrimBlanks(parts[0])); main.find('=') != std::string::npos) {
        reason = Message{msg::ImportMainGroupEquals, {main}};
        return false;
    }
    path = tidy;
    return true;
}

bool nameProblem(const std::string& name, Message& reason)
{
    if (name.find('|') != std::string::npos) {
        reason = Message{msg::ImportNameBar, {name, "|"}};
    } else if (name.find_first_of("\r\n") != std::string::npos) {
        reason = Message{msg::ImportNameLineBreak, {name}};
    } else if (HasControlChar(name)) {
        reason = Message{msg::ImportNameControlChar, {name}};
    } else {
        return false;
    }
    return true;
}

void checkChoices(const ImportGrid& grid, const ImportChoices& choices)
{
    const ImportColumns& c = choices.Columns;
    const std::pair<std::size_t, MessageKey> roles[] = {{c.Group, msg::ImportFieldGroup},
                                                        {c.Name, msg::ImportFieldName},
                                                        {c.OrderNo, msg::ImportFieldOrderNo},
                                                        {c.Price, msg::ImportFieldPrice}};
    for (const auto& [column, role] : roles) {
        if (column == ImportColumns::kUnset) {
            throw Error(msg::ImportColumnMissing, {Message{role, {}}});
        }
    }
    CheckColumnsInFile(grid, c);
    if (!choices.SubGroup.empty() && choices.MainGroup.empty()) {
        throw Error(msg::ImportSubWithoutMain, {choices.SubGroup});
    }
    for (const std::string& name : {choices.MainGroup, choices.SubGroup}) {
        std::string path = name;
        Message reason{msg::ImportGroupNameBar, {name, "|"}};
        if (!name.empty() && (name.find('|') != std::string::npos || !tidyGroupPath(path, reason))) {
            throw Error(reason);
        }
    }
}

// The groups as the import sees them while it goes: the catalog's groups,
// and the changes that creating a group makes, so that a preview counts
// what the import will do. Creating a group follows the group tree's rule:
// a sub group of a main group that holds items turns those items into a
// sub group of the main group's name; a sub group of an empty main group
// takes the main group's number.
class GroupModel {
public:
    // Creates the group in the catalog and gives its number; not set for a preview.
    using Creator = std::function<int(const std::string& path)>;

    GroupModel(const std::vector<IniLine>& entries, std::function<const IniFile&()> items, bool countAdded)
        : items_(std::move(items)), countAdded_(countAdded)
    {
        for (const auto& [key, path] : entries) {
            std::int32_t number = -1;
            if (TryParseInteger(key, number) && number >= 0) {
                numberOf_.emplace(path, number);
                const SplitArray parts = Split('|', path);
                if (parts.size() > 1) {
                    mainsWithSubs_.insert(parts[0]);
                }
            }
        }
    }

    // Items of a main group that has sub groups go where its own items went.
    std::string Target(const std::string& path) const
    {
        return path.find('|') == std::string::npos && mainsWithSubs_.count(path) != 0 ? path + "|" + path : path;
    }

    int Ensure(const std::string& path, const Creator& create)
    {
        if (const auto known = numberOf_.find(path); known != numberOf_.end()) {
            return known->second;
        }
        const SplitArray parts = Split('|', path);
        int suggested = -1;
        if (parts.size() == 2) {
            if (const auto main = numberOf_.find(parts[0]); main != numberOf_.end()) {
                const int mainNum = main->second;
                numberOf_.erase(main);
                if (empty(mainNum)) {
                    suggested = mainNum;
                } else {
                    numberOf_.emplace(parts[0] + "|" + parts[0], mainNum);
                }
            }
            mainsWithSubs_.insert(parts[0]);
        }
        const int id = create ? create(path) : (suggested >= 0 ? suggested : nextNew_--);
        numberOf_[path] = id;
        return id;
    }

    bool HasKey(int id, const std::string& key) const
    {
        if (id >= 0 && items_().ValueExists(std::to_string(id), key)) {
            return true;
        }
        const auto added = added_.find(id);
        return added != added_.end() && added->second.count(UpperCase(key)) != 0;
    }

    void AddKey(int id, const std::string& key)
    {
        if (countAdded_) {
            added_[id].insert(UpperCase(key));
        }
    }

private:
    // As IsEmptyGroup: nothing but the "Versand" line.
    bool empty(int id) const
    {
        const auto added = added_.find(id);
        const std::size_t more = added == added_.end() ? 0 : added->second.size();
        return items_().ReadSection(std::to_string(id)).size() + more < 2;
    }

    std::function<const IniFile&()> items_;
    bool countAdded_;
    std::unordered_map<std::string, int> numberOf_;
    std::unordered_set<std::string> mainsWithSubs_;
    // Keys a preview added, by group (upper case: keys match without regard to case).
    std::unordered_map<int, std::unordered_set<std::string>> added_;
    int nextNew_ = -2; // groups a preview creates
};

ImportResult runImport(CatalogStore* writable, const CatalogStore& store, const ImportGrid& grid,
                       const ImportChoices& choices, const TCountry& home)
{
    checkChoices(grid, choices);
    const bool preview = writable == nullptr;
    ImportResult result;
    const RowSpan span = ChosenRows(grid, choices);
    result.Prices = ReadPriceColumn(grid, choices.Columns.Price, span);
    auto items = std::make_unique<IniFile>(store.ItemsFile());
    GroupModel model(
        store.GroupEntries(), [&items]() -> const IniFile& { return *items; }, preview);

    NoQuestions prompter;
    std::optional<GroupOps> ops;
    bool written = false;
    const auto beforeWrite = [&] {
        if (!written) {
            SaveImportUndo(store);
            written = true;
        }
    };
    GroupModel::Creator create;
    if (!preview) {
        ops.emplace(*writable, prompter, std::string());
        create = [&](const std::string& path) {
            beforeWrite();
            const SplitArray parts = Split('|', path);
            // Only a sub group of a leaf main group makes the group operation
            // look at items (is the main group empty?): it gets what was
            // imported so far. Writing the items file for every new group
            // would make an import of many groups slow.
            const bool looksAtItems = parts.size() == 2 && store.GetGroupNum(parts[0]) != -1;
            if (looksAtItems) {
                if (items->Modified()) {
                    items->UpdateFile();
                }
                items.reset();
            }
            ops->ChangeGroup("", path);
            const int number = store.GetGroupNum(path);
            if (looksAtItems) {
                items = std::make_unique<IniFile>(store.ItemsFile());
            } else {
                // The group took a new number, whose section the group
                // operation wrote to the file; the copy in memory, which
                // replaces the file, gets it as well.
                const std::string section = std::to_string(number);
                items->EraseSection(section);
                items->WriteString(section, "Versand", "0.000");
            }
            return number;
        };
    }

    const ImportColumns& columns = choices.Columns;
    std::string group;               // the path of the rows' group so far
    std::optional<Message> badGroup; // why the last group cell could not be used
    for (std::size_t i = span.First; i < span.End; ++i) {
        const GridRow& row = grid.Rows[i];
        // A value's line breaks spelled out keep each reason on one line.
        const auto skip = [&](const Message& reason) { result.Skipped.push_back(SkippedRow{row.Row, reason}); };
        const std::string groupCell = CellText(row, columns.Group);
        Message reason{msg::Plain, {}};
        if (!groupCell.empty()) {
            std::string path = choices.MainGroup.empty()  ? groupCell
                               : choices.SubGroup.empty() ? choices.MainGroup + "|" + groupCell
                                                          : choices.MainGroup + "|" + choices.SubGroup;
            if (!tidyGroupPath(path, reason)) {
                group.clear();
                badGroup = reason;
                skip(reason);
                continue;
            }
            group = path;
            badGroup.reset();
        } else if (group.empty()) {
            skip(badGroup ? Message{msg::ImportGroupBeforeUnusable, {*badGroup}} : Message{msg::ImportNoGroup, {}});
            continue;
        }
        const std::string name = CellText(row, columns.Name);
        const std::string orderNo = CellText(row, columns.OrderNo);
        if (name.empty() || orderNo.empty()) {
            skip(Message{name.empty() && orderNo.empty() ? msg::ImportNoNameNoOrderNo
                         : name.empty()                  ? msg::ImportNoName
                                                         : msg::ImportNoOrderNo,
                         {}});
            continue;
        }
        try {
            CheckOrderNumber(orderNo);
        } catch (const Error& e) {
            skip(e.Said());
            continue;
        }
        if (SameText(orderNo, "Versand")) {
            skip(Message{msg::ImportOrderNoVersand, {}});
            continue;
        }
        std::string price;
        if (nameProblem(name, reason) || !ImportPrice(row.Cell(columns.Price), row.Number(columns.Price), result.Prices,
                                                      home, choices.PriceEntryMode, price, reason)) {
            skip(reason);
            continue;
        }
        std::string value = name + "|" + price + "||||";
        if (value.size() > IniFile::kMaxValueLength) {
            skip(Message{msg::ImportNameTooLong, {IniFile::kMaxValueLength - price.size() - 5}});
            continue;
        }
        const int id = model.Ensure(model.Target(group), create);
        if (model.HasKey(id, orderNo)) {
            ++result.Replaced;
            if (!preview) {
                // The merchant ticked the discount levels by hand; the file knows none.
                const std::string section = std::to_string(id);
                ItemFields fields = CatalogStore::SplitItem(items->ReadString(section, orderNo, ""));
                if (!fields.Discounts.empty()) {
                    const std::string kept = name + "|" + price + "||" + fields.Discounts + "||";
                    value = kept.size() <= IniFile::kMaxValueLength ? kept : value;
                }
            }
        } else {
            ++result.Added;
            model.AddKey(id, orderNo);
        }
        if (!preview) {
            items->WriteString(std::to_string(id), orderNo, value);
        }
    }
    if (!preview && items->Modified()) {
        beforeWrite();
        items->UpdateFile();
    }
    if (written) {
        result.Changed = true;
        writable->NotifyChanged();
        RefreshAfterImport(*writable);
        MarkImportDone(store);
    }
    return result;
}

} // namespace

ImportResult ImportRows(CatalogStore& store, const ImportGrid& grid, const ImportChoices& choices, const TCountry& home)
{
    return runImport(&store, store, grid, choices, home);
}

ImportResult PreviewImport(const CatalogStore& store, const ImportGrid& grid, const ImportChoices& choices,
                           const TCountry& home)
{
    return runImport(nullptr, store, grid, choices, home);
}

} // namespace quillane
