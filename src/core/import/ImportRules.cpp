#include "core/import/ImportRules.h"

#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/ImportMessages.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quillane {

namespace {

// A number too big for a double, which would otherwise pass for the largest one.
bool overflows(std::string_view text)
{
    std::string_view s = TrimBlanks(text);
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        s.remove_prefix(1);
    }
    double value = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), value);
    if (res.ec != std::errc::result_out_of_range) {
        return false;
    }
    // Out of range towards zero is a tiny number, not an endless one.
    const std::size_t e = s.find_first_of("eE");
    return e == std::string_view::npos || e + 1 >= s.size() || s[e + 1] != '-';
}

bool notFiniteWord(std::string_view text)
{
    std::string s = LowerCase(TrimBlanks(text));
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        s.erase(0, 1);
    }
    return s == "inf" || s == "infinity" || s == "nan";
}

// The error values a spreadsheet shows in place of a result.
bool spreadsheetError(std::string_view text)
{
    const std::string s = UpperCase(TrimBlanks(text));
    for (const char* e : {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A", "#GETTING_DATA"}) {
        if (s == e) {
            return true;
        }
    }
    return false;
}

using Mark = PriceColumnReading::Mark;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\xA0';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool dropAffix(std::string_view& s, std::string_view affix)
{
    const auto same = [&](std::string_view part) { return LowerCase(part) == LowerCase(affix); };
    if (s.size() >= affix.size() && same(s.substr(0, affix.size()))) {
        s.remove_prefix(affix.size());
    } else if (s.size() >= affix.size() && same(s.substr(s.size() - affix.size()))) {
        s.remove_suffix(affix.size());
    } else {
        return false;
    }
    s = trimmed(s);
    return true;
}

// The number of a price text: blanks, a currency and a "+" passed over;
// negative when a sign on either side or brackets make it so.
std::string_view numberPart(std::string_view text, bool& negative)
{
    std::string_view s = trimmed(text);
    negative = false;
    for (bool again = true; again && !s.empty();) {
        // "12,-" and "12.--" are whole euros, not a minus after the number.
        for (const std::string_view dash : {",--", ".--", ",-", ".-"}) {
            if (s.size() > dash.size() && s.substr(s.size() - dash.size()) == dash) {
                s.remove_suffix(dash.size());
                break;
            }
        }
        again = dropAffix(s, "\x80") || dropAffix(s, "Euro") || dropAffix(s, "EUR");
        if (!s.empty() && (s.front() == '-' || s.back() == '-')) {
            negative = true;
            s = s.front() == '-' ? s.substr(1) : s.substr(0, s.size() - 1);
            again = true;
        } else if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
            negative = true;
            s = s.substr(1, s.size() - 2);
            again = true;
        } else if (!s.empty() && s.front() == '+') {
            s.remove_prefix(1);
            again = true;
        }
        s = trimmed(s);
    }
    return s;
}

bool digitsAndSeparators(std::string_view s)
{
    if (s.empty() || s.front() < '0' || s.front() > '9') {
        return false;
    }
    return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == ','; });
}

// "1.5e3", as a worksheet writes a very large or small number.
bool exponentForm(std::string_view s)
{
    const std::size_t e = s.find_first_of("eE");
    if (e == std::string_view::npos || e == 0 || e + 1 >= s.size()) {
        return false;
    }
    std::string_view mantissa = s.substr(0, e);
    std::string_view power = s.substr(e + 1);
    if (power.front() == '+' || power.front() == '-') {
        power.remove_prefix(1);
    }
    const auto digits = [](std::string_view part) {
        return !part.empty() && std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    const std::size_t point = mantissa.find('.');
    return digits(power) &&
           (point == std::string_view::npos ? digits(mantissa)
                                            : digits(mantissa.substr(0, point)) && digits(mantissa.substr(point + 1)));
}

char separator(Mark mark)
{
    return mark == Mark::Comma ? ',' : '.';
}

// The decimal separator a number of digits and separators shows for certain:
// both kinds (the last one), one kind repeated (the other one), or one
// kind once where it cannot be a thousands separator. Unknown otherwise,
// with ambiguous set for a lone separator before three digits ("1.234").
Mark certainMark(std::string_view s, bool& ambiguous)
{
    ambiguous = false;
    const auto dots = std::count(s.begin(), s.end(), '.');
    const auto commas = std::count(s.begin(), s.end(), ',');
    if (dots > 0 && commas > 0) {
        return s[s.find_last_of(".,")] == ',' ? Mark::Comma : Mark::Point;
    }
    if (dots > 1 || commas > 1) {
        return dots > 1 ? Mark::Comma : Mark::Point;
    }
    if (dots == 0 && commas == 0) {
        return Mark::Unknown;
    }
    const std::size_t at = s.find_first_of(".,");
    const Mark mark = s[at] == ',' ? Mark::Comma : Mark::Point;
    // A thousands separator has one to three digits before it, not led by 0, and three after.
    if (s.size() - at - 1 != 3 || at > 3 || s.front() == '0') {
        return mark;
    }
    ambiguous = true;
    return Mark::Unknown;
}

// The number with that decimal separator, the other one grouping
// thousands; false when the separators do not stand where they must.
bool readWith(std::string_view s, Mark mark, double& value)
{
    const char decimal = separator(mark);
    const char thousands = mark == Mark::Comma ? '.' : ',';
    const std::size_t at = s.find(decimal);
    const std::string_view whole = s.substr(0, at);
    std::string plain;
    std::size_t group = 0;
    bool grouped = false;
    for (const char c : whole) {
        if (c == thousands) {
            if (group == 0 || group > 3 || (grouped && group != 3)) {
                return false;
            }
            grouped = true;
            group = 0;
        } else if (c == decimal) {
            return false;
        } else {
            plain += c;
            ++group;
        }
    }
    if (grouped && group != 3) {
        return false;
    }
    if (at != std::string_view::npos) {
        const std::string_view fraction = s.substr(at + 1);
        if (fraction.empty() || fraction.find_first_of(".,") != std::string_view::npos) {
            return false;
        }
        plain += '.';
        plain += fraction;
    }
    const auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    return res.ec == std::errc() && res.ptr == plain.data() + plain.size();
}

Message misfit(const std::string& text, Mark mark)
{
    return Message{mark == Mark::Comma ? msg::ImportPriceNotDecimalComma : msg::ImportPriceNotDecimalPoint, {text}};
}

// The amount of a price text, or false with the reason.
bool priceAmount(const std::string& text, bool number, const PriceColumnReading& reading, double& amount,
                 Message& reason)
{
    if (text.empty()) {
        reason = Message{msg::ImportPriceEmpty, {}};
        return false;
    }
    if (spreadsheetError(text)) {
        reason = Message{msg::ImportPriceErrorValue, {text}};
        return false;
    }
    if (notFiniteWord(text)) {
        reason = Message{msg::ImportPriceNotFinite, {text}};
        return false;
    }
    bool negative = false;
    const std::string_view s = number ? std::string_view(text) : numberPart(text, negative);
    if (!number && !digitsAndSeparators(s) && !exponentForm(s)) {
        reason = Message{msg::ImportPriceNoNumber, {text}};
        return false;
    }
    if (negative || (number && text.front() == '-')) {
        reason = Message{msg::ImportPriceNegative, {text}};
        return false;
    }
    if (number || exponentForm(s)) {
        std::string_view digits = s;
        if (!digits.empty() && digits.front() == '+') {
            digits.remove_prefix(1);
        }
        if (overflows(digits)) {
            reason = Message{msg::ImportPriceNotFinite, {text}};
            return false;
        }
        const auto res = std::from_chars(digits.data(), digits.data() + digits.size(), amount);
        if (res.ec == std::errc::result_out_of_range) {
            amount = 0; // a tiny number: overflows said it is not an endless one
        } else if (res.ec != std::errc() || res.ptr != digits.data() + digits.size()) {
            reason = Message{msg::ImportPriceNoNumber, {text}};
            return false;
        }
        return true;
    }
    bool ambiguous = false;
    Mark mark = certainMark(s, ambiguous);
    if (mark != Mark::Unknown && reading.Decimal != Mark::Unknown && mark != reading.Decimal) {
        reason = misfit(text, reading.Decimal);
        return false;
    }
    if (ambiguous) {
        if (reading.Decimal == Mark::Unknown) {
            double asDecimal = 0;
            double asThousands = 0;
            readWith(s, s.find('.') != std::string_view::npos ? Mark::Point : Mark::Comma, asDecimal);
            readWith(s, s.find('.') != std::string_view::npos ? Mark::Comma : Mark::Point, asThousands);
            reason = Message{msg::ImportPriceAmbiguous, {text, FormatNumber(asThousands), FormatNumber(asDecimal)}};
            return false;
        }
        mark = reading.Decimal;
    }
    if (!readWith(s, mark == Mark::Unknown ? Mark::Point : mark, amount)) {
        reason = reading.Decimal != Mark::Unknown ? misfit(text, reading.Decimal)
                                                  : Message{msg::ImportPriceBadGrouping, {text}};
        return false;
    }
    return true;
}

} // namespace

PriceColumnReading ReadPriceColumn(const ImportGrid& grid, std::size_t column, RowSpan rows)
{
    std::size_t points = 0;
    std::size_t commas = 0;
    for (std::size_t i = rows.First; i < rows.End && i < grid.Rows.size(); ++i) {
        const GridRow& row = grid.Rows[i];
        if (row.Number(column)) {
            continue;
        }
        bool negative = false;
        bool ambiguous = false;
        const std::string_view s = numberPart(row.Cell(column), negative);
        if (!digitsAndSeparators(s)) {
            continue;
        }
        const Mark mark = certainMark(s, ambiguous);
        double value = 0;
        // A date such as 01.02.2024 shows no separator of a price.
        if (mark == Mark::Unknown || !readWith(s, mark, value)) {
            continue;
        }
        points += mark == Mark::Point ? 1 : 0;
        commas += mark == Mark::Comma ? 1 : 0;
    }
    PriceColumnReading reading;
    if (points != commas) {
        reading.Decimal = points > commas ? Mark::Point : Mark::Comma;
    }
    reading.For = std::max(points, commas);
    reading.Against = std::min(points, commas);
    return reading;
}

Message DescribeReading(const PriceColumnReading& reading)
{
    switch (reading.Decimal) {
    case Mark::Comma:
        return Message{msg::ImportReadingComma, {reading.For, reading.Against}};
    case Mark::Point:
        return Message{msg::ImportReadingPoint, {reading.For, reading.Against}};
    case Mark::Unknown:
        break;
    }
    return Message{msg::ImportReadingUnknown, {reading.For}};
}

bool ImportPrice(const std::string& cell, bool number, const PriceColumnReading& reading, const TCountry& home,
                 PriceEntry mode, std::string& price, Message& reason)
{
    const std::string text(TrimBlanks(cell));
    double amount = 0;
    if (!priceAmount(text, number, reading, amount, reason)) {
        return false;
    }
    if (!std::isfinite(amount)) {
        reason = Message{msg::ImportPriceNotFinite, {text}};
        return false;
    }
    double net = StoredAmount(amount, home);
    if (mode == PriceEntry::Gross) {
        net /= 1 + home.VAT / 100;
    }
    if (!(net <= kMaxAmount)) {
        reason = Message{msg::ImportPriceTooHigh, {text, FormatNumber(kMaxAmount)}};
        return false;
    }
    price = FormatDecimals(mode == PriceEntry::Gross ? kGrossPriceDecimals : kImportPriceDecimals, net == 0 ? 0 : net);
    return true;
}

bool HasHeaderRow(const ImportGrid& grid, std::size_t priceColumn)
{
    const auto hasDigit = [&](const GridRow& row) {
        const std::string& cell = row.Cell(priceColumn);
        return std::any_of(cell.begin(), cell.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (grid.Rows.empty() || priceColumn == ImportColumns::kUnset || hasDigit(grid.Rows.front())) {
        return false;
    }
    return std::any_of(grid.Rows.begin() + 1, grid.Rows.end(), hasDigit);
}

void CheckColumnsInFile(const ImportGrid& grid, const ImportColumns& columns)
{
    const std::size_t count = grid.ColumnCount();
    for (const std::size_t column : {columns.Group, columns.Name, columns.OrderNo, columns.Price}) {
        if (column != ImportColumns::kUnset && column >= count) {
            if (count == 0) {
                throw Error(msg::ImportColumnNoCells, {ColumnLetter(column)});
            }
            throw Error(msg::ImportColumnNotInFile, {ColumnLetter(column), ColumnLetter(count - 1)});
        }
    }
}

RowSpan ChosenRows(const ImportGrid& grid, const ImportChoices& choices)
{
    const std::size_t size = grid.Rows.size();
    RowSpan span;
    span.First = std::min(std::max<std::size_t>(choices.FirstRow, choices.HeaderRow ? 1 : 0), size);
    span.End = choices.LastRow >= size ? size : choices.LastRow + 1;
    if (span.End < span.First) {
        span.End = span.First;
    }
    return span;
}

std::string CellText(const GridRow& row, std::size_t column)
{
    return std::string(TrimBlanks(row.Cell(column)));
}

void RefreshAfterImport(CatalogStore& store)
{
    if (FileExists(store.GroupsFile())) {
        store.LoadGroups();
    } else {
        // LoadGroups keeps what it had when there is no file: an undone first import leaves none.
        store.GroupMap.clear();
        store.ItemCount = 0;
    }
    if (store.CurrentGroup == "-1") {
        return;
    }
    std::int32_t group = -1;
    if (TryParseInteger(store.CurrentGroup, group) && group >= 0 &&
        IniFile(store.ItemsFile()).SectionExists(store.CurrentGroup)) {
        store.LoadGroupItems(group);
    } else {
        store.CurrentItems.clear();
        store.CurrentGroup = "-1";
    }
}

} // namespace quillane
