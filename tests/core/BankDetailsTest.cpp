#include "core/settings/BankDetails.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/settings/ShopProfile.h"

#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;

TEST(BankDetails, IbanIsCheckedByCountryLengthAndChecksum)
{
    struct Case {
        const char* typed;
        bool valid;
    } cases[] = {
        {"DE89 3704 0044 0532 0130 00", true}, // typed in groups, as printed
        {"de89370400440532013000", true},      // small letters, no blanks
        {"GB29 NWBK 6016 1331 9268 19", true}, // letters in the account part
        {"FR14 2004 1010 0505 0001 3M02 606", true},
        {"CH93 0076 2011 6238 5295 7", true},
        {"NO93 8601 1117 947", true},            // the shortest there is
        {"DE89 3704 0044 0532 0130 01", false},  // one digit mistyped
        {"DE98 3704 0044 0532 0130 00", false},  // check digits swapped
        {"DE54 3704 0044 0532 0130 001", false}, // check sum fits, but 23 characters for Germany
        {"DE89 3704 0044 0532 0130 0", false},   // a digit missing
        {"DE89-3704-0044-0532-0130-00", false},  // signs other than blanks
        {"8937 0400 4405 3201 3000", false},     // no country
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidIban(CompactIban(c.typed)), c.valid) << c.typed;
    }
    EXPECT_EQ(GroupedIban("DE89370400440532013000"), "DE89 3704 0044 0532 0130 00");
}

TEST(BankDetails, BicHasTheShapeOfBankCountryPlaceAndBranch)
{
    struct Case {
        const char* bic;
        bool valid;
    } cases[] = {
        {"COBADEFF", true},   {"COBADEFFXXX", true}, {"DEUTDEDB101", true}, {"COBADEF", false},
        {"COBADEFFX", false}, {"C0BADEFF", false},   {"COBA DEFF", false},  {"cobadeff", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidBic(c.bic), c.valid) << c.bic;
    }
}

TEST(BankDetails, TheProfileRefusesAWrongIbanOrBicNamingItAndWritesNothing)
{
    TempDir dir;
    const std::string data = dir.file("daten/");
    CreateFolder(data);
    ShopProfileEditor editor;
    editor.Load(data, "deutsch", "deutsch", 1);

    struct Case {
        const char* iban;
        const char* bic;
        const char* named; // what the error must name
    } cases[] = {
        {"DE89 3704 0044 0532 0130 01", "", "IBAN \"DE89 3704 0044 0532 0130 01\""},
        {"DE54 3704 0044 0532 0130 001", "", "length"},
        {"DE89 3704 0044 0532 0130 00", "COBADE", "BIC \"COBADE\""},
    };
    for (const Case& c : cases) {
        editor.Iban = c.iban;
        editor.Bic = c.bic;
        editor.Bank = "Teebank";
        try {
            editor.Save(data, "deutsch", "deutsch", 1);
            ADD_FAILURE() << c.iban << " / " << c.bic << " was saved";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
        EXPECT_FALSE(FileExists(ShopProfilePath(data))) << c.iban;
    }

    // A good account is stored compact and shown grouped again.
    editor.Iban = "de89 3704 0044 0532 0130 00";
    editor.Bic = "cobadeffxxx";
    editor.Save(data, "deutsch", "deutsch", 1);
    const IniFile ini(ShopProfilePath(data));
    EXPECT_EQ(ini.ReadString("Invoice", "iban", ""), "DE89370400440532013000");
    EXPECT_EQ(ini.ReadString("Invoice", "bic", ""), "COBADEFFXXX");
    ShopProfileEditor again;
    again.Load(data, "deutsch", "deutsch", 1);
    EXPECT_EQ(again.Iban, "DE89 3704 0044 0532 0130 00");
    EXPECT_EQ(again.Bic, "COBADEFFXXX");
}

TEST(ShopProfile, VatByDestinationIsStoredAndAMissingKeyMeansTheHomeRate)
{
    TempDir dir;
    const std::string data = dir.file("daten/");
    CreateFolder(data);
    // A profile from before the choice.
    WriteTextFile(ShopProfilePath(data), "[Invoice]\r\nZahlfrist=10\r\n");
    ShopProfileEditor editor;
    editor.Load(data, "deutsch", "deutsch", 1);
    EXPECT_FALSE(editor.VatByDestination);

    editor.VatByDestination = true;
    editor.Save(data, "deutsch", "deutsch", 1);
    ShopProfileEditor again;
    again.Load(data, "deutsch", "deutsch", 1);
    EXPECT_TRUE(again.VatByDestination);
    EXPECT_EQ(IniFile(ShopProfilePath(data)).ReadString("Invoice", "UStLieferland", ""), "1");
}
