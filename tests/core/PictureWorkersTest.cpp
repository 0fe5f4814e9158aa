#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/generator/Generation.h"
#include "core/generator/PictureSets.h"
#include "core/generator/ProductDatabase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <thread>

using namespace quillane;
using quillane::test::TempDir;

namespace {

const std::string kLongKey(300, 'L');

std::string ppm(int w, int h)
{
    std::string data = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int i = 0; i < w * h; ++i) {
        data += static_cast<char>(i % 256);
        data += static_cast<char>(i / w % 256);
        data += static_cast<char>(128);
    }
    return data;
}

// Runs the work in a fresh folder and ends the process with code 1 and
// the error of the run, or with 0. The other cores are kept busy meanwhile,
// as on a loaded machine, where new threads start late.
[[noreturn]] void exitWithErrorOf(const std::function<void(const TempDir&)>& work)
{
    static std::atomic<bool> spinning{true}; // until the process ends
    for (unsigned i = 0; i + 1 < std::max(2u, std::thread::hardware_concurrency()); ++i) {
        std::thread([] {
            while (spinning) {
            }
        }).detach();
    }
    int code = 0;
    {
        const TempDir dir;
        try {
            work(dir);
        } catch (const Error& e) {
            std::cerr << e.what() << "\n";
            code = 1;
        }
    }
    std::_Exit(code);
}

// The run fails the moment its picture threads have been started, as an
// error thrown past the workers does.
void failAsThePictureThreadsStart(const TempDir& dir)
{
    GenerationRun run;
    const std::string picture = dir.write("a.ppm", ppm(160, 120));
    std::vector<PictureTask> tasks(16);
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        tasks[i].ItemKey = "P" + std::to_string(i);
        tasks[i].Source = picture;
        tasks[i].LargeFile = dir.file("large" + std::to_string(i) + ".jpg");
    }
    const PictureWorkers workers(run, tasks, 2);
    throw Error(msg::Plain, {"The item \"" + kLongKey + "\" failed."});
}

// The database step on two picture threads over a catalog whose item with a
// 300-character order number cannot have its files. With longFirst it is
// the first item, so its description fails before a picture is begun;
// otherwise it is the last, and its own picture fails.
void failOnALongOrderNumber(const TempDir& dir, bool longFirst)
{
    GenerationRun run;
    run.In.WorkDir = dir.file("work/");
    run.In.DataDir = dir.file("data/");
    run.In.ShopDir = dir.file("shop/");
    run.In.Home.Language = "deutsch";
    run.Languages = {"deutsch"};
    dir.write("shop/descriptions.js", "[DESCRIPTION]");
    dir.write("shop/var_init.js", "var dbsize = [DBSIZE];");
    const std::string picture = dir.write("pics/a.ppm", ppm(160, 120));

    const std::string longItem = kLongKey + "=Lang|2||||\r\n";
    std::string items = "[0]\r\nVersand=0\r\n" + (longFirst ? longItem : "");
    std::string pictures = longFirst ? "" : "[" + kLongKey + "]\r\n1=" + picture + "\r\n";
    for (int i = 1; i <= 6; ++i) {
        const std::string key = "P" + std::to_string(i);
        items += key + "=Bild|1||||\r\n";
        pictures += "[" + key + "]\r\n1=" + picture + "\r\n2=" + picture + "\r\n";
    }
    items += longFirst ? "" : longItem;
    dir.write("work/shop.tmp", items);
    dir.write("work/pictures.ini", pictures);
    run.ShopGroups = SelectShopGroups(run.In.WorkDir + "shop.tmp");
    CreateDatabase(run, 2);
}

} // namespace

// A run that fails while picture threads exist ends with its error, never
// with a crash. Each run starts the test program afresh, so that nothing
// has loaded a picture before, as in a fresh quillane-cli.
TEST(PictureWorkers, ARunFailingWhilePictureThreadsExistEndsWithItsError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* name;
        std::function<void(const TempDir&)> work;
        int attempts;
    } cases[] = {
        {"failing as the threads start", failAsThePictureThreadsStart, 20},
        {"failing on the first item", [](const TempDir& dir) { failOnALongOrderNumber(dir, true); }, 5},
        {"failing on the last item's picture", [](const TempDir& dir) { failOnALongOrderNumber(dir, false); }, 3},
    };
    for (const auto& c : cases) {
        for (int attempt = 0; attempt < c.attempts; ++attempt) {
            EXPECT_EXIT(exitWithErrorOf(c.work), testing::ExitedWithCode(1), kLongKey) << c.name << ", run " << attempt;
        }
    }
}
