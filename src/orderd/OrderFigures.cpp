#include "orderd/OrderFigures.h"

#include "core/common/Text.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace quillane::orderd {

namespace {

// Exact values are kept in half cents. The shop rounds half up, so an
// amount of c cents stood for an exact value at least 2c - 1 and below
// 2c + 1 half cents. Sums and differences of such values have open ends,
// so two ranges meet only when they overlap by more than a point.
struct Range {
    std::int64_t Lo = 0;
    std::int64_t Hi = 0;

    static Range around(std::int64_t cents) { return {2 * cents - 1, 2 * cents + 1}; }
    Range operator+(Range other) const { return {Lo + other.Lo, Hi + other.Hi}; }
    Range operator-(Range other) const { return {Lo - other.Hi, Hi - other.Lo}; }
    bool meets(Range other) const { return Lo < other.Hi && other.Lo < Hi; }
    Range within(Range other) const { return {std::max(Lo, other.Lo), std::min(Hi, other.Hi)}; }
};

std::string euros(std::int64_t cents)
{
    const std::string digits = std::to_string(cents / 100);
    const std::int64_t rest = cents % 100;
    return digits + "." + (rest < 10 ? "0" : "") + std::to_string(rest);
}

// An amount as KonvDez writes it: digits, ".", two digits; in cents. At
// most nine digits before the point, as the program allows for a price, so
// no sum below can overflow.
std::int64_t amountOf(const std::string& text, const std::string& where)
{
    const std::size_t dot = text.find('.');
    const bool form = dot != std::string::npos && dot > 0 && dot + 3 == text.size() && dot <= 9 &&
                      text.find_first_not_of("0123456789") == dot &&
                      text.find_first_not_of("0123456789", dot + 1) == std::string::npos;
    if (!form) {
        throw OrderRefused(where + " \"" + text + "\" is no amount like 12.50 (up to 999999999.99)");
    }
    return std::stoll(text.substr(0, dot)) * 100 + std::stoll(text.substr(dot + 1));
}

std::int64_t figure(const std::vector<FormField>& fields, const std::string& name)
{
    const std::string* value = FindField(fields, name);
    if (!value) {
        throw OrderRefused("The order has no " + name);
    }
    return amountOf(*value, name);
}

} // namespace

void CheckOrderFigures(const std::vector<FormField>& fields)
{
    const std::int64_t count = std::stoll(*FindField(fields, "itemcount"));
    Range lines{0, 0};
    for (std::int64_t i = 0; i < count; ++i) {
        const std::string name = "item" + std::to_string(i);
        const SplitArray parts = Split('|', *FindField(fields, name));
        if (parts.size() != 5) {
            throw OrderRefused(name + " has " + std::to_string(parts.size()) +
                               " parts, not description|number|quantity|price|total");
        }
        const std::string& quantityText = parts[2];
        if (quantityText.empty() || quantityText.size() > 6 || quantityText.front() == '0' ||
            quantityText.find_first_not_of("0123456789") != std::string::npos) {
            throw OrderRefused(name + ": the quantity \"" + quantityText + "\" is no whole number above 0");
        }
        const std::int64_t quantity = std::stoll(quantityText);
        const std::int64_t price = amountOf(parts[3], name + ": the price");
        const std::int64_t total = amountOf(parts[4], name + ": the line total");
        // quantity x (some price that rounds to the one sent)
        const Range computed{quantity * (2 * price - 1), quantity * (2 * price + 1)};
        if (!computed.meets(Range::around(total))) {
            throw OrderRefused(name + ": " + quantityText + " x " + parts[3] + " is not " + parts[4]);
        }
        lines = lines + computed.within(Range::around(total));
    }

    const std::int64_t subtotal = figure(fields, "subtotal");
    const std::int64_t qdiscount = figure(fields, "qdiscount");
    const std::int64_t pdiscount = figure(fields, "pdiscount");
    const std::int64_t total = figure(fields, "total");
    const std::int64_t vat = figure(fields, "vat");
    const std::int64_t shipping = figure(fields, "shipping");
    const std::int64_t subamount = figure(fields, "subamount");
    figure(fields, "paymentfee");

    if (!lines.meets(Range::around(subtotal))) {
        throw OrderRefused("The subtotal " + euros(subtotal) + " is not the sum of the line totals");
    }
    const Range exactSubtotal = lines.within(Range::around(subtotal));
    if (qdiscount > subtotal) {
        throw OrderRefused("The qdiscount " + euros(qdiscount) + " is more than the subtotal " + euros(subtotal));
    }
    if (pdiscount > subtotal - qdiscount) {
        throw OrderRefused("The pdiscount " + euros(pdiscount) + " is more than the subtotal after qdiscount");
    }
    const Range computedTotal = exactSubtotal - Range::around(qdiscount) - Range::around(pdiscount);
    if (!computedTotal.meets(Range::around(total))) {
        throw OrderRefused("The total " + euros(total) + " is not subtotal - qdiscount - pdiscount (" +
                           euros(subtotal - qdiscount - pdiscount) + ")");
    }
    const Range exactTotal = computedTotal.within(Range::around(total));
    const Range computedSubamount = exactTotal + Range::around(vat) + Range::around(shipping);
    if (!computedSubamount.meets(Range::around(subamount))) {
        throw OrderRefused("The subamount " + euros(subamount) + " is not total + vat + shipping (" +
                           euros(total + vat + shipping) + ")");
    }
}

} // namespace quillane::orderd
