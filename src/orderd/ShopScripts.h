#pragma once

#include <string>
#include <utility>
#include <vector>

// The settings of a published shop as its scripts hold them: what the
// generator wrote into var_init.js and into the script of every country it
// delivers to (countries/settings/<code>.js), read as the shop window reads
// them. Only what the cart computes with is taken.
namespace quillane::orderd {

struct ShopSettings {
    double HomeVat = 1;                      // Shop.Home.VAT, a factor such as 1.19
    std::string HomeIndex;                   // Shop.Home.Index, the home country's code
    double HomeEu = 0;                       // Shop.Home.EU
    bool VatByDestination = false;           // Shop.VatByDestination
    std::vector<std::string> QuantityLevels; // Shop.Rabatt.Menge, "quantity/rate"
    std::vector<std::string> PriceLevels;    // Shop.Rabatt.Preis, "amount/rate"
    double FreeDelivery = 0;                 // Shop.Versand.Freihaus
    double Packing = 0;                      // Shop.Versand.Verpackung
    std::vector<std::string> CountryCodes;   // the keys of Land, in script order
};

struct ShopCountry {
    std::string Code;
    std::string Name;       // Shop.Destination.Name, the country's own name
    double ShippingFee = 0; // added to the packing fee
    double Vat = 0;         // Shop.Destination.VAT, percent
    double Eu = 0;          // Shop.Destination.EU
    // Shop.Versand.Zahlung: key word and fee as written, in script order.
    std::vector<std::pair<std::string, std::string>> Payments;
};

// The most countries a shop's settings may name.
inline constexpr std::size_t kMaxShopCountries = 300;

// Throws Error naming what var_init.js lacks; a shop published before the
// cart knew VAT by destination lacks Shop.VatByDestination.
ShopSettings ReadShopSettings(const std::string& script);

// Throws Error naming what the country script lacks; a shop published
// before lacks Shop.Destination.Name.
ShopCountry ReadCountryScript(const std::string& script, const std::string& code);

} // namespace quillane::orderd
