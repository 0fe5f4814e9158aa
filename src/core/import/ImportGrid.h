#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillane {

// One row of an import file. Row is its number in the file as the merchant
// sees it there: the line of a text file, the row of a worksheet, counted
// from 1. Cells are Windows-1252 texts by column, column 0 being the file's
// column A (the first field of a text line, column A of a worksheet); the
// empty cells after the last filled one are left out.
struct GridRow {
    std::size_t Row = 0;
    std::vector<std::string> Cells;
    // By column: the cell was a number of the worksheet, written as
    // FormatCellNumber writes it, so its "." is a decimal point whatever the
    // merchant's locale. Shorter than Cells when the last cells are texts.
    std::vector<bool> Numbers = {};

    // The cell of that column; empty beyond the row's last cell.
    const std::string& Cell(std::size_t column) const;
    bool Number(std::size_t column) const { return column < Numbers.size() && Numbers[column]; }
};

// The cells of an import file as texts, whatever kind of file it was.
// Rows holding nothing but empty cells are left out, so a worksheet whose
// last used row is far down costs no memory for the empty ones.
struct ImportGrid {
    std::vector<GridRow> Rows;

    // The number of columns of the widest row.
    std::size_t ColumnCount() const;
    // The letters of columns 0 to ColumnCount() - 1: "A", "B", ...
    std::vector<std::string> ColumnLetters() const;
    // Removes the rows of these indices into Rows (any order, repeats allowed).
    void RemoveRows(std::vector<std::size_t> indices);
};

// The most columns and cells an import file may fill: a worksheet's own
// limit, and a bound on the memory a crafted or broken file can take.
inline constexpr std::size_t kMaxImportColumns = 16384;
inline constexpr std::size_t kMaxImportCells = 5'000'000;
// The most characters one cell may hold, and all cells together: a cell
// that a file names once may be repeated or referred to many times.
inline constexpr std::size_t kMaxImportCellText = 1'000'000;
inline constexpr std::size_t kMaxImportText = std::size_t{256} << 20;

// The letters a worksheet names a column by: 0 gives "A", 25 "Z", 26 "AA",
// 27 "AB", 701 "ZZ", 702 "AAA".
std::string ColumnLetter(std::size_t column);
// The column of such letters, in either case ("a", "AB", " c "). Throws
// Error naming the text when it is no column name.
std::size_t ColumnIndex(std::string_view letters);

} // namespace quillane
