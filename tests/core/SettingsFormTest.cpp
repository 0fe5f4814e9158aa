#include "core/settings/SettingsForm.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/settings/RememberedFolders.h"
#include "core/settings/UserData.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillane;
using quillane::test::TempDir;

namespace {

const char* kTable = "[Germany]\r\nActive=1\r\nCountryNative=Deutschland\r\nFlagIndex=12\r\nLanguageDefault=deutsch\r\n"
                     "EU=1\r\nVAT=19\r\nCurrencyCode=EUR\r\nCurrencySymbol=\x80\r\n"
                     "[Ireland]\r\nActive=1\r\nLanguageDefault=english\r\nEU=1\r\nVAT=23\r\n"
                     "[Switzerland]\r\nLanguageDefault=deutsch,francais,italiano\r\nCurrencyCode=CHF\r\n"
                     "EuroRate=0.94\r\n";

} // namespace

TEST(SettingsForm, CountryListsAndCountryData)
{
    TempDir dir;
    const std::string table = dir.write("countries.dat", kTable);
    const CountryLists lists = RefreshCountryList(table, "Ireland", "english");
    ASSERT_EQ(lists.Served.size(), 2u);
    EXPECT_EQ(lists.Served[0].Label, "Deutschland (Germany)");
    EXPECT_EQ(lists.Served[1].Label, "Ireland");
    EXPECT_EQ(lists.Served[0].FlagIndex, 12);
    EXPECT_EQ(lists.HomeIndex, 1);
    EXPECT_EQ(lists.NotServed, (std::vector<std::string>{"Switzerland"}));
    EXPECT_EQ(lists.Languages, (std::vector<std::string>{"deutsch", "english", "francais", "italiano"}));

    CountryFields ch = ShowCountryData(table, "Switzerland");
    EXPECT_EQ(ch.Language, "deutsch");
    EXPECT_EQ(ch.Currency, "CHF");
    EXPECT_EQ(ch.EuroRate, "0.94");
    EXPECT_EQ(ch.VAT, "0");
    EXPECT_FALSE(ch.EU);
    ch.EuroRate = "0,95";
    ch.VAT = "8,1";
    ch.Currency = "SFr";
    ch.Language = "francais";
    UpdateCountryData(table, "Switzerland", ch);
    const IniFile saved(table);
    EXPECT_EQ(saved.ReadString("Switzerland", "EuroRate", ""), "0.95");
    EXPECT_EQ(saved.ReadString("Switzerland", "VAT", ""), "8.1");
    EXPECT_EQ(saved.ReadString("Switzerland", "CurrencyNative", ""), "SFr");
    EXPECT_EQ(saved.ReadString("Switzerland", "LanguageSelected", ""), "francais");
    // Empty fields leave what is stored.
    UpdateCountryData(table, "Switzerland", CountryFields{});
    EXPECT_EQ(IniFile(table).ReadString("Switzerland", "EuroRate", ""), "0.95");
    EXPECT_EQ(IniFile(table).ReadString("Switzerland", "EU", ""), "0");
}

// A rate of 0 or text would later be read as 1 without a word: refused,
// and nothing of the country is written.
TEST(SettingsForm, ExchangeOrVatRateThatIsNoRateIsRefused)
{
    TempDir dir;
    const std::string table = dir.write("countries.dat", kTable);
    struct Case {
        const char* rate;
        const char* vat;
        const char* typed; // the value the message must name
    } cases[] = {
        {"0", "8.1", "0"},         {"0,00", "8.1", "0,00"}, {"abc", "8.1", "abc"}, {"-1.5", "8.1", "-1.5"},
        {"1e308", "8.1", "1e308"}, {"1.1", "acht", "acht"}, {"1.1", "-8", "-8"},   {"1.1", "101", "101"},
    };
    for (const auto& c : cases) {
        const char* typed = c.typed;
        CountryFields ch = ShowCountryData(table, "Switzerland");
        ch.EuroRate = c.rate;
        ch.VAT = c.vat;
        try {
            UpdateCountryData(table, "Switzerland", ch);
            ADD_FAILURE() << "stored: " << typed;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("\"") + typed + "\""), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("Switzerland"), std::string::npos) << e.what();
        }
        EXPECT_EQ(dir.read("countries.dat"), kTable) << typed;
    }
    // A rate stored so earlier, left as it is (an EU country shows it
    // without letting it be typed), stays and holds nothing up.
    dir.write("countries.dat", std::string(kTable) + "[Malta]\r\nEU=1\r\nEuroRate=0\r\n");
    CountryFields mt = ShowCountryData(table, "Malta");
    mt.VAT = "18";
    UpdateCountryData(table, "Malta", mt);
    EXPECT_EQ(IniFile(table).ReadString("Malta", "VAT", ""), "18");
    EXPECT_EQ(IniFile(table).ReadString("Malta", "EuroRate", ""), "0");
}

TEST(SettingsForm, SaveAndLoadRoundTrip)
{
    TempDir dir;
    dir.write("countries.dat", kTable);
    SettingsForm form;
    form.Connection = ConnectionKind::Proxy;
    form.ProxyHost = "gate.example";
    form.FtpHost = "ftp.example";
    form.FtpPort = "abc";
    form.FtpPassword = "geheim";
    form.Company.Contact[0] = "Brotzeit GmbH";
    form.Company.Contact[10] = "0170 123";
    form.Company.Logo = "/pics/logo.png";
    form.Directions = "A\nB\nC";
    SaveSettingsForm(dir.path(), form, "deutsch", "Ireland");

    EXPECT_EQ(dir.read("deutsch_Contact.txt"), "A\r\nB\r\nC\r\n");
    const IniFile profile(dir.file("userprofil.ini"));
    EXPECT_EQ(profile.ReadString("Anfahrt", "deutsch", ""), "A|B|C");
    EXPECT_EQ(profile.ReadSection("Contact"),
              (std::vector<std::string>{"Firma", "Name", "Strasse", "PLZ", "Ort", "Land", "EMail", "Homepage",
                                        "Telefon", "FAX", "Mobil"}));
    const IniFile settings(dir.file("quillane.ini"));
    EXPECT_EQ(settings.ReadString("Account", "Country", ""), "Ireland");
    EXPECT_EQ(settings.ReadInteger("Connection", "connection", 0), 3);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("quillane.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // it holds passwords

    const SettingsForm back = LoadSettingsForm(dir.path(), "deutsch", "english", false, false);
    EXPECT_EQ(back.Connection, ConnectionKind::Proxy);
    EXPECT_EQ(back.ProxyHost, "gate.example");
    EXPECT_EQ(back.FtpPort, "abc");
    EXPECT_EQ(back.FtpPassword, "geheim");
    EXPECT_EQ(back.Company.Contact[0], "Brotzeit GmbH");
    EXPECT_EQ(back.Company.Logo, "/pics/logo.png");
    EXPECT_EQ(back.Directions, "A\nB\nC");
    // Another language without a file of its own shows the home language's text.
    EXPECT_EQ(LoadSettingsForm(dir.path(), "english", "deutsch", false, false).Directions, "A\nB\nC");

    TUserData user;
    EXPECT_EQ(ReadUserData(dir.path(), "Germany", user), "");
    EXPECT_EQ(user.Country.Name, "Ireland");

    // An empty text writes an empty value and leaves the file alone.
    form.Directions.clear();
    SaveSettingsForm(dir.path(), form, "deutsch", "");
    EXPECT_EQ(IniFile(dir.file("userprofil.ini")).ReadString("Anfahrt", "deutsch", "x"), "");
    EXPECT_EQ(dir.read("deutsch_Contact.txt"), "A\r\nB\r\nC\r\n");
    // No home country given: the stored one stays.
    EXPECT_EQ(IniFile(dir.file("quillane.ini")).ReadString("Account", "Country", ""), "Ireland");

    // The explicit change of the home country keeps everything else.
    SetHomeCountry(dir.path(), "Germany");
    EXPECT_EQ(ReadUserData(dir.path(), "Ireland", user), "");
    EXPECT_EQ(user.Country.Name, "Germany");
    EXPECT_EQ(LoadSettingsForm(dir.path(), "deutsch", "deutsch", false, false).ProxyHost, "gate.example");
}

TEST(SettingsForm, FirstTimeLoadPrefersTheDirectConnection)
{
    TempDir dir;
    dir.write("quillane.ini", "[Connection]\r\nconnection=2\r\n");
    EXPECT_EQ(LoadSettingsForm(dir.path(), "deutsch", "deutsch", true, false).Connection, ConnectionKind::Direct);
    EXPECT_EQ(LoadSettingsForm(dir.path(), "deutsch", "deutsch", false, false).Connection, ConnectionKind::DialUp);
    EXPECT_EQ(LoadSettingsForm(dir.path(), "deutsch", "deutsch", true, true).Connection, ConnectionKind::DialUp);
    EXPECT_EQ(LoadSettingsForm(dir.path(), "deutsch", "deutsch", true, true).FtpPort, "21");
}

// File dialogs never start at the root of the disk or in a folder that is gone.
TEST(RememberedFolders, GoneOrRootFoldersGiveWayToTheHomeFolder)
{
    TempDir dir;
    const std::string previous = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    ::setenv("HOME", dir.path().c_str(), 1);
    const std::string pictures = dir.path() + "pics";
    CreateFolder(pictures);
    const struct {
        const char* remembered; // nullptr: none stored
        std::string fallback;
        std::string start;
    } cases[] = {
        {nullptr, pictures, pictures},           {nullptr, "/", dir.path()}, {nullptr, dir.path() + "gone", dir.path()},
        {"/nowhere/at/all", pictures, pictures}, {"/", "/", dir.path()},
    };
    for (const auto& c : cases) {
        if (c.remembered != nullptr) {
            RememberFolder(dir.path(), "Pictures", c.remembered);
        }
        EXPECT_EQ(ExcludeTrailingSlash(RememberedFolder(dir.path(), "Pictures", c.fallback)),
                  ExcludeTrailingSlash(c.start))
            << (c.remembered != nullptr ? c.remembered : "none") << " / " << c.fallback;
    }
    RememberFolder(dir.path(), "Pictures", pictures);
    EXPECT_EQ(RememberedFolder(dir.path(), "Pictures", "/"), pictures);
    ::setenv("HOME", previous.c_str(), 1);
}
