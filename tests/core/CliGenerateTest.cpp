#include "../ShopFixture.h"
#include "CliApp.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <linux/capability.h>
#include <regex>
#include <sstream>
#include <sys/syscall.h>
#include <unistd.h>

using namespace quillane;
using quillane::test::TempDir;
namespace fs = std::filesystem;

namespace {

// The window program's working copy of another project: a run of the
// command-line tool must leave it alone.
const std::string kWindowWorkingCopy = "[0]\r\nVersand=0.000\r\nX1=Anderes|1.00||||\r\n";

struct Home {
    TempDir dir;
    TempDir tmp; // the tool's own working folders go here
    std::string path = dir.file("home/");

    Home()
    {
        test::makeShopHome(path);
        ForceDirectories(path + "temp/");
        WriteTextFile(path + "temp/shop.tmp", kWindowWorkingCopy);
        WriteTextFile(path + "temp/recovery.dat", "Other");
    }

    std::string shop(const std::string& project) const { return path + "Projekte/" + project + "/shop/"; }

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
        ForceDirectories(shop);
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
        EXPECT_TRUE(contains(ReadFile(shop + "database/db_1.js"), "Schal\xA6"
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
    EXPECT_FALSE(files.count("database/db_2.js"));
    EXPECT_FALSE(files.count("countries/languages/deutsch/descriptions/A3.js")); // hidden item
}

TEST(CliGenerate, FailuresNameTheFileAndTheReasonOnOneLine)
{
    struct Case {
        const char* what;
        std::function<void(const std::string& home)> prepare;
        std::string project;
        std::vector<std::string> message; // parts of the line, the home folder put in front of those with "/"
        bool earlierShopKept;             // stopped before the run began
    } cases[] = {
        {"missing project", [](const std::string&) {}, "Nobody", {"Projekte/Nobody.shp", "does not exist"}, true},
        {"unreadable project",
         [](const std::string& h) { fs::permissions(h + "Projekte/Alpha.shp", fs::perms::none); },
         "Alpha",
         {"Projekte/Alpha.shp", "cannot be read", "Permission denied"},
         true},
        {"a page missing from the layout",
         [](const std::string& h) { fs::remove(h + "layouts/standard/contact.html"); },
         "Alpha",
         {"contact.html", "missing", "layouts/standard/"},
         false},
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
    };
    for (const auto& c : cases) {
        Home home;
        c.prepare(home.path);
        const std::string table = ReadFile(home.path + "countries.dat");
        const std::string earlier = home.shop(c.project) + "index.html";
        ForceDirectories(home.shop(c.project));
        WriteTextFile(earlier, "the shop of an earlier run");
        CliRun r;
        {
            const WithoutFileOverride asAnyUser;
            r = runCli(home, {"--home", home.path, "generate", c.project});
        }
        EXPECT_EQ(r.code, 1) << c.what;
        EXPECT_TRUE(r.out.empty()) << c.what << ": " << r.out;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.what << ": " << r.err;
        EXPECT_EQ(r.err.rfind("quillane-cli: ", 0), 0u) << c.what << ": " << r.err;
        for (const std::string& part : c.message) {
            const std::string expected = part.find('/') != std::string::npos ? home.path + part : part;
            EXPECT_TRUE(contains(r.err, expected)) << c.what << ": \"" << expected << "\" not in " << r.err;
        }
        EXPECT_EQ(FileExists(earlier) && ReadFile(earlier) == "the shop of an earlier run", c.earlierShopKept)
            << c.what;
        if (c.earlierShopKept) {
            EXPECT_EQ(ReadFile(home.path + "countries.dat"), table) << c.what << ": nothing written before the run";
        }
        home.expectNoTraces(c.what);
    }
}
