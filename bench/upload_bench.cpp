// Builds a synthetic project (1,000 items in 40 groups, descriptions in two
// languages, so more than 2,000 files in its shop), generates the shop and
// publishes all of it with UploadShop to a plain FTP server on loopback
// (tests/net/ftp_peer.py). The baseline, timed in the same run against the
// same server, sends the same files with curl, one process per file, one
// after the other. Then one item gets a new price and a new description, the
// shop is generated again and published with only the changed files sent;
// the bench lists what went and its share of the full upload's bytes.
//
// Usage: bench_upload [--quick] [--keep]
//   --quick  a fifth of the size, for a smoke run
//   --keep   leave the temporary folder behind
#include "BenchSupport.h"
#include "NetPeers.h"
#include "core/catalog/ItemDetails.h"
#include "core/common/Files.h"
#include "core/generator/Generation.h"
#include "core/publish/Upload.h"
#include "core/settings/Country.h"

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace quillane::bench;

constexpr const char* kCurl = "/usr/bin/curl";
constexpr int kItemsPerGroup = 25;

struct Project {
    std::string programDir, workDir, dataDir;
    int items = 0;
};

std::string itemKey(int item)
{
    return "A" + std::to_string(10000 + item);
}

// The item's line of shop.tmp: name, price, no picture, shown.
std::string itemLine(int item, const std::string& price)
{
    return itemKey(item) + "=Artikel " + std::to_string(item) + "|" + price + "|||||\r\n";
}

std::string firstPrice(int item)
{
    return std::to_string(item % 200) + "." + std::to_string(10 + item % 90);
}

// The program folder and the project's working copy and data folder; no pictures.
Project makeProject(const std::string& root, int groups)
{
    Project p{root + "program/", root + "work/", root + "data/", groups * kItemsPerGroup};
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

    std::string shop, groupsDe = "[deutsch]\r\n", groupsEn = "[english]\r\n";
    int item = 0;
    for (int g = 0; g < groups; ++g) {
        shop += "[" + std::to_string(g) + "]\r\nVersand=" + std::to_string(g % 3) + ".500\r\n";
        groupsDe += std::to_string(g) + "=Bereich " + std::to_string(g / 20) + "|Gruppe " + std::to_string(g) + "\r\n";
        groupsEn += std::to_string(g) + "=Area " + std::to_string(g / 20) + "|Group " + std::to_string(g) + "\r\n";
        for (int i = 0; i < kItemsPerGroup; ++i, ++item) {
            shop += itemLine(item, firstPrice(item));
            write(quillane::DescriptionPath(p.dataDir, "deutsch", itemKey(item)),
                  "Artikel " + std::to_string(item) + " aus Gruppe " + std::to_string(g) +
                      ".\r\nGefertigt aus bestem Material, langlebig und 'pflegeleicht'.\r\n");
            write(quillane::DescriptionPath(p.dataDir, "english", itemKey(item)),
                  "Item " + std::to_string(item) + " of group " + std::to_string(g) +
                      ".\r\nMade of the finest material, durable and easy to care for.\r\n");
        }
    }
    write(p.workDir + "shop.tmp", shop);
    write(p.workDir + "groups.ini", groupsDe + groupsEn);
    write(p.workDir + "pictures.ini", "");
    write(p.dataDir + "shopprofil.ini", "[Creation]\r\nLayout=standard\r\nLaender=United Kingdom\r\n"
                                        "[Germany]\r\nvk=1\r\nShipping=4.900\r\n"
                                        "[United Kingdom]\r\nvk=1\r\nShipping=15.000\r\n");
    return p;
}

// A new price and a new German description for one item, as the merchant would make them.
void changeItem(const Project& p, int item, const std::string& description)
{
    const std::string file = p.workDir + "shop.tmp";
    std::string shop = quillane::ReadFile(file);
    const std::string before = itemLine(item, firstPrice(item));
    const std::size_t at = shop.find(before);
    if (at == std::string::npos) {
        throw std::runtime_error("item " + itemKey(item) + " is not in " + file);
    }
    shop.replace(at, before.size(), itemLine(item, "999.99"));
    write(file, shop);
    write(quillane::DescriptionPath(p.dataDir, "deutsch", itemKey(item)), description);
}

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
    in.Choices.Countries = {"Germany", "United Kingdom"};
    quillane::RunGeneration(in);
}

struct ShopFiles {
    std::vector<std::string> paths; // relative to the shop folder, "/" between names
    std::int64_t bytes = 0;
};

ShopFiles filesUnder(const std::string& folder)
{
    ShopFiles files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files.paths.push_back(fs::relative(entry.path(), folder).generic_string());
            files.bytes += static_cast<std::int64_t>(entry.file_size());
        }
    }
    return files;
}

// How many of the files are not in the server's folder.
int missingOn(const std::string& serverFolder, const ShopFiles& files)
{
    int missing = 0;
    for (const std::string& path : files.paths) {
        missing += fs::is_regular_file(serverFolder + path) ? 0 : 1;
    }
    return missing;
}

// A relative path as the path of an ftp:// address; "/" stays.
std::string urlPath(const std::string& path)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string url;
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) != 0 || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            url += c;
        } else {
            url += {'%', hex[b >> 4], hex[b & 15]};
        }
    }
    return url;
}

// The baseline: one curl per file, each making the folders it needs.
bool curlPerFile(const std::string& shopDir, const ShopFiles& files, const quillane::test::FtpPeer& peer)
{
    const std::string base = "ftp://127.0.0.1:" + std::to_string(peer.port()) + "/base/";
    const std::string login = peer.user() + ":" + peer.password();
    for (const std::string& path : files.paths) {
        // -q: no ~/.curlrc; -sS: no progress meter, but errors.
        if (!runProcess(
                {kCurl, "-q", "-sS", "-T", shopDir + path, "--ftp-create-dirs", "-u", login, base + urlPath(path)})) {
            std::fprintf(stderr, "curl could not send %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

quillane::FtpSettings settingsFor(const quillane::test::FtpPeer& peer, bool changedOnly)
{
    quillane::FtpSettings s;
    s.Host = "127.0.0.1";
    s.Port = std::to_string(peer.port());
    s.Login = peer.user();
    s.Password = peer.password();
    s.Folder = "shop";
    s.ChangedOnly = changedOnly;
    return s;
}

double megabytes(std::int64_t bytes)
{
    return static_cast<double>(bytes) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    bool quick = false;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            quick = true;
        } else if (arg == "--keep") {
            keep = true;
        } else {
            std::fprintf(stderr, "Usage: bench_upload [--quick] [--keep]\n");
            return 2;
        }
    }
    std::string root = (fs::temp_directory_path() / "quillane-bench-XXXXXX").string();
    if (::mkdtemp(root.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    root += "/";
    const int groups = quick ? 8 : 40;
    bool ok = true;

    try {
        auto start = Clock::now();
        const Project project = makeProject(root, groups);
        const std::string shopDir = root + "shop/";
        generate(project, shopDir);
        const ShopFiles shop = filesUnder(shopDir);
        std::printf("project: %d items in %d groups, 2 languages, no pictures; shop %zu files, %.2f MB (%.1f s to "
                    "make and generate)\n",
                    project.items, groups, shop.paths.size(), megabytes(shop.bytes), since(start));

        const std::string serverRoot = root + "server/";
        fs::create_directories(serverRoot);
        const quillane::test::FtpPeer peer(serverRoot);

        start = Clock::now();
        const quillane::UploadResult full = quillane::UploadShop(shopDir, settingsFor(peer, false), {});
        const double ours = since(start);
        const int oursMissing = missingOn(serverRoot + "shop/", shop);
        std::printf("UploadShop, all files: %d files, %.2f MB in %.2f s (%.0f files/s)\n", full.FilesSent,
                    megabytes(full.BytesSent), ours, full.FilesSent / ours);
        if (oursMissing != 0 || full.FilesSent != static_cast<int>(shop.paths.size())) {
            std::printf("  %d files of the shop are not on the server\n", oursMissing);
            ok = false;
        }

        if (::access(kCurl, X_OK) != 0) {
            std::printf("baseline skipped: %s is missing (scripts/setup.sh installs it)\n", kCurl);
        } else {
            start = Clock::now();
            const bool sent = curlPerFile(shopDir, shop, peer);
            const double baseline = since(start);
            const int baselineMissing = missingOn(serverRoot + "base/", shop);
            if (!sent || baselineMissing != 0) {
                std::printf("baseline failed: %d files are not on the server\n", baselineMissing);
                ok = false;
            } else {
                std::printf("baseline (curl -T, one process per file, one at a time): %zu files in %.2f s (%.0f "
                            "files/s)\n",
                            shop.paths.size(), baseline, static_cast<double>(shop.paths.size()) / baseline);
                std::printf("ratio UploadShop / curl per file: %.3f\n", ours / baseline);
            }
        }

        const int changed = project.items / 2;
        const std::string description = "Neu: Artikel " + std::to_string(changed) + " in frischer Farbe.\r\n";
        changeItem(project, changed, description);
        generate(project, shopDir);
        std::vector<std::string> sentFiles;
        quillane::UploadSink sink;
        sink.Status = [&sentFiles](const quillane::Message& status) {
            sentFiles.push_back(quillane::EnglishText(status));
        };
        start = Clock::now();
        const quillane::UploadResult delta = quillane::UploadShop(shopDir, settingsFor(peer, true), sink);
        const double deltaSeconds = since(start);
        std::printf("one item changed (price, German description), generated again, UploadShop of changed files "
                    "only:\n  %d files, %lld bytes in %.2f s; %d files left out; %.4f%% of the full upload's bytes\n",
                    delta.FilesSent, static_cast<long long>(delta.BytesSent), deltaSeconds, delta.FilesUnchanged,
                    100.0 * static_cast<double>(delta.BytesSent) / static_cast<double>(full.BytesSent));
        for (const std::string& status : sentFiles) {
            std::printf("  %s\n", status.c_str());
        }

        // The new text must have reached the server, not only been counted.
        const std::string remoteDescription = serverRoot + "shop/countries/languages/deutsch/descriptions/" +
                                              quillane::ItemFileName(itemKey(changed)) + ".js";
        const std::string marker = "in frischer Farbe";
        if (!fs::is_regular_file(remoteDescription) ||
            quillane::ReadFile(remoteDescription).find(marker) == std::string::npos) {
            std::printf("the changed description did not arrive: %s\n", remoteDescription.c_str());
            ok = false;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_upload: %s\n", e.what());
        ok = false;
    }
    if (keep) {
        std::printf("kept: %s\n", root.c_str());
    } else {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    return ok ? 0 : 1;
}
