#include "orderd/ShopFigures.h"

#include "core/common/Error.h"
#include "core/common/Text.h"
#include "orderd/CartRules.h"

#include <cmath>

namespace quillane::orderd {

namespace {

// An order that names items of several groups can be read in as many ways
// as there are choices of group; beyond this many the figures are not
// worked out.
constexpr std::size_t kMaxReadings = 64;

// An amount as the figure check lets it through, digits, ".", two digits;
// -1 for anything else, which no figure of the shop is.
std::int64_t sentCents(const std::string& text)
{
    const std::size_t dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot > 9 || dot + 3 != text.size() ||
        text.find_first_not_of("0123456789") != dot ||
        text.find_first_not_of("0123456789", dot + 1) != std::string::npos) {
        return -1;
    }
    return std::stoll(text.substr(0, dot)) * 100 + std::stoll(text.substr(dot + 1));
}

std::string fieldOr(const std::vector<FormField>& fields, std::string_view name)
{
    const std::string* value = FindField(fields, name);
    return value ? *value : std::string();
}

// A text as the stored order holds it: "=" and control characters gone.
std::string asStored(std::string text)
{
    for (char& c : text) {
        if (c == '=') {
            c = ':';
        } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            c = ' ';
        }
    }
    return text;
}

// item.Rabatt of the shop window: the quantity levels an item refers to by
// position, "0:1"; positions that name no level are left out.
std::vector<std::string> levelsOf(const std::string& positions, const std::vector<std::string>& levels)
{
    std::vector<std::string> out;
    if (positions.empty()) {
        return out;
    }
    for (const std::string& position : Split(':', positions)) {
        const double index = JsParseInt(position);
        if (std::isnan(index) || index < 0 || index >= static_cast<double>(levels.size())) {
            continue;
        }
        const std::string& level = levels[static_cast<std::size_t>(index)];
        if (!level.empty()) {
            out.push_back(level);
        }
    }
    return out;
}

bool sameLine(const CartLine& a, const CartLine& b)
{
    return a.Price == b.Price && a.Surcharge == b.Surcharge && a.Levels == b.Levels;
}

struct Sent {
    std::int64_t QDiscount = 0;
    std::int64_t PDiscount = 0;
    std::int64_t Shipping = 0;
    std::int64_t Vat = 0;
    std::int64_t PaymentFee = 0;
    const std::string* VatRate = nullptr;
    std::string Payment;
};

// Why the order is not what the cart gives for these lines and country.
std::optional<std::string> wayProblem(const Sent& sent, const ShopSettings& s, const ShopCountry& country,
                                      const std::vector<CartLine>& lines)
{
    const bool exact = sent.VatRate != nullptr;
    const std::int64_t slack = exact ? 0 : 1;
    const auto off = [slack](std::int64_t a, std::int64_t b) { return (a > b ? a - b : b - a) > slack; };

    CartSettings cart;
    cart.HomeVat = s.HomeVat;
    cart.HomeIndex = s.HomeIndex;
    cart.HomeEu = s.HomeEu;
    // A cart without vatrate charged the home rate.
    cart.VatByDestination = exact && s.VatByDestination;
    cart.PriceLevels = s.PriceLevels;
    cart.FreeDelivery = s.FreeDelivery;
    cart.Porto = s.Packing + country.ShippingFee;
    cart.Land = country.Code;
    cart.DestinationVat = country.Vat;
    cart.DestinationEu = country.Eu;
    const CartResult net = ComputeCart(cart, lines, false);
    const CartResult gross = ComputeCart(cart, lines, true);
    const std::string where = " for delivery to " + country.Name;

    const std::string* fee = nullptr;
    std::string offered;
    for (const auto& [key, value] : country.Payments) {
        offered += (offered.empty() ? "" : ", ") + key;
        if (key == sent.Payment) {
            fee = &value;
        }
    }
    if (!fee && !(sent.Payment.empty() && offered.empty())) {
        return "The payment \"" + sent.Payment + "\" is not one the shop offers" + where + " (" +
               (offered.empty() ? std::string("it offers none") : offered) + ")";
    }
    const auto figure = [&](const char* name, std::int64_t value, std::int64_t shop) -> std::optional<std::string> {
        if (!off(value, shop)) {
            return std::nullopt;
        }
        return "The " + std::string(name) + " " + EuroText(value) + " is not the shop's " + EuroText(shop);
    };
    if (auto p = figure("qdiscount", sent.QDiscount, net.Euro.QDiscount)) {
        return p;
    }
    if (auto p = figure("pdiscount", sent.PDiscount, net.Euro.PDiscount)) {
        return p;
    }
    if (auto p = figure("shipping", sent.Shipping, net.Euro.Shipping)) {
        return *p + where;
    }
    if (exact && sentCents(*sent.VatRate) != sentCents(net.VatRate)) {
        return "The vatrate " + *sent.VatRate + " is not the shop's " + net.VatRate + where;
    }
    if (off(sent.Vat, net.Euro.Vat) && off(sent.Vat, gross.Euro.Vat)) {
        return "The vat " + EuroText(sent.Vat) + " is not the shop's " + EuroText(net.Euro.Vat) +
               (gross.Euro.Vat != net.Euro.Vat ? " (or " + EuroText(gross.Euro.Vat) + " with gross prices)" : "");
    }
    if (auto p = figure("paymentfee", sent.PaymentFee, fee ? PaymentFeeCents(*fee) : 0)) {
        return *p + " for " + (sent.Payment.empty() ? std::string("no payment method") : sent.Payment) + where;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> ShopProblem(const std::vector<FormField>& fields, const PublishedShop& shop,
                                       std::string& unchecked)
{
    if (auto problem = PriceProblem(fields, shop.Items)) {
        return problem;
    }
    if (!shop.Settings) {
        unchecked = shop.SettingsProblem;
        return std::nullopt;
    }
    const ShopSettings& settings = *shop.Settings;
    Sent sent;
    sent.VatRate = FindField(fields, "vatrate");
    sent.QDiscount = sentCents(fieldOr(fields, "qdiscount"));
    sent.PDiscount = sentCents(fieldOr(fields, "pdiscount"));
    sent.Shipping = sentCents(fieldOr(fields, "shipping"));
    sent.Vat = sentCents(fieldOr(fields, "vat"));
    sent.PaymentFee = sentCents(fieldOr(fields, "paymentfee"));
    sent.Payment = fieldOr(fields, "payment");
    const std::int64_t slack = sent.VatRate ? 0 : 1;

    try {
        // Each line may stand for the item of any group that has its number
        // at the unit price sent.
        const long long count = std::stoll(fieldOr(fields, "itemcount"));
        std::vector<std::vector<CartLine>> choices;
        std::size_t readings = 1;
        for (long long i = 0; i < count; ++i) {
            const std::string name = "item" + std::to_string(i);
            const SplitArray parts = Split('|', fieldOr(fields, name));
            const std::int64_t unit = sentCents(parts[3]);
            std::vector<CartLine> lines;
            std::int64_t shopUnit = 0;
            for (const ShopItem& item : shop.Items.ByNumber.at(parts[1])) {
                CartLine line;
                line.Price = ShopNumber(item.Price);
                line.Surcharge = ShopNumber(shop.Items.Surcharges.at(item.Group));
                line.Levels = levelsOf(item.Levels, settings.QuantityLevels);
                line.Quantity = std::stoll(parts[2]);
                shopUnit = WholeCents(PriceCents(line.Price, 1, 1));
                const bool fits = (shopUnit > unit ? shopUnit - unit : unit - shopUnit) <= slack;
                if (fits &&
                    std::none_of(lines.begin(), lines.end(), [&](const CartLine& l) { return sameLine(l, line); })) {
                    lines.push_back(std::move(line));
                }
            }
            if (lines.empty()) {
                return name + ": the unit price " + parts[3] + " of \"" + parts[1] + "\" is not the shop's price " +
                       EuroText(shopUnit);
            }
            readings *= lines.size();
            if (readings > kMaxReadings) {
                unchecked = "its items stand in so many groups at their prices that the order can be read in more "
                            "than " +
                            std::to_string(kMaxReadings) + " ways";
                return std::nullopt;
            }
            choices.push_back(std::move(lines));
        }

        const std::string delivery =
            FindField(fields, "la_country") ? fieldOr(fields, "la_country") : fieldOr(fields, "country");
        std::vector<const ShopCountry*> countries;
        for (const ShopCountry& c : shop.Countries) {
            if (asStored(c.Name) == delivery) {
                countries.push_back(&c);
            }
        }
        if (countries.empty()) {
            return "The delivery country \"" + delivery + "\" is not one the shop delivers to";
        }
        if (readings * countries.size() > kMaxReadings) {
            unchecked = "the shop names its delivery country \"" + delivery + "\" " + std::to_string(countries.size()) +
                        " times";
            return std::nullopt;
        }

        // Every reading, the first one's problem told when none fits.
        std::optional<std::string> first;
        for (const ShopCountry* country : countries) {
            for (std::size_t n = 0; n < readings; ++n) {
                std::size_t rest = n;
                std::vector<CartLine> lines;
                for (const std::vector<CartLine>& choice : choices) {
                    lines.push_back(choice[rest % choice.size()]);
                    rest /= choice.size();
                }
                auto problem = wayProblem(sent, settings, *country, lines);
                if (!problem) {
                    return std::nullopt;
                }
                if (!first) {
                    first = std::move(problem);
                }
            }
        }
        return first;
    } catch (const Error& e) { // a shop of figures beyond what its cart can count
        unchecked = e.what();
        return std::nullopt;
    }
}

} // namespace quillane::orderd
