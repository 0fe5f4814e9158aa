// The order service exposed straight to the internet: slow or idle
// connections, floods of header lines, many ranges, bursts of connects and
// answers that wait on a merchant's shop must not keep it from answering the
// others. Each test starts the built quillane-orderd on SQLite.
#include "OrderdHarness.h"

#include <atomic>
#include <fstream>
#include <gtest/gtest.h>

using namespace quillane::test;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kPassword = "Rosen-2026!";

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A line of /proc/PID/status, such as VmHWM, in KiB.
long statusKiB(pid_t pid, const std::string& key)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with(key + ":")) {
            return std::stol(line.substr(key.size() + 1));
        }
    }
    return -1;
}

// Posts an order as a customer would and gives how long the answer took;
// status is the HTTP status or a negated libcurl error.
double timedOrder(const Service& service, const std::string& account, const std::string& marker, long& status)
{
    const auto start = Clock::now();
    status = request("POST", service.url("putorder.php4"), validOrder(account, marker),
                     "application/x-www-form-urlencoded;charset=UTF-8", 3)
                 .Status;
    return secondsSince(start);
}

TEST(OrderdStarvation, SlowAndIdleConnectionsLeaveOthersAnswered)
{
    Storage storage(Backend::Sqlite);
    addAccount(storage, "gartenshop", kPassword);
    Service service(storage);

    // 200 connections from 20 addresses: silent ones, headers or a body
    // trickling in a byte a second, and kept alive after an answer.
    enum class Kind { Silent, SlowHeaders, SlowBody, KeptAlive };
    std::vector<std::pair<int, Kind>> held;
    const std::string target = "/qln/shopscripts/putorder.php4";
    for (int i = 0; i < 200; ++i) {
        const int fd = connectFrom("127.0.0." + std::to_string(10 + i / 10), service.port());
        const auto kind = static_cast<Kind>(i % 4);
        if (kind == Kind::SlowHeaders) {
            sendAll(fd, "POST " + target + " HTTP/1.1\r\nHost: x\r\nX-Slow: ");
        } else if (kind == Kind::SlowBody) {
            sendAll(fd, "POST " + target + " HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n\r\nUserID=");
        } else if (kind == Kind::KeptAlive) {
            sendAll(fd, "OPTIONS " + target + " HTTP/1.1\r\nHost: x\r\n\r\n");
        }
        held.emplace_back(fd, kind);
    }
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        while (!done) {
            for (const auto& [fd, kind] : held) {
                if (kind == Kind::SlowHeaders || kind == Kind::SlowBody) {
                    ::send(fd, "a", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
                }
            }
            for (int i = 0; i < 10 && !done; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
    });

    const auto start = Clock::now();
    double slowest = 0;
    for (int i = 0; secondsSince(start) < 10; ++i) {
        long status = 0;
        const double took = timedOrder(service, "gartenshop", "slow-" + std::to_string(i), status);
        slowest = std::max(slowest, took);
        EXPECT_EQ(status, 200) << "order " << i << " after " << secondsSince(start) << " s";
        EXPECT_LT(took, 1.0) << "order " << i << " after " << secondsSince(start) << " s";
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    done = true;
    trickle.join();
    for (const auto& [fd, kind] : held) {
        ::close(fd);
    }
    std::cout << "slowest order beside 200 slow connections: " << slowest << " s" << std::endl;
}

TEST(OrderdStarvation, HeaderFloodsAreRefusedWithLittleMemory)
{
    Storage storage(Backend::Sqlite);
    addAccount(storage, "gartenshop", kPassword);
    Service service(storage);
    const std::string head = "GET /qln/shopscripts/getorders.php4?UserID=gartenshop HTTP/1.1\r\nHost: x\r\n";
    const auto lines = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text += "X-Line-" + std::to_string(i) + ": 1\r\n";
        }
        return text;
    };
    struct Case {
        std::string name;
        std::string flood;
        bool answerNeeded; // small enough that the service reads it all and says why
    };
    const std::vector<Case> cases{
        {"a few lines over the limit", head + lines(150) + "\r\n", true},
        {"a 20 KB header line", head + "X-Big: " + std::string(20000, 'b') + "\r\n\r\n", true},
        {"200,000 header lines", head + lines(200000) + "\r\n", false},
        {"one 64 MB header line", head + "X-Huge: " + std::string(64 << 20, 'a') + "\r\n\r\n", false},
    };
    for (const Case& c : cases) {
        const int fd = connectFrom("127.0.0.50", service.port());
        setTimeouts(fd, 10);
        sendAll(fd, c.flood); // may break off when the service closes
        const std::string answer = receiveAll(fd);
        ::close(fd);
        if (c.answerNeeded) {
            EXPECT_TRUE(answer.starts_with("HTTP/1.1 431")) << c.name << ": " << answer.substr(0, 200);
        } else {
            EXPECT_TRUE(answer.empty() || answer.starts_with("HTTP/1.1 4")) << c.name << ": " << answer.substr(0, 200);
        }
        EXPECT_EQ(answer.find("Bitte"), std::string::npos) << c.name;
    }
    const long peak = statusKiB(service.process().pid(), "VmHWM");
    std::cout << "service's peak memory after the floods: " << peak / 1024 << " MiB" << std::endl;
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 100 * 1024) << "KiB at the peak";
    long status = 0;
    timedOrder(service, "gartenshop", "after the flood", status);
    EXPECT_EQ(status, 200);
}

TEST(OrderdStarvation, RangesGiveTheWholeAnswerOnce)
{
    Storage storage(Backend::Sqlite);
    Service service(storage);
    const std::string page = service.url("accountmanager.php4?Country=GB");
    const Reply whole = request("GET", page);
    ASSERT_EQ(whole.Status, 200);
    std::string many = "Range: bytes=0-";
    for (int i = 0; i < 1000; ++i) {
        many += ",0-";
    }
    for (const std::string& range : {many, std::string("Range: bytes=0-9"), std::string("Range: bytes=-5")}) {
        const Reply r = request("GET", page, {}, {}, 10, {range});
        EXPECT_EQ(r.Status, 200) << range.substr(0, 30);
        EXPECT_EQ(r.Body.size(), whole.Body.size()) << range.substr(0, 30);
        EXPECT_EQ(r.header("content-range"), "") << range.substr(0, 30);
    }
}

TEST(OrderdStarvation, BurstsOfConnectsAreTakenAtOnce)
{
    Storage storage(Backend::Sqlite);
    Service service(storage);
    const std::string ask = "OPTIONS /qln/shopscripts/putorder.php4 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    for (int round = 0; round < 3; ++round) {
        struct Client {
            int Fd;
            bool Sent = false;
            std::string Answer;
            double Took = -1; // until the answer ended
        };
        std::vector<Client> clients;
        const auto start = Clock::now();
        for (int i = 0; i < 64; ++i) {
            clients.push_back(
                {connectFrom("127.0.0." + std::to_string(60 + i / 16), service.port(), false), false, {}, -1});
        }
        for (int open = 64; open > 0 && secondsSince(start) < 3;) {
            std::vector<pollfd> polls;
            for (const Client& c : clients) {
                polls.push_back({c.Took < 0 ? c.Fd : -1, static_cast<short>(c.Sent ? POLLIN : POLLOUT), 0});
            }
            ::poll(polls.data(), polls.size(), 50);
            for (std::size_t i = 0; i < clients.size(); ++i) {
                Client& c = clients[i];
                if (polls[i].revents == 0) {
                    continue;
                }
                if (!c.Sent) {
                    c.Sent = true;
                    ::send(c.Fd, ask.data(), ask.size(), MSG_NOSIGNAL);
                    continue;
                }
                char buffer[1024];
                const ssize_t n = ::recv(c.Fd, buffer, sizeof buffer, 0);
                if (n > 0) {
                    c.Answer.append(buffer, static_cast<std::size_t>(n));
                } else {
                    c.Took = secondsSince(start);
                    --open;
                }
            }
        }
        double slowest = 0;
        for (const Client& c : clients) {
            EXPECT_TRUE(c.Answer.starts_with("HTTP/1.1 204")) << "round " << round << ": " << c.Answer;
            EXPECT_GE(c.Took, 0.0) << "round " << round << ": no answer within 3 s";
            EXPECT_LT(c.Took, 1.0) << "round " << round;
            slowest = std::max(slowest, c.Took < 0 ? 3.0 : c.Took);
            ::close(c.Fd);
        }
        std::cout << "64 connects at once, round " << round << ": the last answered after " << slowest << " s"
                  << std::endl;
    }
}

TEST(OrderdStarvation, AnswersWaitingOnAShopHoldUpNoOthers)
{
    // A merchant's shop that takes connections and never answers: its
    // orders wait for the price check's time limit.
    const int shop = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(shop, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(shop, 128), 0);
    ASSERT_EQ(::getsockname(shop, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string shopUrl = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";

    Storage storage(Backend::Sqlite);
    addAccount(storage, "gartenshop", kPassword);
    addAccount(storage, "langsam", kPassword, shopUrl);
    Service service(storage);
    std::vector<long> waited(24);
    std::vector<std::thread> customers;
    for (std::size_t i = 0; i < waited.size(); ++i) {
        customers.emplace_back([&, i] {
            waited[i] =
                request("POST", service.url("putorder.php4"), validOrder("langsam", "wartet-" + std::to_string(i)),
                        "application/x-www-form-urlencoded;charset=UTF-8", 20)
                    .Status;
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    long status = 0;
    const double took = timedOrder(service, "gartenshop", "eilig", status);
    EXPECT_EQ(status, 200);
    EXPECT_LT(took, 1.0) << "while 24 orders wait on their shop";
    std::cout << "an order beside 24 waiting on their shop took " << took << " s" << std::endl;
    for (std::thread& t : customers) {
        t.join();
    }
    ::close(shop);
    for (std::size_t i = 0; i < waited.size(); ++i) {
        EXPECT_EQ(waited[i], 200) << "taken without the check once the shop cannot be read: " << i;
    }
}

TEST(OrderdStarvation, KeptAliveConnectionAnswersWithoutDelay)
{
    // An answer that waited for the client's delayed acknowledgement would
    // take some 40 ms; 40 of them in a row show it.
    Storage storage(Backend::Sqlite);
    Service service(storage);
    const std::string ask = "GET /shop/qln/shopscripts/accountmanager.php4?Country=GB HTTP/1.1\r\nHost: x\r\n\r\n";
    const auto start = Clock::now();
    int fd = -1;
    int connections = 0;
    std::string pending;
    for (int i = 0; i < 40; ++i) {
        if (fd < 0) {
            fd = connectFrom("127.0.0.1", service.port());
            setTimeouts(fd, 5);
            ++connections;
        }
        ASSERT_TRUE(sendAll(fd, ask));
        // One answer: its headers, then Content-Length bytes.
        std::size_t end = std::string::npos;
        std::size_t total = 0;
        char buffer[8192];
        while (end == std::string::npos || pending.size() < total) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            ASSERT_GT(n, 0) << "answer " << i << " broke off";
            pending.append(buffer, static_cast<std::size_t>(n));
            if (end == std::string::npos && (end = pending.find("\r\n\r\n")) != std::string::npos) {
                const std::size_t at = pending.find("Content-Length: ");
                ASSERT_NE(at, std::string::npos) << pending.substr(0, end);
                total = end + 4 + std::stoul(pending.substr(at + 16));
            }
        }
        EXPECT_TRUE(pending.starts_with("HTTP/1.1 200")) << pending.substr(0, 100);
        if (pending.substr(0, end).find("Connection: close") != std::string::npos) {
            ::close(fd);
            fd = -1;
        }
        pending.erase(0, total);
    }
    ::close(fd);
    const double took = secondsSince(start);
    std::cout << "40 answers on " << connections << " connections took " << took << " s" << std::endl;
    EXPECT_LT(took, 1.0);
}

} // namespace
