#pragma once

#include "core/common/Message.h"
#include "core/generator/Generation.h"
#include "core/settings/AppDirs.h"
#include "core/settings/UserData.h"

#include <optional>
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
DestinationCountry ReadDestination(const std::string& countryTable, const std::string& dataDir, const std::string& name,
                                   double homeRate, bool eu);
// A field of a destination that cannot be stored, and what is wrong with it.
struct DestinationFault {
    enum Field { EuroRate, Shipping, CodFee } Which;
    Message Said; // names the country, the field and the text
};
// The first such field: a rate that is no number above 0, a fee that is no
// amount (text, negative). Empty fields keep what is stored and pass.
std::optional<DestinationFault> CheckDestination(const std::string& name, const DestinationCountry& country);

// Writes it back: empty fields leave the stored value. Throws the error of
// CheckDestination before writing anything.
void SaveDestination(const std::string& countryTable, const std::string& dataDir, const std::string& name,
                     const DestinationCountry& country, double homeRate);

// The input of a run from the program's state (the open project's folders,
// the settings read at start-up), the merchant's choices and the day the
// run is dated. The window and the command-line tool both start here, so
// they build the same shop; the progress sink is theirs to set.
GenerationInput MakeGenerationInput(const TAppDirs& dirs, const TUserData& user, const GenerationChoices& choices,
                                    const std::tm& runDate);

// Stores the home country as the dialog's panel shows it: the payment
// choices and amounts the panel defaults to become the profile's. A run
// does this after CheckGenerationInput and after the panel was saved.
void ApplyHomeDestination(const std::string& programDir, const std::string& dataDir, const TCountry& home);

} // namespace quillane
