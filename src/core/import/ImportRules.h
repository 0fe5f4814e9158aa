#pragma once

#include "core/import/ImportChoices.h"
#include "core/import/ImportGrid.h"
#include "core/settings/Country.h"

#include <cstddef>
#include <string>

namespace quillane {

class CatalogStore;

// The rules the import and the price update share.

// The stored net price of a price cell: read leniently (empty or unreadable
// is 0), divided by the home rate and, for gross prices, by 1 + VAT / 100,
// with kImportPriceDecimals decimals (kGrossPriceDecimals for gross ones). False, with the reason, for a
// negative price, one that is not finite (an overflowing number, "inf", a
// spreadsheet's error value such as "#DIV/0!") or one beyond kMaxAmount.
bool ImportPrice(const std::string& cell, const TCountry& home, PriceEntry mode, std::string& price,
                 std::string& reason);

// The indices into grid.Rows of the chosen row range: [First, End).
struct RowSpan {
    std::size_t First = 0;
    std::size_t End = 0;
};
RowSpan ChosenRows(const ImportGrid& grid, const ImportChoices& choices);

// A cell's text with the blanks around it dropped, as the catalog file
// would drop them on reading.
std::string CellText(const GridRow& row, std::size_t column);

// After an operation wrote the catalog: the group map and item count are
// rebuilt and the shown group's items reloaded, so the window shows, and
// its next SaveGroup writes, what the files now hold.
void RefreshAfterImport(CatalogStore& store);

} // namespace quillane
