#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillane {

// The euro sign as the program stores it (Windows-1252).
inline constexpr std::string_view kEuroSign = "\x80";

// One country's settings. Slot 0 of Currency and Rate is the currency in
// which the country's prices are shown; rates are units per euro.
struct TCountry {
    bool EU = false;
    std::string Name;
    std::string Language = "english";
    double VAT = 0;
    double Shipping = 0;
    std::string Currency[2] = {std::string(kEuroSign), std::string(kEuroSign)};
    double Rate[2] = {1, 1};
};

// The country table file of a program directory.
std::string CountryTablePath(const std::string& programDir);

// Reads the section of that name; a missing section gives the defaults
// with the name set.
TCountry GetCountryData(const std::string& countryTable, const std::string& name);

// Countries the merchant serves, in file order.
std::vector<std::string> ServedCountries(const std::string& countryTable);
// All countries of the table, in file order.
std::vector<std::string> AllCountries(const std::string& countryTable);
void AddServedCountry(const std::string& countryTable, const std::string& name);
void RemoveServedCountry(const std::string& countryTable, const std::string& name);

// The languages of the served countries (GetActiveLangs): each part of
// LanguageDefault in lower case, once, in table order.
std::vector<std::string> GetActiveLangs(const std::string& countryTable);
// The same over every country of the table.
std::vector<std::string> AllLanguages(const std::string& countryTable);

// A country as the lists show it: its own name first, in the language asked
// for when it has one of its own there (nativeNames and languages are the
// table's comma lists, in the same order), then the table's name in
// parentheses: "Deutschland (Germany)". The table's name alone when there is
// no own name or it is the same.
std::string CountryLabel(const std::string& name, const std::string& nativeNames, const std::string& languages,
                         const std::string& language);
// The same, read from the country table.
std::string CountryLabel(const std::string& countryTable, const std::string& name, const std::string& language);

// Home currency conversions: amounts are stored in euro.
double ShownAmount(double stored, const TCountry& home);
double StoredAmount(double typed, const TCountry& home);

} // namespace quillane
