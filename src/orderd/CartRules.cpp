#include "orderd/CartRules.h"

#include "orderd/ServiceError.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace quillane::orderd {

namespace {

// The script's nudge: amounts like 1.005, stored just below the half, round
// the way a merchant expects.
constexpr double kNudge = 1 + 1e-12;

// Beyond 2^53 a double no longer holds every whole cent.
constexpr double kMaxCents = 9007199254740992.0;

bool isBlank(char c)
{
    // Blanks the script skips, as Windows-1252 bytes (0xA0 is the no-break space).
    return c == ' ' || (c >= '\t' && c <= '\r') || c == '\xA0';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// ToNumber of the script for a value that is a number already.
double finite(double v)
{
    return std::isfinite(v) ? v : 0;
}

// Math.round: halves towards +infinity.
double jsRound(double x)
{
    const double down = std::floor(x);
    return x - down >= 0.5 ? down + 1 : down;
}

// The first "," as ".", as the script's ToNumber and DiscountRate read numbers.
std::string firstCommaAsPoint(std::string_view text)
{
    std::string s(text);
    const std::size_t comma = s.find(',');
    if (comma != std::string::npos) {
        s[comma] = '.';
    }
    return s;
}

} // namespace

std::int64_t WholeCents(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > kMaxCents) {
        throw ServiceError("A figure of the cart is beyond what it can count exactly");
    }
    return static_cast<std::int64_t>(value);
}

double JsParseFloat(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const double sign = negative ? -1.0 : 1.0;
    if (text.substr(i).starts_with("Infinity")) {
        return sign * std::numeric_limits<double>::infinity();
    }
    const std::size_t start = i;
    std::size_t intDigits = 0;
    std::size_t leadingZeros = 0;
    while (i < text.size() && isDigit(text[i])) {
        if (intDigits == leadingZeros && text[i] == '0') {
            ++leadingZeros;
        }
        ++intDigits;
        ++i;
    }
    std::size_t fraction = 0;
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < text.size() && isDigit(text[j])) {
            ++fraction;
            ++j;
        }
        if (intDigits > 0 || fraction > 0) {
            i = j;
        }
    }
    if (intDigits == 0 && fraction == 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) {
                exponent = std::min(exponent * 10 + (text[j] - '0'), 100000L);
                ++j;
            }
            exponent = negativeExponent ? -exponent : exponent;
            i = j;
        }
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data() + start, text.data() + i, value);
    if (ec == std::errc::result_out_of_range) {
        // Too large becomes Infinity, too small 0, as in the script.
        const long magnitude = static_cast<long>(intDigits - leadingZeros) + exponent;
        return sign * (magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0);
    }
    if (ec != std::errc() || end != text.data() + i) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return sign * value;
}

double JsParseInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size() || !isDigit(text[i])) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    double value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

double ShopNumber(std::string_view text)
{
    const double v = JsParseFloat(firstCommaAsPoint(text));
    return std::isnan(v) ? 0 : v;
}

double RoundCents(double x)
{
    const double v = finite(x);
    if (v < 0) {
        return -RoundCents(-v);
    }
    return std::floor(v * kNudge + 0.5);
}

double PriceCents(double price, double factor, double rate)
{
    return RoundCents(finite(price) * 100 * finite(factor) * finite(rate));
}

double DiscountRate(const std::vector<std::string>& levels, double indicator)
{
    double rate = 0;
    const double x = finite(indicator);
    for (const std::string& level : levels) {
        const std::size_t slash = level.find('/');
        if (slash == std::string::npos) {
            continue;
        }
        const double threshold = JsParseFloat(firstCommaAsPoint(std::string_view(level).substr(0, slash)));
        const double r = JsParseFloat(firstCommaAsPoint(std::string_view(level).substr(slash + 1)));
        if (std::isnan(threshold) || std::isnan(r)) {
            continue;
        }
        if (threshold <= x) {
            rate = r / 100;
        }
    }
    return rate;
}

std::string KonvDez(double euros)
{
    const double v = finite(euros);
    if (v < 0) {
        return "-" + KonvDez(-v);
    }
    return EuroText(WholeCents(std::floor(v * 100 * kNudge + 0.5)));
}

std::string EuroText(std::int64_t amount)
{
    if (amount < 0) {
        return "-" + EuroText(-amount);
    }
    const std::int64_t rest = amount % 100;
    return std::to_string(amount / 100) + "." + (rest < 10 ? "0" : "") + std::to_string(rest);
}

double VatFactor(const CartSettings& shop)
{
    const double home = finite(shop.HomeVat);
    if (!shop.VatByDestination || shop.Land.empty()) {
        return home;
    }
    const auto lower = [](std::string text) {
        for (char& c : text) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return text;
    };
    if (lower(shop.Land) == lower(shop.HomeIndex)) {
        return home;
    }
    if (finite(shop.HomeEu) >= 1 && finite(shop.DestinationEu) >= 1) {
        return 1 + finite(shop.DestinationVat) / 100;
    }
    return 1;
}

CartResult ComputeCart(const CartSettings& shop, const std::vector<CartLine>& lines, bool gross, double rate0,
                       double rate1)
{
    const double vatFactor = VatFactor(shop);
    const double factor = gross ? vatFactor : 1;
    double porto = RoundCents(finite(shop.Porto) * 100);
    std::vector<double> rates;
    for (const CartLine& line : lines) {
        const auto q = static_cast<double>(line.Quantity);
        rates.push_back(q > 0 ? DiscountRate(line.Levels, q) : 0);
        if (q > 0) {
            porto += RoundCents(finite(line.Surcharge) * 100); // once per line, whatever the quantity
        }
    }

    // The rows and sums in doubles, as the script keeps them.
    struct Goods {
        std::vector<double> Units;
        std::vector<double> Lines;
        double Subtotal = 0;
        double QDiscount = 0;
        double PDiscount = 0;
        double Total = 0;
        double Vat = 0;
        double Shipping = 0;
        double Subamount = 0;
    };
    const auto goods = [&](double f, double rate) {
        Goods g;
        double exact = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto q = static_cast<double>(lines[i].Quantity);
            const double unit = PriceCents(lines[i].Price, f, rate);
            const double line = q * unit;
            g.Units.push_back(unit);
            g.Lines.push_back(line);
            if (q > 0) {
                g.Subtotal += line;
                exact += line * rates[i];
            }
        }
        g.QDiscount = RoundCents(exact);
        return g;
    };

    Goods euro = goods(1, 1);
    const double pRate = DiscountRate(shop.PriceLevels, (euro.Subtotal - euro.QDiscount) / 100);
    const auto discounted = [pRate](Goods& g) {
        g.PDiscount = RoundCents((g.Subtotal - g.QDiscount) * pRate);
        g.Total = g.Subtotal - g.QDiscount - g.PDiscount;
    };
    discounted(euro);
    const double limit = RoundCents(finite(shop.FreeDelivery) * 100);
    const bool free = euro.Total > limit;
    euro.Shipping = free ? 0 : porto;
    if (gross) {
        Goods grossGoods = goods(factor, 1);
        discounted(grossGoods);
        euro.Vat = grossGoods.Total - euro.Total;
    } else {
        euro.Vat = RoundCents(euro.Total * (vatFactor - 1));
    }
    euro.Subamount = euro.Total + euro.Vat + euro.Shipping;

    const auto view = [&](double rate) {
        Goods g = goods(factor, rate);
        discounted(g);
        g.Shipping = RoundCents(euro.Shipping * rate);
        g.Vat = RoundCents(euro.Vat * rate);
        g.Subamount = g.Total + g.Shipping + (gross ? 0 : g.Vat);
        return g;
    };
    const Goods shown = view(finite(rate0));
    const double missing = free || porto == 0 ? 0 : limit - euro.Total + 1;

    const auto sums = [](const Goods& g) {
        CartSums s;
        for (double unit : g.Units) {
            s.Units.push_back(WholeCents(unit));
        }
        for (double line : g.Lines) {
            s.Lines.push_back(WholeCents(line));
        }
        s.Subtotal = WholeCents(g.Subtotal);
        s.QDiscount = WholeCents(g.QDiscount);
        s.PDiscount = WholeCents(g.PDiscount);
        s.Total = WholeCents(g.Total);
        s.Vat = WholeCents(g.Vat);
        s.Shipping = WholeCents(g.Shipping);
        s.Subamount = WholeCents(g.Subamount);
        return s;
    };
    CartResult result;
    result.VatRate = KonvDez(jsRound((vatFactor - 1) * 100 * 10000) / 10000);
    result.Porto = WholeCents(porto);
    result.Euro = sums(euro);
    result.Shown = sums(shown);
    result.Second = WholeCents(view(finite(rate1)).Subamount);
    result.Missing = WholeCents(missing);
    result.MissingShown = WholeCents(std::ceil(missing * factor * finite(rate0) - 1e-9));
    return result;
}

std::int64_t PaymentFeeCents(std::string_view fee)
{
    // payments() of the layout: parseFloat(fee) || 0; the page sends PriceCents(fee, 1, 1).
    const double v = JsParseFloat(fee);
    return WholeCents(PriceCents(std::isnan(v) ? 0 : v, 1, 1));
}

} // namespace quillane::orderd
