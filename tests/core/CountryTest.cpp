#include "core/settings/Country.h"
#include "TestSupport.h"
#include "core/common/IniFile.h"
#include "core/settings/AppDirs.h"
#include "core/settings/UserData.h"

#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;

namespace {

const char* kTable =
    "[Denmark]\r\nEU=1\r\nCurrencyCode=DKK\r\nEuroRate=7.45\r\nLanguageDefault=dansk\r\n"
    "[Denmark2]\r\nEU=0\r\nCurrencyCode=DKK\r\nEuroRate=7.45\r\n"
    "[Germany]\r\nActive=1\r\nEU=1\r\nVAT=19\r\nLanguageDefault=deutsch\r\nLanguageSelected=Deutsch\r\n"
    "[Switzerland]\r\nActive=1\r\nEuroRate=0.94\r\nCurrencyCode=CHF\r\nCurrencyNative=SFr\r\n"
    "LanguageDefault=deutsch,francais,italiano\r\nVAT=8.1\r\n"
    "[Canada]\r\nActive=1\r\nLanguageDefault=english,french\r\n"
    "[Nowhere]\r\nActive=1\r\n"
    "[Broken]\r\nEuroRate=abc\r\nVAT=\r\nEU=yes\r\n";

} // namespace

TEST(Country, CurrencySlotsFollowTheEuFlag)
{
    TempDir dir;
    const std::string table = dir.write("countries.dat", kTable);
    const TCountry eu = GetCountryData(table, "Denmark");
    EXPECT_TRUE(eu.EU);
    EXPECT_EQ(eu.Currency[0], "\x80");
    EXPECT_EQ(eu.Currency[1], "DKK");
    EXPECT_DOUBLE_EQ(eu.Rate[0], 1);
    EXPECT_DOUBLE_EQ(eu.Rate[1], 7.45);
    EXPECT_EQ(eu.Language, "dansk");

    const TCountry nonEu = GetCountryData(table, "Denmark2");
    EXPECT_EQ(nonEu.Currency[0], "DKK");
    EXPECT_EQ(nonEu.Currency[1], "\x80");
    EXPECT_DOUBLE_EQ(nonEu.Rate[0], 7.45);
    EXPECT_DOUBLE_EQ(nonEu.Rate[1], 1);
    EXPECT_EQ(nonEu.Language, "english");

    const TCountry ch = GetCountryData(table, "switzerland");
    EXPECT_EQ(ch.Currency[0], "SFr");
    EXPECT_EQ(ch.Language, "deutsch");
    EXPECT_DOUBLE_EQ(ch.VAT, 8.1);

    EXPECT_EQ(GetCountryData(table, "Germany").Language, "deutsch"); // the selection, lower-cased
}

TEST(Country, MissingAndBrokenSectionsGiveDefaults)
{
    TempDir dir;
    const std::string table = dir.write("countries.dat", kTable);
    for (const char* name : {"Atlantis", "Broken"}) {
        const TCountry c = GetCountryData(table, name);
        EXPECT_EQ(c.Name, name);
        EXPECT_EQ(c.Language, "english");
        EXPECT_DOUBLE_EQ(c.VAT, 0);
        EXPECT_FALSE(c.EU);
        EXPECT_EQ(c.Currency[0], "\x80");
        EXPECT_DOUBLE_EQ(c.Rate[0], 1);
    }
    EXPECT_EQ(GetCountryData(dir.file("none.dat"), "Germany").Language, "english");
}

TEST(Country, ServedCountriesAndLanguages)
{
    TempDir dir;
    const std::string table = dir.write("countries.dat", kTable);
    using V = std::vector<std::string>;
    EXPECT_EQ(ServedCountries(table), (V{"Germany", "Switzerland", "Canada", "Nowhere"}));
    // Each language once, in lower case; a country without languages adds english.
    EXPECT_EQ(GetActiveLangs(table), (V{"deutsch", "francais", "italiano", "english", "french"}));
    EXPECT_EQ(AllLanguages(table), (V{"dansk", "english", "deutsch", "francais", "italiano", "french"}));

    AddServedCountry(table, "Denmark");
    RemoveServedCountry(table, "Switzerland");
    EXPECT_EQ(ServedCountries(table), (V{"Denmark", "Germany", "Canada", "Nowhere"}));
    EXPECT_EQ(IniFile(table).ReadString("Switzerland", "Active", ""), "0");
    EXPECT_TRUE(ServedCountries(dir.file("none.dat")).empty());
}

TEST(Country, LanguagesMatchWithoutCase)
{
    TempDir dir;
    const std::string table =
        dir.write("c.dat", "[A]\nActive=1\nLanguageDefault=a,b\n[B]\nActive=1\nLanguageDefault=B\n"
                           "[C]\nActive=1\nLanguageDefault=English\n[D]\nActive=1\n");
    EXPECT_EQ(GetActiveLangs(table), (std::vector<std::string>{"a", "b", "english"}));
}

TEST(Country, ListLabelsPutTheCountrysOwnNameFirst)
{
    struct Case {
        const char* name;
        const char* natives;
        const char* languages;
        const char* language;
        const char* label;
    };
    const Case cases[] = {
        {"Germany", "Deutschland", "deutsch", "deutsch", "Deutschland (Germany)"},
        {"Germany", "Deutschland", "deutsch", "english", "Deutschland (Germany)"},
        // Several own names: the one of the interface language, else the first.
        {"Belgium", "België,Belgique,Belgien", "nederlands,francais,deutsch", "deutsch", "Belgien (Belgium)"},
        {"Belgium", "België,Belgique,Belgien", "nederlands,francais,deutsch", "Francais", "Belgique (Belgium)"},
        {"Belgium", "België,Belgique,Belgien", "nederlands,francais,deutsch", "english", "België (Belgium)"},
        // Blanks around the parts do not show.
        {"Switzerland", " Schweiz , Suisse", "deutsch, francais", "francais", "Suisse (Switzerland)"},
        // Nothing of its own, or the same name: the table's name alone.
        {"Australia", "Australia", "english", "english", "Australia"},
        {"Nowhere", "", "english", "deutsch", "Nowhere"},
        {"Nowhere", " --- ", "english", "deutsch", "Nowhere"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " / " + c.language);
        EXPECT_EQ(CountryLabel(c.name, c.natives, c.languages, c.language), c.label);
    }
}

TEST(Country, HomeRateConversions)
{
    TCountry home;
    home.Rate[0] = 1.95583;
    EXPECT_NEAR(ShownAmount(12.5, home), 24.447875, 1e-12);
    EXPECT_NEAR(StoredAmount(24.45, home), 12.501086, 1e-6);
    home.Rate[0] = 0; // a broken table never divides by zero
    EXPECT_DOUBLE_EQ(StoredAmount(5, home), 5);
}

TEST(UserData, SetupStateAndNormalState)
{
    TempDir dir;
    dir.write("countries.dat", kTable);
    struct Case {
        const char* ini;
        const char* status;
        int connection;
        const char* country;
    } cases[] = {
        {nullptr, "setup", 1, "Ireland"},
        {"[Account]\nCountry=Germany\n", "setup", 1, "Ireland"},
        {"[Connection]\nconnection=2\n", "setup", 1, "Ireland"},
        {"[Account]\nCountry=Germany\n[Connection]\nConnection=-1\n", "setup", 1, "Ireland"},
        {"[Account]\nCountry=Germany\n[Connection]\nconnection=1\n", "", 1, "Germany"},
        {"[Account]\nCountry=Switzerland\n[Connection]\nCONNECTION=3\nautocon=1\n", "", 3, "Switzerland"},
    };
    for (const auto& c : cases) {
        if (c.ini) {
            dir.write("quillane.ini", c.ini);
        }
        TUserData user;
        EXPECT_EQ(ReadUserData(dir.path(), "Ireland", user), c.status) << (c.ini ? c.ini : "no file");
        EXPECT_EQ(user.Connection, c.connection);
        EXPECT_EQ(user.Country.Name, c.country);
    }
    TUserData user;
    dir.write("quillane.ini",
              "[Account]\nUserID=shop7\nPassword=pw\nCountry=Germany\n[Connection]\nconnection=1\nautodc=1\n");
    EXPECT_EQ(ReadUserData(dir.path(), "Ireland", user), "");
    EXPECT_EQ(user.UserID, "shop7");
    EXPECT_EQ(user.Password, "pw");
    EXPECT_TRUE(user.autodc);
    EXPECT_FALSE(user.autocon);
    EXPECT_DOUBLE_EQ(user.Country.VAT, 19);
}

TEST(UserData, DefaultCountryFromTheSystemLanguage)
{
    EXPECT_EQ(DefaultCountryFor("Deutsch (Deutschland)"), "Germany");
    EXPECT_EQ(DefaultCountryFor("Deutsch"), "Germany");
    EXPECT_EQ(DefaultCountryFor("deutsch (Deutschland)"), "Ireland");
    EXPECT_EQ(DefaultCountryFor("Deutschland"), "Ireland");
    EXPECT_EQ(DefaultCountryFor("English (United Kingdom)"), "Ireland");
    EXPECT_EQ(DefaultCountryFor(""), "Ireland");

    ::setenv("LC_ALL", "de_AT.UTF-8", 1);
    EXPECT_EQ(SystemLanguageName(), "Deutsch (\xD6sterreich)");
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(DefaultCountryFor(SystemLanguageName()), "Ireland");
    ::unsetenv("LC_ALL");
}

TEST(AppDirs, SeedingAddsMissingFilesAndRenewsTheHelp)
{
    TempDir dir;
    dir.write("shipped/countries.dat", "[Germany]\n");
    dir.write("shipped/sprache/deutsch.lng", "[Actions]\n");
    dir.write("home/countries.dat", "merchant's own");
    // The help pages are the program's: those of a newer version replace the older ones.
    dir.write("shipped/hilfe/kurzanleitung.html", "new guide");
    dir.write("home/hilfe/kurzanleitung.html", "old guide");
    ASSERT_TRUE(SeedProgramDir(dir.file("home/"), dir.file("shipped/")));
    EXPECT_EQ(dir.read("home/countries.dat"), "merchant's own");
    EXPECT_EQ(dir.read("home/sprache/deutsch.lng"), "[Actions]\n");
    EXPECT_EQ(dir.read("home/hilfe/kurzanleitung.html"), "new guide");

    const TAppDirs dirs = MakeAppDirs(dir.file("home"));
    EXPECT_EQ(dirs.ProgramDir, dir.file("home/"));
    EXPECT_EQ(dirs.TempDir, dir.file("home/temp/"));
    EXPECT_EQ(dirs.LanguageDir, dir.file("home/sprache/"));
}
