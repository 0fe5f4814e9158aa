#pragma once

#include "core/common/Message.h"
#include "core/import/ImportChoices.h"
#include "core/import/ImportGrid.h"
#include "core/settings/Country.h"

#include <cstddef>
#include <string>

namespace quillane {

class CatalogStore;

// The rules the import and the price update share.

// The indices into grid.Rows of the chosen row range: [First, End).
struct RowSpan {
    std::size_t First = 0;
    std::size_t End = 0;
};
RowSpan ChosenRows(const ImportGrid& grid, const ImportChoices& choices);

// How the texts of a price column are read. A file written in one locale
// has one decimal separator throughout a column, but a single value often
// cannot tell: "1.234" is 1234 in one locale and 1.234 in another. So the
// column's values vote, and a value that only the vote can read is read by
// it. Worksheet numbers take no part: their "." is always the decimal point.
struct PriceColumnReading {
    enum class Mark { Unknown, Point, Comma };
    Mark Decimal = Mark::Unknown;
    std::size_t For = 0;     // values showing Decimal for certain ("12,50", "1.234,5")
    std::size_t Against = 0; // values showing the other separator for certain
};
// The reading of the chosen rows' cells of that column: the separator more
// values show for certain; Unknown when none does or both as often.
PriceColumnReading ReadPriceColumn(const ImportGrid& grid, std::size_t column, RowSpan rows);
// The decision as the preview names it.
Message DescribeReading(const PriceColumnReading& reading);

// The stored net price of a price cell (number: a worksheet number), read
// as the column's reading says, divided by the home rate and, for gross
// prices, by 1 + VAT / 100, with kImportPriceDecimals decimals
// (kGrossPriceDecimals for gross ones). A currency ("EUR", the euro sign)
// and blanks around the number are passed over; thousands separators are
// read. False, with the reason, for a cell that is empty or holds no
// number, a negative price in any spelling ("-3", "3-", "(3)"), a number
// whose separators do not fit the column's reading or that only the column
// could read and did not decide, one that is not finite (an overflowing
// number, "inf", a spreadsheet's error value such as "#DIV/0!") or one
// beyond kMaxAmount. Never 0 for a price it could not read.
bool ImportPrice(const std::string& cell, bool number, const PriceColumnReading& reading, const TCountry& home,
                 PriceEntry mode, std::string& price, Message& reason);

// A first row that heads the columns rather than holding an item: no digit
// where the prices stand, while a later row of the price column has one.
bool HasHeaderRow(const ImportGrid& grid, std::size_t priceColumn);

// Throws Error naming the column when a chosen one lies beyond the
// file's last column: every row would come out empty there.
void CheckColumnsInFile(const ImportGrid& grid, const ImportColumns& columns);

// A cell's text with the blanks around it dropped, as the catalog file
// would drop them on reading.
std::string CellText(const GridRow& row, std::size_t column);

// After an operation wrote the catalog: the group map and item count are
// rebuilt and the shown group's items reloaded, so the window shows, and
// its next SaveGroup writes, what the files now hold.
void RefreshAfterImport(CatalogStore& store);

} // namespace quillane
