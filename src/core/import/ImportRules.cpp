#include "core/import/ImportRules.h"

#include "core/catalog/CatalogStore.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"

#include <charconv>
#include <cmath>

namespace quillane {

namespace {

// A number too big for a double: ParseNumber's second try would read
// "1e999" as 1999.
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

} // namespace

bool ImportPrice(const std::string& cell, const TCountry& home, PriceEntry mode, std::string& price,
                 std::string& reason)
{
    const std::string text(TrimBlanks(cell));
    const std::string quoted = "\"" + text + "\"";
    if (spreadsheetError(text)) {
        reason = "The price cell shows the error " + text + ".";
        return false;
    }
    if (overflows(text) || notFiniteWord(text)) {
        reason = "The price " + quoted + " is not a finite number.";
        return false;
    }
    const double amount = ParseNumber(text);
    if (!std::isfinite(amount)) {
        reason = "The price " + quoted + " is not a finite number.";
        return false;
    }
    // The lenient reading drops a sign it cannot place ("-3,5" gives 3.5).
    if (amount < 0 || (amount != 0 && text.front() == '-')) {
        reason = "The price " + quoted + " is negative.";
        return false;
    }
    double net = StoredAmount(amount, home);
    if (mode == PriceEntry::Gross) {
        net /= 1 + home.VAT / 100;
    }
    if (!(net <= kMaxAmount)) {
        reason = "The price " + quoted + " is more than " + FormatNumber(kMaxAmount) +
                 " euro, the largest price a shop can show.";
        return false;
    }
    price = FormatDecimals(mode == PriceEntry::Gross ? kGrossPriceDecimals : kImportPriceDecimals, net == 0 ? 0 : net);
    return true;
}

RowSpan ChosenRows(const ImportGrid& grid, const ImportChoices& choices)
{
    const std::size_t size = grid.Rows.size();
    RowSpan span;
    span.First = std::min(choices.FirstRow, size);
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
