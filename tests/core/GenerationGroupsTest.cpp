#include "../ShopFixture.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/generator/Generation.h"
#include "core/settings/Country.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quillane;
using quillane::test::TempDir;
namespace fs = std::filesystem;

// The working copy's groups.ini that cannot be read fails the run before it
// writes anything, like every other file; read as empty it would give a
// shop whose groups have no names.
TEST(GenerationGroupsFile, AnUnreadableGroupsFileFailsTheRunNamingIt)
{
    struct Case {
        const char* what;
        std::function<void(const std::string& file)> make;
        const char* reason;
    } cases[] = {
        {"a folder", [](const std::string& file) { fs::create_directories(file); }, "it is a folder"},
        {"a FIFO", [](const std::string& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); }, "not a regular file"},
        {"beyond the largest file the program reads",
         [](const std::string& file) {
             WriteTextFile(file, "[deutsch]\r\n0=Kleidung\r\n");
             fs::resize_file(file, kMaxFileSize + 1); // sparse: takes no room
         },
         "larger than"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string home = dir.file("home/");
        const std::string work = dir.file("work/");
        const std::string shop = home + "Projekte/Alpha/shop/";
        test::makeShopHome(home);
        CreateFolder(work);
        fs::copy_file(home + "Projekte/Alpha.shp", work + "shop.tmp");
        fs::copy_file(home + "Projekte/Alpha/daten/pictures.ini", work + "pictures.ini");
        c.make(work + "groups.ini");
        CreateFolder(shop);
        WriteTextFile(shop + "index.html", "the shop of an earlier run");

        GenerationInput in;
        in.ProgramDir = home;
        in.LanguageDir = home + "sprache/";
        in.WorkDir = work;
        in.DataDir = home + "Projekte/Alpha/daten/";
        in.ShopDir = shop;
        in.Home = GetCountryData(CountryTablePath(home), "Germany");
        in.Choices.Layout = "standard";
        in.Choices.Countries = {"Germany"};
        try {
            RunGeneration(in);
            ADD_FAILURE() << c.what << ": the run went on";
        } catch (const Error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(work + "groups.ini"), std::string::npos) << c.what << ": " << message;
            EXPECT_NE(message.find(c.reason), std::string::npos) << c.what << ": " << message;
        }
        EXPECT_EQ(test::filesUnder(shop),
                  (std::map<std::string, std::string>{{"index.html", "the shop of an earlier run"}}))
            << c.what;
    }
}
