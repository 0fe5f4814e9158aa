#include "core/common/HelpPage.h"
#include "TestSupport.h"
#include "core/common/Error.h"

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

// Every help mark of the program finds its section in the shipped pages.
TEST(HelpPage, ShippedPagesHoldEveryMarkedSection)
{
    TempDir dir;
    const std::string frameOnly = [&] {
        const std::string empty = dir.write("empty.html", "");
        BuildHelpPage(empty, "none", dir.file("frame.html"));
        return dir.read("frame.html");
    }();
    const std::pair<const char*, const char*> sections[] = {
        {"artikelgruppen", "groups"},    {"artikeleingabe", "input"},
        {"artikeldetails", "pictures"},  {"bestellungseingang", "orderentrance"},
        {"einstellungen", "countries"},  {"einstellungen", "countrysettings"},
        {"einstellungen", "internet"},   {"shoperstellung", "settings"},
        {"shoperstellung", "countries"}, {"eigenschaften", "rechnung"},
        {"eigenschaften", "versand"},    {"eigenschaften", "steuer"},
        {"eigenschaften", "bank"},       {"eigenschaften", "mrabatt"},
        {"eigenschaften", "prabatt"},    {"eigenschaften", "vorschau"},
        {"eigenschaften", "schriftart"}, {"eigenschaften", "farben"},
        {"importfilter", "update"},
    };
    for (const auto& [page, anchor] : sections) {
        BuildHelpPage(std::string(QUILLANE_DATA_DIR) + "hilfe/" + page + ".html", anchor, dir.file("help.html"));
        EXPECT_GT(dir.read("help.html").size(), frameOnly.size() + 100) << page << "|" << anchor;
    }
    EXPECT_TRUE(FileExists(std::string(QUILLANE_DATA_DIR) + "hilfe/kurzanleitung.html"));
}
