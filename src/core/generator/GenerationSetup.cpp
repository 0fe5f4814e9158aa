#include "core/generator/GenerationSetup.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/GeneratorMessages.h"
#include "core/settings/Country.h"
#include "core/settings/ShopProfile.h"

#include <algorithm>

namespace quillane {

namespace {

std::string profilePath(const std::string& dataDir)
{
    return dataDir + "shopprofil.ini";
}

} // namespace

std::vector<std::string> LayoutNames(const std::string& programDir)
{
    std::vector<std::string> names = ListFiles(programDir + "layouts/", "*.*", 2, false, false, false);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> CheckedCountries(const std::string& countryTable, const std::string& listed,
                                          const std::string& homeCountry)
{
    std::vector<std::string> names;
    for (const std::string& part : Split(',', listed)) {
        names.push_back(Trim(part));
    }
    std::vector<std::string> checked;
    for (const std::string& country : ServedCountries(countryTable)) {
        // Exact names: a short name inside a longer one does not count.
        if (country == homeCountry || std::find(names.begin(), names.end(), country) != names.end()) {
            checked.push_back(country);
        }
    }
    return checked;
}

GenerationChoices ReadCreation(const std::string& dataDir, const std::string& programDir,
                               const std::string& homeCountry)
{
    const IniFile ini(profilePath(dataDir));
    using namespace profile;
    GenerationChoices c;
    c.ItemsStd = ini.ReadString(kCreation, kViewStandard, kViewStandardDefault);
    c.ItemsPro = ini.ReadString(kCreation, kViewPreview, kViewPreviewDefault);
    c.ItemsDtl = ini.ReadString(kCreation, kViewDetail, kViewDetailDefault);
    c.PriceDisplay = ini.ReadInteger(kCreation, kPrices, kPricesDefault);
    if (c.PriceDisplay < 0 || c.PriceDisplay > 1) {
        c.PriceDisplay = kPricesDefault;
    }
    c.DefaultView = ini.ReadInteger(kCreation, kView, kViewDefault);
    if (c.DefaultView < 0 || c.DefaultView > 2) {
        c.DefaultView = kViewDefault;
    }
    c.Xxl = ini.ReadBool(kCreation, kXxl, false);
    const std::vector<std::string> layouts = LayoutNames(programDir);
    c.Layout = ini.ReadString(kCreation, kLayoutName, layouts.empty() ? "" : layouts.front());
    // A stored layout that is gone falls back to the first one there is, or to
    // none, so the caller can say that no layout is installed.
    if (std::find(layouts.begin(), layouts.end(), c.Layout) == layouts.end()) {
        c.Layout = layouts.empty() ? "" : layouts.front();
    }
    c.Countries = CheckedCountries(CountryTablePath(programDir),
                                   ini.ReadString(kCreation, kCountries, kCountriesDefault), homeCountry);
    return c;
}

void WriteCreation(const std::string& dataDir, const GenerationChoices& choices)
{
    using namespace profile;
    for (const std::string& number : {choices.ItemsStd, choices.ItemsPro, choices.ItemsDtl}) {
        std::int32_t value = 0;
        if (!TryParseInteger(number, value) || value < 1) {
            throw Error(msg::GeneratorItemsPerPage, {number});
        }
    }
    IniFile ini = OpenShopProfile(dataDir);
    ini.WriteString(kCreation, kViewStandard, Trim(choices.ItemsStd));
    ini.WriteString(kCreation, kViewPreview, Trim(choices.ItemsPro));
    ini.WriteString(kCreation, kViewDetail, Trim(choices.ItemsDtl));
    ini.WriteInteger(kCreation, kPrices, choices.PriceDisplay);
    ini.WriteBool(kCreation, kXxl, choices.Xxl);
    ini.WriteString(kCreation, kLayoutName, choices.Layout);
    ini.WriteInteger(kCreation, kView, choices.DefaultView);
    std::string joined;
    for (const std::string& country : choices.Countries) {
        joined += (joined.empty() ? "" : ",") + country;
    }
    ini.WriteString(kCreation, kCountries, joined);
    ini.UpdateFile();
}

DestinationCountry ReadDestination(const std::string& countryTable, const std::string& dataDir, const std::string& name,
                                   double homeRate, bool eu)
{
    using namespace profile;
    const IniFile table(countryTable);
    const IniFile ini(profilePath(dataDir));
    const double rate = homeRate > 0 ? homeRate : 1;
    DestinationCountry d;
    const std::string first = Split(',', table.ReadString(name, "LanguageDefault", "english"))[0];
    d.Language = LowerCase(table.ReadString(name, "LanguageSelected", first));
    d.Currency = table.ReadString(name, "CurrencySymbol", table.ReadString(name, "CurrencyCode", kEuroSign));
    d.EuroRate = table.ReadString(name, "EuroRate", "1");
    d.EU = table.ReadBool(name, "EU", eu);
    d.Prepayment = ini.ReadBool(name, kPrepayment, true);
    d.CashOnDelivery = ini.ReadBool(name, kCashOnDelivery, false);
    d.Shipping = FormatDecimals(2, ParseNumber(ini.ReadString(name, kShipping, "0")) * rate);
    d.CodFee = FormatDecimals(2, ParseNumber(ini.ReadString(name, kCodFee, "0")) * rate);
    return d;
}

std::optional<DestinationFault> CheckDestination(const std::string& name, const DestinationCountry& country)
{
    double value = 0;
    // The shop reads a rate of 0 or none as 1: refused, or prices would be
    // shown in the wrong currency without a word.
    if (!Trim(country.EuroRate).empty() && (!TryParseAmount(country.EuroRate, value) || value <= 0)) {
        return DestinationFault{DestinationFault::EuroRate, {msg::GeneratorBadRate, {name, country.EuroRate}}};
    }
    if (!Trim(country.Shipping).empty() && !TryParseAmount(country.Shipping, value)) {
        return DestinationFault{DestinationFault::Shipping, {msg::GeneratorBadShipping, {name, country.Shipping}}};
    }
    if (!Trim(country.CodFee).empty() && !TryParseAmount(country.CodFee, value)) {
        return DestinationFault{DestinationFault::CodFee, {msg::GeneratorBadCodFee, {name, country.CodFee}}};
    }
    return std::nullopt;
}

void SaveDestination(const std::string& countryTable, const std::string& dataDir, const std::string& name,
                     const DestinationCountry& country, double homeRate)
{
    if (name.empty()) {
        return;
    }
    if (const std::optional<DestinationFault> fault = CheckDestination(name, country)) {
        throw Error(fault->Said);
    }
    auto amount = [](const std::string& text) {
        double value = 0;
        static_cast<void>(TryParseAmount(text, value)); // an empty or bad amount counts as nothing
        return value;
    };
    using namespace profile;
    {
        IniFile table(countryTable);
        table.WriteBool(name, "EU", country.EU);
        if (!country.Language.empty()) {
            table.WriteString(name, "LanguageSelected", country.Language);
        }
        if (!country.Currency.empty()) {
            table.WriteString(name, "CurrencySymbol", country.Currency);
        }
        if (!Trim(country.EuroRate).empty()) {
            table.WriteString(name, "EuroRate", FormatNumber(amount(country.EuroRate)));
        }
        table.UpdateFile();
    }
    const double rate = homeRate > 0 ? homeRate : 1;
    IniFile ini = OpenShopProfile(dataDir);
    ini.WriteBool(name, kPrepayment, country.Prepayment);
    ini.WriteBool(name, kCashOnDelivery, country.CashOnDelivery);
    // A fee of 0 is a merchant's choice (free shipping) and is stored; only an
    // empty field keeps what is stored.
    if (!Trim(country.Shipping).empty()) {
        ini.WriteString(name, kShipping, FormatDecimals(3, amount(country.Shipping) / rate));
    }
    if (!Trim(country.CodFee).empty()) {
        ini.WriteString(name, kCodFee, FormatDecimals(3, amount(country.CodFee) / rate));
    }
    ini.UpdateFile();
}

GenerationInput MakeGenerationInput(const TAppDirs& dirs, const TUserData& user, const GenerationChoices& choices,
                                    const std::tm& runDate)
{
    GenerationInput in;
    in.ProgramDir = dirs.ProgramDir;
    in.LanguageDir = dirs.LanguageDir;
    in.WorkDir = dirs.TempDir;
    in.DataDir = dirs.DataDir;
    in.ShopDir = dirs.ShopDir;
    in.Home = user.Country;
    in.UserId = user.UserID;
    in.Choices = choices;
    in.RunDate = runDate;
    return in;
}

void ApplyHomeDestination(const std::string& programDir, const std::string& dataDir, const TCountry& home)
{
    const std::string table = CountryTablePath(programDir);
    const DestinationCountry shown = ReadDestination(table, dataDir, home.Name, home.Rate[0], home.EU);
    SaveDestination(table, dataDir, home.Name, shown, home.Rate[0]);
}

} // namespace quillane
