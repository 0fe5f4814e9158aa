#pragma once

#include <string>
#include <string_view>
#include <vector>

// The first-time setup without the settings dialog: the home country and
// the countries served, as the dialog's basic page stores them.
namespace quillane {

// The country table's name of a country typed as that name or as one of
// its own names ("Deutschland", "Suisse"), in any letter case. Throws Error
// naming what was typed and the table when no country or more than one
// goes by it.
std::string FindCountry(const std::string& countryTable, std::string_view typed);

// Makes home (a table name) the home country, and serves it and each
// country of also. A connection kind stored already stays; without one the
// computer connects directly, as the dialog proposes when it has no dial-up
// entries. Afterwards the program is out of the setup state.
void SetUpCountries(const std::string& programDir, const std::string& home, const std::vector<std::string>& also);

} // namespace quillane
