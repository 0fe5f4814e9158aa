// Builds a synthetic project (5,000 items in 200 groups, descriptions in two
// languages, 1,000 distinct 1600x1200 JPEG pictures, extra-large pictures
// on), runs the whole shop generation on it twice and compares the two
// shops byte for byte. The baseline, timed in the same run, makes the same
// four picture sizes of the same pictures with vipsthumbnail, one chain of
// processes per picture, each size from the one before as the generator
// does, as many pictures at a time as there are cores.
//
// A third run without the pictures at twice their size prints what they add.
//
// Usage: bench_generate [--quick] [--keep] [FOLDER]
//   --quick  a tenth of the size, for a smoke run
//   --keep   leave the temporary folder behind
//   FOLDER   work there and leave it; its pictures are reused by the next run
#include "BenchSupport.h"
#include "core/common/Files.h"
#include "core/generator/Generation.h"
#include "core/imaging/Picture.h"
#include "core/settings/Country.h"

#include <vips/vips.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quillane::bench;

// Picture sizes and quality of the generator's defaults: extra large,
// large (maxWidth x MaxHeight), medium, small.
struct Box {
    const char* folder;
    int width, height;
};
constexpr Box kBoxes[] = {{"xxl", 560, 700}, {"large", 200, 400}, {"medium", 120, 120}, {"small", 50, 50}};
constexpr int kQuality = 75;
constexpr int kPictureWidth = 1600;
constexpr int kPictureHeight = 1200;

std::string pictureName(int k)
{
    char name[32];
    std::snprintf(name, sizeof name, "p%04d.jpg", k);
    return name;
}

// A photo-like picture of its own for every k: smooth waves of colour whose
// frequencies and phases depend on k, with a little noise.
bool makePicture(const std::string& path, int k, std::vector<unsigned char>& pixels)
{
    const int w = kPictureWidth;
    const int h = kPictureHeight;
    pixels.resize(static_cast<std::size_t>(w) * h * 3);
    std::uint32_t noise = 2654435761u * static_cast<std::uint32_t>(k + 1);
    const int fx = 3 + k % 17;
    const int fy = 5 + (k / 17) % 13;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 28) - 8;
            const int wave = ((x * fx + y * fy + k * 31) / 7) % 512;
            const int tri = wave < 256 ? wave : 511 - wave;
            unsigned char* p = &pixels[(static_cast<std::size_t>(y) * w + x) * 3];
            p[0] = static_cast<unsigned char>(std::clamp(tri + n, 0, 255));
            p[1] = static_cast<unsigned char>(std::clamp((x * 255 / w + k * 7) % 256 + n, 0, 255));
            p[2] = static_cast<unsigned char>(std::clamp((y * 255 / h + (255 - tri) / 2) % 256 + n, 0, 255));
        }
    }
    VipsImage* image = vips_image_new_from_memory(pixels.data(), pixels.size(), w, h, 3, VIPS_FORMAT_UCHAR);
    if (image == nullptr) {
        return false;
    }
    const int rc = vips_jpegsave(image, path.c_str(), "Q", 90, nullptr);
    g_object_unref(image);
    return rc == 0;
}

// Runs one job per index on every core.
template <typename Job> bool onEveryCore(int count, Job job)
{
    std::atomic<int> next{0};
    std::atomic<bool> ok{true};
    std::vector<std::thread> threads;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned t = 0; t < cores; ++t) {
        threads.emplace_back([&] {
            for (int i = next++; i < count && ok; i = next++) {
                if (!job(i)) {
                    ok = false;
                }
            }
            vips_thread_shutdown();
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    return ok;
}

bool makePictures(const std::string& folder, int count)
{
    fs::create_directories(folder);
    return onEveryCore(count, [&folder](int k) {
        thread_local std::vector<unsigned char> pixels;
        const std::string path = folder + pictureName(k);
        return fs::exists(path) || makePicture(path, k, pixels);
    });
}

// The baseline: every size from the one before, one process per size.
bool vipsthumbnailChain(const std::string& source, const std::string& out, const std::string& name)
{
    std::string from = source;
    for (const Box& box : kBoxes) {
        const std::string to = out + box.folder + "/" + name;
        const std::string size = std::to_string(box.width) + "x" + std::to_string(box.height);
        if (!runProcess({"vipsthumbnail", from, "--size", size, "-o",
                         to + "[Q=" + std::to_string(kQuality) + ",interlace,strip,optimize_coding]"})) {
            return false;
        }
        from = to;
    }
    return true;
}

struct Project {
    std::string programDir, workDir, dataDir;
    int items = 0;
};

// The program folder and the project's working copy and data folder.
Project makeProject(const std::string& root, int groups, int itemsPerGroup, int pictures)
{
    Project p{root + "program/", root + "work/", root + "data/", groups * itemsPerGroup};
    write(p.programDir + "quillane.ini", "[Account]\r\nUserID=bench\r\nCountry=Germany\r\n"
                                         "[Connection]\r\nconnection=1\r\n");
    write(p.programDir + "countries.dat",
          "[Germany]\r\nActive=1\r\nCountryNative=Deutschland\r\nLanguageDefault=deutsch\r\nCountryCode=DE\r\n"
          "CurrencyCode=EUR\r\nEuroRate=1\r\nVAT=19\r\nEU=1\r\n\r\n"
          "[United Kingdom]\r\nActive=1\r\nLanguageDefault=english\r\nCountryCode=GB\r\nCurrencyCode=GBP\r\n"
          "CurrencySymbol=\xA3\r\nEuroRate=0.85\r\nVAT=20\r\nEU=0\r\n");
    fs::create_directories(p.programDir + "sprache");
    for (const char* language : {"deutsch.lng", "english.lng"}) {
        fs::copy_file(QUILLANE_DATA_DIR "sprache/" + std::string(language), p.programDir + "sprache/" + language,
                      fs::copy_options::overwrite_existing);
    }
    fs::create_directories(p.programDir + "layouts");
    fs::copy(QUILLANE_LAYOUT_DIR, p.programDir + "layouts/standard",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    write(p.programDir + "userprofil.ini", "[Contact]\r\nFirma=Bench GmbH\r\nOrt=Berlin\r\n");

    std::string shop, groupsDe = "[deutsch]\r\n", groupsEn = "[english]\r\n", pictureList;
    const std::string pictureFolder = root + "pictures/";
    int item = 0;
    for (int g = 0; g < groups; ++g) {
        shop += "[" + std::to_string(g) + "]\r\nVersand=" + std::to_string(g % 3) + ".500\r\n";
        groupsDe += std::to_string(g) + "=Bereich " + std::to_string(g / 20) + "|Gruppe " + std::to_string(g) + "\r\n";
        groupsEn += std::to_string(g) + "=Area " + std::to_string(g / 20) + "|Group " + std::to_string(g) + "\r\n";
        for (int i = 0; i < itemsPerGroup; ++i, ++item) {
            const std::string key = "A" + std::to_string(10000 + item);
            // Every fifth item has a picture of its own, as many as there are pictures.
            const bool pictured = item % 5 == 0 && item / 5 < pictures;
            shop += key + "=Artikel " + std::to_string(item) + "|" + std::to_string(item % 200) + "." +
                    std::to_string(10 + item % 90) + "|" + (pictured ? "1" : "") + "|" + (item % 7 == 0 ? "0:1" : "") +
                    "||\r\n";
            if (pictured) {
                pictureList += "[" + key + "]\r\n1=" + pictureFolder + pictureName(item / 5) + "\r\n";
            }
            write(p.dataDir + "deutsch/" + key + ".txt",
                  "Artikel " + std::to_string(item) + " aus Gruppe " + std::to_string(g) +
                      ".\r\nGefertigt aus bestem Material, langlebig und 'pflegeleicht'.\r\n");
            write(p.dataDir + "english/" + key + ".txt",
                  "Item " + std::to_string(item) + " of group " + std::to_string(g) +
                      ".\r\nMade of the finest material, durable and easy to care for.\r\n");
        }
    }
    write(p.workDir + "shop.tmp", shop);
    write(p.workDir + "groups.ini", groupsDe + groupsEn);
    write(p.workDir + "pictures.ini", pictureList);
    write(p.dataDir + "shopprofil.ini", "[Creation]\r\nxxl=1\r\nLayout=standard\r\nLaender=United Kingdom\r\n"
                                        "[Germany]\r\nvk=1\r\nShipping=4.900\r\n"
                                        "[United Kingdom]\r\nvk=1\r\nShipping=15.000\r\n");
    return p;
}

double generate(const Project& p, const std::string& shopDir, bool doublePictures = true)
{
    quillane::GenerationInput in;
    in.ProgramDir = p.programDir;
    in.LanguageDir = p.programDir + "sprache/";
    in.WorkDir = p.workDir;
    in.DataDir = p.dataDir;
    in.ShopDir = shopDir;
    in.Home = quillane::GetCountryData(quillane::CountryTablePath(p.programDir), "Germany");
    in.UserId = "bench";
    in.Choices.Layout = "standard";
    in.Choices.Xxl = true;
    in.Choices.Countries = {"Germany", "United Kingdom"};
    in.DoublePictures = doublePictures;
    const auto start = Clock::now();
    quillane::RunGeneration(in);
    return since(start);
}

std::map<std::string, std::string> filesUnder(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).string()] = quillane::ReadFile(entry.path().string());
        }
    }
    return files;
}

std::pair<int, int> pictureSize(const std::string& file)
{
    quillane::Picture picture;
    quillane::LoadPicture(file, picture);
    return {picture.Width(), picture.Height()};
}

} // namespace

int main(int argc, char** argv)
{
    bool quick = false;
    bool keep = false;
    std::string root;
    bool given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            quick = true;
        } else if (arg == "--keep") {
            keep = true;
        } else if (!arg.empty() && arg[0] != '-') {
            root = quillane::IncludeTrailingSlash(arg);
            given = true;
        } else {
            std::fprintf(stderr, "Usage: bench_generate [--quick] [--keep] [FOLDER]\n");
            return 2;
        }
    }
    if (VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr, "libvips cannot start\n");
        return 1;
    }
    if (root.empty()) {
        std::string pattern = (fs::temp_directory_path() / "quillane-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        root = pattern + "/";
    }
    const int groups = quick ? 20 : 200;
    const int itemsPerGroup = 25;
    const int pictures = quick ? 100 : 1000;

    try {
        auto start = Clock::now();
        if (!makePictures(root + "pictures/", pictures)) {
            std::fprintf(stderr, "the pictures cannot be made: %s\n", vips_error_buffer());
            return 1;
        }
        const Project project = makeProject(root, groups, itemsPerGroup, pictures);
        std::printf("project: %d items in %d groups, 2 languages, %d pictures %dx%d, extra-large on (%.1f s to make)\n",
                    project.items, groups, pictures, kPictureWidth, kPictureHeight, since(start));
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());

        const double first = generate(project, root + "shop1/");
        const double second = generate(project, root + "shop2/");
        const bool identical = filesUnder(root + "shop1/") == filesUnder(root + "shop2/");
        // What the pictures at twice their size cost: a run without them.
        const double single = generate(project, root + "shop3/", false);
        fs::remove_all(root + "shop3/");

        const std::string baselineDir = root + "baseline/";
        fs::remove_all(baselineDir);
        for (const Box& box : kBoxes) {
            fs::create_directories(baselineDir + box.folder);
        }
        start = Clock::now();
        const bool baselineOk = onEveryCore(pictures, [&](int k) {
            return vipsthumbnailChain(root + "pictures/" + pictureName(k), baselineDir, pictureName(k));
        });
        const double baseline = since(start);
        if (!baselineOk) {
            std::fprintf(stderr, "vipsthumbnail failed (is libvips-tools installed?)\n");
            return 1;
        }

        // The same sizes on both sides, so that the two do the same work.
        bool sameSizes = true;
        const std::string item = "A10000";
        const std::string ours[] = {"xxl/" + item + "_1.jpg", "large/" + item + "_1.jpg", "medium/" + item + ".jpg",
                                    "small/" + item + ".jpg"};
        for (std::size_t i = 0; i < 4; ++i) {
            const auto a = pictureSize(root + "shop1/pictures/" + ours[i]);
            const auto b = pictureSize(baselineDir + kBoxes[i].folder + "/" + pictureName(0));
            std::printf("  %-6s generator %dx%d, vipsthumbnail %dx%d\n", kBoxes[i].folder, a.first, a.second, b.first,
                        b.second);
            sameSizes = sameSizes && std::abs(a.first - b.first) <= 1 && std::abs(a.second - b.second) <= 1;
        }

        const double best = std::min(first, second);
        std::printf("generation: %.2f s and %.2f s, %.0f items/s (best run)\n", first, second, project.items / best);
        std::printf("baseline (vipsthumbnail, 4 processes per picture, %u at a time): %.2f s\n", cores, baseline);
        std::printf("ratio generation / baseline: %.2f\n", best / baseline);
        std::printf("pictures at twice their size add %.2f s (%.0f %%): %.2f s without them\n", best - single,
                    100.0 * (best - single) / single, single);
        std::printf("two runs byte-identical: %s\n", identical ? "yes" : "NO");
        if (!sameSizes) {
            std::printf("the picture sizes differ by more than a pixel\n");
        }
        if (keep || given) {
            std::printf("kept: %s\n", root.c_str());
        } else {
            fs::remove_all(root);
        }
        return identical && sameSizes ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_generate: %s\n", e.what());
        return 1;
    }
}
