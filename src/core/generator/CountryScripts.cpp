#include "core/generator/CountryScripts.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Resources.h"
#include "core/common/Text.h"
#include "core/common/messages/GeneratorMessages.h"
#include "core/generator/Generation.h"
#include "core/generator/TemplateSubstitution.h"
#include "core/i18n/LanguageFile.h"
#include "core/settings/Country.h"
#include "core/settings/ShopProfile.h"

#include <algorithm>

namespace quillane {

namespace {

bool plainName(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

std::string preloadLink(const std::string& script)
{
    return "<link rel=\"preload\" as=\"script\" href=\"" + script + "\">";
}

// Separates the main groups of the menu string.
constexpr char kMenuSeparator = '\xA6';

std::string ensureFolder(const std::string& folder)
{
    CreateFolder(folder);
    return folder;
}

// The words of a language file's sections kontakt, rechnung and shop.
std::string wordsString(const std::string& languageDir, const std::string& language)
{
    const LanguageFile file(languageDir, language);
    if (!file.IsOpen()) {
        throw Error(msg::GeneratorNoWords, {languageDir, language});
    }
    std::string words;
    for (const char* section : {"kontakt", "rechnung", "shop"}) {
        for (const auto& [key, value] : file.SectionValues(section)) {
            if (!words.empty()) {
                words += '|';
            }
            words += key;
            words += '=';
            words += value;
        }
    }
    return StripDoubleQuotes(EscapeSingleQuotes(words));
}

// Accented letters count as their base letter, so that Äpfel sorts beside
// Apfel and not after Zubehör, as a merchant reading the menu expects.
std::string collationKey(std::string_view text)
{
    // The letters 0xC0 to 0xFF of Windows-1252; 0xD7 and 0xF7 are signs.
    static constexpr std::string_view kLatin[32] = {"A", "A", "A", "A", "A", "A", "AE", "C", "E",  "E", "E",
                                                    "E", "I", "I", "I", "I", "D", "N",  "O", "O",  "O", "O",
                                                    "O", "",  "O", "U", "U", "U", "U",  "Y", "TH", "SS"};
    std::string key;
    key.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        std::string_view base;
        if (u >= 0xC0) {
            base = kLatin[(u - 0xC0) % 32];
            if (u == 0xFF) {
                base = "Y";
            }
        } else if (u == 0x8A || u == 0x9A) {
            base = "S";
        } else if (u == 0x8C || u == 0x9C) {
            base = "OE";
        } else if (u == 0x8E || u == 0x9E) {
            base = "Z";
        } else if (u == 0x9F) {
            base = "Y";
        }
        if (base.empty()) {
            key += UpperChar(c);
        } else {
            key += base;
        }
    }
    return key;
}

// Bytes compared as 0 to 255, so that signs above 0x7F sort after ASCII.
bool byteLess(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

// A group name as the menu string holds it: double quotes dropped, and a
// backslash before every "=", 0xA6 and backslash, so that the shop tells
// them from its separators. ":" needs none: the shop splits each entry at
// its last ":", before the group index.
std::string menuName(std::string_view name)
{
    std::string out;
    for (char c : StripDoubleQuotes(name)) {
        if (c == '=' || c == kMenuSeparator || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

// The menu of a language: main groups sorted by name, separated by 0xA6;
// each as name:index, or name=sub:index|sub:index with its sub groups.
std::string menuString(const IniFile& groups, const std::string& language, const std::string& homeLanguage,
                       const std::vector<std::string>& shopGroups)
{
    const std::string section = groups.SectionExists(language) ? language : homeLanguage;
    struct MainGroup {
        std::string name;
        std::string own;                                       // its own group index, when it is a group itself
        std::vector<std::pair<std::string, std::string>> subs; // name and index of its sub groups
    };
    std::vector<MainGroup> mains;
    for (std::size_t index = 0; index < shopGroups.size(); ++index) {
        // An absent name is an empty one: the shop shows the group all the same.
        const std::string path = groups.ReadString(section, shopGroups[index], "");
        const SplitArray parts = Split('|', path);
        if (parts.size() > 2) {
            throw Error(msg::GeneratorGroupBar, {path, shopGroups[index], section, groups.FileName()});
        }
        // Names are compared without regard to case, as in the sort, so
        // Bücher and bücher make one main group.
        auto main =
            std::find_if(mains.begin(), mains.end(), [&](const MainGroup& m) { return SameText(m.name, parts[0]); });
        if (main == mains.end()) {
            main = mains.insert(mains.end(), MainGroup{parts[0], {}, {}});
        }
        if (parts.size() == 1) {
            // A main group of its own replaces sub groups listed before it.
            main->own = std::to_string(index);
            main->subs.clear();
        } else {
            main->subs.emplace_back(parts[1], std::to_string(index));
        }
    }
    struct Entry {
        std::string sortKey; // the names as typed
        std::string text;
    };
    std::vector<Entry> entries;
    for (const MainGroup& m : mains) {
        std::string key = m.name + "=";
        std::string rest;
        if (!m.own.empty()) {
            key += ":" + m.own + "|";
        }
        for (const auto& [name, index] : m.subs) {
            key += name + ":" + index + "|";
            rest += (rest.empty() ? "" : "|") + menuName(name) + ":" + index;
        }
        // Sub groups listed after the main group's own entry follow it
        // after a "|", as they always have.
        const std::string text = m.own.empty() ? menuName(m.name) + "=" + rest
                                               : menuName(m.name) + ":" + m.own + (rest.empty() ? "" : "|" + rest);
        entries.push_back(Entry{key, text});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const std::string ka = collationKey(a.sortKey);
        const std::string kb = collationKey(b.sortKey);
        return ka != kb ? byteLess(ka, kb) : byteLess(a.sortKey, b.sortKey);
    });
    std::string menu;
    for (const Entry& entry : entries) {
        if (!menu.empty()) {
            menu += kMenuSeparator;
        }
        menu += entry.text;
    }
    return EscapeSingleQuotes(menu);
}

// A double-quoted script literal of the values of a discount section.
std::string discountList(const IniFile& shopProfile, std::string_view section)
{
    std::string list = "\"";
    bool first = true;
    for (const auto& [name, value] : shopProfile.ReadSectionValues(section)) {
        // Items refer to levels by position; a "|" would shift every level after it.
        if (value.find('|') != std::string::npos) {
            throw Error(msg::GeneratorLevelBar, {name, section, shopProfile.FileName(), value});
        }
        if (!first) {
            list += '|';
        }
        first = false;
        for (char c : value) {
            if (c == '"' || c == '\\') {
                list += '\\';
            }
            list += c;
        }
    }
    return list + "\"";
}

std::string paymentLines(bool prepayment, bool cashOnDelivery)
{
    std::string lines;
    if (prepayment) {
        lines += "parent.Shop.Versand.Zahlung.vk = 0;\r\n";
    }
    if (cashOnDelivery) {
        lines += "parent.Shop.Versand.Zahlung.nn = [CODFEE];\r\n";
    }
    return lines;
}

bool isCodeChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

} // namespace

CountrySettings ReadCountrySettings(const IniFile& countryTable, const IniFile& shopProfile, const std::string& name)
{
    CountrySettings c;
    c.Name = name;
    c.Code = LowerCase(countryTable.ReadString(name, "CountryCode", ""));
    // An empty code is let through: the shop just cannot offer that country.
    if (!std::all_of(c.Code.begin(), c.Code.end(), isCodeChar)) {
        throw Error(msg::GeneratorCountryCode, {c.Code, name, countryTable.FileName()});
    }
    const std::string firstDefault = Split(',', countryTable.ReadString(name, "LanguageDefault", "english"))[0];
    std::string language = countryTable.ReadString(name, "LanguageSelected", firstDefault);
    if (language.empty()) {
        language = firstDefault;
    }
    c.Language = LowerCase(language);
    CheckFolderName(Message{msg::GeneratorCountryLanguage, {name}}, c.Language);
    c.NativeName = Split(',', countryTable.ReadString(name, "CountryNative", name))[0];
    if (c.NativeName.find('|') != std::string::npos) {
        throw Error(msg::GeneratorNativeNameBar, {c.NativeName, name, countryTable.FileName()});
    }
    // Where a value comes from, for the message about a bad one.
    const auto where = [&name](std::string_view key, const IniFile& file) {
        return Message{msg::GeneratorCountryField, {key, name, file.FileName()}};
    };
    c.EuroRate = CheckedRate(countryTable.ReadString(name, "EuroRate", "1"), where("EuroRate", countryTable));
    c.Currency = countryTable.ReadString(name, "CurrencySymbol",
                                         countryTable.ReadString(name, "CurrencyCode", std::string(kEuroSign)));
    c.EU = CheckedNumber(countryTable.ReadString(name, "EU", "0"), where("EU", countryTable));
    c.Vat = CheckedNumber(countryTable.ReadString(name, "VAT", "0"), where("VAT", countryTable));
    c.Prepayment = shopProfile.ReadBool(name, profile::kPrepayment, false);
    c.CashOnDelivery = shopProfile.ReadBool(name, profile::kCashOnDelivery, false);
    c.Shipping = CheckedAmount(shopProfile.ReadString(name, profile::kShipping, profile::kFeeDefault),
                               where(profile::kShipping, shopProfile));
    c.CodFee = CheckedAmount(shopProfile.ReadString(name, profile::kCodFee, profile::kFeeDefault),
                             where(profile::kCodFee, shopProfile));
    return c;
}

void FillCountryScript(const std::string& file, const CountrySettings& country)
{
    ReplaceInFile(file, "[EURORATE]", country.EuroRate);
    ReplaceInFile(file, "[CURRENCY]", EscapeSingleQuotes(country.Currency));
    ReplaceInFile(file, "[EUCOUNTRY]", country.EU);
    ReplaceInFile(file, "[COUNTRYVAT]", country.Vat);
    ReplaceInFile(file, "[COUNTRYNAME]", EscapeSingleQuotes(country.NativeName));
    ReplaceInFile(file, "[SHIPPING]", paymentLines(country.Prepayment, country.CashOnDelivery));
    ReplaceInFile(file, "[SHIPPINGFEE]", country.Shipping);
    ReplaceInFile(file, "[CODFEE]", country.CodFee);
}

void CreateCountryScripts(GenerationRun& run)
{
    const GenerationInput& in = run.In;
    const std::string shopDir = IncludeTrailingSlash(in.ShopDir);
    const std::string programDir = IncludeTrailingSlash(in.ProgramDir);

    // Words and menu per run language.
    const IniFile groups = OpenGroupsFile(in.WorkDir);
    const std::string translations = shopDir + "translations.js";
    if (!FileExists(translations)) {
        throw Error(msg::GeneratorNoTranslations, {shopDir});
    }
    for (const std::string& language : run.Languages) {
        CheckFolderName(Message{msg::GeneratorShopLanguage, {}}, language);
        const std::string file = ensureFolder(shopDir + "countries/languages/" + language + "/") + "translations.js";
        if (!CopyFileTo(translations, file)) {
            throw Error(msg::GeneratorCannotCopy, {translations, file});
        }
        ReplaceInFile(file, "[WORDS]", wordsString(IncludeTrailingSlash(in.LanguageDir), language));
        ReplaceInFile(file, "[MENU]", menuString(groups, language, in.Home.Language, run.ShopGroups));
    }

    // Discount levels.
    const IniFile shopProfile(ShopProfilePath(IncludeTrailingSlash(in.DataDir)));
    ReplaceInShopFile(run, "var_init.js", "[MRABATT]", discountList(shopProfile, profile::kQuantityDiscount));
    ReplaceInShopFile(run, "var_init.js", "[PRABATT]", discountList(shopProfile, profile::kPriceDiscount));

    // A settings script per checked country, the home data with the home country.
    const IniFile countryTable(CountryTablePath(programDir));
    std::string countryList;
    std::string preload; // the home country's scripts, which the shop page writes in while it starts
    for (const std::string& name : in.Choices.Countries) {
        const CountrySettings country = ReadCountrySettings(countryTable, shopProfile, name);
        const std::string script = ensureFolder(shopDir + "countries/settings/") + country.Code + ".js";
        ResourceToFile("SETCOUNTRY", script);
        countryList += "\r\nLand['" + country.Code + "'] = '" + EscapeSingleQuotes(country.NativeName) + "|" +
                       EscapeSingleQuotes(country.Language) + "';";
        if (name == in.Home.Name) {
            ReplaceInShopFile(run, "var_init.js", "[HOME_VAT]", FormatNumber(1 + in.Home.VAT / 100));
            ReplaceInShopFile(run, "var_init.js", "[HOME_EUCOUNTRY]", in.Home.EU ? "1" : "0");
            ReplaceInShopFile(run, "var_init.js", "[HOME_INDEX]", country.Code);
            ReplaceInShopFile(run, "var_init.js", "[HOME_CURRENCY]", EscapeSingleQuotes(country.Currency));
            ReplaceInShopFile(run, "var_init.js", "[HOME_EURORATE]", country.EuroRate);
            // Only names that need no escaping in an address; others are found as before.
            if (plainName(country.Code)) {
                preload = preloadLink("countries/settings/" + country.Code + ".js");
            }
            if (plainName(country.Language)) {
                preload += preloadLink("countries/languages/" + country.Language + "/translations.js");
            }
        }
        FillCountryScript(script, country);
    }
    ReplaceInShopFile(run, "var_init.js", "[LAENDER]", countryList + "\r\n");
    // Asked for with the shop page's first scripts instead of a round trip later.
    if (FileExists(shopDir + "index.html")) {
        ReplaceInFile(shopDir + "index.html", "<!-- PRELOAD -->", preload);
    }
}

} // namespace quillane
