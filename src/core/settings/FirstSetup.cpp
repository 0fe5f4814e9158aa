#include "core/settings/FirstSetup.h"

#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/OrdersMessages.h"
#include "core/settings/Country.h"
#include "core/settings/UserData.h"

namespace quillane {

std::string FindCountry(const std::string& countryTable, std::string_view typed)
{
    const std::string_view wanted = TrimBlanks(typed);
    const IniFile table(countryTable);
    std::vector<std::string> found;
    for (const std::string& name : table.ReadSections()) {
        bool matches = !wanted.empty() && SameText(name, wanted);
        for (const std::string& own : Split(',', table.ReadString(name, "CountryNative", ""))) {
            matches = matches || (!wanted.empty() && SameText(TrimBlanks(own), wanted));
        }
        if (matches) {
            found.push_back(name);
        }
    }
    if (found.empty()) {
        throw Error(msg::FirstSetupUnknownCountry, {wanted, countryTable});
    }
    if (found.size() > 1) {
        std::string names;
        for (const std::string& name : found) {
            names += (names.empty() ? "" : ", ") + name;
        }
        throw Error(msg::FirstSetupAmbiguousCountry, {wanted, countryTable, names});
    }
    return found.front();
}

void SetUpCountries(const std::string& programDir, const std::string& home, const std::vector<std::string>& also)
{
    const std::string table = CountryTablePath(programDir);
    AddServedCountry(table, home);
    for (const std::string& name : also) {
        AddServedCountry(table, name);
    }
    IniFile settings = OpenSettingsFile(programDir);
    if (settings.ReadInteger("Connection", "connection", -1) == -1) {
        settings.WriteInteger("Connection", "connection", static_cast<int>(ConnectionKind::Direct));
    }
    settings.WriteString("Account", "Country", home);
    settings.UpdateFile();
}

} // namespace quillane
