#pragma once

#include "core/import/ImportChoices.h"
#include "core/import/ImportGrid.h"
#include "core/import/ImportRules.h"
#include "core/settings/Country.h"

#include <cstddef>
#include <vector>

namespace quillane {

class CatalogStore;

// What an import did, or would do.
struct ImportResult {
    std::size_t Added = 0;    // new items
    std::size_t Replaced = 0; // items of the same order number in the same group, overwritten
    std::vector<SkippedRow> Skipped;
    PriceColumnReading Prices; // how the price column was read
    bool Changed = false;      // the catalog was written (never for a preview)
};

// Imports the chosen rows of the grid as items into the catalog's working
// copy. Each row's group path comes from its product group cell and the
// chosen main and sub group; a row with an empty group cell goes into the
// group of the row before it. Missing groups are created as the group tree
// creates them. Price: as ImportPrice reads it with the price column's
// reading. An item that exists in that group under the same order number
// is replaced, keeping only its discount levels.
//
// Rows are skipped, with the reason, when they come before the first group,
// lack a name or an order number, hold an order number CheckOrderNumber
// refuses or a name with "|" or a line break, name a group path that cannot
// be stored, or hold a price ImportPrice refuses.
//
// Saves the working copy aside first (ImportUndo.h), reports the change to
// the store's listener, rebuilds the group map and item count, and reloads
// the shown group's items. Throws Error, writing nothing, when a column is
// not chosen or beyond the file's last column, or the working copy cannot
// be read; write errors are those of the catalog files.
ImportResult ImportRows(CatalogStore& store, const ImportGrid& grid, const ImportChoices& choices,
                        const TCountry& home);

// The same counts and skipped rows as ImportRows would give, computed
// without writing anything.
ImportResult PreviewImport(const CatalogStore& store, const ImportGrid& grid, const ImportChoices& choices,
                           const TCountry& home);

} // namespace quillane
