#include "core/import/ProductImport.h"

#include "core/catalog/CatalogStore.h"
#include "core/catalog/GroupOps.h"
#include "core/catalog/ItemOps.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
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

std::string quote(const std::string& text)
{
    return "\"" + text + "\"";
}

// The group path as the catalog stores it (blanks around its names
// dropped), or false with the reason it cannot be stored.
bool tidyGroupPath(std::string& path, std::string& reason)
{
    const SplitArray parts = Split('|', path);
    const std::string what = "The product group " + quote(path);
    if (parts.size() > 2) {
        reason = what + " has more than two levels. A group is a main group, or a main group, \"|\" and a sub group.";
        return false;
    }
    std::string tidy;
    for (const std::string& part : parts) {
        const std::string name(TrimBlanks(part));
        if (name.empty()) {
            reason = what + " has an empty group name.";
            return false;
        }
        if (name.find_first_of("\r\n") != std::string::npos) {
            reason = what + " holds a line break. A group name is one line.";
            return false;
        }
        if (HasControlChar(name)) {
            reason = what + " holds a control character.";
            return false;
        }
        tidy += (tidy.empty() ? "" : "|") + name;
    }
    // The group map keeps main groups as name=value lines.
    if (const std::string main(TrimBlanks(parts[0])); main.find('=') != std::string::npos) {
        reason = "The main group " + quote(main) + " contains \"=\". Main group names may not contain \"=\".";
        return false;
    }
    path = tidy;
    return true;
}

bool nameProblem(const std::string& name, std::string& reason)
{
    if (name.find('|') != std::string::npos) {
        reason = "The name " + quote(name) + " contains \"|\", which separates the fields of an item.";
    } else if (name.find_first_of("\r\n") != std::string::npos) {
        reason = "The name " + quote(name) + " holds a line break. A name is one line.";
    } else if (HasControlChar(name)) {
        reason = "The name " + quote(name) + " holds a control character.";
    } else {
        return false;
    }
    return true;
}

void checkChoices(const ImportChoices& choices)
{
    const ImportColumns& c = choices.Columns;
    std::string missing;
    const std::pair<std::size_t, const char*> roles[] = {
        {c.Group, "product group"}, {c.Name, "name"}, {c.OrderNo, "order number"}, {c.Price, "price"}};
    for (const auto& [column, role] : roles) {
        if (column == ImportColumns::kUnset) {
            missing += (missing.empty() ? "" : ", ") + std::string(role);
        }
    }
    if (!missing.empty()) {
        throw Error("Choose the column of each field before importing; missing: " + missing + ".");
    }
    if (!choices.SubGroup.empty() && choices.MainGroup.empty()) {
        throw Error("The sub group " + quote(choices.SubGroup) + " was chosen without its main group.");
    }
    std::string reason;
    for (const std::string& name : {choices.MainGroup, choices.SubGroup}) {
        std::string path = name;
        if (!name.empty() && (name.find('|') != std::string::npos || !tidyGroupPath(path, reason))) {
            throw Error(reason.empty() ? "The group name " + quote(name) + " contains \"|\"." : reason);
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
    checkChoices(choices);
    const bool preview = writable == nullptr;
    ImportResult result;
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
    std::string group;    // the path of the rows' group so far
    std::string badGroup; // why the last group cell could not be used
    const RowSpan span = ChosenRows(grid, choices);
    for (std::size_t i = span.First; i < span.End; ++i) {
        const GridRow& row = grid.Rows[i];
        // A value's line breaks spelled out keep each reason on one line.
        const auto skip = [&](const std::string& reason) {
            result.Skipped.push_back(SkippedRow{row.Row, VisibleControlChars(reason)});
        };
        const std::string groupCell = CellText(row, columns.Group);
        std::string reason;
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
            badGroup.clear();
        } else if (group.empty()) {
            skip(badGroup.empty()
                     ? "No product group in this row or a row before it."
                     : "It belongs to the product group of the rows before it, which cannot be used. " + badGroup);
            continue;
        }
        const std::string name = CellText(row, columns.Name);
        const std::string orderNo = CellText(row, columns.OrderNo);
        if (name.empty() || orderNo.empty()) {
            skip(name.empty() && orderNo.empty() ? "No name and no order number."
                 : name.empty()                  ? "No name."
                                                 : "No order number.");
            continue;
        }
        try {
            CheckOrderNumber(orderNo);
        } catch (const Error& e) {
            skip(e.what());
            continue;
        }
        if (SameText(orderNo, "Versand")) {
            skip("The order number \"Versand\" is taken by the group's shipping surcharge.");
            continue;
        }
        std::string price;
        if (nameProblem(name, reason) ||
            !ImportPrice(row.Cell(columns.Price), home, choices.PriceEntryMode, price, reason)) {
            skip(reason);
            continue;
        }
        const std::string value = name + "|" + price + "||||";
        if (value.size() > IniFile::kMaxValueLength) {
            skip("The name is longer than the catalog file can hold (" +
                 std::to_string(IniFile::kMaxValueLength - price.size() - 5) + " characters).");
            continue;
        }
        const int id = model.Ensure(model.Target(group), create);
        if (model.HasKey(id, orderNo)) {
            ++result.Replaced;
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
