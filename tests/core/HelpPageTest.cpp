#include "core/common/HelpPage.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Text.h"

#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;

TEST(HelpPage, LinesAreTidiedForTheSmallWindow)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"Siehe <a href=\"artikeleingabe.html\">Artikel</a> oben.", "Siehe Artikel oben."},
        {"- Erster Punkt", "Erster Punkt"},
        {"Ein- und Ausgabe", "Ein- und Ausgabe"},
        {"Plus + und Minus", "Plus - und Minus"},
        {"<A HREF=\"x.html\">X</A> und <a href=\"y.html\">Y</a>", "X und <a href=\"y.html\">Y"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TransformHelpLine(c.in), c.out) << c.in;
    }
}

TEST(HelpPage, OnlyTheRequestedSectionIsCopied)
{
    TempDir dir;
    const std::string page = dir.write("artikelgruppen.html", "<html>\r\n<!-- +groups -->\r\n<div>Gruppen</div>\r\n"
                                                              "<!-- +inner -->\r\nInnen\r\n<!-- -inner -->\r\n"
                                                              "<!-- -groups -->\r\n<!-- +other -->\r\nAnders\r\n"
                                                              "<!-- -other -->\r\n</html>\r\n");
    const std::string frameStart = "<html>\r\n<body bgcolor=\"#ffffdd\">\r\n<style type=\"text/css\">\r\n"
                                   "div {color: #c00000; font-weight: bold; text-decoration: underline;}\r\n"
                                   "</style>\r\n<font style=\"font-family: arial; font-size: 8pt;\">\r\n";
    const std::string frameEnd = "</font>\r\n</body>\r\n</html>\r\n";
    BuildHelpPage(page, "groups", dir.file("help.html"));
    // Nested markers lose their "- " like any other line and stay comments.
    EXPECT_EQ(dir.read("help.html"),
              frameStart + "<div>Gruppen</div>\r\n<!-+inner -->\r\nInnen\r\n<!--inner -->\r\n" + frameEnd);
    BuildHelpPage(page, "inner", dir.file("help.html"));
    EXPECT_EQ(dir.read("help.html"), frameStart + "Innen\r\n" + frameEnd);
    BuildHelpPage(page, "missing", dir.file("help.html"));
    EXPECT_EQ(dir.read("help.html"), frameStart + frameEnd);
    EXPECT_THROW(BuildHelpPage(dir.file("none.html"), "groups", dir.file("help.html")), Error);
}

namespace {

// The sections the help marks of all windows name, as page and anchor.
const std::pair<const char*, const char*> kMarkedSections[] = {
    {"artikelgruppen", "groups"},         {"artikeleingabe", "input"},
    {"artikeldetails", "pictures"},       {"bestellungseingang", "orderentrance"},
    {"bestellungseingang", "orderview"},  {"einstellungen", "countries"},
    {"einstellungen", "countrysettings"}, {"einstellungen", "internet"},
    {"shoperstellung", "settings"},       {"shoperstellung", "countries"},
    {"eigenschaften", "rechnung"},        {"eigenschaften", "versand"},
    {"eigenschaften", "steuer"},          {"eigenschaften", "bank"},
    {"eigenschaften", "mrabatt"},         {"eigenschaften", "prabatt"},
    {"eigenschaften", "vorschau"},        {"eigenschaften", "schriftart"},
    {"eigenschaften", "farben"},          {"importfilter", "update"},
    {"veroeffentlichen", "upload"},       {"auktion", "ebay"},
    {"accountmanager", "account"},
};

// The text a reader sees: tags and the line breaks between them left out.
std::string visibleText(const std::string& html)
{
    std::string text;
    bool inTag = false;
    for (const char c : html) {
        if (c == '<' || c == '>') {
            inTag = c == '<';
        } else if (!inTag && c != '\r' && c != '\n') {
            text += c;
        }
    }
    return text;
}

} // namespace

// Every help mark of the program finds its section in the shipped pages,
// and the section survives the cutting: the small window shows no link
// (a second link on a line would keep its tag) and no word that lost a
// dash (every "- " but that of "- und" is taken out).
TEST(HelpPage, ShippedPagesHoldEveryMarkedSection)
{
    TempDir dir;
    const std::string hilfe = std::string(QUILLANE_DATA_DIR) + "hilfe/";
    const std::string frame = [&] {
        BuildHelpPage(dir.write("empty.html", ""), "none", dir.file("frame.html"));
        return dir.read("frame.html");
    }();
    const std::string guide = ReadFile(hilfe + "kurzanleitung.html");
    // A lambda, so a missing section ends only its own check.
    auto check = [&](const std::string& page, const std::string& anchor) {
        const std::string file = hilfe + page + ".html";
        ASSERT_TRUE(FileExists(file));
        const std::string source = ReadFile(file);
        const std::size_t start = source.find("<!-- +" + anchor + " -->");
        const std::size_t end = source.find("<!-- -" + anchor + " -->");
        ASSERT_NE(start, std::string::npos);
        ASSERT_NE(end, std::string::npos);
        ASSERT_LT(start, end);
        for (const std::string& line : SplitLines(source.substr(start, end - start))) {
            if (line.find("<!--") == std::string::npos) {
                EXPECT_EQ(ReplaceAll(line, "- und", "").find("- "), std::string::npos) << line;
            }
        }
        BuildHelpPage(file, anchor, dir.file("help.html"));
        const std::string cut = dir.read("help.html");
        EXPECT_GT(visibleText(cut).size(), visibleText(frame).size() + 150);
        EXPECT_EQ(LowerCase(cut).find("<a"), std::string::npos);
        // The quick guide leads to every page.
        EXPECT_NE(guide.find("href=\"" + page + ".html"), std::string::npos);
    };
    for (const auto& [page, anchor] : kMarkedSections) {
        SCOPED_TRACE(std::string(page) + "|" + anchor);
        check(page, anchor);
    }
}
