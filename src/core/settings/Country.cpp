#include "core/settings/Country.h"

#include "core/common/IniFile.h"
#include "core/common/Text.h"

#include <algorithm>

namespace quillane {

namespace {

constexpr std::string_view kDefaultLanguage = "english";

void addLanguagesOf(const IniFile& table, const std::string& section, std::vector<std::string>& list)
{
    for (const std::string& part : Split(',', table.ReadString(section, "LanguageDefault", kDefaultLanguage))) {
        const std::string language = LowerCase(part);
        const bool known =
            std::any_of(list.begin(), list.end(), [&](const std::string& l) { return SameText(l, language); });
        if (!known) {
            list.push_back(language);
        }
    }
}

// A rate of zero or below would turn every price into nonsense.
double usableRate(double rate)
{
    return rate > 0 ? rate : 1;
}

} // namespace

std::string CountryTablePath(const std::string& programDir)
{
    return programDir + "countries.dat";
}

TCountry GetCountryData(const std::string& countryTable, const std::string& name)
{
    const IniFile table(countryTable);
    TCountry c;
    c.Name = name;
    if (!table.SectionExists(name)) {
        return c;
    }
    c.EU = table.ReadBool(name, "EU", false);
    const std::string firstDefault = Split(',', table.ReadString(name, "LanguageDefault", kDefaultLanguage))[0];
    std::string language = table.ReadString(name, "LanguageSelected", "");
    // An empty selection names no language file; take the default then.
    if (language.empty()) {
        language = firstDefault;
    }
    c.Language = LowerCase(language);
    c.VAT = table.ReadFloat(name, "VAT", 0);
    c.Shipping = table.ReadFloat(name, "Shipping", 0);
    const std::string code = table.ReadString(name, "CurrencyCode", kEuroSign);
    const std::string native = table.ReadString(name, "CurrencyNative", code);
    const double rate = usableRate(table.ReadFloat(name, "EuroRate", 1));
    if (c.EU) {
        c.Currency[0] = std::string(kEuroSign);
        c.Rate[0] = 1;
        c.Currency[1] = native;
        c.Rate[1] = rate;
    } else {
        c.Currency[0] = native;
        c.Rate[0] = rate;
        c.Currency[1] = std::string(kEuroSign);
        c.Rate[1] = 1;
    }
    return c;
}

std::vector<std::string> ServedCountries(const std::string& countryTable)
{
    const IniFile table(countryTable);
    std::vector<std::string> served;
    for (const std::string& section : table.ReadSections()) {
        if (table.ReadBool(section, "Active", false)) {
            served.push_back(section);
        }
    }
    return served;
}

std::vector<std::string> AllCountries(const std::string& countryTable)
{
    return IniFile(countryTable).ReadSections();
}

void AddServedCountry(const std::string& countryTable, const std::string& name)
{
    IniFile table(countryTable);
    table.WriteBool(name, "Active", true);
    table.UpdateFile();
}

void RemoveServedCountry(const std::string& countryTable, const std::string& name)
{
    IniFile table(countryTable);
    table.WriteBool(name, "Active", false);
    table.UpdateFile();
}

std::string CountryLabel(const std::string& name, const std::string& nativeNames, const std::string& languages,
                         const std::string& language)
{
    const SplitArray natives = Split(',', nativeNames);
    const SplitArray spoken = Split(',', languages);
    std::string native = natives.empty() ? std::string() : std::string(TrimBlanks(natives[0]));
    for (std::size_t i = 0; i < spoken.size() && i < natives.size(); ++i) {
        if (SameText(TrimBlanks(spoken[i]), TrimBlanks(language)) && !TrimBlanks(natives[i]).empty()) {
            native = std::string(TrimBlanks(natives[i]));
            break;
        }
    }
    // " --- " stands in the table for a country without a name of its own.
    if (native.empty() || native == "---" || native == name) {
        return name;
    }
    return native + " (" + name + ")";
}

std::string CountryLabel(const std::string& countryTable, const std::string& name, const std::string& language)
{
    const IniFile table(countryTable);
    return CountryLabel(name, table.ReadString(name, "CountryNative", ""),
                        table.ReadString(name, "LanguageDefault", "english"), language);
}

std::vector<std::string> GetActiveLangs(const std::string& countryTable)
{
    const IniFile table(countryTable);
    std::vector<std::string> languages;
    for (const std::string& section : table.ReadSections()) {
        if (table.ReadBool(section, "Active", false)) {
            addLanguagesOf(table, section, languages);
        }
    }
    return languages;
}

std::vector<std::string> AllLanguages(const std::string& countryTable)
{
    const IniFile table(countryTable);
    std::vector<std::string> languages;
    for (const std::string& section : table.ReadSections()) {
        addLanguagesOf(table, section, languages);
    }
    return languages;
}

double ShownAmount(double stored, const TCountry& home)
{
    return stored * usableRate(home.Rate[0]);
}

double StoredAmount(double typed, const TCountry& home)
{
    return typed / usableRate(home.Rate[0]);
}

} // namespace quillane
