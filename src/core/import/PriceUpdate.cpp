#include "core/import/PriceUpdate.h"

#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/ImportMessages.h"
#include "core/import/ImportRules.h"
#include "core/import/ImportUndo.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

namespace quillane {

namespace {

void checkChoices(const ImportGrid& grid, const ImportChoices& choices)
{
    const ImportColumns& c = choices.Columns;
    if (c.OrderNo == ImportColumns::kUnset || c.Price == ImportColumns::kUnset) {
        throw Error(
            msg::ImportUpdateColumnMissing,
            {Message{c.OrderNo == ImportColumns::kUnset ? msg::ImportFieldOrderNo : msg::ImportFieldPrice, {}}});
    }
    // Only these two columns count: the others play no part here.
    ImportColumns used;
    used.OrderNo = c.OrderNo;
    used.Price = c.Price;
    CheckColumnsInFile(grid, used);
}

PriceUpdateResult runUpdate(const CatalogStore& store, const ImportGrid& grid, const ImportChoices& choices,
                            const TCountry& home, IniFile& items)
{
    checkChoices(grid, choices);
    PriceUpdateResult result;
    // Each order number's rows in file order: an item takes the first row
    // of its order number that no item before it took.
    std::unordered_map<std::string, std::deque<std::size_t>> rowsOf;
    const RowSpan span = ChosenRows(grid, choices);
    result.Prices = ReadPriceColumn(grid, choices.Columns.Price, span);
    for (std::size_t i = span.First; i < span.End; ++i) {
        const std::string orderNo = CellText(grid.Rows[i], choices.Columns.OrderNo);
        if (!orderNo.empty()) {
            rowsOf[orderNo].push_back(i);
        }
    }
    std::unordered_map<std::string, std::string> pathOf;
    for (const auto& [key, path] : store.GroupEntries()) {
        pathOf.emplace(key, path);
    }

    for (const std::string& section : items.ReadSections()) {
        std::int32_t group = -1;
        const auto path = pathOf.find(section);
        // A section no group names is no part of the catalog.
        if (path == pathOf.end() || !TryParseInteger(section, group) || group < 0) {
            continue;
        }
        for (const auto& [orderNo, value] : items.ReadSectionValues(section)) {
            if (SameText(orderNo, "Versand")) {
                continue;
            }
            ItemFields fields = CatalogStore::SplitItem(value);
            const auto rows = rowsOf.find(orderNo);
            if (rows == rowsOf.end() || rows->second.empty()) {
                result.Discontinued.push_back(
                    DiscontinuedItem{group, path->second, fields.Name, orderNo, fields.Price});
                continue;
            }
            const std::size_t index = rows->second.front();
            rows->second.pop_front();
            result.MatchedRows.push_back(index);
            const GridRow& row = grid.Rows[index];
            std::string price;
            Message reason{msg::Plain, {}};
            if (!ImportPrice(row.Cell(choices.Columns.Price), row.Number(choices.Columns.Price), result.Prices, home,
                             choices.PriceEntryMode, price, reason)) {
                result.Skipped.push_back(SkippedRow{row.Row, Message{msg::ImportKeepsPrice, {reason}}});
                continue;
            }
            fields.Price = price;
            items.WriteString(section, orderNo, CatalogStore::JoinItem(fields));
            ++result.Updated;
        }
    }
    std::sort(result.MatchedRows.begin(), result.MatchedRows.end());
    return result;
}

} // namespace

PriceUpdateResult UpdatePrices(CatalogStore& store, ImportGrid& grid, const ImportChoices& choices,
                               const TCountry& home)
{
    IniFile items(store.ItemsFile());
    PriceUpdateResult result = runUpdate(store, grid, choices, home, items);
    if (items.Modified()) {
        SaveImportUndo(store);
        items.UpdateFile();
        result.Changed = true;
        store.NotifyChanged();
        RefreshAfterImport(store);
        MarkImportDone(store);
    }
    grid.RemoveRows(result.MatchedRows);
    return result;
}

PriceUpdateResult PreviewPriceUpdate(const CatalogStore& store, const ImportGrid& grid, const ImportChoices& choices,
                                     const TCountry& home)
{
    // Written only in memory; the file stays as it is.
    IniFile items(store.ItemsFile());
    return runUpdate(store, grid, choices, home, items);
}

std::size_t RemoveDiscontinued(CatalogStore& store, const std::vector<DiscontinuedItem>& list)
{
    IniFile items(store.ItemsFile());
    std::size_t removed = 0;
    for (const DiscontinuedItem& item : list) {
        const std::string section = std::to_string(item.Group);
        if (item.Group < 0 || item.OrderNo.empty() || SameText(item.OrderNo, "Versand") ||
            !items.ValueExists(section, item.OrderNo)) {
            continue;
        }
        items.DeleteKey(section, item.OrderNo);
        --store.ItemCount;
        ++removed;
    }
    if (removed > 0) {
        SaveImportUndo(store);
        items.UpdateFile();
        store.NotifyChanged();
        RefreshAfterImport(store);
        MarkImportDone(store);
    }
    return removed;
}

} // namespace quillane
