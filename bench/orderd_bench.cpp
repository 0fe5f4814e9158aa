// The order service under load: a few clients on 127.0.0.1, each on a
// keep-alive connection of its own, post valid orders, encoded as the shop
// encodes them, to the built quillane-orderd for a fixed time, first on
// SQLite, then on PostgreSQL. Per backend the orders go first to an account
// without orders, then to one that received 20,000 orders in the last
// minutes, which every new order must be told apart from (the repeat
// check). It prints orders per second, the median and 99th percentile of
// the answer time for both, the busy account's rate as a share of the empty
// one's, and the rate of the same clients asking a question that stores
// nothing (the preflight OPTIONS), timed in the same run. Then it fetches
// the orders back with getorders.php4 and checks that every order answered
// 2xx is stored exactly once and nothing else is stored; a mismatch ends it
// with exit code 1.
//
// PostgreSQL runs in a temporary folder through tests/orderd/with_postgres.sh,
// which starts this program again for that backend alone, with fsync on so
// that both backends write to the disk as in use.
//
// Usage: bench_orderd [--quick] [--seconds N] [--clients N]
//   --quick      5 seconds per account instead of 60
//   --seconds N  N seconds of orders per account
//   --clients N  N concurrent clients (8)
#include "OrderdHarness.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <sqlite3.h>
#include <string>
#include <thread>
#include <vector>

#ifndef QUILLANE_WITH_POSTGRES
#error "QUILLANE_WITH_POSTGRES must name tests/orderd/with_postgres.sh"
#endif

namespace {

using namespace quillane::test;
using Clock = std::chrono::steady_clock;

constexpr const char* kPassword = "Last-2026!";
constexpr int kRecentOrders = 20000;
constexpr const char* kPrefilled = "prefilled-"; // notes of the orders there before
constexpr int kSkipped = 77;                     // with_postgres.sh: no PostgreSQL server

struct Options {
    int Seconds = 60;
    int Clients = 8;
    bool PostgresOnly = false;
};

// One client's keep-alive connection: libcurl keeps it open between the
// requests of the same handle.
class Client {
public:
    explicit Client(long timeoutSeconds)
    {
        curl_ = curl_easy_init();
        headers_ = curl_slist_append(headers_, "Content-Type: application/x-www-form-urlencoded;charset=UTF-8");
        headers_ = curl_slist_append(headers_, "Expect:");
        curl_easy_setopt(curl_, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(curl_, CURLOPT_TIMEOUT, timeoutSeconds);
        curl_easy_setopt(curl_, CURLOPT_TCP_NODELAY, 1L);
        curl_easy_setopt(
            curl_, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* target) {
                static_cast<std::string*>(target)->append(data, size * count);
                return size * count;
            });
        curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &body_);
    }
    ~Client()
    {
        curl_slist_free_all(headers_);
        curl_easy_cleanup(curl_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // The HTTP status, or the negated libcurl code when no answer came.
    long post(const std::string& url, const std::string& body)
    {
        reset(url);
        curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers_);
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        return perform();
    }
    long options(const std::string& url)
    {
        reset(url);
        curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, "OPTIONS");
        curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
        return perform();
    }
    long get(const std::string& url)
    {
        reset(url);
        curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
        return perform();
    }
    const std::string& body() const { return body_; }

private:
    void reset(const std::string& url)
    {
        body_.clear();
        curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, nullptr);
        curl_easy_setopt(curl_, CURLOPT_NOBODY, 0L);
        curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, nullptr);
    }
    long perform()
    {
        const CURLcode rc = curl_easy_perform(curl_);
        long status = 0;
        curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
        return rc == CURLE_OK ? status : -static_cast<long>(rc);
    }

    CURL* curl_ = nullptr;
    curl_slist* headers_ = nullptr;
    std::string body_;
};

// A small order of one item; the marker in the notes tells it apart.
Fields order(const std::string& account, const std::string& marker)
{
    return {{"UserID", account},    {"firstname", "Eva"},   {"lastname", "Muster"},
            {"notes", marker},      {"itemcount", "1"},     {"item0", "Schaufel|GT-003|1|9.90|9.90"},
            {"subtotal", "9.90"},   {"qdiscount", "0.00"},  {"pdiscount", "0.00"},
            {"total", "9.90"},      {"vat", "1.88"},        {"shipping", "4.90"},
            {"subamount", "16.68"}, {"paymentfee", "0.00"}, {"payment", "vk"}};
}

struct ClientResult {
    std::vector<double> Latencies;     // seconds, of every answered request
    long Ok = 0;                       // answered 2xx
    std::vector<std::string> Accepted; // markers answered 2xx
    std::map<long, long> Failures;     // status (or -curl code) -> count
};

struct LoadResult {
    double Seconds = 0;
    std::vector<double> Latencies;
    long Ok = 0;
    std::vector<std::string> Accepted;
    std::map<long, long> Failures;
};

// Every client asks the same question in a loop until the time is up.
// ask(client, clientIndex, sequence, marker) gives the status and sets the
// marker of a request that carries one.
template <typename Ask> LoadResult load(const Options& options, double seconds, Ask ask)
{
    std::vector<ClientResult> results(static_cast<std::size_t>(options.Clients));
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (int c = 0; c < options.Clients; ++c) {
        threads.emplace_back([&, c] {
            Client client(30);
            ClientResult& mine = results[static_cast<std::size_t>(c)];
            for (long sequence = 0; Clock::now() < deadline; ++sequence) {
                std::string marker;
                const auto sent = Clock::now();
                const long status = ask(client, c, sequence, marker);
                const double took = std::chrono::duration<double>(Clock::now() - sent).count();
                if (status > 0) {
                    mine.Latencies.push_back(took);
                }
                if (status >= 200 && status < 300) {
                    ++mine.Ok;
                    if (!marker.empty()) {
                        mine.Accepted.push_back(marker);
                    }
                } else {
                    ++mine.Failures[status];
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    LoadResult total;
    total.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    for (ClientResult& r : results) {
        total.Latencies.insert(total.Latencies.end(), r.Latencies.begin(), r.Latencies.end());
        total.Ok += r.Ok;
        total.Accepted.insert(total.Accepted.end(), r.Accepted.begin(), r.Accepted.end());
        for (const auto& [status, count] : r.Failures) {
            total.Failures[status] += count;
        }
    }
    std::sort(total.Latencies.begin(), total.Latencies.end());
    return total;
}

double percentile(const std::vector<double>& sorted, double p)
{
    if (sorted.empty()) {
        return 0;
    }
    const auto at = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(at, sorted.size() - 1)];
}

std::string failureText(const std::map<long, long>& failures)
{
    std::string text;
    for (const auto& [status, count] : failures) {
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " x " +
                (status > 0 ? "HTTP " + std::to_string(status)
                            : std::string(curl_easy_strerror(static_cast<CURLcode>(-status))));
    }
    return text;
}

// The notes of every stored order, as the fetch gives them.
std::vector<std::string> storedNotes(const Service& service, const std::string& account)
{
    Client client(600);
    const long status = client.get(
        service.url("getorders.php4?UserID=" + Service::escaped(account) + "&Password=" + Service::escaped(kPassword)));
    if (status != 200) {
        throw std::runtime_error("getorders.php4 answered " + std::to_string(status) + ": " +
                                 client.body().substr(0, 200));
    }
    std::vector<std::string> notes;
    const std::string& reply = client.body();
    for (std::size_t at = 0; at < reply.size();) {
        std::size_t end = reply.find('\n', at);
        if (end == std::string::npos) {
            end = reply.size();
        }
        std::string line = reply.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.starts_with("notes=")) {
            notes.push_back(line.substr(6));
        }
        at = end + 1;
    }
    return notes;
}

// Compares what was answered 2xx with what is stored; prints every fault
// and gives whether there was none.
bool checkStored(const std::vector<std::string>& accepted, const std::vector<std::string>& stored,
                 const std::string& prefix)
{
    std::map<std::string, int> counts;
    for (const std::string& note : stored) {
        ++counts[note];
    }
    long missing = 0;
    long twice = 0;
    long foreign = 0;
    const std::set<std::string> answered(accepted.begin(), accepted.end());
    for (const std::string& marker : answered) {
        if (counts.find(marker) == counts.end()) {
            if (++missing <= 5) {
                std::cout << "  answered 2xx but not stored: " << marker << "\n";
            }
        }
    }
    long unanswered = 0;
    long before = 0;
    for (const auto& [note, count] : counts) {
        if (note.starts_with(kPrefilled)) {
            ++before;
            continue;
        }
        if (count > 1 && ++twice <= 5) {
            std::cout << "  stored " << count << " times: " << note << "\n";
        }
        if (!note.starts_with(prefix)) {
            if (++foreign <= 5) {
                std::cout << "  stored but never sent: " << note << "\n";
            }
        } else if (answered.find(note) == answered.end()) {
            ++unanswered; // sent, not answered 2xx (a time-out), yet stored: allowed
        }
    }
    const bool ok = missing == 0 && twice == 0 && foreign == 0 && answered.size() == accepted.size();
    std::cout << "  check: " << answered.size() << " answered 2xx, " << stored.size() - before << " stored";
    if (before > 0) {
        std::cout << " (beside " << before << " there before)";
    }
    std::cout << ", " << missing << " missing, " << twice << " stored more than once, " << foreign << " never sent";
    if (unanswered > 0) {
        std::cout << ", " << unanswered << " stored without a 2xx answer";
    }
    std::cout << (ok ? " -- OK" : " -- MISMATCH") << std::endl;
    return ok;
}

// Gives the account count orders received now, each of its own body, in
// one transaction straight in the database: through the service each would
// wait for the disk.
void addRecentOrders(const Storage& storage, const std::string& account, int count)
{
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    const quillane::orderd::StoreAddress address = storage.address();
    if (!address.Database.empty()) {
        PGconn* conn = PQconnectdb(address.Database.c_str());
        const std::string values[] = {account, std::to_string(count), std::to_string(now), kPrefilled};
        const char* params[] = {values[0].c_str(), values[1].c_str(), values[2].c_str(), values[3].c_str()};
        PGresult* r = PQexecParams(
            conn,
            "INSERT INTO orders (account_id, order_id, received, date, digest, fields) "
            "SELECT a.id, 'pre-' || i, $3::bigint, '01.01.2027 00:00'::bytea, "
            "decode(md5(i::text) || md5('x' || i::text), 'hex'), convert_to('notes=' || $4 || i || E'\r\n', 'UTF8') "
            "FROM accounts a, generate_series(1, $2::int) AS i WHERE a.name_key = $1",
            4, nullptr, params, nullptr, nullptr, 0);
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK && std::string(PQcmdTuples(r)) == values[1];
        const std::string message = PQerrorMessage(conn);
        PQclear(r);
        PQfinish(conn);
        if (!ok) {
            throw std::runtime_error("the orders there before cannot be added: " + message);
        }
        return;
    }
    // Where this version or an older one keeps the file.
    std::string path = address.DataDir + "/quillane-orderd/orders.sqlite";
    if (!std::filesystem::exists(path)) {
        path = address.DataDir + "/orders.sqlite";
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO orders (account_id, order_id, received, date, digest, fields) "
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?2) "
                       "SELECT a.id, 'pre-' || i, ?3, CAST('01.01.2027 00:00' AS BLOB), randomblob(32), "
                       "CAST('notes=' || ?4 || i || char(13, 10) AS BLOB) FROM accounts a, n WHERE a.name_key = ?1",
                       -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, account.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt, 2, count);
    sqlite3_bind_int64(stmt, 3, now);
    sqlite3_bind_text(stmt, 4, kPrefilled, -1, SQLITE_STATIC);
    const int rc = sqlite3_step(stmt);
    const int added = sqlite3_changes(db);
    const std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (rc != SQLITE_DONE || added != count) {
        throw std::runtime_error("the orders there before cannot be added to " + path + ": " + message);
    }
}

// Orders to one account for the time; prints a line and gives the result.
LoadResult orderLoad(const Options& options, const Service& service, const std::string& account,
                     const std::string& prefix, const std::string& label)
{
    const std::string putUrl = service.url("putorder.php4");
    const LoadResult orders =
        load(options, options.Seconds, [&](Client& client, int c, long sequence, std::string& marker) {
            marker = prefix + std::to_string(c) + "-" + std::to_string(sequence);
            return client.post(putUrl, orderBody(order(account, marker)));
        });
    std::printf("  %s: %zu orders in %.1f s: %.0f orders/s, p50 %.2f ms, p99 %.2f ms\n", label.c_str(),
                orders.Accepted.size(), orders.Seconds, static_cast<double>(orders.Accepted.size()) / orders.Seconds,
                percentile(orders.Latencies, 0.50) * 1e3, percentile(orders.Latencies, 0.99) * 1e3);
    if (!orders.Failures.empty()) {
        std::cout << "    not answered 2xx: " << failureText(orders.Failures) << "\n";
    }
    std::cout.flush();
    return orders;
}

// Runs the load against one backend; false on a mismatch.
bool runBackend(Backend backend, const Options& options)
{
    const std::string name = backend == Backend::Sqlite ? "SQLite" : "PostgreSQL";
    Storage storage(backend);
    addAccount(storage, "emptyshop", kPassword);
    addAccount(storage, "busyshop", kPassword);
    addRecentOrders(storage, "busyshop", kRecentOrders);
    Service service(storage);
    const std::string putUrl = service.url("putorder.php4");
    const std::string prefix = "bench-" + name + "-";

    // The same clients on a request that touches no storage: what the HTTP
    // side alone allows on this machine.
    const double baselineSeconds = std::max(2.0, options.Seconds / 6.0);
    const LoadResult bare =
        load(options, baselineSeconds, [&](Client& client, int, long, std::string&) { return client.options(putUrl); });
    const double bareRate = static_cast<double>(bare.Ok) / bare.Seconds;
    std::printf("%s, %d clients: no-storage request %.0f/s, p50 %.2f ms\n", name.c_str(), options.Clients, bareRate,
                percentile(bare.Latencies, 0.50) * 1e3);
    if (!bare.Failures.empty()) {
        std::cout << "  no-storage requests not answered 2xx: " << failureText(bare.Failures) << "\n";
    }

    const LoadResult empty = orderLoad(options, service, "emptyshop", prefix + "empty-", "account without orders");
    const LoadResult busy = orderLoad(options, service, "busyshop", prefix + "busy-",
                                      "account with " + std::to_string(kRecentOrders) + " recent orders");
    const double emptyRate = static_cast<double>(empty.Accepted.size()) / empty.Seconds;
    const double busyRate = static_cast<double>(busy.Accepted.size()) / busy.Seconds;
    std::printf("  ratio busy / empty: %.2f (orders at %.1f%% of the no-storage rate)\n",
                emptyRate > 0 ? busyRate / emptyRate : 0.0, bareRate > 0 ? 100.0 * emptyRate / bareRate : 0.0);
    std::cout.flush();
    const bool emptyOk = checkStored(empty.Accepted, storedNotes(service, "emptyshop"), prefix + "empty-");
    const bool busyOk = checkStored(busy.Accepted, storedNotes(service, "busyshop"), prefix + "busy-");
    return emptyOk && busyOk && !empty.Accepted.empty() && !busy.Accepted.empty();
}

// PostgreSQL in a temporary folder around this program run again for that
// backend alone; its lines go straight to our output.
int runPostgres(const Options& options)
{
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        throw std::runtime_error("cannot find this program's own path");
    }
    self[length] = '\0';
    std::vector<std::string> args{
        "/bin/sh",   QUILLANE_WITH_POSTGRES,          self,        "--postgres-only",
        "--seconds", std::to_string(options.Seconds), "--clients", std::to_string(options.Clients)};
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    ::setenv("QUILLANE_POSTGRES_FSYNC", "on", 1);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("cannot start " + std::string(QUILLANE_WITH_POSTGRES));
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

Options parse(int argc, char** argv)
{
    Options options;
    const auto number = [&](int& i) {
        if (i + 1 >= argc) {
            throw std::runtime_error(std::string(argv[i]) + " needs a number");
        }
        const std::string text = argv[++i];
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        if (*end != '\0' || value < 1 || value > 100000) {
            throw std::runtime_error(std::string(argv[i - 1]) + ": not a positive number: " + text);
        }
        return static_cast<int>(value);
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            options.Seconds = 5;
        } else if (arg == "--seconds") {
            options.Seconds = number(i);
        } else if (arg == "--clients") {
            options.Clients = number(i);
        } else if (arg == "--postgres-only") {
            options.PostgresOnly = true;
        } else {
            throw std::runtime_error("unknown argument: " + arg +
                                     " (usage: bench_orderd [--quick] [--seconds N] [--clients N])");
        }
    }
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const Options options = parse(argc, argv);
        curl_global_init(CURL_GLOBAL_DEFAULT);
        if (options.PostgresOnly) {
            if (postgresServer().empty()) {
                throw std::runtime_error("--postgres-only needs QUILLANE_TEST_POSTGRES from with_postgres.sh");
            }
            return runBackend(Backend::Postgres, options) ? 0 : 1;
        }
        bool ok = runBackend(Backend::Sqlite, options);
        const int postgres = runPostgres(options);
        if (postgres == kSkipped) {
            std::cout << "PostgreSQL: skipped, no server binaries in /usr/lib/postgresql/*/bin" << std::endl;
        } else if (postgres != 0) {
            ok = false;
        }
        std::cout << (ok ? "every order answered 2xx is stored exactly once" : "FAILED: see above") << std::endl;
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "bench_orderd: " << e.what() << std::endl;
        return 1;
    }
}
