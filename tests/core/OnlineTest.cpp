#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/OnlineMessages.h"
#include "core/online/DialUp.h"
#include "core/online/DialUpClient.h"
#include "core/online/ExchangeRate.h"
#include "core/online/HttpClient.h"
#include "core/online/WebConnect.h"
#include "core/settings/UserData.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <optional>
#include <thread>

using namespace quillane;
using quillane::test::TempDir;

namespace {

// A remote-access service with scripted entries and results that keeps
// what it was asked to do.
class FakeDialUp : public DialUp {
public:
    std::vector<std::string> entries;
    std::size_t active = 0;
    int paramsError = 0;
    int dialError = 0;
    Handle handleOnFailure = kNoHandle;
    std::string errorText = "The remote computer did not respond";
    int pollsUntilGone = 0;

    std::vector<std::string> dialled;
    std::vector<Handle> hungUp;

    std::vector<std::string> EnumEntries() override { return entries; }
    std::size_t CountConnections() override { return active; }
    int GetEntryDialParams(const std::string& entry, DialParams& params) override
    {
        if (paramsError != 0) {
            return paramsError;
        }
        params = {entry, "merchant", "secret"};
        return 0;
    }
    int Dial(const DialParams& params, Handle& handle) override
    {
        if (dialError != 0) {
            handle = handleOnFailure;
            return dialError;
        }
        dialled.push_back(params.Entry);
        handle = nextHandle_++;
        return 0;
    }
    int HangUp(Handle handle) override
    {
        hungUp.push_back(handle);
        pollsLeft_ = pollsUntilGone;
        return 0;
    }
    int GetConnectStatus(Handle) override { return pollsLeft_-- > 0 ? 0 : kInvalidHandle; }
    std::string GetErrorString(int) override { return errorText; }

private:
    Handle nextHandle_ = 41;
    int pollsLeft_ = 0;
};

// Answers from a script and keeps every question with its buttons and icon.
class AnsweringPrompter : public Prompter {
public:
    struct Question {
        std::string caption;
        std::string text;
        Buttons buttons;
        Icon icon;
    };
    std::deque<Answer> answers;
    std::vector<Question> asked;

    Answer Ask(const std::string& caption, const std::string& text, Buttons buttons, Icon icon) override
    {
        asked.push_back({caption, text, buttons, icon});
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << caption;
            return Answer::No;
        }
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void Tell(const std::string& caption, const std::string& text) override
    {
        ADD_FAILURE() << "unexpected message: " << caption << " / " << text;
    }
};

struct DialUpRig {
    FakeDialUp* fake;
    DialUpClient client;
    std::vector<std::string> status;

    DialUpRig() : DialUpRig(std::make_unique<FakeDialUp>()) {}
    explicit DialUpRig(std::unique_ptr<FakeDialUp> service) : fake(service.get()), client(std::move(service))
    {
        client.SetOnError([this](int code, const std::string& text) {
            status.push_back("error " + std::to_string(code) + ": " + text);
        });
        client.SetOnNotConnected([this](int code, const std::string& text) {
            status.push_back("not connected " + std::to_string(code) + ": " + text);
        });
    }
};

TUserData userWith(std::int32_t connection, bool autocon = false)
{
    TUserData user;
    user.Connection = connection;
    user.autocon = autocon;
    return user;
}

constexpr std::string_view kQuestion = "Go online now?|Charges may apply.";

} // namespace

TEST(WebConnect, AnswersForEveryConnectionKind)
{
    using A = Prompter::Answer;
    struct Case {
        const char* name;
        std::int32_t kind;
        const char* connectionSection;
        std::vector<std::string> entries;
        std::size_t active;
        bool autocon;
        std::optional<A> answer; // the question is expected when set
        bool ok;
        std::vector<std::string> dialled;
        HttpProxy proxy;
    };
    const std::vector<Case> cases = {
        {"direct", 1, "", {}, 0, false, {}, true, {}, {}},
        {"dial-up without phone-book entries", 2, "provider=Home\r\n", {}, 0, true, {}, false, {}, {}},
        {"dial-up with a connection already open", 2, "provider=Home\r\n", {"Home"}, 1, false, {}, true, {}, {}},
        {"dial-up without provider", 2, "", {"Home"}, 0, true, {}, false, {}, {}},
        {"dial-up, autocon, Provider", 2, "Provider=Home\r\n", {"Home", "Work"}, 0, true, {}, true, {"Home"}, {}},
        {"dial-up, merchant says yes", 2, "provider=Work\r\n", {"Home", "Work"}, 0, false, A::Yes, true, {"Work"}, {}},
        {"dial-up, merchant says no", 2, "provider=Work\r\n", {"Work"}, 0, false, A::No, false, {}, {}},
        {"proxy", 3, "proxy_host=proxy.lan\r\nproxy_port=3128\r\n", {}, 0, false, {}, true, {}, {"proxy.lan", 3128}},
        {"proxy without port", 3, "proxy_host=10.0.0.1\r\n", {}, 0, false, {}, true, {}, {"10.0.0.1", 8080}},
        {"proxy port 31.28", 3, "proxy_host=p\r\nproxy_port=31.28\r\n", {}, 0, false, {}, true, {}, {"p", 8080}},
        {"proxy port out of range", 3, "proxy_host=p\r\nproxy_port=70000\r\n", {}, 0, false, {}, true, {}, {"p", 8080}},
        {"proxy without host", 3, "proxy_host=\r\nproxy_port=3128\r\n", {}, 0, false, {}, false, {}, {}},
        {"kind unknown", 4, "proxy_host=p\r\nprovider=Home\r\n", {"Home"}, 0, true, {}, false, {}, {}},
        {"kind missing", -1, "", {}, 0, false, {}, false, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir home;
        home.write("quillane.ini", "[Connection]\r\n" + std::string(c.connectionSection));
        DialUpRig rig;
        rig.fake->entries = c.entries;
        rig.fake->active = c.active;
        AnsweringPrompter prompter;
        if (c.answer) {
            prompter.answers.push_back(*c.answer);
        }

        const ConnectResult result =
            WebConnect(userWith(c.kind, c.autocon), home.path(), kQuestion, rig.client, prompter);

        EXPECT_EQ(result.Ok, c.ok);
        EXPECT_EQ(result.Proxy.Host, c.proxy.Host);
        if (!c.proxy.empty()) {
            EXPECT_EQ(result.Proxy.Port, c.proxy.Port);
        }
        EXPECT_EQ(rig.fake->dialled, c.dialled);
        EXPECT_TRUE(rig.status.empty());
        ASSERT_EQ(prompter.asked.size(), c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_EQ(prompter.asked[0].caption, "Quillane"); // the program's name: a caption in no language
            EXPECT_EQ(prompter.asked[0].text, "Go online now?\nCharges may apply.");
            EXPECT_EQ(prompter.asked[0].buttons, Prompter::Buttons::YesNo);
            EXPECT_EQ(prompter.asked[0].icon, Prompter::Icon::Warning);
        }
        // Only a connection the program dialled itself is ever hung up.
        rig.client.HangUp();
        EXPECT_EQ(rig.fake->hungUp.size(), c.dialled.size());
    }
}

TEST(WebConnect, ReadsEntryAndProxyAfreshAtEveryCall)
{
    TempDir home;
    DialUpRig rig;
    rig.fake->entries = {"Home", "Work"};
    AnsweringPrompter prompter;

    home.write("quillane.ini", "[Connection]\r\nprovider=Home\r\nproxy_host=old.lan\r\n");
    WebConnect(userWith(2, true), home.path(), kQuestion, rig.client, prompter);
    EXPECT_EQ(WebConnect(userWith(3), home.path(), kQuestion, rig.client, prompter).Proxy.Host, "old.lan");

    home.write("quillane.ini", "[Connection]\r\nprovider=Work\r\nproxy_host=new.lan\r\nproxy_port=81\r\n");
    WebConnect(userWith(2, true), home.path(), kQuestion, rig.client, prompter);
    const ConnectResult proxy = WebConnect(userWith(3), home.path(), kQuestion, rig.client, prompter);
    EXPECT_EQ(proxy.Proxy.Host, "new.lan");
    EXPECT_EQ(proxy.Proxy.Port, 81);

    EXPECT_EQ(rig.fake->dialled, (std::vector<std::string>{"Home", "Work"}));
    // Dialling again first hung up the line dialled before.
    EXPECT_EQ(rig.fake->hungUp, (std::vector<DialUp::Handle>{41}));
}

TEST(WebConnect, DialUpOnThisSystemAnswersNoSilently)
{
    TempDir home;
    home.write("quillane.ini", "[Connection]\r\nprovider=Home\r\n");
    DialUpClient client(MakeSystemDialUp());
    std::vector<std::string> status;
    client.SetOnError([&](int, const std::string& text) { status.push_back(text); });
    client.SetOnNotConnected([&](int, const std::string& text) { status.push_back(text); });
    AnsweringPrompter prompter;

    EXPECT_FALSE(WebConnect(userWith(2, true), home.path(), kQuestion, client, prompter).Ok);
    EXPECT_FALSE(WebConnect(userWith(2, false), home.path(), kQuestion, client, prompter).Ok);
    EXPECT_TRUE(status.empty());
    EXPECT_TRUE(prompter.asked.empty());
}

TEST(DialUpClient, FailedDialsReachTheStatusBarAndStillAnswerYes)
{
    TempDir home;
    home.write("quillane.ini", "[Connection]\r\nprovider=Home\r\n");
    AnsweringPrompter prompter;

    DialUpRig noParams;
    noParams.fake->entries = {"Home"};
    noParams.fake->paramsError = 623;
    EXPECT_TRUE(WebConnect(userWith(2, true), home.path(), kQuestion, noParams.client, prompter).Ok);
    EXPECT_EQ(noParams.status, (std::vector<std::string>{"error 623: GetEntryDialParams failed"}));
    EXPECT_FALSE(noParams.client.HasDialled());

    DialUpRig busy;
    busy.fake->entries = {"Home"};
    busy.fake->dialError = 678;
    busy.fake->handleOnFailure = 7;
    busy.fake->errorText = std::string(150, 'x');
    EXPECT_TRUE(WebConnect(userWith(2, true), home.path(), kQuestion, busy.client, prompter).Ok);
    EXPECT_EQ(busy.status, (std::vector<std::string>{"not connected 678: " + std::string(100, 'x')}));
    // The half-open line of the failed dial was released, and nothing is left to hang up.
    EXPECT_EQ(busy.fake->hungUp, (std::vector<DialUp::Handle>{7}));
    EXPECT_FALSE(busy.client.HasDialled());
}

TEST(DialUpClient, HangUpWaitsForTheLineWhileTheWindowKeepsWorking)
{
    DialUpRig rig;
    rig.fake->pollsUntilGone = 3;
    int processed = 0;
    rig.client.SetProcessEvents([&] { ++processed; });
    rig.client.SetEntry("Home");
    rig.client.Dial();
    ASSERT_TRUE(rig.client.HasDialled());

    rig.client.HangUp();
    EXPECT_EQ(rig.fake->hungUp, (std::vector<DialUp::Handle>{41}));
    EXPECT_EQ(processed, 3);

    rig.client.HangUp();
    EXPECT_EQ(rig.fake->hungUp.size(), 1u);
}

TEST(ExchangeRate, ReadsTheRateFromEitherKindOfAnswer)
{
    const std::string converter = "http://rates.example/";
    const std::string file = "https://rates.example/daily.XML?day=1";
    const std::string daily = "<?xml version='1.0'?><Cube><Cube time='2024-05-03'>\n"
                              "<Cube currency='USD' rate='1.0812'/>\n"
                              "<Cube  rate = \"7.4604\"  currency = \"DKK\" />\n"
                              "<Cube currency='XAU' rate='gold'/><Cube currency='XAG' rate='0'/>\n";
    struct Case {
        std::string answer;
        std::string address;
        std::string code;
        std::string rate;
    };
    const std::vector<Case> cases = {
        {"1.00 Euro (EUR) = 1.2345 US Dollar (USD)", converter, "USD", "1.2345"},
        {"<b>(eur) = 0.85 (gbp)</b>", converter, "GBP", "0.85"},
        {"(EUR) = 1.2345 US Dollar (USD)", converter, "GBP", ""},
        {"(EUR) = n/a (USD)", converter, "USD", ""},
        {"(EUR) = -3 (USD)", converter, "USD", ""},
        {daily, file, "USD", "1.0812"},
        {daily, file, "usd", "1.0812"},
        {daily, file, "DKK", "7.4604"},
        {daily, file, "EUR", "1"},
        {daily, file, "JPY", ""},
        {daily, file, "XAU", ""},
        {daily, file, "XAG", ""},
        {"<Cube currency='USD' rate='1.08", file, "USD", ""},
        {"<Cube currency='USD rate=1.08/>", file, "USD", ""},
        {"1.00 Euro (EUR) = 1.2345 US Dollar (USD)", file, "USD", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer + " / " + c.code);
        EXPECT_EQ(ExtractRate(c.answer, c.address, c.code), c.rate);
    }
    EXPECT_EQ(RateRequestUrl(converter, "USD"),
              "http://rates.example/apps/currencyconverter?exch=USD&expr=EUR&value=1");
    EXPECT_EQ(RateRequestUrl(file, "USD"), file);
}

TEST(ExchangeRate, ServiceAddressDefaultsToTheDailyReferenceRates)
{
    TempDir home;
    EXPECT_EQ(RateServiceAddress(home.path()), kDefaultRateService);
    home.write("quillane.ini", "[services]\r\nratesERVICE=\r\n");
    EXPECT_EQ(RateServiceAddress(home.path()), kDefaultRateService);
    home.write("quillane.ini", "[Services]\r\nRateService=http://127.0.0.1:8000\r\n");
    EXPECT_EQ(RateServiceAddress(home.path()), "http://127.0.0.1:8000");
    EXPECT_TRUE(IsRateFile(kDefaultRateService));
}

namespace {

// tests/net/rate_server.py on a free port of 127.0.0.1, serving the files
// under root. It ends when the pipe to it closes, even if the test dies.
class RateServer {
public:
    explicit RateServer(const TempDir& dir) : root_(dir.file("www/")), log_(dir.file("requests.log"))
    {
        CreateFolder(root_);
        const std::string portFile = dir.file("port");
        const std::string command = "python3 '" QUILLANE_DATA_DIR "../tests/net/rate_server.py' --root '" + root_ +
                                    "' --log '" + log_ + "' --port-file '" + portFile + "'";
        pipe_ = popen(command.c_str(), "w");
        // Starting python takes a moment; the deadline only stops a test whose server never came up.
        for (int i = 0; i < 1500 && pipe_ != nullptr && !FileExists(portFile); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::string port;
        if (TryReadFile(portFile, port)) {
            base_ = "http://127.0.0.1:" + Trim(port);
            port_ = std::stoi(port);
        }
    }
    ~RateServer()
    {
        if (pipe_ != nullptr) {
            pclose(pipe_);
        }
    }

    bool running() const { return port_ != 0; }
    std::int32_t port() const { return port_; }
    std::string url(const std::string& path) const { return base_ + path; }
    void serve(const std::string& path, const std::string& content) const
    {
        CreateFolder(std::filesystem::path(root_ + path).parent_path().string());
        WriteTextFile(root_ + path, content);
    }
    std::string lastRequest() const
    {
        std::string log;
        static_cast<void>(TryReadFile(log_, log)); // no log yet: no requests
        const SplitArray lines = Split('\n', Trim(log));
        return lines.back();
    }
    // The request lines since the log was last cleared.
    std::vector<std::string> requests() const
    {
        std::string log;
        static_cast<void>(TryReadFile(log_, log)); // no log yet: no requests
        std::vector<std::string> lines;
        for (const std::string& line : Split('\n', log)) {
            if (!line.empty()) {
                lines.push_back(line);
            }
        }
        return lines;
    }
    // Emptied in place: the server goes on appending to the file it opened.
    void clearRequests() const { std::filesystem::resize_file(log_, 0); }

private:
    std::string root_;
    std::string log_;
    std::FILE* pipe_ = nullptr;
    std::string base_;
    std::int32_t port_ = 0;
};

class RateDownload : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.running()) << "tests/net/rate_server.py did not start (is python3 on the PATH?)";
        CreateFolder(home);
        WriteTextFile(home + "countries.dat", "[USA]\r\nCurrencyCode=USD\r\n[UK]\r\nCurrencyCode=GBP\r\n"
                                              "[Germany]\r\nCurrencyCode=EUR\r\n[Japan]\r\nCurrencyCode=JPY\r\n"
                                              "[Oddland]\r\nCurrencyCode=A+B/C\r\n[Nowhere]\r\nEU=0\r\n");
        server.serve("upper/apps/currencyconverter", "<p>1.00 Euro (EUR) = 1.2345 US Dollar (USD)</p>");
        server.serve("lower/apps/currencyconverter", "<p>1.00 euro (eur) = 0.85 british pound (gbp)</p>");
        server.serve("odd/apps/currencyconverter", "(EUR) = 2.5 (A+B/C)");
        server.serve("plain/apps/currencyconverter", "<html>No rates today</html>");
        server.serve("ecb/daily.xml", "<Cube><Cube time='2024-05-03'>\n<Cube currency='USD' rate='1.0812'/>\n"
                                      "<Cube currency='GBP' rate='0.8571'/>\n</Cube></Cube>\n");
    }

    RateAnswer download(const std::string& service, const std::string& country, const HttpProxy& proxy = {})
    {
        WriteTextFile(home + "quillane.ini", "[Services]\r\nRateService=" + service + "\r\n");
        return FetchExchangeRate(home, country, [&](const std::string& url) { return http.Get(url, proxy); });
    }

    TempDir dir;
    RateServer server{dir};
    std::string home = dir.file("home/");
    HttpClient http;
};

} // namespace

TEST_F(RateDownload, AsksTheServiceAndFillsTheField)
{
    using Outcome = RateAnswer::Outcome;
    struct Case {
        std::string service;
        std::string country;
        Outcome outcome;
        std::string field; // the new text of the euro-rate field when found
        std::string request;
    };
    const std::string converter = "/apps/currencyconverter?exch=";
    const std::vector<Case> cases = {
        {"/upper", "USA", Outcome::Found, "1.2345", "/upper" + converter + "USD&expr=EUR&value=1"},
        {"/lower/", "UK", Outcome::Found, "0.85", "/lower" + converter + "GBP&expr=EUR&value=1"},
        {"/odd", "Oddland", Outcome::Found, "2.5", "/odd" + converter + "A+B/C&expr=EUR&value=1"},
        {"/upper", "Nowhere", Outcome::NoRate, "", "/upper" + converter + "EUR&expr=EUR&value=1"},
        {"/plain", "USA", Outcome::NoRate, "", "/plain" + converter + "USD&expr=EUR&value=1"},
        {"/status/500", "USA", Outcome::Refused, "", "/status/500" + converter + "USD&expr=EUR&value=1"},
        {"/missing", "USA", Outcome::Refused, "", "/missing" + converter + "USD&expr=EUR&value=1"},
        {"/ecb/daily.xml", "UK", Outcome::Found, "0.8571", "/ecb/daily.xml"},
        {"/ecb/daily.xml", "Germany", Outcome::Found, "1", "/ecb/daily.xml"},
        {"/ecb/daily.xml", "Japan", Outcome::NoRate, "", "/ecb/daily.xml"},
        {"/status/503/daily.xml", "UK", Outcome::Refused, "", "/status/503/daily.xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.service + " / " + c.country);
        server.clearRequests(); // a row that asks nothing must not pass on the request of the row before
        const RateAnswer answer = download(server.url(c.service), c.country);
        EXPECT_EQ(answer.Result, c.outcome);
        EXPECT_EQ(answer.Rate, c.field);
        // The code goes out as the table holds it, not percent-encoded.
        EXPECT_EQ(server.requests(), std::vector<std::string>{"GET " + c.request + " HTTP/1.1"});
    }
}

TEST_F(RateDownload, SaysWhetherTheServiceWasReachedOrRefused)
{
    // Port 1 on loopback: nobody listens, the connection is refused by the system.
    const RateAnswer unreachable = download("http://127.0.0.1:1/rates.xml", "USA");
    EXPECT_EQ(unreachable.Result, RateAnswer::Outcome::Unreachable);
    EXPECT_NE(unreachable.Reason.find("127.0.0.1:1"), std::string::npos) << unreachable.Reason;
    // The same reason for the window to say in the interface language.
    EXPECT_EQ(unreachable.Cause.Key, msg::HttpCannotLoad);
    EXPECT_EQ(EnglishText(unreachable.Cause), unreachable.Reason);
    const RateAnswer refused = download(server.url("/status/503/daily.xml"), "UK");
    EXPECT_EQ(refused.Result, RateAnswer::Outcome::Refused);
    EXPECT_NE(refused.Reason.find("503"), std::string::npos) << refused.Reason;
    EXPECT_EQ(refused.Cause.Key, msg::HttpStatus);
    const RateAnswer none = download(server.url("/ecb/daily.xml"), "Japan");
    EXPECT_EQ(none.Result, RateAnswer::Outcome::NoRate);
    EXPECT_EQ(none.Currency, "JPY");
}

TEST_F(RateDownload, GoesThroughTheConfiguredProxy)
{
    WriteTextFile(home + "quillane.ini",
                  "[Connection]\r\nproxy_host=127.0.0.1\r\nproxy_port=" + std::to_string(server.port()) + "\r\n");
    DialUpClient dialUp(std::make_unique<FakeDialUp>());
    AnsweringPrompter prompter;
    const ConnectResult connection = WebConnect(userWith(3), home, kQuestion, dialUp, prompter);
    ASSERT_TRUE(connection.Ok);

    // The name cannot be resolved here, so the answer can only have come through the proxy.
    EXPECT_EQ(download("http://rates.invalid/upper", "USA", connection.Proxy).Rate, "1.2345");
    EXPECT_EQ(server.lastRequest(),
              "GET http://rates.invalid/upper/apps/currencyconverter?exch=USD&expr=EUR&value=1 HTTP/1.1");
}

TEST_F(RateDownload, HttpErrorsNameTheAddressAndTheReason)
{
    struct Case {
        std::string url;
        HttpProxy proxy;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {server.url("/status/500/x"), {}, "HTTP status 500 Internal Server Error"},
        {server.url("/nothing-here"), {}, "HTTP status 404 Not Found"},
        {"ftp://127.0.0.1/rates", {}, "Protocol \"ftp\" not supported"},
        {"", {}, "missing URL"},
        {server.url("/upper"), {"127.0.0.1", 0}, "proxy port 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        try {
            http.Get(c.url, c.proxy);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.reason), std::string::npos) << message;
            if (c.proxy.empty()) {
                EXPECT_NE(message.find("\"" + c.url + "\""), std::string::npos) << message;
            }
        }
    }
}

TEST_F(RateDownload, SavesAnAnswerAsAFileAfterRedirects)
{
    const std::string target = dir.file("rates.xml");
    http.GetToFile(server.url("/redirect/ecb/daily.xml"), target);
    EXPECT_EQ(ReadFile(target), dir.read("www/ecb/daily.xml"));

    // A failed download leaves the file from before untouched and nothing beside it.
    EXPECT_THROW(http.GetToFile(server.url("/status/500/daily.xml"), target), Error);
    EXPECT_EQ(ReadFile(target), dir.read("www/ecb/daily.xml"));
    EXPECT_FALSE(FileExists(target + ".part"));

    const std::string unwritable = dir.file("no/such/folder/rates.xml");
    try {
        http.GetToFile(server.url("/ecb/daily.xml"), unwritable);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + unwritable);
    }
}
