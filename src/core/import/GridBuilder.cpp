#include "core/import/GridBuilder.h"

#include "core/common/Error.h"
#include "core/common/messages/ImportMessages.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace quillane {

namespace {

// Days since 1.1.1970 to a civil date (proleptic Gregorian).
void civilFromDays(std::int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

} // namespace

void GridBuilder::Set(std::uint64_t row, std::uint64_t column, std::string text, bool number)
{
    if (text.empty()) {
        return;
    }
    GridRow& target = place(row, column, 1, text.size());
    target.Cells[static_cast<std::size_t>(column)] = std::move(text);
    markNumbers(target, column, 1, number);
}

void GridBuilder::Fill(std::uint64_t row, std::uint64_t column, std::uint64_t count, const std::string& text,
                       bool number)
{
    if (text.empty() || count == 0) {
        return;
    }
    GridRow& target = place(row, column, count, text.size());
    for (std::uint64_t k = 0; k < count; ++k) {
        target.Cells[static_cast<std::size_t>(column + k)] = text;
    }
    markNumbers(target, column, count, number);
}

void GridBuilder::markNumbers(GridRow& target, std::uint64_t column, std::uint64_t count, bool number)
{
    const auto first = static_cast<std::size_t>(column);
    const auto end = static_cast<std::size_t>(column + count);
    if (number) {
        target.Numbers.resize(std::max(target.Numbers.size(), end));
    }
    for (std::size_t c = first; c < std::min(end, target.Numbers.size()); ++c) {
        target.Numbers[c] = number;
    }
}

void GridBuilder::Hold(std::size_t bytes)
{
    CheckRoom(bytes);
    text_ += bytes;
}

void GridBuilder::CheckRoom(std::size_t bytes) const
{
    if (bytes > kMaxImportText - text_) {
        throw Error(msg::ImportReasonTextTooBig, {kMaxImportText >> 20});
    }
}

void GridBuilder::CellTooLong(std::uint64_t row)
{
    throw Error(msg::ImportReasonCellTooLong, {std::to_string(row), kMaxImportCellText});
}

// The row for count cells from column on, checked against every bound
// before they are made.
GridRow& GridBuilder::place(std::uint64_t row, std::uint64_t column, std::uint64_t count, std::size_t length)
{
    if (length > kMaxImportCellText) {
        CellTooLong(row);
    }
    if (column >= kMaxImportColumns || count > kMaxImportColumns - column) {
        throw Error(msg::ImportReasonBeyondColumn, {ColumnLetter(kMaxImportColumns - 1)});
    }
    if (row == 0 || row > kMaxRow) {
        throw Error(msg::ImportReasonBeyondRow, {std::to_string(row)});
    }
    Hold(static_cast<std::size_t>(length * count));
    GridRow& target = rowFor(static_cast<std::size_t>(row));
    const auto end = static_cast<std::size_t>(column + count);
    if (end > target.Cells.size()) {
        // A row costs about as much as a cell, also when it holds only one.
        cells_ += end - target.Cells.size() + (target.Cells.empty() ? 1 : 0);
        if (cells_ > kMaxImportCells) {
            throw Error(msg::ImportReasonTooManyCells, {kMaxImportCells});
        }
        target.Cells.resize(end);
    }
    return target;
}

GridRow& GridBuilder::rowFor(std::size_t row)
{
    std::vector<GridRow>& rows = grid_.Rows;
    // Readers meet the rows in order nearly always; a row out of order is
    // kept apart and put in its place by Take, so that a file listing its
    // rows backwards costs no time per row for moving the others.
    if (rows.empty() || rows.back().Row != row) {
        unordered_ = unordered_ || (!rows.empty() && rows.back().Row > row);
        rows.push_back(GridRow{row, {}});
    }
    return rows.back();
}

ImportGrid GridBuilder::Take()
{
    std::vector<GridRow>& rows = grid_.Rows;
    if (unordered_) {
        std::stable_sort(rows.begin(), rows.end(), [](const GridRow& a, const GridRow& b) { return a.Row < b.Row; });
        // Parts of one row met at different times: the later cell wins, as when it is set again.
        std::size_t kept = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (kept > 0 && rows[kept - 1].Row == rows[i].Row) {
                std::vector<std::string>& into = rows[kept - 1].Cells;
                std::vector<std::string>& from = rows[i].Cells;
                into.resize(std::max(into.size(), from.size()));
                GridRow& later = rows[i];
                std::vector<bool>& numbers = rows[kept - 1].Numbers;
                for (std::size_t c = 0; c < from.size(); ++c) {
                    if (!from[c].empty()) {
                        into[c] = std::move(from[c]);
                        if (later.Number(c) || c < numbers.size()) {
                            numbers.resize(std::max(numbers.size(), c + 1));
                            numbers[c] = later.Number(c);
                        }
                    }
                }
            } else {
                if (kept != i) {
                    rows[kept] = std::move(rows[i]);
                }
                ++kept;
            }
        }
        rows.resize(kept);
        unordered_ = false;
    }
    return std::move(grid_);
}

std::string FormatCellNumber(double value)
{
    if (value == 0) {
        return "0"; // no "-0"
    }
    char buffer[400];
    // Plain digits for what a sheet holds as numbers (article and EAN
    // numbers among them); an exponent only for the very big and small.
    const double size = std::fabs(value);
    const auto res = size >= 1e-6 && size < 1e21
                         ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
                         : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, res.ptr);
}

std::string FormatCellTime(int seconds)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return buffer;
}

std::string FormatCellDate(int year, int month, int day, int seconds)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", day, month, year);
    std::string text = buffer;
    if (seconds != 0) {
        text += " " + FormatCellTime(seconds);
    }
    return text;
}

std::string FormatIsoDate(std::string_view iso)
{
    const std::string text(iso);
    int year = 0;
    int month = 0;
    int day = 0;
    int h = 0;
    int m = 0;
    int s = 0;
    char separator = 0;
    const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d", &year, &month, &day, &separator, &h, &m, &s);
    if (n < 3 || month < 1 || month > 12 || day < 1 || day > 31) {
        return text;
    }
    const bool time = n == 7 && (separator == 'T' || separator == ' ');
    return FormatCellDate(year, month, day, time ? h * 3600 + m * 60 + s : 0);
}

std::string FormatDateSerial(double serial, bool from1904)
{
    // Beyond the year 9999 or before the origin it is no date a worksheet shows.
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465) {
        return FormatCellNumber(serial);
    }
    auto days = static_cast<std::int64_t>(std::floor(serial));
    auto seconds = static_cast<int>(std::llround((serial - static_cast<double>(days)) * 86400));
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    if (days == 0 && !from1904) {
        return FormatCellTime(seconds);
    }
    // The 1900 system counts a 29.2.1900 that never was; serials before it are a day off.
    if (!from1904 && days < 61) {
        ++days;
    }
    const std::int64_t origin = from1904 ? -24107 : -25569; // 1.1.1904 and 30.12.1899 from 1.1.1970
    int year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(origin + days, year, month, day);
    return FormatCellDate(year, month, day, seconds);
}

} // namespace quillane
