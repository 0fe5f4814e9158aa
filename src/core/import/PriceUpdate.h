#pragma once

#include "core/import/ImportChoices.h"
#include "core/import/ImportGrid.h"
#include "core/import/ImportRules.h"
#include "core/settings/Country.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quillane {

class CatalogStore;

// A catalog item that no row of the file holds any more.
struct DiscontinuedItem {
    int Group = -1;        // its group's number
    std::string GroupPath; // "Main" or "Main|Sub", as the catalog language names it
    std::string Name;
    std::string OrderNo;
    std::string Price; // the stored net price in euro

    bool operator==(const DiscontinuedItem&) const = default;
};

struct PriceUpdateResult {
    std::size_t Updated = 0; // items whose price was taken from the file
    // Rows that matched an item but whose price could not be taken; the
    // item keeps its price.
    std::vector<SkippedRow> Skipped;
    // Items no row matched, by group in the catalog file's order.
    std::vector<DiscontinuedItem> Discontinued;
    // The indices into ImportGrid::Rows (before removal) of the rows that
    // matched an item, ascending.
    std::vector<std::size_t> MatchedRows;
    PriceColumnReading Prices; // how the price column was read
    bool Changed = false;      // the catalog was written (never for a preview)
};

// Updates the prices of the catalog's items from the chosen rows: for every
// item of every group, the first row (in the row range) whose order number
// cell equals the item's order number exactly, each row matching one item
// only. The matched item keeps its name and other fields and takes the
// row's price as the import computes it. The matched rows are removed from
// the grid, so it keeps the new items, which ImportRows can take next.
// The product group, name and sub group choices play no part.
//
// Saves the working copy aside first (ImportUndo.h) and reports a change to
// the store's listener. Throws Error, writing nothing, when the order
// number or price column is not chosen or beyond the file's last column.
PriceUpdateResult UpdatePrices(CatalogStore& store, ImportGrid& grid, const ImportChoices& choices,
                               const TCountry& home);

// The same result without writing anything or changing the grid.
PriceUpdateResult PreviewPriceUpdate(const CatalogStore& store, const ImportGrid& grid, const ImportChoices& choices,
                                     const TCountry& home);

// Deletes the listed items from their groups and lowers ItemCount for each
// ("Artikel entfernen"). An item that is no longer in its group is passed
// over. Saves the working copy aside first (ImportUndo.h), reloads the
// shown group's items and reports a change. Returns the number removed.
std::size_t RemoveDiscontinued(CatalogStore& store, const std::vector<DiscontinuedItem>& items);

} // namespace quillane
