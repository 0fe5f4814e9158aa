#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The cart of the generated shop once more (quillane.js: CartFigures and
// the helpers it calls), so that the order service can work out an order
// from the published shop. It counts as the script does, in binary doubles
// of whole cents, halves up with the same small nudge, in the same order of
// operations: both give the same cents, which is what lets the service
// refuse an order that is a cent off.
namespace quillane::orderd {

// The script's parseFloat: the longest decimal number at the start of the
// text, after blanks; NaN when there is none.
double JsParseFloat(std::string_view text);
// The script's parseInt(text, 10); NaN when there are no digits.
double JsParseInt(std::string_view text);
// ToNumber of the shop script for a stored text: parseFloat after the first
// "," became "."; 0 when that is no number.
double ShopNumber(std::string_view text);

// RoundCents: whole cents of an amount counted in cents, halves up.
double RoundCents(double cents);
// PriceCents: a stored euro price in whole cents of the shown currency.
double PriceCents(double price, double factor, double rate);
// DiscountRate: the rate (0.05 for 5 %) of the last level "threshold/rate"
// whose threshold the indicator reaches.
double DiscountRate(const std::vector<std::string>& levels, double indicator);
// Whole cents the script counted as a double; throws Error beyond what a
// double holds exactly.
std::int64_t WholeCents(double cents);
// An amount in euro as the shop writes it (KonvDez): "12.50".
std::string KonvDez(double euros);
// Cents as the order writes them: "12.50".
std::string EuroText(std::int64_t cents);

// What var_init.js and the chosen country's script set for the cart.
struct CartSettings {
    double HomeVat = 1;                   // Shop.Home.VAT, a factor such as 1.19
    std::string HomeIndex;                // Shop.Home.Index, the home country's code
    double HomeEu = 0;                    // Shop.Home.EU, 1 for a home in the EU
    bool VatByDestination = false;        // Shop.VatByDestination
    std::vector<std::string> PriceLevels; // Shop.Rabatt.Preis, "amount/rate"
    double FreeDelivery = 0;              // Shop.Versand.Freihaus
    double Porto = 0;                     // Shop.Versand.Porto: packing and the country's fee
    std::string Land;                     // Shop.Land, the chosen country's code
    double DestinationVat = 0;            // Shop.Destination.VAT, percent
    double DestinationEu = 0;             // Shop.Destination.EU
};

// One cart line: the item as the shop window holds it and its quantity.
struct CartLine {
    double Price = 0;                // item.Preis, net euro
    double Surcharge = 0;            // item.Porto, its group's
    std::vector<std::string> Levels; // item.Rabatt, "quantity/rate"
    std::int64_t Quantity = 0;
};

// The rows and sums of a cart in cents.
struct CartSums {
    std::vector<std::int64_t> Units;
    std::vector<std::int64_t> Lines;
    std::int64_t Subtotal = 0;
    std::int64_t QDiscount = 0;
    std::int64_t PDiscount = 0;
    std::int64_t Total = 0;
    std::int64_t Vat = 0;
    std::int64_t Shipping = 0;
    std::int64_t Subamount = 0;
};

struct CartResult {
    std::string VatRate; // the rate charged as the order sends it, "19.00"
    std::int64_t Porto = 0;
    CartSums Euro;  // the net euro figures the order sends
    CartSums Shown; // in display currency 0, net or gross
    std::int64_t Second = 0;
    std::int64_t Missing = 0; // what the net total lacks for free delivery
    std::int64_t MissingShown = 0;
};

// VatFactor: 1 + the rate the cart charges.
double VatFactor(const CartSettings& shop);

// CartFigures of the lines in cart order. gross: the shop shows gross
// prices (Faktor is not 1); rates: Shop.EuroKurs. Throws Error when a
// figure is beyond what the cart can count exactly (a shop of absurd
// prices).
CartResult ComputeCart(const CartSettings& shop, const std::vector<CartLine>& lines, bool gross, double rate0 = 1,
                       double rate1 = 1);

// The payment fee as the order page sends it, in cents: the method's fee
// as the country script sets it (a number, else 0).
std::int64_t PaymentFeeCents(std::string_view fee);

} // namespace quillane::orderd
