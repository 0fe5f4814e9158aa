#include "orderd/OrderFigures.h"

#include "core/common/Text.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace quillane::orderd {

namespace {

// Amounts in half cents, from Lo to Hi.
struct Range {
    std::int64_t Lo = 0;
    std::int64_t Hi = 0;

    Range operator+(Range other) const { return {Lo + other.Lo, Hi + other.Hi}; }
    Range operator-(Range other) const { return {Lo - other.Hi, Hi - other.Lo}; }
    Range within(Range other) const { return {std::max(Lo, other.Lo), std::min(Hi, other.Hi)}; }
};

// A shop that sends its VAT rate counts in whole cents: every figure is the
// exact sum of the amounts it is made of. Shops made before that (their
// orders carry no vatrate) rounded each figure on its own, half up, so a
// sent amount of c cents stood for an exact value between 2c - 1 and
// 2c + 1 half cents, ends open; their orders are taken when some exact
// values behind the figures agree, so that a published shop does not lose
// orders until the merchant publishes it again.
class Rounding {
public:
    explicit Rounding(bool exact) : exact_(exact) {}
    Range around(std::int64_t cents) const
    {
        return exact_ ? Range{2 * cents, 2 * cents} : Range{2 * cents - 1, 2 * cents + 1};
    }
    bool meets(Range a, Range b) const { return exact_ ? a.Lo <= b.Hi && b.Lo <= a.Hi : a.Lo < b.Hi && b.Lo < a.Hi; }

private:
    bool exact_;
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

// The VAT against the rate the shop says it charged (hundredths of a
// percent). A shop showing net prices rounds total x rate once; one showing
// gross prices rounds each gross unit price, and its VAT is the gross total
// less the net one, which can be off total x rate by half a cent and half a
// gross cent per unit and per discount. An order without a rate comes from a
// shop that charged the home rate, which the service does not know.
void checkVat(const std::vector<FormField>& fields, std::int64_t total, std::int64_t vat, std::int64_t units)
{
    const std::string* rateText = FindField(fields, "vatrate");
    if (!rateText) {
        return;
    }
    const std::int64_t rate = amountOf(*rateText, "The vatrate");
    if (rate > 10000) {
        throw OrderRefused("The vatrate \"" + *rateText + "\" is more than 100 percent");
    }
    // |vat - total x rate / 10000| <= (units + 2) x (1 + factor) / 2, in
    // whole numbers: times 20000.
    const std::int64_t off = vat * 20000 - total * rate * 2;
    if ((off < 0 ? -off : off) > (units + 2) * (20000 + rate)) {
        throw OrderRefused("The vat " + euros(vat) + " is not " + *rateText + " % of the total " + euros(total));
    }
}

} // namespace

void CheckOrderFigures(const std::vector<FormField>& fields)
{
    const Rounding rounding(FindField(fields, "vatrate") != nullptr);
    const std::int64_t count = std::stoll(*FindField(fields, "itemcount"));
    Range lines;
    std::int64_t units = 0;
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
        const Range price = rounding.around(amountOf(parts[3], name + ": the price"));
        const Range total = rounding.around(amountOf(parts[4], name + ": the line total"));
        const Range computed{quantity * price.Lo, quantity * price.Hi};
        if (!rounding.meets(computed, total)) {
            throw OrderRefused(name + ": " + quantityText + " x " + parts[3] + " is not " + parts[4]);
        }
        lines = lines + computed.within(total);
        units += quantity;
    }

    const std::int64_t subtotal = figure(fields, "subtotal");
    const std::int64_t qdiscount = figure(fields, "qdiscount");
    const std::int64_t pdiscount = figure(fields, "pdiscount");
    const std::int64_t total = figure(fields, "total");
    const std::int64_t vat = figure(fields, "vat");
    const std::int64_t shipping = figure(fields, "shipping");
    const std::int64_t subamount = figure(fields, "subamount");
    figure(fields, "paymentfee");

    if (!rounding.meets(lines, rounding.around(subtotal))) {
        throw OrderRefused("The subtotal " + euros(subtotal) + " is not the sum of the line totals (" +
                           euros((lines.Lo + lines.Hi) / 4) + ")");
    }
    if (qdiscount > subtotal) {
        throw OrderRefused("The qdiscount " + euros(qdiscount) + " is more than the subtotal " + euros(subtotal));
    }
    if (pdiscount > subtotal - qdiscount) {
        throw OrderRefused("The pdiscount " + euros(pdiscount) + " is more than the subtotal after qdiscount");
    }
    const Range computedTotal =
        lines.within(rounding.around(subtotal)) - rounding.around(qdiscount) - rounding.around(pdiscount);
    if (!rounding.meets(computedTotal, rounding.around(total))) {
        throw OrderRefused("The total " + euros(total) + " is not subtotal - qdiscount - pdiscount (" +
                           euros(subtotal - qdiscount - pdiscount) + ")");
    }
    checkVat(fields, total, vat, units);
    const Range computedSubamount =
        computedTotal.within(rounding.around(total)) + rounding.around(vat) + rounding.around(shipping);
    if (!rounding.meets(computedSubamount, rounding.around(subamount))) {
        throw OrderRefused("The subamount " + euros(subamount) + " is not total + vat + shipping (" +
                           euros(total + vat + shipping) + ")");
    }
}

} // namespace quillane::orderd
