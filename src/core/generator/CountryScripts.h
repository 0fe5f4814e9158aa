#pragma once

#include <string>

namespace quillane {

class IniFile;

// One checked country's part of the shop, from countries.dat and the shop
// profile, as stored (not yet escaped).
struct CountrySettings {
    std::string Name;       // the section name in both files
    std::string Code;       // CountryCode, lower case: the settings script's name
    std::string Language;   // the country's shop language, lower case
    std::string NativeName; // the first of the CountryNative names
    std::string EuroRate;   // as stored
    std::string Currency;   // CurrencySymbol, else CurrencyCode, else the euro sign
    std::string EU;         // as stored, "0" when missing
    std::string Vat;        // VAT in percent, as stored, "0" when missing
    bool Prepayment = false;
    bool CashOnDelivery = false;
    std::string Shipping; // euro, as stored
    std::string CodFee;   // euro, as stored
};

// Reads the country named name. Throws an error naming the country and the
// key for a value that would break the shop's scripts or lead out of the
// shop folder: a code other than letters, digits, "-" and "_", a language
// that cannot be a folder, a "|" in the native name or language, an EU flag
// or VAT that is no decimal number, a rate that is none above 0, a fee that is no
// amount.
CountrySettings ReadCountrySettings(const IniFile& countryTable, const IniFile& shopProfile, const std::string& name);

// Fills the placeholders of a written settings-script template.
void FillCountryScript(const std::string& file, const CountrySettings& country);

} // namespace quillane
