#include "core/import/GridBuilder.h"

#include "core/common/Error.h"

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

void GridBuilder::Set(std::uint64_t row, std::uint64_t column, std::string text)
{
    if (text.empty()) {
        return;
    }
    if (column >= kMaxImportColumns) {
        throw Error("it has a cell beyond column " + ColumnLetter(kMaxImportColumns - 1) +
                    ", the last column a worksheet has");
    }
    if (row == 0 || row > kMaxRow) {
        throw Error("it has a cell in row " + std::to_string(row) + ", beyond the rows a worksheet has");
    }
    GridRow& target = rowFor(static_cast<std::size_t>(row));
    const auto col = static_cast<std::size_t>(column);
    if (col >= target.Cells.size()) {
        // A row costs about as much as a cell, also when it holds only one.
        cells_ += col + 1 - target.Cells.size() + (target.Cells.empty() ? 1 : 0);
        if (cells_ > kMaxImportCells) {
            throw Error("it fills more than " + std::to_string(kMaxImportCells) + " cells, more than an import takes");
        }
        target.Cells.resize(col + 1);
    }
    target.Cells[col] = std::move(text);
}

GridRow& GridBuilder::rowFor(std::size_t row)
{
    std::vector<GridRow>& rows = grid_.Rows;
    // Readers meet the rows in order nearly always.
    if (rows.empty() || rows.back().Row < row) {
        rows.push_back(GridRow{row, {}});
        return rows.back();
    }
    if (rows.back().Row == row) {
        return rows.back();
    }
    const auto at =
        std::lower_bound(rows.begin(), rows.end(), row, [](const GridRow& r, std::size_t n) { return r.Row < n; });
    if (at != rows.end() && at->Row == row) {
        return *at;
    }
    return *rows.insert(at, GridRow{row, {}});
}

ImportGrid GridBuilder::Take()
{
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
