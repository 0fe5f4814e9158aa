#include "../ShopFixture.h"
#include "InChild.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "core/common/WorkFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
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
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--home", dir.file("missing"), "info"}, "does not exist"},
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
