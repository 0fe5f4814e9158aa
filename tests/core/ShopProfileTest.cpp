#include "core/settings/ShopProfile.h"
#include "TestSupport.h"
#include "core/catalog/ItemDetails.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillane;
using quillane::test::TempDir;
using namespace std::string_literals;

namespace {

constexpr DiscountTable kQty = DiscountTable::Quantity;
constexpr DiscountTable kPrice = DiscountTable::Price;

std::vector<std::string> names(const ShopProfileEditor& editor, DiscountTable table)
{
    std::vector<std::string> out;
    for (const auto& level : editor.Levels(table)) {
        out.push_back(level.first);
    }
    return out;
}

} // namespace

TEST(ShopProfile, AmountsAreShownInTheHomeCurrencyAndStoredInEuro)
{
    struct Case {
        const char* text;
        double rate;
        const char* shown;  // the text read as stored
        const char* stored; // the text read as typed
    } cases[] = {
        {"100", 1.5, "150.00", "66.667"},    {"150", 1.5, "225.00", "100.000"}, {"5,5", 1, "5.50", "5.500"},
        {"12.5", 1.95583, "24.45", "6.391"}, {"abc", 1.5, "0.00", "0.000"}, // unreadable counts as 0
        {"12", 0, "12.00", "12.000"},                                       // a missing rate counts as 1
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShownAmountText(c.text, c.rate), c.shown) << c.text << " at " << c.rate;
        EXPECT_EQ(StoredAmountText(c.text, c.rate), c.stored) << c.text << " at " << c.rate;
    }
}

TEST(ShopProfile, WithoutAFileTheDialogDefaultsShowAndSaveWritesTheStoredForms)
{
    TempDir dir;
    const std::string data = dir.file("daten/");
    CreateFolder(data);
    ShopProfileEditor editor;
    editor.Load(data, "deutsch", "deutsch", 1.5);
    EXPECT_EQ(editor.PaymentTerm, "14");
    EXPECT_EQ(editor.FreeDelivery, "0.00");
    EXPECT_EQ(editor.Packing, "0.00");
    EXPECT_FALSE(editor.Header);
    EXPECT_EQ(editor.Layout.Font, "MS Sans Serif");
    EXPECT_EQ(editor.Layout[LayoutElement::Head].Background, 0x808080u);
    EXPECT_EQ(editor.Layout[LayoutElement::Heading].Background, 0xC0C0C0u);
    EXPECT_TRUE(editor.Levels(kQty).empty());

    editor.PaymentTerm = "30";
    editor.FreeDelivery = "150";
    editor.Packing = "2,25";
    editor.Header = true;
    editor.Bank = "Sparkasse Nord";
    editor.BankCode = "200 505 50";
    editor.VatId = "DE123456789";
    editor.Layout[LayoutElement::Head].Font = 0x996633;       // red 33, green 66, blue 99
    editor.Layout[LayoutElement::Link].Font = 0x0000FF;       // red
    editor.Layout[LayoutElement::Link].Background = 0x00FF00; // shown only, never stored
    editor.SaveLevel(kQty, "ab 10", "10", "5");
    editor.SaveLevel(kPrice, "ab 5", "5,5", "3");
    editor.Save(data, "deutsch", "deutsch", 1.5);

    EXPECT_EQ(dir.read("daten/shopprofil.ini"), "[Invoice]\r\n"
                                                "Zahlfrist=30\r\n"
                                                "Freihaus=100.000\r\n"
                                                "Verpackung=1.500\r\n"
                                                "bank=Sparkasse Nord\r\n"
                                                "blz=200 505 50\r\n"
                                                "kto=\r\n"
                                                "stnr=\r\n"
                                                "ustid=DE123456789\r\n"
                                                "iban=\r\n"
                                                "bic=\r\n"
                                                "UStLieferland=0\r\n"
                                                "Kopfzeile=1\r\n"
                                                "Fusszeile=0\r\n"
                                                "[Mengenrabatt]\r\n"
                                                "ab 10=10/5\r\n"
                                                "[Preisrabatt]\r\n"
                                                "ab 5=5.500/3\r\n"
                                                "[Layout]\r\n"
                                                "Font=MS Sans Serif\r\n"
                                                "D-FC=$000000\r\n"
                                                "D-BC=$FFFFFF\r\n"
                                                "K-FC=$996633\r\n"
                                                "K-BC=$808080\r\n"
                                                "U-FC=$808080\r\n"
                                                "U-BC=$C0C0C0\r\n"
                                                "T-FC=$000000\r\n"
                                                "T-BC=$FFFFFF\r\n"
                                                "V-FC=$0000FF\r\n");

    ShopProfileEditor again;
    again.Load(data, "deutsch", "deutsch", 1.5);
    EXPECT_EQ(again.FreeDelivery, "150.00");
    EXPECT_EQ(again.Packing, "2.25");
    EXPECT_TRUE(again.Header);
    EXPECT_EQ(again.Layout[LayoutElement::Head].Font, 0x996633u);
    EXPECT_EQ(again.Layout[LayoutElement::Link].Background, 0xFFFFFFu); // the document's
}

TEST(ShopProfile, ColoursAreReadAsIntegersOverTheirDefaults)
{
    TempDir dir;
    const std::string file = dir.write("shopprofil.ini", "[layout]\r\nfont=\r\nD-FC=$0000FF\r\nd-bc=255\r\n"
                                                         "K-FC=$FF00000D\r\nK-BC=blue\r\nV-FC=-16777211\r\n");
    const ShopLayout layout = ReadShopLayout(IniFile(file), GeneratorLayoutDefaults());
    EXPECT_EQ(layout.Font, "arial"); // an empty font keeps the default
    EXPECT_EQ(layout[LayoutElement::Document].Font, 0x0000FFu);
    EXPECT_EQ(layout[LayoutElement::Document].Background, 0x0000FFu);
    EXPECT_EQ(layout[LayoutElement::Head].Font, 0xD77800u);       // a system colour, resolved
    EXPECT_EQ(layout[LayoutElement::Head].Background, 0xB4B4B4u); // unreadable: default
    EXPECT_EQ(layout[LayoutElement::Heading].Font, 0xFFFFFFu);
    EXPECT_EQ(layout[LayoutElement::Link].Font, 0xFFFFFFu); // 0xFF000005 written in decimal
    EXPECT_EQ(layout[LayoutElement::Link].Background, 0x0000FFu);
    EXPECT_EQ(GeneratorLayoutDefaults()[LayoutElement::Link].Font, 0x0000FFu); // red

    EXPECT_EQ(StoredColour(0xFF00000D), "$D77800");
    EXPECT_EQ(ColourKey(LayoutElement::Heading, true), "U-BC");
    EXPECT_EQ(ColourKey(LayoutElement::Link, true), "");
}

TEST(ShopProfile, LevelsAreSavedAsTypedAndKeepTheirPositions)
{
    TempDir dir;
    const std::string data = dir.file("daten/");
    dir.write("daten/shopprofil.ini", "[Creation]\r\nview_std=8\r\n"
                                      "[Mengenrabatt]\r\nab 10=10/5\r\nab 50=50/10\r\nab 100=100/15\r\n"
                                      "[Preisrabatt]\r\nab 100 EUR=100.000/2\r\n"
                                      "[Germany]\r\nvk=1\r\nShipping=4.500\r\n");
    ShopProfileEditor editor;
    editor.Load(data, "deutsch", "deutsch", 2);
    EXPECT_EQ(editor.FieldsOf(kQty, 1).Amount, "50");
    EXPECT_EQ(editor.FieldsOf(kQty, 1).Rate, "10");
    EXPECT_EQ(editor.FieldsOf(kPrice, 0).Amount, "100.00"); // euro whatever the home rate
    EXPECT_EQ(editor.FieldsOf(kPrice, 0).Rate, "2");

    EXPECT_EQ(editor.SaveLevel(kQty, "AB 50 ", "60", "12"), 1); // the same level, letter case aside
    EXPECT_EQ(editor.SaveLevel(kQty, "ab 500", "500", "20"), 3);
    EXPECT_EQ(editor.SaveLevel(kQty, "  ", "1", "1"), -1);
    EXPECT_EQ(editor.SaveLevel(kPrice, "ab 5", "5,5", "3"), 1);
    for (const char* bad : {"a=b", "[x]", " [y"}) {
        EXPECT_THROW(editor.SaveLevel(kQty, bad, "1", "1"), Error) << bad;
    }
    EXPECT_THROW(editor.SaveLevel(kQty, "ab 1", "1/2", "1"), Error);
    EXPECT_THROW(editor.SaveLevel(kPrice, "ab 1", "1", "1/2"), Error);
    EXPECT_EQ(names(editor, kQty), (std::vector<std::string>{"ab 10", "ab 50", "ab 100", "ab 500"}));

    // Deleting the second of three: the third moves to position 1 and the
    // level before the deleted one is shown.
    EXPECT_EQ(editor.DeleteLevel(kQty, "ab 500"), 2);
    EXPECT_EQ(editor.DeleteLevel(kQty, "ab 50"), 0);
    EXPECT_EQ(editor.DeleteLevel(kQty, "ab 7"), std::nullopt);
    editor.Save(data, "deutsch", "deutsch", 2);
    EXPECT_EQ(DiscountLevels(data), (std::vector<std::string>{"ab 10=10/5", "ab 100=100/15"}));

    const std::string file = dir.read("daten/shopprofil.ini");
    EXPECT_EQ(file.rfind("[Creation]\r\nview_std=8\r\n[Germany]\r\nvk=1\r\nShipping=4.500\r\n[Invoice]", 0), 0u)
        << file;
    EXPECT_NE(file.find("[Preisrabatt]\r\nab 100 EUR=100.000/2\r\nab 5=5.500/3\r\n[Layout]"), std::string::npos);

    EXPECT_EQ(editor.DeleteLevel(kQty, "ab 10"), 0); // the first: the new first shows
    EXPECT_EQ(editor.DeleteLevel(kQty, "ab 100"), -1);
}

TEST(ShopProfile, TextsPerCatalogLanguageFallBackToTheHomeLanguage)
{
    TempDir dir;
    const std::string data = dir.file("daten/");
    dir.write("daten/deutsch/intro.txt", "Willkommen\r\nbei uns \x80\r\n");
    dir.write("daten/deutsch/faq.txt", "Fragen\r\n");
    dir.write("daten/english/faq.txt", "Questions\r\n");
    ShopProfileEditor editor;
    editor.Texts[1] = "left over from another project";
    editor.Load(data, "english", "deutsch", 1);
    EXPECT_EQ(editor.Texts[0], "Willkommen\nbei uns \x80");
    EXPECT_EQ(editor.Texts[1], "");
    EXPECT_EQ(editor.Texts[4], "Questions");

    editor.Texts[1] = "Versand\nweltweit\n";
    editor.Texts[4] = ""; // cleared: the file stays
    editor.Save(data, "english", "deutsch", 1);
    EXPECT_EQ(dir.read("daten/english/intro.txt"), "Willkommen\r\nbei uns \x80\r\n");
    EXPECT_EQ(dir.read("daten/english/service.txt"), "Versand\r\nweltweit\r\n");
    EXPECT_EQ(dir.read("daten/english/faq.txt"), "Questions\r\n");
    EXPECT_FALSE(FileExists(data + "english/about.txt"));
    EXPECT_FALSE(FileExists(data + "deutsch/service.txt"));

    EXPECT_EQ(ShopTextFor(data, "faq", "french", "deutsch"), "Fragen\r\n");
    EXPECT_EQ(ShopTextFor(data, "about", "english", "deutsch"), "");
}

TEST(ShopProfile, BadFilesReadAsEmptyAndAFailedWriteNamesTheFile)
{
    TempDir dir;
    const std::string data = dir.file("daten/");
    dir.write("daten/shopprofil.ini", "\0\xff[Invoice\r\n=\r\n[Layout]\r\nK-BC=$\r\n\0"s);
    ShopProfileEditor editor;
    editor.Load(data, "deutsch", "deutsch", 1);
    EXPECT_EQ(editor.PaymentTerm, "14");
    EXPECT_EQ(editor.Layout[LayoutElement::Head].Background, 0x808080u);

    const std::string blocked = dir.file("blocked/");
    std::filesystem::create_directories(blocked + "shopprofil.ini/"); // a folder where the file belongs
    editor.Load(blocked, "deutsch", "deutsch", 1);
    try {
        editor.Save(blocked, "deutsch", "deutsch", 1);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + blocked + "shopprofil.ini");
    }
}
