#include "../ShopFixture.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "core/generator/ShopServing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <linux/capability.h>
#include <regex>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillane;
using quillane::test::TempDir;
namespace fs = std::filesystem;

namespace {

// The window program's working copy of another project: a run of the
// command-line tool must leave it alone.
const std::string kWindowWorkingCopy = "[0]\r\nVersand=0.000\r\nX1=Anderes|1.00||||\r\n";

const std::set<std::string> kProjectFolder = {"daten", "shop"};
const std::set<std::string> kShopOnly = {"shop"};

struct Home {
    TempDir dir;
    TempDir tmp; // the tool's own working folders go here
    std::string path = dir.file("home/");

    Home()
    {
        test::makeShopHome(path);
        CreateFolder(path + "temp/");
        WriteTextFile(path + "temp/shop.tmp", kWindowWorkingCopy);
        WriteTextFile(path + "temp/recovery.dat", "Other");
    }

    std::string shop(const std::string& project) const { return path + "Projekte/" + project + "/shop/"; }

    // The names in a project's folder: the shop and nothing a run left beside it.
    std::set<std::string> projectFolder(const std::string& project) const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(path + "Projekte/" + project)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    // The window program's temp folder as it was, and nothing left in the
    // tool's temporary folder.
    void expectNoTraces(const std::string& what) const
    {
        EXPECT_EQ(test::filesUnder(path + "temp/"),
                  (std::map<std::string, std::string>{{"recovery.dat", "Other"}, {"shop.tmp", kWindowWorkingCopy}}))
            << what;
        EXPECT_TRUE(fs::is_empty(tmp.path())) << what;
    }
};

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun runCli(const Home& home, const std::vector<std::string>& args, bool homeFromEnvironment = false)
{
    ::setenv("TMPDIR", home.tmp.path().c_str(), 1);
    if (homeFromEnvironment) {
        ::setenv("QUILLANE_HOME", home.path.c_str(), 1);
    }
    std::ostringstream out, err;
    const int code = cli::RunCli(args, out, err);
    ::unsetenv("QUILLANE_HOME");
    ::unsetenv("TMPDIR");
    return {code, out.str(), err.str()};
}

int today()
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t.tm_yday;
}

// The names of the files that differ between two folders' contents, for a
// failure message that stays readable.
std::string differences(const std::map<std::string, std::string>& expected,
                        const std::map<std::string, std::string>& actual)
{
    std::string names;
    for (const auto& [name, bytes] : expected) {
        const auto other = actual.find(name);
        if (other == actual.end() || other->second != bytes) {
            names += name + (other == actual.end() ? " (missing) " : " ");
        }
    }
    for (const auto& [name, bytes] : actual) {
        if (expected.count(name) == 0) {
            names += name + " (new) ";
        }
    }
    return names;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Root reads files whatever their mode; without these capabilities the
// process meets the modes as any user does.
class WithoutFileOverride {
public:
    WithoutFileOverride()
    {
        ::syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ::syscall(SYS_capset, &header_, reduced);
    }
    ~WithoutFileOverride() { ::syscall(SYS_capset, &header_, saved_); }
    WithoutFileOverride(const WithoutFileOverride&) = delete;
    WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
};

} // namespace

TEST(CliGenerate, WritesTheShopOfTheProjectWithItsStoredChoices)
{
    // What the project's profile chose, and what a project without a profile
    // gets: the defaults, the first layout and the home country alone.
    const std::vector<std::string> chosen = {"Shop.Views = ['dtl:2', 'pro:6', 'std:12'];",
                                             "var View = 2;",
                                             "var Faktor = Shop.Home.VAT;",
                                             "var xxl = -1;",
                                             "Land['de'] = 'Deutschland|deutsch';",
                                             "Land['ch'] = 'Schweiz|deutsch';",
                                             "Land['gb'] = 'United Kingdom|english';",
                                             "Shop.Home.Index = 'de';"};
    const std::vector<std::string> defaults = {
        "Shop.Views = ['dtl:3', 'pro:5', 'std:10'];",      "var View = 1;",          "var Faktor = 1;", "var xxl = 0;",
        "\r\nLand['de'] = 'Deutschland|deutsch';\r\n\r\n", "Shop.Home.Index = 'de';"};
    struct Case {
        const char* what;
        std::function<std::vector<std::string>(const std::string& home)> args;
        bool homeFromEnvironment;
        std::string project;
        std::vector<std::string> varInit;
        const char* title;
    } cases[] = {
        {"a name under Projekte/",
         [](const std::string& h) {
             return std::vector<std::string>{"--home", h, "generate", "Alpha"};
         },
         false, "Alpha", chosen, "<title>Test shop</title>"},
        {"the path of the project file",
         [](const std::string& h) {
             return std::vector<std::string>{"--home", h, "generate", h + "Projekte/Alpha.shp"};
         },
         false, "Alpha", chosen, "<title>Test shop</title>"},
        {"the program folder from QUILLANE_HOME",
         [](const std::string&) {
             return std::vector<std::string>{"generate", "Alpha"};
         },
         true, "Alpha", chosen, "<title>Test shop</title>"},
        {"a project file elsewhere, its profile without choices",
         [](const std::string& h) {
             fs::create_directories(h + "export");
             fs::copy_file(h + "Projekte/Alpha.shp", h + "export/Beta.shp");
             fs::copy(h + "Projekte/Alpha/daten", h + "Projekte/Beta/daten", fs::copy_options::recursive);
             fs::remove(h + "Projekte/Beta/daten/shopprofil.ini");
             return std::vector<std::string>{"--home=" + h, "generate", h + "export/Beta.shp"};
         },
         false, "Beta", defaults, "<title>Classic shop</title>"},
    };
    for (const auto& c : cases) {
        Home home;
        const std::string shop = home.shop(c.project);
        CreateFolder(shop);
        WriteTextFile(shop + "left-over.html", "from an earlier run");
        const CliRun r = runCli(home, c.args(home.path), c.homeFromEnvironment);
        ASSERT_EQ(r.code, 0) << c.what << ": " << r.err;
        EXPECT_EQ(r.out, shop + "\n") << c.what;
        home.expectNoTraces(c.what);

        EXPECT_FALSE(FileExists(shop + "left-over.html")) << c.what;
        const std::string index = ReadFile(shop + "index.html");
        EXPECT_TRUE(contains(index, c.title)) << c.what;
        EXPECT_TRUE(contains(index, "<script src=\"translator.js\">")) << c.what;
        EXPECT_TRUE(contains(ReadFile(shop + "database/db_0.js"), "gd = 'Winterjacke\xA6"
                                                                  "A1\xA6"
                                                                  "49.90\xA6"))
            << c.what;
        EXPECT_TRUE(contains(ReadFile(shop + "database/db_0.js"), "Schal\xA6"
                                                                  "B1\xA6"))
            << c.what;
        const std::string varInit = ReadFile(shop + "var_init.js");
        for (const std::string& line : c.varInit) {
            EXPECT_TRUE(contains(varInit, line)) << c.what << ": " << line;
        }
        EXPECT_FALSE(contains(varInit, "Land['at']")) << c.what;
        EXPECT_FALSE(std::regex_search(varInit, std::regex("\\[[A-Z_]+\\]"))) << c.what << ": a placeholder is left";
        EXPECT_TRUE(contains(ReadFile(shop + "countries/languages/deutsch/translations.js"), "Kleidung")) << c.what;
        EXPECT_TRUE(FileExists(shop + "pictures/large/A1_2.jpg")) << c.what;
        EXPECT_TRUE(FileExists(shop + "pictures/small/A1.jpg")) << c.what;
        EXPECT_FALSE(FileExists(shop + "translations.js")) << c.what;
        EXPECT_FALSE(FileExists(shop + "descriptions.js")) << c.what;
    }
}

TEST(CliGenerate, TheProjectsCountriesDescriptionsAndPictures)
{
    Home home;
    const CliRun r = runCli(home, {"--home", home.path, "generate", "Alpha"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string shop = home.shop("Alpha");
    const auto files = test::filesUnder(shop);
    std::vector<std::string> settings, languages, xxl;
    for (const auto& [name, bytes] : files) {
        if (name.rfind("countries/settings/", 0) == 0) {
            settings.push_back(name);
        } else if (name.rfind("countries/languages/", 0) == 0 && name.find("/translations.js") != std::string::npos) {
            languages.push_back(name);
        } else if (name.rfind("pictures/xxl/", 0) == 0) {
            xxl.push_back(name);
        }
    }
    // The home country is in the shop although the profile does not list it.
    EXPECT_EQ(settings, (std::vector<std::string>{"countries/settings/ch.js", "countries/settings/de.js",
                                                  "countries/settings/gb.js"}));
    EXPECT_EQ(languages, (std::vector<std::string>{"countries/languages/deutsch/translations.js",
                                                   "countries/languages/english/translations.js"}));
    EXPECT_EQ(xxl,
              (std::vector<std::string>{"pictures/xxl/A1_1.jpg", "pictures/xxl/A1_2.jpg", "pictures/xxl/B1_1.jpg"}));
    const std::string germany = files.at("countries/settings/de.js");
    EXPECT_TRUE(contains(germany, "parent.Shop.Versand.Zahlung.vk = 0;\r\n")) << germany;
    EXPECT_TRUE(contains(germany, "parent.Shop.Versand.Zahlung.nn = 2.500;\r\n")) << germany;
    EXPECT_TRUE(contains(germany, "amount('4.900')")) << germany;
    EXPECT_TRUE(contains(files.at("countries/settings/ch.js"), "'SFr'"));
    EXPECT_TRUE(contains(files.at("countries/languages/english/translations.js"), "Clothes=Jackets:0|Scarves:1"));
    EXPECT_TRUE(contains(files.at("countries/languages/english/descriptions/A1.js"), "'Warm and waterproof.'"));
    EXPECT_TRUE(contains(files.at("countries/languages/deutsch/descriptions/A1.js"), "'Warm und wasserdicht.'"));
    EXPECT_TRUE(contains(files.at("countries/languages/deutsch/texts/intro.js"), "Willkommen bei Wolle & Co"));
    EXPECT_TRUE(contains(files.at("contact.html"), "value=\"shop7\""));
    EXPECT_FALSE(files.count("database/db_1.js"));
    EXPECT_FALSE(files.count("countries/languages/deutsch/descriptions/A3.js")); // hidden item
}

TEST(CliGenerate, FailuresNameTheFileAndTheReasonOnOneLine)
{
    auto setting = [](const std::string& content) {
        return [content](const std::string& h) { WriteTextFile(h + "quillane.ini", content); };
    };
    const char garbage[] = "\x01\x02"
                           "Country\0Germany\n\xFF[[";
    auto inUtf16 = [](const std::string& h) {
        std::string utf16 = "\xFF\xFE";
        for (char c : ReadFile(h + "quillane.ini")) {
            utf16 += c;
            utf16 += '\0';
        }
        WriteTextFile(h + "quillane.ini", utf16);
    };
    auto countries = [](const std::string& from, const std::string& to) {
        return [from, to](const std::string& h) {
            std::string table = ReadFile(h + "countries.dat");
            for (std::size_t at = table.find(from); at != std::string::npos; at = table.find(from, at + to.size())) {
                table.replace(at, from.size(), to);
            }
            WriteTextFile(h + "countries.dat", table);
        };
    };
    struct Case {
        const char* what;
        std::function<void(const std::string& home)> prepare;
        std::string project;
        std::vector<std::string> message; // parts of the line, the home folder put in front of those with "/"
        bool beforeTheRun;                // refused before the run wrote anything
    } cases[] = {
        {"missing project", [](const std::string&) {}, "Nobody", {"Projekte/Nobody.shp", "does not exist"}, true},
        {"unreadable project",
         [](const std::string& h) { fs::permissions(h + "Projekte/Alpha.shp", fs::perms::none); },
         "Alpha",
         {"Projekte/Alpha.shp", "cannot be read", "Permission denied"},
         true},
        {"no layout at all",
         [](const std::string& h) { fs::remove_all(h + "layouts"); },
         "Alpha",
         {"no layout", "layouts/"},
         true},
        {"no settings file",
         [](const std::string& h) { fs::remove(h + "quillane.ini"); },
         "Alpha",
         {"quillane.ini", "does not exist"},
         true},
        {"an empty settings file", setting(""), "Alpha", {"quillane.ini", "set the program up first"}, true},
        {"a settings file of garbage",
         setting(std::string(garbage, sizeof garbage - 1)),
         "Alpha",
         {"quillane.ini", "set the program up first"},
         true},
        {"a settings file in UTF-16", inUtf16, "Alpha", {"quillane.ini", "set the program up first"}, true},
        {"settings without the connection kind",
         setting("[Account]\r\nCountry=Germany\r\n"),
         "Alpha",
         {"quillane.ini", "set the program up first"},
         true},
        {"no country table",
         [](const std::string& h) { fs::remove(h + "countries.dat"); },
         "Alpha",
         {"countries.dat", "does not exist"},
         true},
        {"a home country the table does not know",
         setting("[Account]\r\nCountry=Atlantis\r\n[Connection]\r\nconnection=1\r\n"),
         "Alpha",
         {"Atlantis", "countries.dat"},
         true},
        {"a home country that is not served",
         countries("[Germany]\r\nActive=1", "[Germany]\r\nActive=0"),
         "Alpha",
         {"Germany", "not served", "countries.dat"},
         true},
        {"no country served", countries("Active=1", "Active=0"), "Alpha", {"serves no country", "countries.dat"}, true},
        {"a language file missing",
         [](const std::string& h) { fs::remove(h + "sprache/english.lng"); },
         "Alpha",
         {"sprache/", "english"},
         false},
        {"a page missing from the layout",
         [](const std::string& h) { fs::remove(h + "layouts/standard/contact.html"); },
         "Alpha",
         {"contact.html", "missing", "layouts/standard/"},
         false},
        {"a picture that is none",
         [](const std::string& h) { WriteTextFile(h + "bilder/b1.ppm", "no picture"); },
         "Alpha",
         {"bilder/b1.ppm", "B1"},
         false},
    };
    for (const auto& c : cases) {
        Home home;
        // The shop of an earlier run, which a refused run must leave as it is.
        const std::string shop = home.shop(c.project);
        CreateFolder(shop + "database/");
        WriteTextFile(shop + "index.html", "the shop of an earlier run");
        WriteTextFile(shop + "database/db_0.js", "gd = 'earlier';");
        const auto earlier = test::filesUnder(shop);
        c.prepare(home.path);
        const std::string table = FileExists(home.path + "countries.dat") ? ReadFile(home.path + "countries.dat") : "";
        CliRun r;
        {
            const WithoutFileOverride asAnyUser;
            r = runCli(home, {"--home", home.path, "generate", c.project});
        }
        EXPECT_EQ(r.code, 1) << c.what;
        EXPECT_TRUE(r.out.empty()) << c.what << ": " << r.out;
        const std::string lastLine = r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1);
        EXPECT_EQ(lastLine.rfind("quillane-cli: ", 0), 0u) << c.what << ": " << r.err;
        EXPECT_EQ(std::count(lastLine.begin(), lastLine.end(), '\n'), 1) << c.what << ": " << r.err;
        if (c.beforeTheRun) {
            EXPECT_EQ(r.err, lastLine) << c.what << ": the run began";
        }
        for (const std::string& part : c.message) {
            const std::string expected = part.find('/') != std::string::npos ? home.path + part : part;
            EXPECT_TRUE(contains(lastLine, expected)) << c.what << ": \"" << expected << "\" not in " << r.err;
        }
        EXPECT_EQ(differences(earlier, test::filesUnder(shop)), "") << c.what;
        EXPECT_EQ(home.projectFolder(c.project), c.project == "Alpha" ? kProjectFolder : kShopOnly) << c.what;
        if (c.beforeTheRun && FileExists(home.path + "countries.dat")) {
            EXPECT_EQ(ReadFile(home.path + "countries.dat"), table) << c.what << ": nothing written before the run";
        }
        home.expectNoTraces(c.what);
    }
}

TEST(CliGenerate, ARunKilledPartWayLeavesTheEarlierShopAndTheNextRunBuildsItWhole)
{
    const int day = today();
    Home undisturbed;
    ASSERT_EQ(runCli(undisturbed, {"--home", undisturbed.path, "generate", "Alpha"}).code, 0);
    const auto whole = test::filesUnder(undisturbed.shop("Alpha"));

    // Killed as the first item is handled, and once the database is written.
    for (const std::string line : {"0%", "100%"}) {
        Home home;
        const std::string shop = home.shop("Alpha");
        CreateFolder(shop);
        WriteTextFile(shop + "index.html", "the shop of an earlier run");
        const auto earlier = test::filesUnder(shop);

        ::setenv("TMPDIR", home.tmp.path().c_str(), 1);
        std::vector<std::string> args = {QUILLANE_KILLED_RUN, line, "--home", home.path, "generate", "Alpha"};
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        ASSERT_EQ(::posix_spawn(&pid, QUILLANE_KILLED_RUN, nullptr, nullptr, argv.data(), environ), 0);
        ::unsetenv("TMPDIR");
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "at " << line << ": status " << status;

        EXPECT_EQ(differences(earlier, test::filesUnder(shop)), "") << "at " << line;
        EXPECT_EQ(home.projectFolder("Alpha").size(), kProjectFolder.size() + 1)
            << "at " << line << ": the run was to be killed while it built the new shop beside";
        EXPECT_EQ(ResolveShopRequest(shop, "GET", "/").Path, shop + "index.html") << "at " << line;

        const CliRun next = runCli(home, {"--home", home.path, "generate", "Alpha"});
        ASSERT_EQ(next.code, 0) << "at " << line << ": " << next.err;
        EXPECT_EQ(home.projectFolder("Alpha"), kProjectFolder) << "at " << line;
        if (today() != day) {
            GTEST_SKIP() << "the date changed during the runs; the shops' dates differ";
        }
        EXPECT_EQ(differences(whole, test::filesUnder(shop)), "") << "at " << line;
    }
}
