#include "core/catalog/ItemDetails.h"
#include "TestSupport.h"
#include "core/catalog/PictureList.h"
#include "core/common/Files.h"

#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;

TEST(PictureList, RemovingRenumbersWithoutGaps)
{
    TempDir dir;
    PictureList pictures(dir.path());
    for (const char* path : {"/p/a.jpg", "/p/b.jpg", "/p/c.jpg", "/p/d.jpg"}) {
        pictures.Add("4711", path);
    }
    EXPECT_EQ(pictures.Add("4711", "/p/e.jpg"), 5);
    struct Case {
        int remove;
        std::vector<std::string> left;
    } cases[] = {
        {2, {"/p/a.jpg", "/p/c.jpg", "/p/d.jpg", "/p/e.jpg"}},
        {4, {"/p/a.jpg", "/p/c.jpg", "/p/d.jpg"}}, // the last one
        {9, {"/p/a.jpg", "/p/c.jpg", "/p/d.jpg"}}, // beyond the list: nothing
        {1, {"/p/c.jpg", "/p/d.jpg"}},
    };
    for (const auto& c : cases) {
        pictures.Remove("4711", c.remove);
        EXPECT_EQ(pictures.Pictures("4711"), c.left) << c.remove;
    }
    EXPECT_EQ(dir.read("pictures.ini"), "[4711]\r\n1=/p/c.jpg\r\n2=/p/d.jpg\r\n");
    EXPECT_EQ(pictures.Count("other"), 0);
}

TEST(PictureList, ImportPicsTakesTheBitmapsOfAnOlderProject)
{
    TempDir dir;
    dir.write("daten/4711.bmp", "x");
    dir.write("daten/B-2.BMP", "x");
    dir.write("daten/notes.txt", "x");
    ImportPics(dir.path(), dir.file("daten/"));
    EXPECT_EQ(dir.read("pictures.ini"),
              "[4711]\r\n1=" + dir.file("daten/4711.bmp") + "\r\n[B-2]\r\n1=" + dir.file("daten/B-2.BMP") + "\r\n");
}

TEST(ItemDetails, DescriptionsPerLanguageWithFallback)
{
    TempDir dir;
    const std::string data = dir.file("daten/");
    WriteDescription(data, "deutsch", "4711", "Feines Brot\nmit Kruste");
    EXPECT_EQ(dir.read("daten/deutsch/4711.txt"), "Feines Brot\r\nmit Kruste\r\n");
    // No english text yet: the country language's shows.
    EXPECT_EQ(ReadDescription(data, "english", "deutsch", "4711"), "Feines Brot\r\nmit Kruste\r\n");
    WriteDescription(data, "english", "4711", "Fine bread");
    EXPECT_EQ(ReadDescription(data, "english", "deutsch", "4711"), "Fine bread\r\n");
    WriteDescription(data, "english", "4711", "");
    EXPECT_FALSE(FileExists(data + "english/4711.txt"));
    EXPECT_EQ(ReadDescription(data, "english", "deutsch", "none"), "");
    // An order number with a slash stays inside the language folder.
    WriteDescription(data, "deutsch", "../x", "y");
    EXPECT_FALSE(FileExists(data + "x.txt"));
}

TEST(ItemDetails, DiscountLevelCaptionNamesTheRate)
{
    const std::pair<const char*, const char*> cases[] = {
        {"ab 5 St\xFC"
         "ck=5/3",
         "ab 5 St\xFC"
         "ck: 3 %"},
        {"ab 10=10/2.5", "ab 10: 2.5 %"},
        {"Treue=7", "Treue: 7"}, // no rate part: the value as stored
        {"leer=5/", "leer"},     // no rate: the name alone
        {"ohne Wert", "ohne Wert"},
    };
    for (const auto& [level, caption] : cases) {
        EXPECT_EQ(DiscountLevelCaption(level), caption) << level;
    }
}

TEST(ItemDetails, DiscountPositions)
{
    TempDir dir;
    dir.write("daten/shopprofil.ini", "[Mengenrabatt]\r\nab 10=10/5\r\nab 50=50/10\r\nab 100=100/15\r\n");
    EXPECT_EQ(DiscountLevels(dir.file("daten/")),
              (std::vector<std::string>{"ab 10=10/5", "ab 50=50/10", "ab 100=100/15"}));
    EXPECT_TRUE(DiscountLevels(dir.file("none/")).empty());
    using B = std::vector<bool>;
    struct Case {
        const char* field;
        std::size_t count;
        B ticked;
    } cases[] = {
        {"0:2", 3, {true, false, true}},   {"", 3, {false, false, false}},
        {"1", 3, {false, true, false}},    {"0:2", 1, {false}}, // more positions than levels
        {"x:7", 3, {false, false, false}},                      // nothing ticked wrongly
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TickedLevels(c.field, c.count), c.ticked) << c.field;
    }
    EXPECT_EQ(DiscountField({false, true, false}), "1");
    EXPECT_EQ(DiscountField({true, false, true}), "0:2");
    EXPECT_EQ(DiscountField({false, false}), "");
}
