#pragma once

#include "generator/Generation.h"

#include <string>
#include <vector>

namespace quillane {

// The layouts of the program folder (sub folders of layouts/), by name.
std::vector<std::string> LayoutNames(const std::string& programDir);

// The served countries that a run includes: those named in the shop
// profile's country list (whole names only) and always the home country,
// in the order of the country table.
std::vector<std::string> CheckedCountries(const std::string& countryTable, const std::string& listed,
                                          const std::string& homeCountry);

// The choices stored in the shop profile's Creation section, with the
// defaults the generation dialog shows; values out of range read as their
// defaults.
GenerationChoices ReadCreation(const std::string& dataDir, const std::string& programDir,
                               const std::string& homeCountry);
// Stores the choices; the items-per-page texts must be whole numbers.
void WriteCreation(const std::string& dataDir, const GenerationChoices& choices);

// One destination country as the generation dialog edits it: texts as shown.
struct DestinationCountry {
    std::string Language;
    std::string Currency;
    std::string EuroRate;
    bool EU = false;
    bool Prepayment = true;
    bool CashOnDelivery = false;
    std::string Shipping; // home currency, two decimals
    std::string CodFee;   // home currency, two decimals
};

// Reads a country from the country table and the shop profile; eu is the
// value kept when the table holds none.
DestinationCountry ReadDestination(const std::string& countryTable, const std::string& dataDir,
                                   const std::string& name, double homeRate, bool eu);
// Writes it back: empty fields leave the stored value.
void SaveDestination(const std::string& countryTable, const std::string& dataDir, const std::string& name,
                     const DestinationCountry& country, double homeRate);

} // namespace quillane
