#include "../ShopFixture.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/generator/Generation.h"
#include "core/generator/ShopSwap.h"
#include "core/i18n/LanguageFile.h"
#include "core/settings/Country.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quillane;
using quillane::test::TempDir;
namespace fs = std::filesystem;

// The run builds the shop in a folder beside the shop's and swaps it in at
// the end; a failure on the way names the shop folder the merchant knows,
// in every language.
TEST(GenerationErrors, AFailedRunNamesTheShopFolderNotItsBuildFolder)
{
    TempDir dir;
    const std::string home = dir.file("home/");
    const std::string work = dir.file("work/");
    const std::string shop = home + "Projekte/Alpha/shop/";
    test::makeShopHome(home);
    CreateFolder(work);
    fs::copy_file(home + "Projekte/Alpha.shp", work + "shop.tmp");
    fs::copy_file(home + "Projekte/Alpha/daten/pictures.ini", work + "pictures.ini");
    fs::copy_file(home + "Projekte/Alpha/daten/groups.ini", work + "groups.ini");
    // A layout file where the run makes the folder of the countries' scripts.
    WriteTextFile(home + "layouts/standard/countries", "not a folder");

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
        FAIL() << "the run went on";
    } catch (const Error& e) {
        const TextTables german = LoadTextTables(LanguageFile(std::string(QUILLANE_DATA_DIR) + "sprache/", "deutsch"));
        const std::string build = ShopBuildFolder(shop);
        for (const std::string& said : {std::string(e.what()), german.Say(e.Said())}) {
            EXPECT_NE(said.find(shop + "countries"), std::string::npos) << said;
            EXPECT_EQ(said.find(build), std::string::npos) << said;
        }
        EXPECT_NE(german.Say(e.Said()), std::string(e.what()));
    }
    EXPECT_FALSE(fs::exists(ShopBuildFolder(shop)));
}
