#include "core/i18n/LanguageFile.h"
#include "TestSupport.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;

TEST(LanguageFile, GetTranslationWithSectionInTheKey)
{
    TempDir dir;
    dir.write("english.lng",
              "[Labels]\nPreis=Net price\n|x=bar key\n[Rechnung]\nvat=VAT\nprice=Price\ngross=gross\nnet=net\n"
              "[MsgBox]\n4=Save changes to #?\n15=Recover?|Really\n[Status]\n6=items\n"
              "[Misc]\nBestellungstext=a|b|c\n");
    const LanguageFile file(dir.path(), "klingon"); // falls back to english
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetTranslation("Labels", "Preis", "d"), "Net price");
    EXPECT_EQ(file.GetTranslation("Labels", "Rechnung|vat", "d"), "VAT");
    EXPECT_EQ(file.GetTranslation("Labels", "Rechnung|vat|rest", "d"), "VAT");
    EXPECT_EQ(file.GetTranslation("Labels", "|x", "d"), "bar key");
    EXPECT_EQ(file.GetTranslation("Labels", "none", "Bezeichnung:"), "Bezeichnung:");

    const TextTables t = LoadTextTables(file);
    EXPECT_EQ(t.MsgBoxTexts.size(), 25u);
    EXPECT_EQ(t.MsgBoxTexts[4], "Save changes to #?");
    EXPECT_EQ(t.MsgBoxTexts[0], "");
    EXPECT_EQ(t.StatusTexts[6], "items");
    EXPECT_EQ(t.PriceCaptions[0], "Price (gross):");
    EXPECT_EQ(t.PriceCaptions[1], "Price (net):");
    EXPECT_EQ(t.OrderTextParts, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(t.ConfirmTextParts, (std::vector<std::string>{""}));
    EXPECT_EQ(MessageLines(t.MsgBoxTexts[15]), "Recover?\nReally");
}

TEST(LanguageFile, AFileThatCannotBeReadCountsAsMissing)
{
    TempDir dir;
    dir.write("english.lng", "[Buttons]\nOK=Okay\n");
    // Far beyond any language file, and sparse: it takes no room on the disk.
    std::filesystem::resize_file(dir.write("deutsch.lng", ""), (std::uintmax_t{256} << 20) + 1);
    const LanguageFile file(dir.path(), "deutsch");
    EXPECT_EQ(file.Path(), dir.file("english.lng"));
    EXPECT_EQ(file.GetTranslation("Buttons", "OK", "OK"), "Okay");
}

TEST(LanguageFile, NoFileAtAllGivesDefaults)
{
    TempDir dir;
    const LanguageFile file(dir.path(), "deutsch");
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.GetTranslation("Buttons", "OK", "OK"), "OK");
    EXPECT_EQ(LoadTextTables(file).StatusTexts[0], "");
}

TEST(LanguageFile, FormatPriceUsesTheHomeCurrency)
{
    TCountry c;
    c.Currency[0] = "DM";
    c.Rate[0] = 1.95583;
    EXPECT_EQ(FormatPrice("12.5", 0, c), "24.45 DM");
    EXPECT_EQ(FormatPrice("12,5", 0, c), "24.45 DM");
    EXPECT_EQ(FormatPrice("", 0, c), "0.00 DM");
}

// The shipped language files must hold the same sections and keys, so that
// no caption falls back to German in one language only.
TEST(LanguageFile, ShippedFilesHoldTheSameKeys)
{
    const std::string dir = std::string(QUILLANE_DATA_DIR) + "sprache/";
    const IniFile de(dir + "deutsch.lng");
    const IniFile en(dir + "english.lng");
    ASSERT_FALSE(de.ReadSections().empty());
    ASSERT_EQ(de.ReadSections().size(), en.ReadSections().size());
    for (const std::string& section : de.ReadSections()) {
        auto deKeys = de.ReadSection(section);
        auto enKeys = en.ReadSection(section);
        EXPECT_EQ(deKeys, enKeys) << section;
        for (const std::string& key : deKeys) {
            EXPECT_FALSE(en.ReadString(section, key, "").empty()) << section << "." << key;
        }
    }
    for (int i = 0; i < 25; ++i) {
        EXPECT_TRUE(de.ValueExists("MsgBox", std::to_string(i))) << i;
    }
    // Characters the program interprets.
    const std::string save = de.ReadString("MsgBox", "4", "");
    EXPECT_EQ(std::count(save.begin(), save.end(), '#'), 1);
    EXPECT_EQ(Split('#', en.ReadString("MsgBox", "4", "")).size(), 2u);
}
