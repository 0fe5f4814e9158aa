#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "core/catalog/CatalogStore.h"
#include "core/catalog/ItemDetails.h"
#include "core/catalog/PictureList.h"
#include "core/catalog/Project.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/i18n/LanguageFile.h"
#include "core/imaging/Picture.h"
#include "core/settings/AppDirs.h"
#include "core/settings/Country.h"
#include "core/settings/ShopProfile.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace quillane;
using quillane::test::ScriptedPrompter;
using quillane::test::TempDir;
namespace fs = std::filesystem;

namespace {

// A program folder seeded the way the program seeds it when it runs from
// the build tree: the source tree's data and the pictures the build drew.
class SampleProjectTest : public ::testing::Test {
protected:
    SampleProjectTest() { EXPECT_TRUE(SeedProgramDir(home.path(), ShippedDataDir(home.file("bin/")))); }

    std::string Data(const std::string& name = "") const { return home.file("Projekte/Beispielshop/daten/" + name); }

    TempDir home;
};

TEST_F(SampleProjectTest, OpensWithEveryItemComplete)
{
    TAppDirs dirs = MakeAppDirs(home.path());
    CatalogStore store(dirs.TempDir);
    store.SetLanguages("deutsch", "deutsch");
    ScriptedPrompter prompter;
    const TextTables texts;
    Project project(dirs, store, prompter, texts);
    project.New(false);
    ASSERT_TRUE(project.Open(home.file("Projekte/Beispielshop.shp")));
    EXPECT_EQ(dirs.DataDir, Data());

    // Three main groups, each with sub groups, named in both languages.
    ASSERT_EQ(store.GroupMap.size(), 3u);
    for (const IniLine& group : store.GroupMap) {
        EXPECT_NE(group.second, "0") << group.first << " has no sub groups";
    }
    const IniFile groups(store.GroupsFile());
    EXPECT_EQ(groups.ReadSection("english").size(), groups.ReadSection("deutsch").size());
    EXPECT_EQ(store.ItemCount, 15);

    const std::size_t levels = DiscountLevels(dirs.DataDir).size();
    ASSERT_GT(levels, 0u);
    const PictureList pictures(dirs.TempDir);
    const IniFile items(store.ItemsFile());
    int itemsSeen = 0;
    for (const IniLine& group : store.GroupEntries()) {
        for (const IniLine& item : items.ReadSectionValues(group.first)) {
            if (SameText(item.first, "Versand")) {
                continue;
            }
            ++itemsSeen;
            const ItemFields fields = CatalogStore::SplitItem(item.second);
            SCOPED_TRACE(item.first);
            EXPECT_NE(fields.Name.find(" - "), std::string::npos);
            EXPECT_GT(ParseNumber(fields.Price), 0);
            for (const char* language : {"deutsch", "english"}) {
                EXPECT_TRUE(FileExists(DescriptionPath(dirs.DataDir, language, item.first))) << language;
            }
            // Every stored discount position names a level.
            const std::vector<bool> ticked = TickedLevels(fields.Discounts, levels);
            const auto tickedCount = std::count(ticked.begin(), ticked.end(), true);
            EXPECT_EQ(tickedCount,
                      fields.Discounts.empty() ? 0 : static_cast<long>(Split(':', fields.Discounts).size()));

            // The pictures lie in the program folder and are real pictures.
            const std::vector<std::string> paths = pictures.Pictures(item.first);
            EXPECT_GE(paths.size(), 2u);
            for (const std::string& path : paths) {
                EXPECT_EQ(path.rfind(home.file("Projekte/Beispielshop/bilder/"), 0), 0u) << path;
                Picture picture;
                ASSERT_NO_THROW(LoadPicture(path, picture)) << path;
                EXPECT_GE(picture.Width(), 800) << path;
            }
        }
    }
    EXPECT_EQ(itemsSeen, store.ItemCount);
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(SampleProjectTest, GeneratesAShopForAGermanMerchant)
{
    // What the first-time setup leaves behind when the merchant chooses Germany.
    AddServedCountry(CountryTablePath(home.path()), "Germany");
    home.write("quillane.ini", "[Connection]\r\nconnection=1\r\n[Account]\r\nCountry=Germany\r\n");

    std::ostringstream out, err;
    ASSERT_EQ(cli::RunCli({"--home", home.path(), "generate", "Beispielshop"}, out, err), 0) << err.str();
    const std::string shop = home.file("Projekte/Beispielshop/shop/");
    // Seven groups with items, small enough for one database script.
    EXPECT_TRUE(FileExists(shop + "database/db_0.js"));
    EXPECT_FALSE(FileExists(shop + "database/db_1.js"));
    // Only Germany is served: the German texts and descriptions, with the
    // pictures of every item.
    EXPECT_TRUE(FileExists(shop + "countries/languages/deutsch/descriptions/TE-501.js"));
    EXPECT_TRUE(FileExists(shop + "countries/languages/deutsch/texts/intro.js"));
    EXPECT_FALSE(DirectoryExists(shop + "countries/languages/english/"));
    const std::string db = ReadFile(shop + "database/db_0.js");
    EXPECT_NE(db.find("TE-501"), std::string::npos);
    EXPECT_NE(db.find("\x86"
                      "3.500'"),
              std::string::npos)
        << "the group's shipping surcharge";
    // Every item's main picture in medium size, every picture in large.
    const auto count = [](const std::string& folder) {
        return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    };
    EXPECT_EQ(count(shop + "pictures/medium/"), 15);
    std::size_t pictures = 0;
    const IniFile list(Data("pictures.ini"));
    for (const std::string& item : list.ReadSections()) {
        pictures += list.ReadSection(item).size();
    }
    EXPECT_EQ(count(shop + "pictures/large/"), static_cast<long>(pictures));
    // The shop page asks for the home country's scripts with its own.
    const std::string index = ReadFile(shop + "index.html");
    EXPECT_NE(index.find("<link rel=\"preload\" as=\"script\" href=\"countries/settings/de.js\">"
                         "<link rel=\"preload\" as=\"script\" href=\"countries/languages/deutsch/translations.js\">"
                         "\r\n<script src=\"var_init.js\">"),
              std::string::npos)
        << index;
    EXPECT_TRUE(FileExists(shop + "countries/settings/de.js"));
}

// The shop's files are Windows-1252; a host that sends another character set
// must not turn its umlauts into question marks. The pages say it themselves,
// and Apache hosts are told so by the shop's .htaccess, which also asks for
// compression and for caching that still shows a newly published shop.
TEST_F(SampleProjectTest, TheShopDeclaresItsCharacterSetToBrowserAndServer)
{
    AddServedCountry(CountryTablePath(home.path()), "Germany");
    home.write("quillane.ini", "[Connection]\r\nconnection=1\r\n[Account]\r\nCountry=Germany\r\n");
    std::ostringstream out, err;
    ASSERT_EQ(cli::RunCli({"--home", home.path(), "generate", "Beispielshop"}, out, err), 0) << err.str();
    const std::string shop = home.file("Projekte/Beispielshop/shop/");

    ASSERT_TRUE(FileExists(shop + ".htaccess"));
    const std::string htaccess = ReadFile(shop + ".htaccess");
    for (const char* line : {"AddDefaultCharset windows-1252", "AddCharset windows-1252 .html .js .css",
                             "AddOutputFilterByType DEFLATE text/html text/css text/javascript application/javascript",
                             "Header set Cache-Control \"no-cache\""}) {
        EXPECT_NE(htaccess.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(htaccess.find("immutable"), std::string::npos) << "a published shop must be seen";

    std::size_t pages = 0;
    for (const auto& entry : fs::directory_iterator(shop)) {
        if (entry.path().extension() != ".html") {
            continue;
        }
        ++pages;
        const std::string page = ReadFile(entry.path().string());
        const std::size_t head = page.find("</head>");
        const std::size_t meta = page.find("charset=windows-1252");
        EXPECT_TRUE(meta != std::string::npos && meta < head) << entry.path().filename();
    }
    EXPECT_GT(pages, 10u);
}

// Picture lists of shipped projects get the program folder; a merchant's
// own list, and files other than picture lists, stay as they are.
TEST(SampleProjectSeeding, PictureListsGetTheProgramFolderOnce)
{
    TempDir dir;
    const std::string shipped = dir.file("shipped/");
    dir.write("shipped/countries.dat", "[Germany]\r\n");
    dir.write("shipped/Projekte/A/daten/pictures.ini", "[A1]\r\n1=%PROGRAMDIR%Projekte/A/bilder/a.jpg\r\n");
    dir.write("shipped/Projekte/B/daten/pictures.ini", "[B1]\r\n1=%PROGRAMDIR%b.jpg\r\n");
    dir.write("shipped/Projekte/A/daten/notes.txt", "%PROGRAMDIR%\r\n");
    dir.write("home/Projekte/B/daten/pictures.ini", "[B1]\r\n1=/mine/b.jpg\r\n");

    ASSERT_TRUE(SeedProgramDir(dir.file("home"), shipped));
    EXPECT_EQ(dir.read("home/Projekte/A/daten/pictures.ini"),
              "[A1]\r\n1=" + dir.file("home/") + "Projekte/A/bilder/a.jpg\r\n");
    EXPECT_EQ(dir.read("home/Projekte/B/daten/pictures.ini"), "[B1]\r\n1=/mine/b.jpg\r\n");
    EXPECT_EQ(dir.read("home/Projekte/A/daten/notes.txt"), "%PROGRAMDIR%\r\n");
}

} // namespace
