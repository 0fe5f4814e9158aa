#include "../ShopFixture.h"
#include "InChild.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "core/common/Files.h"
#include "core/common/WorkFolder.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillane;
using quillane::test::TempDir;

namespace {

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun runCli(std::vector<std::string> args)
{
    std::ostringstream out, err;
    const int code = cli::RunCli(args, out, err);
    return {code, out.str(), err.str()};
}

} // namespace

TEST(Cli, InfoPrintsTheStartupSettingsInUtf8)
{
    TempDir dir;
    dir.write("countries.dat", "[Switzerland]\r\nActive=1\r\nEU=0\r\nVAT=8.1\r\nCurrencyCode=CHF\r\n"
                               "CurrencyNative=SFr\r\nEuroRate=0.94\r\nLanguageDefault=deutsch,francais\r\n"
                               "[Germany]\r\nActive=1\r\nEU=1\r\nVAT=19\r\nLanguageDefault=deutsch\r\n"
                               "[France]\r\nActive=0\r\nLanguageDefault=francais,\xE9"
                               "t\xE9\r\n");
    dir.write("quillane.ini", "[Account]\r\nCountry=Switzerland\r\n[Connection]\r\nconnection=3\r\n");
    const CliRun r = runCli({"--home", dir.path(), "info"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "StartupStatus=\nCountry.Name=Switzerland\nCountry.Language=deutsch\nCountry.VAT=8.1\nCountry.EU=0\n"
              "Country.Currency0=SFr\nCountry.Rate0=0.94\nCountry.Currency1=\xE2\x82\xAC\nCountry.Rate1=1\n"
              "Connection=3\nActiveLanguages=deutsch,francais\n");
}

TEST(Cli, InfoInTheSetupState)
{
    TempDir dir;
    dir.write("countries.dat", "[Germany]\nEU=1\nVAT=19\nLanguageDefault=deutsch\n"
                               "[Ireland]\nEU=1\nVAT=23\nLanguageDefault=english\n");
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    ::setenv("QUILLANE_HOME", dir.path().c_str(), 1);
    const CliRun r = runCli({"info"});
    ::unsetenv("QUILLANE_HOME");
    ::unsetenv("LC_ALL");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("StartupStatus=setup\n"), std::string::npos);
    EXPECT_NE(r.out.find("Country.Name=Germany\n"), std::string::npos);
    EXPECT_NE(r.out.find("Country.VAT=19\n"), std::string::npos);
    EXPECT_NE(r.out.find("Connection=1\n"), std::string::npos);
    EXPECT_NE(r.out.find("ActiveLanguages=\n"), std::string::npos);
}

TEST(Cli, BadHomeAndBadCommandsFailWithOneLine)
{
    TempDir dir;
    dir.write("file", "");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--home", dir.file("file/sub"), "info"},
         "The program folder " + dir.file("file/sub/") + " cannot be created"},
        {{"--home"}, "--home needs a folder"},
        {{"--home", dir.path(), "frobnicate"}, "unknown command: frobnicate"},
    };
    for (const auto& c : cases) {
        const CliRun r = runCli(c.args);
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST(Cli, ASettingsFileOrCountryTableThatCannotBeReadIsOneLineAndNoHang)
{
    for (const std::string name : {"quillane.ini", "countries.dat"}) {
        TempDir dir;
        dir.write("countries.dat", "[Germany]\r\nEU=1\r\n");
        dir.write("quillane.ini", "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        std::filesystem::remove(dir.file(name));
        if (name == "quillane.ini") {
            ASSERT_EQ(::mkfifo(dir.file(name).c_str(), 0600), 0);
        } else {
            ASSERT_EQ(::symlink("/dev/zero", dir.file(name).c_str()), 0);
        }
        const std::string outcome = test::InChild([&] {
            const CliRun r = runCli({"--home", dir.path(), "info"});
            return std::to_string(r.code) + " [" + r.out + "] " + r.err;
        });
        EXPECT_EQ(outcome,
                  "1 [] quillane-cli: Cannot read file \"" + dir.file(name) + "\": it is not a regular file.\n");
    }
}

TEST(Cli, ARunRemovesTheWorkingFoldersOfDeadRunsOnly)
{
    TempDir home;
    test::makeShopHome(home.path());
    TempDir tmp;
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    {
        const WorkFolder running; // a run that is still going
        WriteTextFile(running.path() + "shop.tmp", "[0]\r\n");
        // What a killed run leaves behind.
        tmp.write("quillane-cli-Dead01/shop.tmp", "[0]\r\n");
        tmp.write("quillane-cli-Dead02/sub/pictures.ini", "");
        tmp.write("other-program/keep.txt", "mine");

        const CliRun r = runCli({"--home", home.path(), "generate", "Alpha"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_FALSE(std::filesystem::exists(tmp.file("quillane-cli-Dead01")));
        EXPECT_FALSE(std::filesystem::exists(tmp.file("quillane-cli-Dead02")));
        EXPECT_EQ(tmp.read("other-program/keep.txt"), "mine");
        EXPECT_EQ(ReadFile(running.path() + "shop.tmp"), "[0]\r\n");
    }
    ::unsetenv("TMPDIR");
    EXPECT_EQ(test::filesUnder(tmp.path()), (std::map<std::string, std::string>{{"other-program/keep.txt", "mine"}}));
}

TEST(Cli, ANewProgramFolderIsFilledAndSetUpWithoutTheWindow)
{
    TempDir dir;
    CreateFolder(dir.file("empty/"));
    for (const std::string& home : {dir.file("new/"), dir.file("empty/")}) {
        const CliRun r =
            runCli({"--home", home, "setup", "--country", "deutschland", "--also", "\xC3\x96sterreich", "Suisse"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "Country.Name=Germany\nServedCountries=Austria,Germany,Switzerland\n");
        // Filled as the window's first start fills it.
        for (const char* shipped : {"layouts/Standard", "sprache/english.lng", "Projekte/Beispielshop.shp"}) {
            EXPECT_TRUE(std::filesystem::exists(home + shipped)) << shipped;
        }
        EXPECT_EQ(std::filesystem::status(home).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
        const CliRun info = runCli({"--home", home, "info"});
        EXPECT_EQ(info.code, 0) << info.err;
        EXPECT_NE(info.out.find("StartupStatus=\nCountry.Name=Germany\nCountry.Language=deutsch\nCountry.VAT=19\n"),
                  std::string::npos)
            << info.out;
        EXPECT_NE(info.out.find("Connection=1\nActiveLanguages=deutsch,francais,italiano\n"), std::string::npos)
            << info.out;
    }

    // A folder the program knows is left as it is.
    dir.write("known/quillane.ini", "[Account]\r\nCountry=Germany\r\n");
    EXPECT_EQ(runCli({"--home", dir.file("known"), "info"}).code, 0);
    EXPECT_EQ(test::filesUnder(dir.file("known")),
              (std::map<std::string, std::string>{{"quillane.ini", "[Account]\r\nCountry=Germany\r\n"}}));

    // Names are checked before anything is written.
    dir.write("twice/countries.dat", "[Germany]\r\nCountryNative=Deutschland\r\n"
                                     "[Old Germany]\r\nCountryNative=Alt,Deutschland\r\n");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--home", dir.file("new"), "setup", "--country", "Atlantis"}, "There is no country \"Atlantis\" in"},
        {{"--home", dir.file("new"), "setup", "--country", "France", "--also", "Atlantis"}, "\"Atlantis\""},
        {{"--home", dir.file("twice"), "setup", "--country", "deutschland"},
         "\"deutschland\" names more than one country of " + dir.file("twice/countries.dat") +
             ": Germany, Old Germany."},
        {{"--home", dir.file("new"), "setup"}, "setup needs the home country"},
        {{"--home", dir.file("new"), "setup", "--country", "France", "Spain"}, "setup knows no argument Spain"},
    };
    const std::string settings = ReadFile(dir.file("new/quillane.ini"));
    const std::string table = ReadFile(dir.file("new/countries.dat"));
    for (const Case& c : cases) {
        const CliRun r = runCli(c.args);
        EXPECT_EQ(r.code, 1) << c.message;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(dir.file("new/quillane.ini")), settings);
    EXPECT_EQ(ReadFile(dir.file("new/countries.dat")), table);
    EXPECT_FALSE(FileExists(dir.file("twice/quillane.ini")));
}
