#include "NetPeers.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "core/common/Files.h"
#include "core/common/Text.h"
#include "core/orders/InvoiceNumbers.h"
#include "core/orders/InvoicePage.h"
#include "core/orders/OrderFile.h"
#include "core/settings/WindowMemory.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <unistd.h>

using namespace quillane;
using quillane::test::OrderServicePeer;
using quillane::test::TempDir;

namespace {

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

class CliOrdersTest : public ::testing::Test {
protected:
    static constexpr const char* kUser = "merchant";
    static constexpr const char* kPassword = "s&cret=1";

    void SetUp() override
    {
        home_.write("countries.dat", "[Germany]\r\nActive=1\r\nEU=1\r\nVAT=19\r\nLanguageDefault=deutsch\r\n");
        home_.write("sprache/deutsch.lng", ReadFile(std::string(QUILLANE_DATA_DIR) + "sprache/deutsch.lng"));
    }

    void settings(const std::string& service, const std::string& password, int connection = 1)
    {
        home_.write("quillane.ini", "[Account]\r\nCountry=Germany\r\nUserID=" + std::string(kUser) + "\r\nPassword=" +
                                        password + "\r\n[Connection]\r\nconnection=" + std::to_string(connection) +
                                        "\r\n[Services]\r\nOrderService=" + service + "\r\n");
    }

    CliRun run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--home", home_.path()});
        std::ostringstream out;
        std::ostringstream err;
        const int code = cli::RunCli(args, out, err);
        return {code, out.str(), err.str()};
    }

    static std::size_t lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

    // An order as the service sends it, with the figures after its item lines.
    static std::string fullOrder(const std::string& id, const std::string& keys)
    {
        return "[" + id + "]\r\n" + keys +
               "itemcount=0\r\nsubtotal=0.00\r\ntotal=0.00\r\nvat=0.00\r\nshipping=4.90\r\nsubamount=4.90\r\n"
               "paymentfee=0.00\r\npayment=vk\r\n";
    }

    TempDir home_;
};

} // namespace

TEST_F(CliOrdersTest, FetchSaysHowManyAreNewAndFailuresLeaveTheOrderFileAlone)
{
    OrderServicePeer peer(kUser, kPassword);
    peer.setReply(fullOrder("A1", "lastname=Meier\r\n") + fullOrder("B2", "lastname=Kunz\r\n"));
    settings(peer.address(), kPassword);
    CliRun r = run({"orders", "fetch"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "received 2 orders, 2 new\n");
    // Lines the program did not take are counted.
    peer.setReply(fullOrder("A1", "lastname=Meier\r\nPrinted=true\r\nLASTNAME=Evil\r\n") +
                  fullOrder("B2", "lastname=Kunz\r\n") + "[../x]\r\n");
    r = run({"orders", "fetch"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "received 2 orders, 0 new, 3 lines of the reply refused\n");
    const std::string fetched = home_.read("orders.dat");
    EXPECT_EQ(LoadOrders(home_.path(), OrderState::New).size(), 2u);

    struct Case {
        const char* what;
        std::string service;
        int connection;
        const char* message;
    } cases[] = {
        {"wrong password", peer.address(), 1, "HTTP status 403"},
        {"unreachable", "http://127.0.0.1:1/", 1, "Cannot load \"http://127.0.0.1:1/qln/"},
        {"no connection", peer.address(), 3, "no internet connection"}, // a proxy without a host
        {"cut short", peer.address(), 1, "was cut short: the order \"C3\" has no subtotal"},
    };
    for (const Case& c : cases) {
        const bool rightPassword = std::string(c.what) == "cut short";
        if (rightPassword) {
            peer.setReply(fullOrder("B2", "lastname=Neu\r\n") + "[C3]\r\nlastname=Halb\r\n");
        }
        settings(c.service, rightPassword ? kPassword : "wrong", c.connection);
        r = run({"orders", "fetch"});
        EXPECT_EQ(r.code, 1) << c.what;
        EXPECT_TRUE(r.out.empty()) << c.what;
        EXPECT_EQ(lines(r.err), 1u) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(r.err.find(rightPassword ? "s&cret" : "wrong"), std::string::npos)
            << "the password is shown: " << r.err;
        EXPECT_EQ(home_.read("orders.dat"), fetched) << c.what;
    }
}

TEST_F(CliOrdersTest, ListShowsOneTabSeparatedLinePerOrder)
{
    settings("http://127.0.0.1:1/", kPassword);
    // N1 is a private customer's: the shop sends the company key blank.
    home_.write("orders.dat", "[N1]\r\ndate=01.12.2026 10:00\r\ncompany=\r\nlastname=M\xFCller\r\nfirstname=Eva\r\n"
                              "subamount=26.75\r\npaymentfee=2.5\r\n"
                              "[D1]\r\nprinted=true\r\ncompany=Hof\tund Garten\r\nsubamount=3\r\n"
                              "[X1]\r\nprinted=TRUE\r\n");
    const std::string n1 = "N1\t01.12.2026 10:00\tM\xC3\xBCller, Eva\t29.25 \xE2\x82\xAC\n";
    const std::string d1 = "D1\t\tHof und Garten\t3.00 \xE2\x82\xAC\n";
    EXPECT_EQ(run({"orders", "list", "--new"}).out, n1);
    EXPECT_EQ(run({"orders", "list", "--done"}).out, d1);
    EXPECT_EQ(run({"orders", "list"}).out, n1 + d1 + "X1\t\t, \t0.00 \xE2\x82\xAC\n");
    const CliRun bad = run({"orders", "list", "--old"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("unknown command"), std::string::npos);
}

TEST_F(CliOrdersTest, InvoiceWritesThePageTheOrderViewShowsWithItsNumber)
{
    settings("http://127.0.0.1:1/", kPassword);
    home_.write("orders.dat", "[A1]\r\nlastname=Meier\r\nitemcount=1\r\nitem0=Tasse|T-1|2|5.00|10.00\r\n"
                              "[B2]\r\nlastname=Kunz\r\nitemcount=0\r\ninvoiceno=RE-0007\r\n");
    home_.write("Projekte/Laden.shp", "");
    home_.write("Projekte/Laden/daten/shopprofil.ini", "[Invoice]\r\nReNrPrefix=RE-\r\nReNrNext=0012\r\n"
                                                       "Zahlfrist=10\r\n");
    home_.write("temp/daten/shopprofil.ini", "[Invoice]\r\nReNrPrefix=U-\r\n");
    const std::string out = home_.file("out/rechnung-a1.html");
    CreateFolder(home_.file("out/"));

    struct Case {
        std::vector<std::string> options;
        const char* script;
    } cases[] = {
        {{"A1", "--project", "Laden", "--out", out, "--preview"}, "document.writeln(\"RE-0012\");"}, // the next one
        {{"A1", "--preview", "--out", out}, "document.writeln(\"U-1\");"},     // the untitled project's
        {{"B2", "--out", out, "--preview"}, "document.writeln(\"RE-0007\");"}, // its own
        {{"A1", "--out", out, "--number", "R\xC3\xBC 9", "--project", "Laden", "--preview"},
         "document.writeln(\"R\xFC 9\");"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"invoice"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun r = run(args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, out + "\n" + home_.file("out/rechnung-a1.renr.js") + "\n");
        EXPECT_EQ(home_.read("out/rechnung-a1.renr.js"), c.script);
    }
    // A preview uses up no number and marks nothing.
    EXPECT_EQ(LoadOrders(home_.path(), OrderState::New).size(), 2u);
    EXPECT_NE(home_.read("Projekte/Laden/daten/shopprofil.ini").find("ReNrNext=0012"), std::string::npos);

    // The page is the one the order view builds for the same order today,
    // but for the name of its number script.
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    ::localtime_r(&now, &today);
    InvoiceSetup setup;
    setup.ProgramDir = home_.path();
    setup.DataDir = home_.file("Projekte/Laden/daten/");
    setup.LanguageDir = home_.file("sprache/");
    setup.Home.Language = "deutsch";
    setup.Home.VAT = 19;
    setup.Today = today;
    ASSERT_EQ(run({"invoice", "A1", "--project", "Laden", "--out", out}).code, 0);
    BuildInvoicePage(setup, ReadOrder(home_.path(), "A1"), home_.file("expected.html"));
    EXPECT_EQ(home_.read("out/rechnung-a1.html"),
              ReplaceAll(home_.read("expected.html"), "\"renr.js\"", "\"rechnung-a1.renr.js\"", false));
    // The order view's own page name keeps the order view's script name.
    ASSERT_EQ(run({"invoice", "A1", "--project", "Laden", "--out", home_.file("out/rechnung.html")}).out,
              home_.file("out/rechnung.html") + "\n" + home_.file("out/renr.js") + "\n");
    EXPECT_EQ(home_.read("out/rechnung.html"), home_.read("expected.html"));
}

TEST_F(CliOrdersTest, InvoicesUseTheLastProjectsNumbersInTurnAndPrintedOnesMarkTheOrder)
{
    settings("http://127.0.0.1:1/", kPassword);
    home_.write("orders.dat", "[A1]\r\nlastname=Meier\r\nitemcount=0\r\n[B2]\r\nlastname=Kunz\r\nitemcount=0\r\n"
                              "[C3]\r\nlastname=Lang\r\nitemcount=0\r\n");
    home_.write("userprofil.ini", "[Contact]\r\nFirma=Wolle & Co\r\nName=Anna Berg\r\n");
    home_.write("Projekte/Laden.shp", "");
    home_.write("Projekte/Laden/daten/shopprofil.ini", "[Invoice]\r\nReNrPrefix=RE-\r\nReNrNext=0012\r\n"
                                                       "Kopfzeile=1\r\n");
    home_.write("temp/daten/shopprofil.ini", "[Invoice]\r\nReNrPrefix=U-\r\n");
    RememberProject(home_.path(), home_.file("Projekte/Laden.shp"));
    CreateFolder(home_.file("out/"));
    const auto number = [this](const std::string& id) { return ReadOrder(home_.path(), id).InvoiceNumber(); };

    // Both pages in one folder, each with its own number script; the first printed otherwise.
    struct Case {
        const char* id;
        const char* script;
        bool done;
        OrderState state;
    } cases[] = {{"A1", "document.writeln(\"RE-0012\");", true, OrderState::Done},
                 {"B2", "document.writeln(\"RE-0013\");", false, OrderState::New}};
    for (const Case& c : cases) {
        const std::string page = home_.file("out/" + std::string(c.id) + ".html");
        std::vector<std::string> args{"invoice", c.id, "--out", page};
        if (c.done) {
            args.push_back("--done");
        }
        const CliRun r = run(args);
        ASSERT_EQ(r.code, 0) << r.err;
        const std::string script = home_.file("out/" + std::string(c.id) + ".renr.js");
        EXPECT_EQ(r.out, page + "\n" + script + "\n");
        EXPECT_EQ(home_.read("out/" + std::string(c.id) + ".renr.js"), c.script);
        const std::string html = home_.read("out/" + std::string(c.id) + ".html");
        EXPECT_NE(html.find("<script src=\"" + std::string(c.id) + ".renr.js\"></script>"), std::string::npos);
        EXPECT_EQ(html.find("\"renr.js\""), std::string::npos);
        EXPECT_NE(html.find("Wolle &amp; Co"), std::string::npos) << "the seller is missing";
        EXPECT_EQ(ReadOrder(home_.path(), c.id).State(), c.state) << c.id;
    }
    EXPECT_EQ(home_.read("out/A1.renr.js"), cases[0].script);
    EXPECT_EQ(number("A1"), "RE-0012");
    EXPECT_EQ(number("B2"), "RE-0013");
    EXPECT_EQ(ReadInvoiceSequence(home_.file("Projekte/Laden/daten/")).Next, "0014");

    // An invoiced order keeps its number; a preview uses none up.
    ASSERT_EQ(run({"invoice", "A1", "--out", home_.file("out/A1.html")}).code, 0);
    ASSERT_EQ(run({"invoice", "C3", "--out", home_.file("out/C3.html"), "--preview"}).code, 0);
    EXPECT_EQ(home_.read("out/A1.renr.js"), cases[0].script);
    EXPECT_EQ(home_.read("out/C3.renr.js"), "document.writeln(\"RE-0014\");");
    EXPECT_EQ(ReadOrder(home_.path(), "C3").State(), OrderState::New);
    EXPECT_EQ(ReadInvoiceSequence(home_.file("Projekte/Laden/daten/")).Next, "0014");

    // The project named wins over the last one; a project gone since is passed over.
    home_.write("Projekte/Alt.shp", "");
    home_.write("Projekte/Alt/daten/shopprofil.ini", "[Invoice]\r\nReNrPrefix=A-\r\nReNrNext=5\r\n");
    ASSERT_EQ(run({"invoice", "C3", "--project", "Alt", "--out", home_.file("out/C3.html"), "--preview"}).code, 0);
    EXPECT_EQ(home_.read("out/C3.renr.js"), "document.writeln(\"A-5\");");
    RememberProject(home_.path(), home_.file("Projekte/Weg.shp"));
    ASSERT_EQ(run({"invoice", "C3", "--out", home_.file("out/C3.html"), "--preview"}).code, 0);
    EXPECT_EQ(home_.read("out/C3.renr.js"), "document.writeln(\"U-1\");");
    // A page name that is no plain word still finds its script.
    ASSERT_EQ(run({"invoice", "C3", "--out", home_.file("out/Nr 3 \xC3\xA4\"#.html"), "--preview"}).code, 0);
    EXPECT_EQ(home_.read("out/Nr 3 \xC3\xA4\"#.renr.js"), "document.writeln(\"U-1\");");
    EXPECT_NE(home_.read("out/Nr 3 \xC3\xA4\"#.html").find("<script src=\"Nr%203%20%C3%A4%22%23.renr.js\">"),
              std::string::npos);
}

TEST_F(CliOrdersTest, InvoiceFailuresAreOneLineNamingTheOrderOrFile)
{
    settings("http://127.0.0.1:1/", kPassword);
    home_.write("orders.dat", "[A1]\r\nlastname=Meier\r\nitemcount=1\r\n[C3]\r\nlastname=Kunz\r\n"
                              "[D4]\r\nitemcount=0\r\ninvoiceno=X-1\r\n");
    const std::string orders = home_.read("orders.dat");
    TempDir emptyPath;
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ::setenv("PATH", emptyPath.path().c_str(), 1);
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"invoice", "Z9", "--out", home_.file("r.html")}, "no order \"Z9\""},
        {{"invoice", "C3", "--out", home_.file("r.html")}, "\"C3\" has no readable number of items"},
        {{"invoice", "A1", "--out", home_.file("missing/r.html")}, home_.file("missing/")},
        {{"invoice", "A1", "--project", "Nirgends"}, "Nirgends.shp does not exist"},
        {{"invoice", "A1", "--out"}, "--out needs a value"},
        {{"invoice", "--out", "x.html"}, "invoice needs an order ID"},
        {{"invoice", "A1", "--out", home_.file("r.html"), "--pdf", home_.file("r.pdf")},
         "the window program quillane, which prints PDF files, is neither"},
        // A number is given to one order only.
        {{"invoice", "A1", "--number", "X-1", "--out", home_.file("r.html")},
         "\"X-1\" was given to order \"D4\" already"},
        {{"invoice", "A1", "--number", " ", "--out", home_.file("r.html")}, "\"A1\" has no number"},
        {{"invoice", "A1", "--preview", "--done"}, "--preview uses no number up"},
    };
    for (const Case& c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.code, 1) << c.message;
        EXPECT_EQ(lines(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(FileExists(home_.file("r.pdf")));
    EXPECT_EQ(home_.read("orders.dat"), orders) << "a failed invoice marked an order";
}

TEST_F(CliOrdersTest, PdfComesFromTheWindowProgramRunWithoutAScreen)
{
    settings("http://127.0.0.1:1/", kPassword);
    home_.write("orders.dat", "[A1]\r\nlastname=Meier\r\nitemcount=0\r\n");
    // Stand-ins for the window program: one prints its arguments and
    // environment as the PDF, one fails.
    TempDir bin;
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::optional<std::string> platformBefore =
        platform != nullptr ? std::optional<std::string>(platform) : std::nullopt;
    struct Case {
        const char* script;
        int code;
        std::string pdf;     // what the PDF holds afterwards, empty for none
        std::string message; // on standard error
    } cases[] = {
        {"#!/bin/sh\necho \"$1 $2 $QT_QPA_PLATFORM $QTWEBENGINE_DISABLE_SANDBOX\" > \"$3\"\necho chatter >&2\n", 0,
         "--print-pdf " + home_.file("r.html") + " offscreen 1\n", ""},
        // The engine's notes and the program's own line: the tool says it once, with the reason.
        {"#!/bin/sh\necho 'Sandboxing disabled by user.' >&2\necho note\n"
         "printf 'quillane: the page could not be loaded\\033[2J\\n\\n' >&2\nexit 3\n",
         1, "",
         "could not print " + home_.file("r.html") + " to " + home_.file("r.pdf") +
             " (exit status 3): the page could not be loaded\\x1B[2J"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(home_.file("r.pdf"));
        home_.write("orders.dat", "[A1]\r\nlastname=Meier\r\nitemcount=0\r\n");
        const std::string nextBefore = ReadInvoiceSequence(home_.file("temp/daten/")).Next;
        bin.write("quillane", c.script);
        std::filesystem::permissions(bin.file("quillane"), std::filesystem::perms::owner_all);
        ::setenv("PATH", (bin.path() + ":" + path).c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        // What reaches the tool's own descriptors, past the streams it was given.
        std::fflush(stdout);
        std::fflush(stderr);
        const int savedOut = ::dup(STDOUT_FILENO);
        const int savedErr = ::dup(STDERR_FILENO);
        const int leak = ::open(bin.file("leak").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(leak, STDOUT_FILENO);
        ::dup2(leak, STDERR_FILENO);
        ::close(leak);
        const CliRun r = run({"invoice", "A1", "--out", home_.file("r.html"), "--pdf", home_.file("r.pdf")});
        std::fflush(stdout);
        std::fflush(stderr);
        ::dup2(savedOut, STDOUT_FILENO);
        ::dup2(savedErr, STDERR_FILENO);
        ::close(savedOut);
        ::close(savedErr);
        EXPECT_EQ(bin.read("leak"), "");
        ::setenv("PATH", path.c_str(), 1);
        if (platformBefore) {
            ::setenv("QT_QPA_PLATFORM", platformBefore->c_str(), 1);
        } else {
            ::unsetenv("QT_QPA_PLATFORM");
        }
        EXPECT_EQ(r.code, c.code) << r.err;
        if (c.pdf.empty()) {
            EXPECT_FALSE(FileExists(home_.file("r.pdf")));
            EXPECT_EQ(lines(r.err), 1u) << r.err;
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
            EXPECT_EQ(ReadOrder(home_.path(), "A1").State(), OrderState::New);
            EXPECT_EQ(ReadInvoiceSequence(home_.file("temp/daten/")).Next, nextBefore) << "a number was used up";
        } else {
            EXPECT_EQ(home_.read("r.pdf"), c.pdf);
            EXPECT_EQ(r.out, home_.file("r.html") + "\n" + home_.file("r.renr.js") + "\n" + home_.file("r.pdf") + "\n");
            // Printed: the untitled project's first number is used up and the order is done.
            EXPECT_EQ(ReadOrder(home_.path(), "A1").State(), OrderState::Done);
            EXPECT_EQ(ReadOrder(home_.path(), "A1").InvoiceNumber(), "1");
            EXPECT_EQ(ReadInvoiceSequence(home_.file("temp/daten/")).Next, "2");
        }
    }
}
