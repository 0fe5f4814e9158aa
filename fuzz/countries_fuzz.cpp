// The countries table and the settings file, read as the program starts.
// Parts: countries.dat, then quillane.ini.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "core/settings/Country.h"
#include "core/settings/UserData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), 2);
    const std::string programDir = fuzz::CleanScratch();
    const std::string table = CountryTablePath(programDir);
    fuzz::WriteBytes(table, parts[0]);
    if (parts.size() > 1) {
        fuzz::WriteBytes(SettingsFilePath(programDir), parts[1]);
    }
    try {
        for (const std::string& name : AllCountries(table)) {
            const TCountry country = GetCountryData(table, name);
            CountryLabel(table, name, country.Language);
            ShownAmount(12.5, country);
            StoredAmount(12.5, country);
        }
        ServedCountries(table);
        GetActiveLangs(table);
        AllLanguages(table);
        TUserData user;
        ReadUserData(programDir, "Deutschland", user);
    } catch (const Error&) {
    }
    return 0;
}
