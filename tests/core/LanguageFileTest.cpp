#include "core/i18n/LanguageFile.h"
#include "TestSupport.h"
#include "core/common/Error.h"
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

namespace {

// The argument numbers a message text uses: "%2 ... %1" gives "12".
std::string placeholders(std::string_view text)
{
    std::string used;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && text[i + 1] == '%') {
            ++i;
        } else if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') {
            used += text[++i];
        }
    }
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    return used;
}

} // namespace

TEST(LanguageFile, EveryMessageTheCoreCanRaiseIsInEveryLanguage)
{
    const std::string dir = std::string(QUILLANE_DATA_DIR) + "sprache/";
    for (const char* language : {"deutsch", "english"}) {
        const IniFile file(dir + language + ".lng");
        for (const MessageKey& info : AllMessages()) {
            const std::string text = file.ReadString("Messages", std::string(info.Name), "");
            EXPECT_FALSE(text.empty()) << language << " lacks Messages." << info.Name;
            EXPECT_EQ(placeholders(text), placeholders(info.English)) << language << " Messages." << info.Name;
        }
    }
}

TEST(LanguageFile, MessageKeysAreUnique)
{
    std::vector<std::string_view> names;
    for (const MessageKey& key : AllMessages()) {
        names.push_back(key.Name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

TEST(LanguageFile, SaysAMessageInTheInterfaceLanguage)
{
    TextTables german;
    german.Messages = {{"Unexpected", "Unerwarteter Fehler (%1)|100 %%"}};
    const Message inner{msg::Plain, {"a\nb"}};
    const Message outer{msg::Unexpected, {inner}};
    // The value's own line break is spelled out; the template's "|" breaks the line.
    EXPECT_EQ(german.Say(outer), "Unerwarteter Fehler (a\\nb)\n100 %");
    // Without a text of its own the English one is said.
    EXPECT_EQ(TextTables{}.Say(outer), EnglishText(outer));
    EXPECT_EQ(std::string(Error(outer).what()), EnglishText(outer));
}
