#include "core/generator/ShopSwap.h"
#include "../ShopFixture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace quillane;
using quillane::test::TempDir;
namespace fs = std::filesystem;

namespace {

using Files = std::map<std::string, std::string>;

const Files kEarlier = {{"index.html", "earlier"}, {"database/db_0.js", "gd = 'earlier';"}};
const Files kNew = {{"index.html", "new"}, {"database/db_0.js", "gd = 'new';"}, {"pictures/small/A1.jpg", "jpg"}};
const std::set<std::string> kDataOnly = {"daten"};
const std::set<std::string> kDataAndShop = {"daten", "shop"};
const Files kPartial = {{"index.html", "[COMPANY]"}};

void put(const std::string& folder, const Files& files)
{
    for (const auto& [name, bytes] : files) {
        fs::create_directories(fs::path(folder + name).parent_path());
        WriteTextFile(folder + name, bytes);
    }
}

std::set<std::string> entries(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

} // namespace

TEST(ShopSwap, WhatARunStoppedAtAnyMomentLeftBecomesOneWholeShop)
{
    struct Case {
        const char* what;
        Files shop, build, aside; // empty: the folder is not there
        Files expected;
    } cases[] = {
        {"stopped while building", kEarlier, kPartial, {}, kEarlier},
        {"the first run stopped while building", {}, kPartial, {}, {}},
        {"stopped after swapping in one step", kNew, kEarlier, {}, kNew},
        {"stopped after moving the earlier shop aside", {}, kNew, kEarlier, kNew},
        {"stopped while removing the earlier shop", kNew, {}, {{"index.html", "earlier"}}, kNew},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string shop = dir.file("Alpha/shop/");
        fs::create_directories(dir.file("Alpha/daten"));
        put(shop, c.shop);
        put(ShopBuildFolder(shop), c.build);
        put(ShopAsideFolder(shop), c.aside);

        TidyShopFolders(shop);
        EXPECT_EQ(test::filesUnder(shop), c.expected) << c.what;
        const std::set<std::string> left = c.expected.empty() ? kDataOnly : kDataAndShop;
        EXPECT_EQ(entries(dir.file("Alpha")), left) << c.what;
    }
}

TEST(ShopSwap, TheBuiltShopReplacesTheEarlierOneOnlyWhenPutInPlace)
{
    TempDir dir;
    const std::string shop = dir.file("Alpha/shop/");
    put(shop, kEarlier);
    {
        ShopBuild abandoned(shop);
        put(abandoned.Folder(), kPartial);
    }
    EXPECT_EQ(test::filesUnder(shop), kEarlier);
    EXPECT_EQ(entries(dir.file("Alpha")), std::set<std::string>{"shop"});

    // A shop folder that links to a web server's folder stays that link.
    const std::string served = dir.file("www/shop/");
    put(served, kEarlier);
    fs::remove_all(shop);
    fs::create_directory_symlink(dir.file("www/shop"), dir.file("Alpha/shop"));
    for (const char* what : {"over the earlier shop", "over the one before"}) {
        ShopBuild build(shop);
        EXPECT_TRUE(test::filesUnder(build.Folder()).empty()) << what;
        put(build.Folder(), kNew);
        build.PutInPlace();
        EXPECT_TRUE(fs::is_symlink(dir.file("Alpha/shop"))) << what;
        EXPECT_EQ(test::filesUnder(served), kNew) << what;
        EXPECT_EQ(entries(dir.file("www")), std::set<std::string>{"shop"}) << what;
    }

    // The first run of a project has no shop to replace.
    TempDir first;
    ShopBuild build(first.file("Beta/shop/"));
    put(build.Folder(), kNew);
    build.PutInPlace();
    EXPECT_EQ(test::filesUnder(first.file("Beta/shop/")), kNew);
    EXPECT_EQ(entries(first.file("Beta")), std::set<std::string>{"shop"});
}
