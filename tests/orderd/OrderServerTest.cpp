// The order service's HTTP side in this process, on SQLite, with limits
// small enough to watch them act: the routes and headers the shop's page and
// the program rely on, deadlines, one address's share of the connections,
// the client's address behind a proxy, a failing store, and stopping.
#include "OrderdHarness.h"

#include "orderd/Accounts.h"
#include "orderd/LoginThrottle.h"
#include "orderd/OrderServer.h"
#include "orderd/OrderService.h"
#include "orderd/PasswordHasher.h"
#include "orderd/ServiceError.h"

#include <atomic>
#include <ctime>
#include <gtest/gtest.h>
#include <iostream>
#include <sstream>

using namespace quillane;
using namespace quillane::test;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kPassword = "Rosen-2026!";

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The SQLite store, failing on orders when told to.
class FlakyStore final : public orderd::OrderStore {
public:
    explicit FlakyStore(std::unique_ptr<OrderStore> real) : real_(std::move(real)) {}

    std::atomic<bool> Failing{false};

    bool AddAccount(const std::string& name, const std::string& passwordHash, const std::string& shop,
                    std::int64_t now) override
    {
        return real_->AddAccount(name, passwordHash, shop, now);
    }
    std::optional<orderd::Account> FindAccount(const std::string& name) override { return real_->FindAccount(name); }
    void SetPasswordHash(std::int64_t accountId, const std::string& passwordHash) override
    {
        real_->SetPasswordHash(accountId, passwordHash);
    }
    std::optional<std::string> SomePasswordHash(std::uint64_t pick) override { return real_->SomePasswordHash(pick); }
    orderd::AddedOrder AddOrder(const orderd::NewOrder& order, std::int64_t repeatSince) override
    {
        if (Failing) {
            throw orderd::ServiceError("the disk is full");
        }
        return real_->AddOrder(order, repeatSince);
    }
    std::vector<orderd::StoredOrder> Orders(std::int64_t accountId, std::int64_t since) override
    {
        return real_->Orders(accountId, since);
    }
    std::size_t DeleteOrdersBefore(std::int64_t before) override { return real_->DeleteOrdersBefore(before); }

private:
    std::unique_ptr<OrderStore> real_;
};

// The service on 127.0.0.1 with the account gartenshop, answering on a
// thread of its own until stopped.
class Running {
public:
    explicit Running(bool trustProxy = false, orderd::ServerLimits limits = {})
        : storage_(Backend::Sqlite), store_(orderd::OpenOrderStore(storage_.address())), hasher_({1, 8}),
          throttle_({5, std::chrono::seconds(60), std::chrono::minutes(15)},
                    {20, std::chrono::seconds(300), std::chrono::minutes(15)}),
          accounts_(store_, hasher_, throttle_), service_(store_, accounts_), server_(service_, trustProxy, limits)
    {
        accounts_.Create("gartenshop", kPassword, "", std::time(nullptr));
        port_ = server_.Bind("127.0.0.1", 0);
        runner_ = std::thread([this] { server_.Run(); });
    }
    ~Running() { stop(); }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

    void stop()
    {
        server_.Stop();
        if (runner_.joinable()) {
            runner_.join();
        }
    }
    int port() const { return port_; }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    FlakyStore& store() { return store_; }

private:
    Storage storage_;
    FlakyStore store_;
    orderd::PasswordHasher hasher_;
    orderd::LoginThrottle throttle_;
    orderd::Accounts accounts_;
    orderd::OrderService service_;
    orderd::OrderServer server_;
    int port_ = 0;
    std::thread runner_;
};

// Seconds until the service closes a connection that sends first and then
// drip every 300 ms; -1 when it is still open after 6 s.
double closedAfter(int port, const std::string& first, const std::string& drip)
{
    const int fd = connectFrom("127.0.0.1", port);
    const auto start = Clock::now();
    sendAll(fd, first);
    double closed = -1;
    while (closed < 0 && secondsSince(start) < 6) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (!drip.empty()) {
            ::send(fd, drip.data(), drip.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        char byte;
        const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            closed = secondsSince(start);
        }
    }
    ::close(fd);
    return closed;
}

// The headers of one answer whose body is empty, read on a kept-alive
// connection.
std::string answerHead(int fd)
{
    std::string head;
    char byte;
    while (!head.ends_with("\r\n\r\n") && ::recv(fd, &byte, 1, 0) == 1) {
        head += byte;
    }
    return head;
}

TEST(OrderServer, RoutesAndHeadersStayAsTheShopAndProgramUseThem)
{
    Running service;
    const std::string big(600 * 1024, 'x');
    const std::string fetch = "getorders.php4?UserID=gartenshop&Password=Rosen-2026%21";
    struct Case {
        std::string name;
        std::string method;
        std::string path;
        std::string body;
        long status;
        std::string says; // a piece of the answer
        bool anyOrigin;
    };
    const std::vector<Case> cases{
        {"order under a prefix", "POST", "/shop/deep/qln/shopscripts/putorder.php4", validOrder("gartenshop", "a"), 200,
         "orderid=", true},
        {"order at the root", "POST", "/qln/shopscripts/putorder.php4", validOrder("gartenshop", "b"), 200,
         "orderid=", true},
        {"an order refused", "POST", "/qln/shopscripts/putorder.php4", "UserID=gartenshop", 400, "", true},
        {"an order too large", "POST", "/qln/shopscripts/putorder.php4", big, 413, "The order is larger than 512 KiB\n",
         true},
        {"a form too large", "POST", "/qln/shopscripts/accountmanager.php4", big, 413, "The form is too large\n",
         false},
        {"a body too large elsewhere", "PUT", "/qln/shopscripts/getorders.php4", big, 413,
         "The request is larger than 512 KiB\n", false},
        {"fetch under a prefix", "GET", "/x/qln/shopscripts/" + fetch, "", 200, "notes=a\r\n", false},
        {"a prefix without its slash", "GET", "/xqln/shopscripts/" + fetch, "", 404, "There is nothing here\n", false},
        {"the order script asked with GET", "GET", "/qln/shopscripts/putorder.php4", "", 404, "There is nothing here\n",
         true},
        {"no such script", "GET", "/qln/shopscripts/other.php4", "", 404, "There is nothing here\n", false},
        {"the account page", "GET", "/qln/shopscripts/accountmanager.php4?Country=GB", "", 200, "Create an account",
         false},
        {"an unknown method", "BREW", "/qln/shopscripts/getorders.php4", "", 400,
         "The request cannot be answered (HTTP 400)\n", false},
    };
    for (const Case& c : cases) {
        const Reply r = request(c.method, service.url(c.path), c.body);
        EXPECT_EQ(r.Status, c.status) << c.name << ": " << r.Body;
        EXPECT_NE(r.Body.find(c.says), std::string::npos) << c.name << ": " << r.Body;
        EXPECT_EQ(r.header("access-control-allow-origin"), c.anyOrigin ? "*" : "") << c.name;
    }

    // The browser's question before the shop's order.
    const Reply preflight = request("OPTIONS", service.url("/shop/qln/shopscripts/putorder.php4"));
    EXPECT_EQ(preflight.Status, 204);
    EXPECT_EQ(preflight.Body, "");
    EXPECT_EQ(preflight.header("access-control-allow-origin"), "*");
    EXPECT_EQ(preflight.header("access-control-allow-methods"), "POST, OPTIONS");
    EXPECT_EQ(preflight.header("access-control-allow-headers"), "Content-Type");
    EXPECT_EQ(preflight.header("access-control-max-age"), "86400");
}

TEST(OrderServer, AFailingStoreGives503AndALogLine)
{
    std::ostringstream log;
    std::streambuf* const cerr = std::cerr.rdbuf(log.rdbuf());
    Reply r;
    {
        Running service;
        service.store().Failing = true;
        r = request("POST", service.url("/qln/shopscripts/putorder.php4"), validOrder("gartenshop", "x"));
        service.stop();
    }
    std::cerr.rdbuf(cerr);
    EXPECT_EQ(r.Status, 503);
    EXPECT_EQ(r.Body, "The order service cannot answer just now\n");
    EXPECT_EQ(r.header("access-control-allow-origin"), "*");
    EXPECT_EQ(log.str(), "quillane-orderd: the disk is full\n");
}

TEST(OrderServer, TheForwardedAddressCountsOnlyBehindAProxy)
{
    // Twenty wrong passwords from one address make it wait; behind a proxy
    // the address is the last hop the proxy added.
    for (const bool trustProxy : {true, false}) {
        Running service(trustProxy);
        const auto fetch = [&](const std::string& user, const std::string& password, const std::string& forwarded) {
            return request("GET",
                           service.url("/qln/shopscripts/getorders.php4?UserID=" + user + "&Password=" + password), {},
                           {}, 30, {"X-Forwarded-For: " + forwarded})
                .Status;
        };
        for (int i = 0; i < 20; ++i) {
            ASSERT_EQ(fetch("rate" + std::to_string(i), "falsch", "198.51.100.9, 203.0.113.7"), 403) << i;
        }
        EXPECT_EQ(fetch("gartenshop", "Rosen-2026%21", "203.0.113.7"), 429) << trustProxy;
        EXPECT_EQ(fetch("gartenshop", "Rosen-2026%21", "203.0.113.8"), trustProxy ? 200 : 429) << trustProxy;
    }
}

TEST(OrderServer, RequestsMustArriveInTime)
{
    orderd::ServerLimits limits;
    limits.RequestTime = std::chrono::seconds(2);
    Running service(false, limits);
    const std::string post = "POST /qln/shopscripts/putorder.php4 HTTP/1.1\r\nHost: x\r\n";
    struct Case {
        std::string name;
        std::string first;
        std::string drip;
    };
    const std::vector<Case> cases{
        {"silent", "", ""},
        {"headers a byte at a time", post + "X-Slow: ", "a"},
        {"the body a byte at a time", post + "Content-Length: 100000\r\n\r\n", "a"},
    };
    std::vector<double> closed(cases.size());
    std::vector<std::thread> clients;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        clients.emplace_back([&, i] { closed[i] = closedAfter(service.port(), cases[i].first, cases[i].drip); });
    }

    // Each request on a kept-alive connection has the time anew.
    const int fd = connectFrom("127.0.0.1", service.port());
    setTimeouts(fd, 5);
    const std::string ask = "OPTIONS /qln/shopscripts/putorder.php4 HTTP/1.1\r\nHost: x\r\n\r\n";
    for (int round = 0; round < 2; ++round) {
        for (std::size_t at = 0; at < ask.size(); at += ask.size() / 4 + 1) {
            sendAll(fd, ask.substr(at, ask.size() / 4 + 1));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        EXPECT_TRUE(answerHead(fd).starts_with("HTTP/1.1 204")) << "round " << round;
    }
    ::close(fd);

    for (std::thread& t : clients) {
        t.join();
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_GT(closed[i], 1.5) << cases[i].name;
        EXPECT_LT(closed[i], 4.0) << cases[i].name << " (-1: still open after 6 s)";
    }
}

TEST(OrderServer, OneAddressCannotTakeEveryConnection)
{
    orderd::ServerLimits limits;
    limits.MaxPerAddress = 4;
    const std::string ask = "OPTIONS /qln/shopscripts/putorder.php4 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    // Behind a proxy every client has its address: no limit then.
    for (const bool trustProxy : {false, true}) {
        Running service(trustProxy, limits);
        std::vector<int> taken;
        for (int i = 0; i < 4; ++i) {
            taken.push_back(connectFrom("127.0.0.5", service.port()));
        }
        const int fifth = connectFrom("127.0.0.5", service.port());
        const int other = connectFrom("127.0.0.6", service.port());
        for (int fd : {fifth, other}) {
            setTimeouts(fd, 3);
            sendAll(fd, ask);
        }
        const std::string fromFifth = receiveAll(fifth);
        EXPECT_EQ(fromFifth.starts_with("HTTP/1.1 204"), trustProxy) << fromFifth;
        EXPECT_TRUE(receiveAll(other).starts_with("HTTP/1.1 204")) << trustProxy;
        for (int fd : taken) {
            ::close(fd);
        }
        ::close(fifth);
        ::close(other);
    }
}

TEST(OrderServer, StopWaitsForNoIdleClient)
{
    {
        Running service;
        const int silent = connectFrom("127.0.0.1", service.port());
        const int keptAlive = connectFrom("127.0.0.1", service.port());
        setTimeouts(keptAlive, 5);
        sendAll(keptAlive, "OPTIONS /qln/shopscripts/putorder.php4 HTTP/1.1\r\nHost: x\r\n\r\n");
        ASSERT_TRUE(answerHead(keptAlive).starts_with("HTTP/1.1 204"));
        const auto start = Clock::now();
        service.stop();
        EXPECT_LT(secondsSince(start), 1.0);
        EXPECT_THROW(connectFrom("127.0.0.1", service.port()), std::runtime_error) << "it listens no more";
        ::close(silent);
        ::close(keptAlive);
    }
    {
        // Stopped before it runs, as when the signal comes early.
        Storage storage(Backend::Sqlite);
        const auto store = orderd::OpenOrderStore(storage.address());
        orderd::PasswordHasher hasher({1, 8});
        orderd::LoginThrottle throttle({}, {});
        orderd::Accounts accounts(*store, hasher, throttle);
        orderd::OrderService orders(*store, accounts);
        orderd::OrderServer server(orders, false);
        server.Bind("127.0.0.1", 0);
        server.Stop();
        const auto start = Clock::now();
        server.Run();
        EXPECT_LT(secondsSince(start), 1.0);
    }
}

} // namespace
