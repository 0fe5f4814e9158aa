#include "../ShopFixture.h"
#include "TestSupport.h"
#include "core/common/Files.h"
#include "core/common/Text.h"
#include "core/generator/Generation.h"
#include "core/settings/Country.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace quillane;
using quillane::test::TempDir;
namespace fs = std::filesystem;

namespace {

// The fixture's program folder with the project's working copy laid out
// for a run.
struct Project {
    TempDir dir;
    std::string home = dir.file("home/");
    std::string work = dir.file("work/");
    std::string data = home + "Projekte/Alpha/daten/";

    Project()
    {
        test::makeShopHome(home);
        CreateFolder(work);
        fs::copy_file(home + "Projekte/Alpha.shp", work + "shop.tmp");
        fs::copy_file(data + "groups.ini", work + "groups.ini");
        fs::copy_file(data + "pictures.ini", work + "pictures.ini");
    }

    void generate(const std::string& shop) const
    {
        GenerationInput in;
        in.ProgramDir = home;
        in.LanguageDir = home + "sprache/";
        in.WorkDir = work;
        in.DataDir = data;
        in.ShopDir = shop;
        in.Home = GetCountryData(CountryTablePath(home), "Germany");
        in.UserId = "shop7";
        in.Choices.Layout = "standard";
        in.Choices.Xxl = true;
        in.Choices.Countries = {"Germany", "United Kingdom"};
        in.RunDate.tm_year = 126;
        in.RunDate.tm_mday = 1;
        ASSERT_TRUE(RunGeneration(in));
    }
};

// The inode of every picture file of a shop: a file taken over from the
// last run keeps its inode, one made anew gets another.
std::map<std::string, ino_t> pictureInodes(const std::string& shop)
{
    std::map<std::string, ino_t> inodes;
    for (const auto& entry : fs::recursive_directory_iterator(shop + "pictures/")) {
        struct stat st {};
        if (entry.is_regular_file() && ::stat(entry.path().c_str(), &st) == 0) {
            inodes[fs::relative(entry.path(), shop).string()] = st.st_ino;
        }
    }
    return inodes;
}

void replaceInFile(const std::string& path, const std::string& from, const std::string& to)
{
    std::string text = ReadFile(path);
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from << " in " << path;
    text.replace(at, from.size(), to);
    WriteTextFile(path, text);
}

// Sets the file's modification time a minute later than it is.
void touchLater(const std::string& path)
{
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::minutes(1));
}

} // namespace

// A run after a change makes anew only the picture sets the change touched
// and takes the others over from the shop in place; the shop it builds is
// the one a run from scratch builds, byte for byte.
TEST(PictureReuse, ARunRemakesOnlyTheSetsAChangeTouchedAndBuildsTheSameShop)
{
    const struct {
        const char* what;
        std::function<void(const Project&, const std::string& shop)> change;
        std::vector<std::string> remade; // picture files whose name ends so; "*" every one
    } cases[] = {
        {"a price changed",
         [](const Project& p, const std::string&) { replaceInFile(p.work + "shop.tmp", "9.50", "9.75"); },
         {}},
        {"a source picture's bytes and time changed",
         [](const Project& p, const std::string&) {
             WriteTextFile(p.home + "bilder/a2.ppm", test::shopFixturePicture(300, 500, 5));
             touchLater(p.home + "bilder/a2.ppm");
         },
         {"A1_2.jpg", "/A1.jpg"}},
        {"only a source picture's time changed",
         [](const Project& p, const std::string&) { touchLater(p.home + "bilder/b1.ppm"); },
         {"B1_1.jpg", "/B1.jpg"}},
        {"the picture quality changed",
         [](const Project& p, const std::string&) {
             WriteTextFile(p.home + "quillane.ini", ReadFile(p.home + "quillane.ini") + "[Pictures]\r\nQuality=60\r\n");
         },
         {"*"}},
        {"the large size changed",
         [](const Project& p, const std::string&) {
             WriteTextFile(p.home + "quillane.ini",
                           ReadFile(p.home + "quillane.ini") + "[Pictures]\r\nmaxWidth=150\r\n");
         },
         {"*"}},
        {"a picture of the shop was removed",
         [](const Project&, const std::string& shop) { fs::remove(shop + "pictures/small/B1.jpg"); },
         {"B1_1.jpg", "/B1.jpg"}},
        {"a picture of the shop was overwritten",
         [](const Project&, const std::string& shop) { WriteTextFile(shop + "pictures/xxl/A1_1.jpg", "not a jpeg"); },
         {"A1_1.jpg"}},
        {"the list of the last run is garbled",
         [](const Project& p, const std::string&) {
             for (const auto& entry : fs::directory_iterator(p.data)) {
                 if (entry.path().extension() == ".sets") {
                     // The lines of A1's sets cut short, and a line of noise.
                     std::string garbled;
                     for (const std::string& line : Split('\n', ReadFile(entry.path().string()))) {
                         const bool a1 =
                             line.find("a1.ppm") != std::string::npos || line.find("a2.ppm") != std::string::npos;
                         garbled += (a1 ? line.substr(0, line.size() / 2) : line) + "\n";
                     }
                     WriteTextFile(entry.path().string(), garbled + "\t\t\x01\xff\n");
                 }
             }
         },
         {"A1_1.jpg", "A1_2.jpg", "/A1.jpg"}},
    };
    for (const auto& c : cases) {
        const Project project;
        const std::string shop = project.dir.file("home/Projekte/Alpha/shop/");
        project.generate(shop);
        const auto before = pictureInodes(shop);
        ASSERT_EQ(before.size(), 17u) << c.what;

        c.change(project, shop);
        project.generate(shop);
        const auto after = pictureInodes(shop);
        ASSERT_EQ(after.size(), before.size()) << c.what;
        for (const auto& [file, inode] : after) {
            bool remade = false;
            for (const std::string& end : c.remade) {
                remade = remade || end == "*" || file.ends_with(end);
            }
            EXPECT_EQ(inode != before.at(file), remade) << c.what << ": " << file;
        }

        // A run from scratch, with nothing of the last run at hand.
        for (const auto& entry : fs::directory_iterator(project.data)) {
            if (entry.path().extension() == ".sets") {
                fs::remove(entry.path());
            }
        }
        const std::string scratch = project.dir.file("scratch/shop/");
        project.generate(scratch);
        EXPECT_TRUE(test::filesUnder(shop) == test::filesUnder(scratch)) << c.what;
    }
}
