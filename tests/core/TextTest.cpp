#include "core/common/Text.h"
#include "core/common/Error.h"
#include "core/common/messages/GeneratorMessages.h"
#include "core/i18n/LanguageFile.h"

#include <gtest/gtest.h>

using namespace quillane;

TEST(Text, SplitGivesOneMoreElementThanSeparators)
{
    struct Case {
        const char* text;
        SplitArray expected;
    } cases[] = {
        {"", {""}},
        {"a|", {"a", ""}},
        {"||", {"", "", ""}},
        {"|a", {"", "a"}},
        {"a|b|c", {"a", "b", "c"}},
        {"a\xA6"
         "b",
         {"a\xA6"
          "b"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Split('|', c.text), c.expected) << c.text;
    }
}

TEST(Text, ReplaceAllIsLeftToRightAndCaseInsensitive)
{
    EXPECT_EQ(ReplaceAll("A-a-A", "a", "b"), "b-b-b");
    EXPECT_EQ(ReplaceAll("xxxx", "xx", "x"), "xx");
    EXPECT_EQ(ReplaceAll("", "a", "b"), "");
    EXPECT_EQ(ReplaceAll("A-a", "a", "b", true), "A-b");
    // Accented letters of the code page match their capitals: ä and Ä, š and Š.
    EXPECT_EQ(ReplaceAll("\xE4\x9A-\xC4\x8A", "\xE4\x9A", "x"), "x-x");
    EXPECT_EQ(ReplaceAll("[datum] [DATUM]", "[DATUM]", "1.1."), "1.1. 1.1.");
}

TEST(Text, MatchWildcardWithoutBacktracking)
{
    struct Case {
        const char* text;
        const char* pattern;
        bool match;
    } cases[] = {
        {"abc", "*b*", true},    {"abc", "a*", true},      {"abc", "*c", true},       {"abc", "b*", false},
        {"xabab", "*ab", false}, {"abc", "abc", true},     {"abc", "ab", false},      {"abc", "*", true},
        {"", "*", true},         {"a[1]b", "*[*]*", true}, {"a]1[b", "*[*]*", false}, {"ABC", "*b*", false},
        {"ab", "ab*ab", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchWildcard(c.text, c.pattern), c.match) << c.text << " ~ " << c.pattern;
    }
}

TEST(Text, ExtractBetween)
{
    EXPECT_EQ(ExtractBetween("[?]", "x[12]y[34]", "?"), "12");
    EXPECT_EQ(ExtractBetween("<!-- UserID=? -->", "<html><!-- userid=merchant7 --></html>", "?"), "merchant7");
    // The prefix nearest to the suffix counts.
    EXPECT_EQ(ExtractBetween("<b>?</b>", "<b>a<b>bc</b>", "?"), "bc");
    EXPECT_EQ(ExtractBetween("[?]", "no brackets", "?"), "");
    EXPECT_EQ(ExtractBetween("[]", "x[12]", "?"), "");
    EXPECT_EQ(ExtractBetween("?]", "x[12]", "?"), "");
    // A suffix without a prefix before it does not count; the next one may.
    EXPECT_EQ(ExtractBetween("[?]", "]x[5]", "?"), "5");
}

TEST(Text, UrlEncode)
{
    EXPECT_EQ(UrlEncode("a b&c"), "a+b%26c");
    EXPECT_EQ(UrlEncode("\xE4"), "%E4");
    EXPECT_EQ(UrlEncode("Az09!$'()*-.@_"), "Az09!$'()*-.@_");
    EXPECT_EQ(UrlEncode("/?=\n"), "%2F%3F%3D%0A");
}

TEST(Text, UrlDecode)
{
    EXPECT_EQ(UrlDecode("a+b%26c%e4"), "a b&c\xE4");
    EXPECT_EQ(UrlDecode("%2"), "%2"); // too short to be a byte
    EXPECT_EQ(UrlDecode("%zz%"), "%zz%");
    EXPECT_EQ(UrlDecode(UrlEncode("Gr\xFC\xDF & %+ =\n")), "Gr\xFC\xDF & %+ =\n");
}

TEST(Text, TidyHtmlText)
{
    EXPECT_EQ(TidyHtmlText("  a  <br><br>"), "a");
    EXPECT_EQ(TidyHtmlText("a    b"), "a  b");
    EXPECT_EQ(TidyHtmlText("a <BR>b<BR>"), "a<br>b<BR>"); // only a lower-case end is cut
    EXPECT_EQ(TidyHtmlText("\r\n\tx\r\n"), "x");
    EXPECT_EQ(TidyHtmlText(""), "");
}

TEST(Text, QuotesAndEscapes)
{
    EXPECT_EQ(StripDoubleQuotes("say \"hi\""), "say hi");
    EXPECT_EQ(EscapeSingleQuotes("O'Neil"), "O\\'Neil");
    // Backslashes and line breaks would break a script literal as well.
    EXPECT_EQ(EscapeSingleQuotes("a\\b\r\nc"), "a\\\\b\\r\\nc");
    EXPECT_EQ(EscapeHtml("<a href=\"x\">O'Neil & Co</a>"), "&lt;a href=&quot;x&quot;&gt;O&#39;Neil &amp; Co&lt;/a&gt;");
}

TEST(Text, SplitLinesEndAtCrLfLfOrCr)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (V{"a", ""}));
    EXPECT_EQ(SplitLines(""), V{});
}

TEST(Text, ColorToHtmlWritesRedGreenBlue)
{
    EXPECT_EQ(ColorToHtml(0x030201), "010203");
    EXPECT_EQ(ColorToHtml(0xFFFFFF), "FFFFFF");
    EXPECT_EQ(ColorToHtml(0x0000FF), "FF0000");
    EXPECT_EQ(ColorToHtml(0xFF000005), "FFFFFF"); // the window colour of the system
}

TEST(Text, StringsToHTML)
{
    EXPECT_EQ(StringsToHTML({}), "");
    EXPECT_EQ(StringsToHTML({"a", "b"}), "\r\n\t\ta<br>\r\n\t\tb<br>");
}

TEST(Text, FormatDecimals)
{
    struct Case {
        int decimals;
        double value;
        const char* text;
    } cases[] = {
        {2, 5, "5.00"},
        {3, -0.5, "-0.500"},
        {2, 24.4454, "24.45"},
        {2, 1.005, "1.01"},
        {2, 0.125, "0.13"},
        {2, -0.001, "0.00"},
        {2, 1234567.891, "1234567.89"},
        {3, 12.5 / 1.95583, "6.391"},
        {2, 99.995, "100.00"},
        {0, 2.5, "  3"},
        {2, 0, "0.00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDecimals(c.decimals, c.value), c.text) << c.value;
    }
}

TEST(Text, ParseNumberIsLenient)
{
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"", 0},        {"12,50", 12.5},  {"12 EUR", 12}, {"1.234,56", 0}, {"-3,5", 3.5},
        {"-3.5", -3.5}, {" 7.45 ", 7.45}, {"1e3", 1000},  {"abc", 0},      {"\x80 9,99", 9.99},
        {"+2", 2},      {"inf", 0},       {"nan", 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(ParseNumber(c.text), c.value) << c.text;
    }
}

TEST(Text, AmountsMustBeNumbersAShopCanSell)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"12,50", true, 12.5},    {" 7.45 ", true, 7.45}, {"0", true, 0},
        {"-0", true, 0},          {"1e3", true, 1000},    {"999999999", true, 999999999},
        {"", false, 0},           {"abc", false, 0},      {"-5", false, 0},
        {"1e308", false, 0},      {"1,5';x", false, 0},   {"12 EUR", false, 0},
        {"1.234,56", false, 0},   {"inf", false, 0},      {"nan", false, 0},
        {"1000000000", false, 0},
    };
    for (const auto& c : cases) {
        double value = -1;
        EXPECT_EQ(TryParseAmount(c.text, value), c.ok) << c.text;
        EXPECT_DOUBLE_EQ(value, c.ok ? c.value : -1) << c.text;
    }
}

// A refused value names where it comes from as a message of its own, so
// the whole sentence is said in one language.
TEST(Text, CheckedValuesNameWhereTheyComeFromInTheInterfaceLanguage)
{
    TextTables tables;
    tables.Messages = {{"GeneratorCountryField", "%1 des Landes %2 in %3"},
                       {"TextNoDecimalNumber", "%1: \"%2\" ist keine Zahl"},
                       {"TextNoAmount", "%1: \"%2\" ist kein Betrag bis %3"},
                       {"TextNoExchangeRate", "%1: \"%2\" ist kein Kurs"}};
    const Message where{msg::GeneratorCountryField, {"VAT", "Austria", "countries.dat"}};
    struct Case {
        std::string (*check)(const std::string&, const MessageArg&);
        const char* value;
        const char* english;
        const char* german;
    } cases[] = {
        {CheckedNumber, "x", "VAT of the country Austria in countries.dat holds \"x\", which is no decimal number.",
         "VAT des Landes Austria in countries.dat: \"x\" ist keine Zahl"},
        {CheckedAmount, "-1",
         "VAT of the country Austria in countries.dat holds \"-1\", which is no amount from 0 to 999999999.",
         "VAT des Landes Austria in countries.dat: \"-1\" ist kein Betrag bis 999999999"},
        {CheckedRate, "0",
         "VAT of the country Austria in countries.dat holds \"0\", which is no exchange rate: a decimal number with "
         "\".\" above 0, such as 1.08.",
         "VAT des Landes Austria in countries.dat: \"0\" ist kein Kurs"},
    };
    for (const Case& c : cases) {
        try {
            c.check(c.value, where);
            ADD_FAILURE() << c.value << " passed";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.english);
            EXPECT_EQ(tables.Say(e.Said()), c.german);
        }
    }
    EXPECT_EQ(CheckedAmount("12,5", where), "12.5");
}

TEST(Text, NumbersAreWrittenWithPointAndFifteenDigits)
{
    EXPECT_EQ(FormatNumber(1.95583), "1.95583");
    EXPECT_EQ(FormatNumber(7.45), "7.45");
    EXPECT_EQ(FormatNumber(19), "19");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatNumber(1.0 / 3), "0.333333333333333");
}

TEST(Text, Cp1252RoundTripsThroughUtf8)
{
    std::string all;
    for (int i = 1; i < 256; ++i) {
        all += static_cast<char>(i);
    }
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80 \xE4"), "\xE2\x82\xAC \xC3\xA4");
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC"), "\x80");
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?"); // no such character in the code page
    EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");         // cut sequence
}

TEST(Text, CaseMappingCoversTheCodePage)
{
    EXPECT_EQ(UpperCase("stra\xDF"
                        "e \xE4\xF6\xFC \xFF"),
              "STRA\xDF"
              "E \xC4\xD6\xDC \x9F");
    EXPECT_EQ(LowerCase("\xC4\xD6\xDC"), "\xE4\xF6\xFC");
    EXPECT_TRUE(SameText("Germany", "GERMANY"));
    EXPECT_FALSE(SameText("\xF7", "\xD7")); // division and multiplication signs are no letters
}
