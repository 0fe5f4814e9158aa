#include "../ShopFixture.h"
#include "TestSupport.h"
#include "cli/CliApp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

using namespace quillane;
using quillane::test::TempDir;
namespace fs = std::filesystem;

namespace {

// A program folder with the project Alpha (Kleidung|Jacken: A1, A2, A3;
// Kleidung|Schals: B1), Germany at home (VAT 19, euro).
struct Home {
    TempDir dir;
    TempDir tmp; // the tool's working folders go here
    std::string path = dir.file("home/");

    Home() { test::makeShopHome(path); }

    std::string project() const { return ReadFile(path + "Projekte/Alpha.shp"); }
    std::string groups() const { return ReadFile(path + "Projekte/Alpha/daten/groups.ini"); }
};

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun runCli(const Home& home, std::vector<std::string> args)
{
    args.insert(args.begin(), {"--home", home.path, "import", "Alpha"});
    ::setenv("TMPDIR", home.tmp.path().c_str(), 1);
    std::ostringstream out, err;
    const int code = cli::RunCli(args, out, err);
    ::unsetenv("TMPDIR");
    return {code, out.str(), err.str()};
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(CliImport, ImportsAndUpdatesPricesOrOnlyCountsWithDryRun)
{
    const struct {
        const char* what;
        const char* file; // UTF-8, as a spreadsheet program saves it
        std::vector<std::string> options;
        const char* out;
        std::vector<std::string> saved; // lines the saved project holds then
    } cases[] = {
        {"an import from the second row",
         "Gruppe;Name;Nr;Preis\n"
         "Kleidung|Jacken;Winterjacke neu;A1;59,50\n"
         "Kleidung|Hosen;Jeans \xC3\xA4;J1;49\n"
         ";Chino;J2;-5\n",
         {"--group", "A", "--name", "B", "--orderno", "C", "--price", "D", "--rows", "2"},
         "added 1, replaced 1, updated 0, skipped 1, discontinued 0\n"
         "skipped row 4: The price \"-5\" is negative.\n",
         {"A1=Winterjacke neu|59.500||0:1||\r\n", "J1=Jeans \xE4|49.000||||\r\n", "=Kleidung|Hosen\r\n"}},
        {"an import of gross prices into a chosen main group",
         "Hosen,Jeans,J1,119\n",
         {"--group", "a", "--name", "b", "--orderno", "c", "--price", "d", "--gross", "--main", "Kleidung"},
         "added 1, replaced 0, updated 0, skipped 0, discontinued 0\n",
         {"J1=Jeans|100.0000||||\r\n", "=Kleidung|Hosen\r\n"}},
        {"a price update",
         "Nr;Preis\nA1;100\nB1;20\nA2;7\nN9;5\n",
         {"--update", "--orderno", "A", "--price", "B", "--rows", "2-3"},
         "added 0, replaced 0, updated 2, skipped 0, discontinued 2\n"
         "discontinued\tKleidung|Jacken\tA2\tM\xC3\xBCtze\t9.50\n"
         "discontinued\tKleidung|Jacken\tA3\tVersteckt\t5.00\n",
         {"A1=Winterjacke|100.000|2|0:1||\r\n", "B1=Schal|20.000||||\r\n", "A2=M\xFCtze|9.50||||\r\n"}},
        {"a header row, thousands and prices that cannot be read",
         "Gruppe;Name;Nr;Preis\n"
         "Kleidung|Hosen;Jeans;J1;auf Anfrage\n"
         ";Chino;J2;1.234,56\n"
         ";Cord;J3;(3,50)\n"
         ";Leinen;J4;\n",
         {"--group", "A", "--name", "B", "--orderno", "C", "--price", "D"},
         "added 1, replaced 0, updated 0, skipped 3, discontinued 0\n"
         "skipped row 2: The price \"auf Anfrage\" is not a number.\n"
         "skipped row 4: The price \"(3,50)\" is negative.\n"
         "skipped row 5: There is no price.\n",
         {"J2=Chino|1234.560||||\r\n", "=Kleidung|Hosen\r\n"}},
    };
    for (const auto& c : cases) {
        Home home;
        const std::string file = home.dir.write("items.csv", c.file);
        const std::string project = home.project();
        const std::string groups = home.groups();

        std::vector<std::string> args = {file};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::vector<std::string> dry = args;
        dry.push_back("--dry-run");
        const CliRun counted = runCli(home, dry);
        ASSERT_EQ(counted.code, 0) << c.what << ": " << counted.err;
        EXPECT_EQ(counted.out, std::string(c.out) + "dry run: nothing was written\n") << c.what;
        EXPECT_EQ(home.project(), project) << c.what;
        EXPECT_EQ(home.groups(), groups) << c.what;

        const CliRun done = runCli(home, args);
        ASSERT_EQ(done.code, 0) << c.what << ": " << done.err;
        EXPECT_EQ(done.out, c.out) << c.what;
        const std::string saved = home.project() + home.groups();
        for (const std::string& line : c.saved) {
            EXPECT_TRUE(contains(saved, line)) << c.what << ": " << line << " in\n" << saved;
        }
        EXPECT_TRUE(fs::is_empty(home.tmp.path())) << c.what;
    }
}

TEST(CliImport, AFailureIsOneLineAndWritesNothing)
{
    const struct {
        const char* what;
        std::vector<std::string> args; // after the project; "FILE" stands for the file to import
        const char* message;
    } cases[] = {
        {"a column that is no letter",
         {"FILE", "--group", "A", "--name", "B", "--orderno", "C", "--price", "1"},
         "\"1\" is no column"},
        {"a column missing", {"FILE", "--group", "A", "--orderno", "C", "--price", "D"}, "missing: --name"},
        {"an unknown option",
         {"FILE", "--group", "A", "--name", "B", "--orderno", "C", "--price", "D", "--fast"},
         "no option --fast"},
        {"rows backwards",
         {"FILE", "--group", "A", "--name", "B", "--orderno", "C", "--price", "D", "--rows", "5-2"},
         "--rows"},
        {"a price column the file does not have",
         {"FILE", "--group", "A", "--name", "B", "--orderno", "C", "--price", "E"},
         "The file has no column E; its last column is D."},
        {"a price column the file does not have, for a price update",
         {"FILE", "--update", "--orderno", "C", "--price", "E"},
         "no column E"},
        {"a price column the file does not have, in a dry run",
         {"FILE", "--update", "--orderno", "C", "--price", "E", "--dry-run"},
         "no column E"},
        {"a file that cannot be read",
         {"MISSING", "--group", "A", "--name", "B", "--orderno", "C", "--price", "D"},
         "Cannot open file "},
    };
    for (const auto& c : cases) {
        Home home;
        const std::string file = home.dir.write("items.csv", "Hosen;Jeans;J1;49\n");
        const std::string project = home.project();
        std::vector<std::string> args = c.args;
        for (std::string& a : args) {
            a = a == "FILE" ? file : a == "MISSING" ? home.dir.file("missing.csv") : a;
        }
        const CliRun r = runCli(home, args);
        EXPECT_EQ(r.code, 1) << c.what;
        EXPECT_TRUE(contains(r.err, c.message)) << c.what << ": " << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.what << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.what;
        EXPECT_EQ(home.project(), project) << c.what;
    }
}
