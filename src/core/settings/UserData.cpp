#include "core/settings/UserData.h"

#include "core/common/IniFile.h"
#include "core/common/Text.h"

#include <cstdlib>
#include <map>

namespace quillane {

std::string SettingsFilePath(const std::string& programDir)
{
    return programDir + "quillane.ini";
}

IniFile OpenSettingsFile(const std::string& programDir)
{
    IniFile ini(SettingsFilePath(programDir));
    ini.SetOwnerOnly(true);
    return ini;
}

void CheckUserDataFiles(const std::string& programDir)
{
    // Opening reads them whole, and refuses what it cannot read.
    [[maybe_unused]] const IniFile settings(SettingsFilePath(programDir));
    [[maybe_unused]] const IniFile countries(CountryTablePath(programDir));
}

std::string ReadUserData(const std::string& programDir, const std::string& defaultCountry, TUserData& user)
{
    const IniFile ini(SettingsFilePath(programDir));
    user.Connection = ini.ReadInteger("Connection", "Connection", -1);
    user.autocon = ini.ReadBool("Connection", "autocon", false);
    user.autodc = ini.ReadBool("Connection", "autodc", false);
    user.UserID = ini.ReadString("Account", "UserID", "");
    user.Password = ini.ReadString("Account", "Password", "");
    const std::string country = ini.ReadString("Account", "Country", "");

    const bool setup = country.empty() || user.Connection == -1;
    const std::string table = CountryTablePath(programDir);
    if (setup) {
        user.Connection = 1;
        user.Country = GetCountryData(table, defaultCountry);
        return std::string(kSetupStatus);
    }
    user.Country = GetCountryData(table, country);
    return {};
}

std::string DefaultCountryFor(std::string_view systemLanguageName)
{
    const std::string_view first = systemLanguageName.substr(0, systemLanguageName.find(' '));
    return first == "Deutsch" ? "Germany" : "Ireland";
}

std::string SystemLanguageName()
{
    std::string locale;
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') {
            locale = value;
            break;
        }
    }
    // "de_AT.UTF-8@euro" -> language "de", territory "AT"
    locale = locale.substr(0, locale.find_first_of(".@"));
    const std::string language = locale.substr(0, locale.find('_'));
    const std::string territory = locale.find('_') == std::string::npos ? "" : locale.substr(locale.find('_') + 1);

    static const std::map<std::string, std::string> kLanguages = {{"de", "Deutsch"},
                                                                  {"en", "English"},
                                                                  {"fr", "Fran\xE7"
                                                                         "ais"},
                                                                  {"it", "Italiano"},
                                                                  {"es", "Espa\xF1ol"},
                                                                  {"nl", "Nederlands"},
                                                                  {"pt", "Portugu\xEAs"},
                                                                  {"da", "Dansk"},
                                                                  {"sv", "Svenska"},
                                                                  {"nb", "Norsk"},
                                                                  {"fi", "Suomi"},
                                                                  {"pl", "Polski"},
                                                                  {"cs", "\xC8"
                                                                         "e\x9Atina"},
                                                                  {"hu", "Magyar"},
                                                                  {"ro", "Rom\xE2n\xE3"},
                                                                  {"is", "\xCDslenska"}};
    static const std::map<std::string, std::string> kGermanTerritories = {
        {"DE", "Deutschland"},   {"AT", "\xD6sterreich"}, {"CH", "Schweiz"},
        {"LI", "Liechtenstein"}, {"LU", "Luxemburg"},     {"BE", "Belgien"}};

    const auto it = kLanguages.find(language);
    if (it == kLanguages.end()) {
        return "English";
    }
    std::string name = it->second;
    if (language == "de") {
        const auto t = kGermanTerritories.find(territory);
        if (t != kGermanTerritories.end()) {
            name += " (" + t->second + ")";
        }
    } else if (!territory.empty()) {
        name += " (" + territory + ")";
    }
    return name;
}

} // namespace quillane
