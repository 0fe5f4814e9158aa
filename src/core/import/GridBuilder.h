#pragma once

#include "core/import/ImportGrid.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillane {

// Fills a grid cell by cell as a spreadsheet reader finds them, keeping
// the rows in order and the memory a file can claim bounded.
class GridBuilder {
public:
    // A worksheet has no rows beyond this one; repeats past it are cut.
    static constexpr std::uint64_t kMaxRow = std::uint64_t{1} << 24;
    // A reader gathering a cell's text, as UTF-8 or with escapes still in
    // it, gives up beyond this many bytes: it cannot come down to
    // kMaxImportCellText characters.
    static constexpr std::size_t kMaxGatheredText = 8 * kMaxImportCellText;

    // Sets a cell; row counts from 1, column from 0 (column A). Empty texts
    // are left out. Throws Error with the reason beyond kMaxImportColumns,
    // kMaxRow, kMaxImportCells, kMaxImportCellText or kMaxImportText.
    // A number is a worksheet's number as FormatCellNumber writes it.
    void Set(std::uint64_t row, std::uint64_t column, std::string text, bool number = false);
    // Sets count cells from column on to the same text, as a repeated cell;
    // refused before any copy is made when they are too many.
    void Fill(std::uint64_t row, std::uint64_t column, std::uint64_t count, const std::string& text,
              bool number = false);
    // Text the reader keeps beside the grid (shared texts) counts against
    // the same bound; throws Error beyond it.
    void Hold(std::size_t bytes);
    // Throws the error of Hold when bytes more would not fit, holding nothing.
    void CheckRoom(std::size_t bytes) const;

    // The error of a cell holding more than kMaxImportCellText characters.
    [[noreturn]] static void CellTooLong(std::uint64_t row);

    ImportGrid Take();

private:
    GridRow& rowFor(std::size_t row);
    GridRow& place(std::uint64_t row, std::uint64_t column, std::uint64_t count, std::size_t length);
    static void markNumbers(GridRow& target, std::uint64_t column, std::uint64_t count, bool number);

    ImportGrid grid_;
    std::size_t cells_ = 0;
    std::size_t text_ = 0;
    bool unordered_ = false; // rows came out of order and are sorted by Take
};

// A spreadsheet's number as the shortest decimal text with "." that reads
// back as the same number ("12.5", "10", "0.1", "4006381333931"); with an
// exponent only below 1e-6 and from 1e21 on.
std::string FormatCellNumber(double value);
// "dd.mm.yyyy", with " hh:mm:ss" when seconds (of the day) is not 0.
std::string FormatCellDate(int year, int month, int day, int seconds = 0);
// A date serial number as spreadsheets store it: days since 30.12.1899
// (with the 1900 leap-year slip of its origin below serial 61), or since
// 1.1.1904; the fraction is the time of day. Serials below 1 are a time of day alone.
std::string FormatDateSerial(double serial, bool from1904);
// "2024-03-05", "2024-03-05T12:30:00" or "2024-03-05 12:30:00" as
// FormatCellDate writes it; any other text as it is.
std::string FormatIsoDate(std::string_view iso);
// "hh:mm:ss" of seconds since midnight.
std::string FormatCellTime(int seconds);

} // namespace quillane
