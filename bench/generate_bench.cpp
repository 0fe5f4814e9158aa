// Builds a synthetic project (5,000 items in 200 groups, descriptions in two
// languages, 1,000 distinct 1600x1200 JPEG pictures, extra-large pictures
// on) and times, each phase in a process of its own so that its peak memory
// is its own:
//  - the first run, from scratch;
//  - a second run after one item's price changed, which takes the picture
//    sets over from the first; its shop must equal a run from scratch;
//  - the floor of the pictures: one decode of every picture, shrunk on load
//    as far as the largest picture size allows, on every core;
//  - libvips in one process making the same seven files per picture, and
//    vipsthumbnail making four, one process per file (mostly start-up);
//  - a run without pictures against writing the same files with one write
//    each;
//  - a first run with half the pictures, whose peak memory should be the
//    same as with all of them.
//
// Usage: bench_generate [--quick] [--keep] [FOLDER]
//   --quick  a tenth of the size, for a smoke run
//   --keep   leave the temporary folder behind
//   FOLDER   work there and leave it; its pictures are reused by the next run
#include "BenchSupport.h"
#include "core/common/Error.h"
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
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
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
// The same at twice the size, which the generator makes too.
constexpr Box kDoubleBoxes[] = {{"large_2x", 400, 800}, {"medium_2x", 240, 240}, {"small_2x", 100, 100}};
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
    // The same catalog with half the pictures, and without any.
    for (const char* variant : {"work-half/", "work-nopics/"}) {
        write(root + variant + "shop.tmp", shop);
        write(root + variant + "groups.ini", groupsDe + groupsEn);
    }
    std::string half;
    for (std::size_t at = 0, n = 0; at < pictureList.size() && n < static_cast<std::size_t>(pictures / 2); ++n) {
        const std::size_t next = pictureList.find("\r\n[", at);
        const std::size_t end = next == std::string::npos ? pictureList.size() : next + 2;
        half += pictureList.substr(at, end - at);
        at = end;
    }
    write(root + "work-half/pictures.ini", half);
    write(root + "work-nopics/pictures.ini", "");
    write(p.dataDir + "shopprofil.ini", "[Creation]\r\nxxl=1\r\nLayout=standard\r\nLaender=United Kingdom\r\n"
                                        "[Germany]\r\nvk=1\r\nShipping=4.900\r\n"
                                        "[United Kingdom]\r\nvk=1\r\nShipping=15.000\r\n");
    return p;
}

// The paths of the project under root, for the phases run as processes.
Project projectAt(const std::string& root, const std::string& work)
{
    return Project{root + "program/", root + work + "/", root + "data/", 0};
}

// Runs the generation; a run that writes nothing is a failure too.
void generate(const Project& p, const std::string& shopDir)
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
    in.RunDate.tm_year = 126;
    in.RunDate.tm_mday = 1;
    if (!quillane::RunGeneration(in)) {
        throw std::runtime_error("the generation in " + shopDir + " wrote nothing");
    }
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

bool saveJpeg(VipsImage* image, const std::string& file)
{
    return vips_jpegsave(image, file.c_str(), "Q", kQuality, "interlace", TRUE, "strip", TRUE, "optimize_coding", TRUE,
                         nullptr) == 0;
}

// One decode of the picture, shrunk on load to the largest size made.
VipsImage* decodeShrunk(const std::string& source)
{
    VipsImage* thumb = nullptr;
    if (vips_thumbnail(source.c_str(), &thumb, kBoxes[0].width, "height", kBoxes[0].height, "size", VIPS_SIZE_DOWN,
                       nullptr) != 0) {
        return nullptr;
    }
    VipsImage* decoded = vips_image_copy_memory(thumb);
    g_object_unref(thumb);
    return decoded;
}

// The in-process baseline: the seven files of a picture from one shrunk decode.
bool libvipsSet(const std::string& source, const std::string& out, const std::string& name)
{
    VipsImage* xxl = decodeShrunk(source);
    if (xxl == nullptr) {
        return false;
    }
    bool ok = saveJpeg(xxl, out + kBoxes[0].folder + "/" + name);
    std::vector<Box> rest(std::begin(kBoxes) + 1, std::end(kBoxes));
    rest.insert(rest.end(), std::begin(kDoubleBoxes), std::end(kDoubleBoxes));
    for (const Box& box : rest) {
        VipsImage* scaled = nullptr;
        ok = ok &&
             vips_thumbnail_image(xxl, &scaled, box.width, "height", box.height, "size", VIPS_SIZE_DOWN, nullptr) == 0;
        ok = ok && saveJpeg(scaled, out + box.folder + "/" + name);
        if (scaled != nullptr) {
            g_object_unref(scaled);
        }
    }
    g_object_unref(xxl);
    return ok;
}

// The vipsthumbnail baseline: every size from the one before, one process
// per size. Paths are absolute: vipsthumbnail puts a relative -o beside the
// picture it reads.
bool vipsthumbnailChain(const std::string& source, const std::string& out, const std::string& name)
{
    std::string from = source;
    for (const Box& box : kBoxes) {
        const std::string to = out + box.folder + "/" + name;
        const std::string size = std::to_string(box.width) + "x" + std::to_string(box.height);
        if (!runProcess({"vipsthumbnail", from, "--size", size, "-o",
                         to + "[Q=" + std::to_string(kQuality) + ",interlace,strip,optimize_coding]"}) ||
            !fs::is_regular_file(to) || fs::file_size(to) == 0) {
            return false;
        }
        from = to;
    }
    return true;
}

void makeBoxFolders(const std::string& folder)
{
    fs::remove_all(folder);
    for (const Box& box : kBoxes) {
        fs::create_directories(folder + box.folder);
    }
    for (const Box& box : kDoubleBoxes) {
        fs::create_directories(folder + box.folder);
    }
}

// Writes every file with one write, making the folders as they come.
bool writeEachOnce(const std::string& to, const std::map<std::string, std::string>& files)
{
    std::set<std::string> folders;
    for (const auto& [name, bytes] : files) {
        const std::string folder = fs::path(to + name).parent_path().string();
        if (folders.insert(folder).second) {
            fs::create_directories(folder);
        }
        const int fd = ::open((to + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            return false;
        }
        ::close(fd);
    }
    return true;
}

// Every picture item's files in a generated shop.
bool allPicturesIn(const std::string& shop, int pictures)
{
    for (int k = 0; k < pictures; ++k) {
        const std::string key = "A" + std::to_string(10000 + 5 * k);
        for (const std::string& file : {"xxl/" + key + "_1.jpg", "large/" + key + "_1.jpg",
                                        "large_2x/" + key + "_1.jpg", "medium/" + key + ".jpg", "small/" + key + ".jpg",
                                        "medium_2x/" + key + ".jpg", "small_2x/" + key + ".jpg"}) {
            if (!fs::is_regular_file(shop + "pictures/" + file) || fs::file_size(shop + "pictures/" + file) == 0) {
                std::fprintf(stderr, "%spictures/%s is missing\n", shop.c_str(), file.c_str());
                return false;
            }
        }
    }
    return true;
}

// One phase in this process; prints its time in seconds and its peak memory.
int runPhase(const std::vector<std::string>& args)
{
    const std::string& phase = args[0];
    const std::string& root = args[1];
    const int pictures = std::stoi(args[2]);
    std::map<std::string, std::string> files;
    if (phase == "write") {
        files = filesUnder(root + "shop-nopics/"); // read before the clock starts
    }
    // args of generate: work folder, shop folder, "scratch" to start without the last run's pictures
    if (phase == "generate" && args[5] == "scratch") {
        fs::remove(root + "data/pictures.sets");
        fs::remove_all(root + args[4]);
    }
    const auto start = Clock::now();
    const double processorStart = processorSeconds();
    bool ok = true;
    if (phase == "generate") {
        generate(projectAt(root, args[3]), root + args[4]);
    } else if (phase == "floor") {
        ok = onEveryCore(pictures, [&](int k) {
            VipsImage* decoded = decodeShrunk(root + "pictures/" + pictureName(k));
            if (decoded != nullptr) {
                g_object_unref(decoded);
            }
            return decoded != nullptr;
        });
    } else if (phase == "libvips") {
        ok = onEveryCore(pictures, [&](int k) {
            return libvipsSet(root + "pictures/" + pictureName(k), root + "libvips/", pictureName(k));
        });
    } else if (phase == "write") {
        ok = writeEachOnce(root + "written/", files);
    } else {
        return 2;
    }
    const double seconds = since(start);
    const double processor = processorSeconds() - processorStart;
    if (!ok) {
        std::fprintf(stderr, "phase %s failed: %s\n", phase.c_str(), vips_error_buffer());
        return 1;
    }
    std::printf("%.3f %.3f %.1f\n", seconds, processor, peakMemoryMiB());
    return 0;
}

struct Measure {
    double seconds = 0;   // wall clock
    double processor = 0; // user and system time of all its threads
    double memory = 0;    // peak, MiB
};

Measure phase(const std::vector<std::string>& args)
{
    std::vector<std::string> command = {"/proc/self/exe", "--phase"};
    command.insert(command.end(), args.begin(), args.end());
    std::string output;
    Measure m;
    if (!runProcessOutput(command, output) ||
        std::sscanf(output.c_str(), "%lf %lf %lf", &m.seconds, &m.processor, &m.memory) != 3) {
        throw std::runtime_error("the phase \"" + args[0] + "\" failed");
    }
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    if (VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr, "libvips cannot start\n");
        return 1;
    }
    if (argc > 4 && std::string(argv[1]) == "--phase") {
        try {
            return runPhase(std::vector<std::string>(argv + 2, argv + argc));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "bench_generate: %s\n", e.what());
            return 1;
        }
    }
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
            // Absolute, as every path handed to the phases and to vipsthumbnail must be.
            root = quillane::IncludeTrailingSlash(fs::absolute(arg).lexically_normal().string());
            given = true;
        } else {
            std::fprintf(stderr, "Usage: bench_generate [--quick] [--keep] [FOLDER]\n");
            return 2;
        }
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
    const std::string count = std::to_string(pictures);

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

        const Measure first = phase({"generate", root, count, "work", "shop/", "scratch"});
        if (!allPicturesIn(root + "shop/", pictures)) {
            return 1;
        }
        // One item's price changed, as a merchant does between two runs.
        const std::string items = quillane::ReadFile(project.workDir + "shop.tmp");
        const std::size_t price = items.find("=Artikel 1|") + std::strlen("=Artikel 1|");
        write(project.workDir + "shop.tmp", items.substr(0, price) + "9" + items.substr(price));
        const Measure second = phase({"generate", root, count, "work", "shop/", "keep"});
        const Measure scratch = phase({"generate", root, count, "work", "scratch/", "scratch"});
        const bool identical = filesUnder(root + "shop/") == filesUnder(root + "scratch/");
        const Measure half = phase({"generate", root, count, "work-half", "shop-half/", "scratch"});

        const Measure floor = phase({"floor", root, count});
        makeBoxFolders(root + "libvips/");
        const Measure libvips = phase({"libvips", root, count});

        // Mostly process start-up, and slow for it: timed on a tenth of the
        // pictures and scaled up.
        const int thumbnailed = std::max(1, pictures / 10);
        makeBoxFolders(root + "baseline/");
        start = Clock::now();
        const bool baselineOk = onEveryCore(thumbnailed, [&](int k) {
            return vipsthumbnailChain(root + "pictures/" + pictureName(k), root + "baseline/", pictureName(k));
        });
        const double vipsthumbnail = since(start) * pictures / thumbnailed;
        if (!baselineOk) {
            std::fprintf(stderr, "vipsthumbnail failed or left a file out (is libvips-tools installed?)\n");
            return 1;
        }

        const Measure noPictures = phase({"generate", root, count, "work-nopics", "shop-nopics/", "scratch"});
        fs::remove_all(root + "written/");
        const Measure written = phase({"write", root, count});
        const bool writtenSame = filesUnder(root + "shop-nopics/") == filesUnder(root + "written/");

        // The same sizes on all sides, so that they do the same work.
        bool sameSizes = true;
        const std::string item = "A10000";
        const std::string ours[] = {"xxl/" + item + "_1.jpg", "large/" + item + "_1.jpg", "medium/" + item + ".jpg",
                                    "small/" + item + ".jpg"};
        for (std::size_t i = 0; i < 4; ++i) {
            const auto a = pictureSize(root + "shop/pictures/" + ours[i]);
            const auto b = pictureSize(root + "baseline/" + kBoxes[i].folder + "/" + pictureName(0));
            const auto c = pictureSize(root + "libvips/" + kBoxes[i].folder + "/" + pictureName(0));
            std::printf("  %-6s generator %dx%d, vipsthumbnail %dx%d, libvips %dx%d\n", kBoxes[i].folder, a.first,
                        a.second, b.first, b.second, c.first, c.second);
            sameSizes = sameSizes && std::abs(a.first - b.first) <= 1 && std::abs(a.second - b.second) <= 1 &&
                        std::abs(a.first - c.first) <= 1 && std::abs(a.second - c.second) <= 1;
        }

        const auto line = [](const char* what, const Measure& m) {
            std::printf("%-54s %8.2f s %8.2f s %8.1f MiB\n", what, m.seconds, m.processor, m.memory);
        };
        std::printf("%-54s %10s %10s %12s\n", "", "wall", "processor", "peak memory");
        line("first run", first);
        line("second run after one price changed", second);
        line("a run from scratch of the changed catalog", scratch);
        line("first run with half the pictures", half);
        line("floor: one shrunk decode per picture, every core", floor);
        line("libvips in one process, the same 7 files a picture", libvips);
        std::printf("%-54s %8.2f s (%u at a time, timed on %d pictures)\n",
                    "vipsthumbnail, 4 processes a picture (mostly start-up)", vipsthumbnail, cores, thumbnailed);
        line("run without pictures", noPictures);
        line("the same files, one write each", written);
        std::printf("\nratios (wall / processor time):\n");
        const auto ratio = [](const char* what, const Measure& a, const Measure& b, const char* goal) {
            std::printf("  %-40s %6.2f / %6.2f   %s\n", what, a.seconds / b.seconds, a.processor / b.processor, goal);
        };
        ratio("second run / first run", second, first, "(goal <= 0.05)");
        ratio("first run / floor", first, floor, "(goal <= 1.5)");
        ratio("first run / libvips in one process", first, libvips, "");
        std::printf("  %-40s %6.2f\n", "first run / vipsthumbnail", first.seconds / vipsthumbnail);
        ratio("run without pictures / writes", noPictures, written, "(goal <= 3)");
        std::printf("peak memory with %d and %d pictures: %.1f and %.1f MiB\n", pictures, pictures / 2, first.memory,
                    half.memory);
        std::printf("second run's shop equals a run from scratch: %s\n", identical ? "yes" : "NO");
        if (!writtenSame) {
            std::printf("the written copy differs from the shop without pictures\n");
        }
        if (!sameSizes) {
            std::printf("the picture sizes differ by more than a pixel\n");
        }
        if (keep || given) {
            std::printf("kept: %s\n", root.c_str());
        } else {
            fs::remove_all(root);
        }
        return identical && sameSizes && writtenSame ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_generate: %s\n", e.what());
        return 1;
    }
}
