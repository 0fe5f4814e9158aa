#include "core/generator/GenerationSetup.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"

#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;

TEST(GenerationSetup, CountriesAreCheckedByWholeName)
{
    TempDir dir;
    const std::string table = dir.write("countries.dat", "[Germany]\nActive=1\n[Niger]\nActive=1\n[Nigeria]\nActive=1\n"
                                                         "[Austria]\nActive=0\n[Chad]\nActive=1\n");
    using V = std::vector<std::string>;
    EXPECT_EQ(CheckedCountries(table, "Nigeria,Austria", "Germany"), (V{"Germany", "Nigeria"}));
    EXPECT_EQ(CheckedCountries(table, "", "Chad"), (V{"Chad"}));
    EXPECT_EQ(CheckedCountries(table, "Niger, Chad", "Germany"), (V{"Germany", "Niger", "Chad"}));
}

TEST(GenerationSetup, CreationChoicesWithDefaults)
{
    TempDir dir;
    dir.write("countries.dat", "[Germany]\nActive=1\n[Austria]\nActive=1\n");
    CreateFolder(dir.file("layouts/modern"));
    CreateFolder(dir.file("layouts/classic"));
    GenerationChoices c = ReadCreation(dir.file("daten/"), dir.path(), "Germany");
    EXPECT_EQ(c.ItemsStd, "10");
    EXPECT_EQ(c.ItemsPro, "5");
    EXPECT_EQ(c.ItemsDtl, "3");
    EXPECT_EQ(c.PriceDisplay, 0);
    EXPECT_EQ(c.DefaultView, 1);
    EXPECT_FALSE(c.Xxl);
    EXPECT_EQ(c.Layout, "classic"); // the first in name order
    EXPECT_EQ(c.Countries, std::vector<std::string>{"Germany"});

    dir.write("daten/shopprofil.ini",
              "[Creation]\nview_std=20\nPreise=7\nAnsicht=-1\nLayout=modern\nLaender=Austria\nxxl=1\n");
    c = ReadCreation(dir.file("daten/"), dir.path(), "Germany");
    EXPECT_EQ(c.ItemsStd, "20");
    EXPECT_EQ(c.PriceDisplay, 0); // out of range reads as the default
    EXPECT_EQ(c.DefaultView, 1);
    EXPECT_EQ(c.Layout, "modern");
    EXPECT_TRUE(c.Xxl);
    EXPECT_EQ(c.Countries, (std::vector<std::string>{"Germany", "Austria"}));

    c.ItemsPro = "fünf";
    EXPECT_THROW(WriteCreation(dir.file("daten/"), c), Error);
    c.ItemsPro = "6";
    WriteCreation(dir.file("daten/"), c);
    EXPECT_EQ(IniFile(dir.file("daten/shopprofil.ini")).ReadString("Creation", "Laender", ""), "Germany,Austria");
    EXPECT_EQ(IniFile(dir.file("daten/shopprofil.ini")).ReadString("Creation", "view_pro", ""), "6");
}

TEST(GenerationSetup, DestinationAmountsFollowTheHomeRate)
{
    TempDir dir;
    const std::string table = dir.write("countries.dat", "[Switzerland]\nActive=1\nCurrencyCode=CHF\nEuroRate=0.94\n"
                                                         "LanguageDefault=deutsch,francais\n");
    dir.write("daten/shopprofil.ini", "[Switzerland]\nShipping=5.000\nnn=1\n");
    const std::string data = dir.file("daten/");
    DestinationCountry d = ReadDestination(table, data, "Switzerland", 1.2, false);
    EXPECT_EQ(d.Shipping, "6.00");
    EXPECT_EQ(d.CodFee, "0.00");
    EXPECT_TRUE(d.Prepayment); // offered unless stored otherwise
    EXPECT_TRUE(d.CashOnDelivery);
    EXPECT_EQ(d.Currency, "CHF");
    EXPECT_EQ(d.Language, "deutsch");

    SaveDestination(table, data, "Switzerland", d, 1.2); // unchanged: the same euro amount
    EXPECT_EQ(IniFile(dir.file("daten/shopprofil.ini")).ReadString("Switzerland", "Shipping", ""), "5.000");

    d.Shipping = "0"; // free shipping is stored
    d.EuroRate = "";  // an empty rate keeps the stored one
    d.CodFee = "3,6";
    d.Currency = "SFr";
    SaveDestination(table, data, "Switzerland", d, 1.2);
    const IniFile profile(dir.file("daten/shopprofil.ini"));
    EXPECT_EQ(profile.ReadString("Switzerland", "Shipping", ""), "0.000");
    EXPECT_EQ(profile.ReadString("Switzerland", "CodFee", ""), "3.000");
    EXPECT_EQ(IniFile(table).ReadString("Switzerland", "EuroRate", ""), "0.94");
    EXPECT_EQ(IniFile(table).ReadString("Switzerland", "CurrencySymbol", ""), "SFr");
}

TEST(GenerationSetup, ADestinationWithABadRateOrFeeIsRefusedAndNothingStored)
{
    TempDir dir;
    const std::string table = dir.write("countries.dat", "[Switzerland]\nActive=1\nEuroRate=0.94\n");
    dir.write("daten/shopprofil.ini", "[Switzerland]\nShipping=5.000\nCodFee=2.000\n");
    struct Case {
        const char* what;
        std::string DestinationCountry::*field;
        const char* typed;
        std::vector<std::string> message;
    } cases[] = {
        {"a rate of 0", &DestinationCountry::EuroRate, "0", {"Switzerland", "exchange rate", "\"0\""}},
        {"a rate in words", &DestinationCountry::EuroRate, "eins", {"Switzerland", "exchange rate", "\"eins\""}},
        {"a negative rate", &DestinationCountry::EuroRate, "-0.9", {"Switzerland", "exchange rate"}},
        {"shipping in words", &DestinationCountry::Shipping, "frei", {"Switzerland", "shipping", "\"frei\""}},
        {"a negative fee", &DestinationCountry::CodFee, "-2", {"Switzerland", "cash-on-delivery", "\"-2\""}},
    };
    for (const Case& c : cases) {
        DestinationCountry d = ReadDestination(table, dir.file("daten/"), "Switzerland", 1, false);
        d.Currency = "SFr";
        d.*c.field = c.typed;
        try {
            SaveDestination(table, dir.file("daten/"), "Switzerland", d, 1);
            ADD_FAILURE() << c.what << ": stored";
        } catch (const Error& e) {
            for (const std::string& part : c.message) {
                EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << c.what << ": " << e.what();
            }
        }
        EXPECT_EQ(dir.read("countries.dat"), "[Switzerland]\nActive=1\nEuroRate=0.94\n") << c.what;
        EXPECT_EQ(dir.read("daten/shopprofil.ini"), "[Switzerland]\nShipping=5.000\nCodFee=2.000\n") << c.what;
    }
    DestinationCountry d = ReadDestination(table, dir.file("daten/"), "Switzerland", 1, false);
    d.EuroRate = "1,05";
    SaveDestination(table, dir.file("daten/"), "Switzerland", d, 1);
    EXPECT_EQ(IniFile(table).ReadString("Switzerland", "EuroRate", ""), "1.05");
}
