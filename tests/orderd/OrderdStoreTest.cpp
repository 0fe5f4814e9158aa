// Where and how the service keeps its data: an older version's database
// taken over, the data folder's mode, and PostgreSQL restarted under a
// running service.

#include "OrderdHarness.h"
#include "orderd/PasswordHasher.h"

#include <gtest/gtest.h>
#include <sodium.h>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace quillane;
using namespace quillane::test;

namespace {

// The tables as the first version of the service made them.
constexpr const char* kFirstSchema = R"(
    CREATE TABLE accounts (id INTEGER PRIMARY KEY, name TEXT NOT NULL, name_key TEXT NOT NULL UNIQUE,
      password_hash TEXT NOT NULL, shop TEXT NOT NULL, created INTEGER NOT NULL,
      next_order INTEGER NOT NULL DEFAULT 1);
    CREATE TABLE orders (id INTEGER PRIMARY KEY, account_id INTEGER NOT NULL REFERENCES accounts(id),
      order_id TEXT NOT NULL, received INTEGER NOT NULL, date TEXT NOT NULL, digest BLOB NOT NULL,
      fields BLOB NOT NULL, queue BLOB NOT NULL DEFAULT '', confirmed BLOB NOT NULL DEFAULT 'false',
      UNIQUE (account_id, order_id));
    CREATE INDEX orders_by_time ON orders (account_id, received);
    CREATE INDEX orders_by_digest ON orders (account_id, digest);
    CREATE INDEX orders_by_age ON orders (received);)";

constexpr const char* kFirstPostgresSchema = R"(
    CREATE TABLE quillane_schema (version INTEGER NOT NULL);
    INSERT INTO quillane_schema (version) VALUES (1);
    CREATE TABLE accounts (id BIGSERIAL PRIMARY KEY, name TEXT NOT NULL, name_key TEXT NOT NULL UNIQUE,
      password_hash TEXT NOT NULL, shop TEXT NOT NULL, created BIGINT NOT NULL,
      next_order BIGINT NOT NULL DEFAULT 1);
    CREATE TABLE orders (id BIGSERIAL PRIMARY KEY, account_id BIGINT NOT NULL REFERENCES accounts(id),
      order_id TEXT NOT NULL, received BIGINT NOT NULL, date BYTEA NOT NULL, digest BYTEA NOT NULL,
      fields BYTEA NOT NULL, queue BYTEA NOT NULL DEFAULT '', confirmed BYTEA NOT NULL DEFAULT 'false',
      UNIQUE (account_id, order_id));
    CREATE INDEX orders_by_time ON orders (account_id, received);
    CREATE INDEX orders_by_digest ON orders (account_id, digest);
    CREATE INDEX orders_by_age ON orders (received);)";

std::int64_t secondsNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The digest the service knows a repeated request by.
std::string digestOf(const std::string& body)
{
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(body.data()), body.size(), nullptr,
                       0);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

std::string hex(const std::string& bytes)
{
    std::string out;
    char two[3];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", c);
        out += two;
    }
    return out;
}

Fields oneOrder(const std::string& account, const std::string& marker)
{
    return {{"UserID", account},    {"firstname", "Eva"},   {"lastname", "Muster"},
            {"notes", marker},      {"itemcount", "1"},     {"item0", "Schaufel|GT-003|1|9.90|9.90"},
            {"subtotal", "9.90"},   {"qdiscount", "0.00"},  {"pdiscount", "0.00"},
            {"total", "9.90"},      {"vat", "1.88"},        {"shipping", "4.90"},
            {"subamount", "16.68"}, {"paymentfee", "0.00"}, {"payment", "vk"}};
}

// SQL of the test's own on a database of the service; gives the first
// column of the first row, or "".
std::string sqliteQuery(const std::string& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + file);
    }
    std::string first;
    char* message = nullptr;
    const int rc = sqlite3_exec(
        db, sql.c_str(),
        +[](void* target, int columns, char** values, char**) {
            auto& out = *static_cast<std::string*>(target);
            if (out.empty() && columns > 0 && values[0]) {
                out = values[0];
            }
            return 0;
        },
        &first, &message);
    const std::string reason = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        throw std::runtime_error(sql + ": " + reason);
    }
    return first;
}

std::string postgresQuery(const std::string& address, const std::string& sql)
{
    PGconn* conn = PQconnectdb(address.c_str());
    PGresult* r = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(r);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    const std::string first = status == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
    const std::string message = PQerrorMessage(conn);
    PQclear(r);
    PQfinish(conn);
    if (!ok) {
        throw std::runtime_error(sql + ": " + message);
    }
    return first;
}

std::vector<Backend> backends()
{
    if (postgresServer().empty()) {
        return {Backend::Sqlite};
    }
    return {Backend::Sqlite, Backend::Postgres};
}

class OrderdStoreTest : public ::testing::TestWithParam<Backend> {};

INSTANTIATE_TEST_SUITE_P(Store, OrderdStoreTest, ::testing::ValuesIn(backends()),
                         [](const auto& info) { return backendName(info.param); });

TEST_P(OrderdStoreTest, OlderDatabaseIsTakenOverAndFindsItsRepeats)
{
    // A database of the first version, with an order received a minute ago;
    // for SQLite in the data folder itself, where that version kept it.
    Storage storage(GetParam());
    const std::string body = orderBody(oneOrder("gartenshop", "vor dem Update"));
    const std::string hash = orderd::PasswordHasher({1, 8}).Hash("Rosen-2026!");
    const std::string now = std::to_string(secondsNow() - 60);
    const std::string rows = "INSERT INTO accounts (name, name_key, password_hash, shop, created, next_order) "
                             "VALUES ('gartenshop', 'gartenshop', '" +
                             hash + "', '', " + now +
                             ", 2);"
                             "INSERT INTO orders (account_id, order_id, received, date, digest, fields) VALUES (1, "
                             "'20260101-000000-0001', " +
                             now;
    const std::string sqliteFile = storage.dataDir() + "/orders.sqlite";
    if (GetParam() == Backend::Sqlite) {
        std::filesystem::create_directories(storage.dataDir());
        std::filesystem::permissions(storage.dataDir(), std::filesystem::perms::owner_all);
        sqliteQuery(sqliteFile,
                    std::string("PRAGMA journal_mode = WAL;") + kFirstSchema + rows + ", '01.01.2026 00:00', x'" +
                        hex(digestOf(body)) +
                        "', CAST('notes=vor dem Update' || char(13, 10) AS BLOB)); PRAGMA user_version = 1;");
    } else {
        postgresQuery(storage.address().Database, std::string(kFirstPostgresSchema) + rows +
                                                      ", '01.01.2026 00:00', '\\x" + hex(digestOf(body)) +
                                                      "'::bytea, convert_to(E'notes=vor dem Update\\r\\n', 'UTF8'));");
    }

    {
        Service service(storage);
        const Reply again = service.putOrder(body);
        EXPECT_EQ(again.Status, 200) << again.Body;
        EXPECT_EQ(again.Body, "orderid=20260101-000000-0001\n") << "the same request is no new order";
        ASSERT_EQ(service.putOrder(orderBody(oneOrder("gartenshop", "nach dem Update"))).Status, 200);
        const Reply got = service.getOrders("gartenshop", "Rosen-2026!");
        EXPECT_EQ(got.Status, 200);
        EXPECT_NE(got.Body.find("[20260101-000000-0001]\r\n"), std::string::npos) << got.Body;
        EXPECT_NE(got.Body.find("notes=vor dem Update\r\n"), std::string::npos) << got.Body;
        EXPECT_NE(got.Body.find("notes=nach dem Update\r\n"), std::string::npos) << got.Body;
        EXPECT_EQ(got.Body.find("notes=vor dem Update", got.Body.find("notes=vor dem Update") + 1), std::string::npos)
            << "stored once";
    }
    // The repeat check has an index of its own.
    const std::string indexes =
        GetParam() == Backend::Sqlite
            ? sqliteQuery(sqliteFile, "SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_master WHERE "
                                      "type = 'index' AND name LIKE 'orders_by_%' ORDER BY name)")
            : postgresQuery(storage.address().Database,
                            "SELECT string_agg(indexname, ' ' ORDER BY indexname) FROM pg_indexes "
                            "WHERE indexname LIKE 'orders_by_%'");
    EXPECT_EQ(indexes, "orders_by_age orders_by_repeat orders_by_time");
    if (GetParam() == Backend::Sqlite) {
        EXPECT_FALSE(std::filesystem::exists(storage.dataDir() + "/quillane-orderd"))
            << "the older file is used where it is";
    }
}

std::string modeOf(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return "missing";
    }
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", info.st_mode & 07777);
    return octal;
}

TEST(OrderdDataFolder, KeepsTheGivenFolderAsItIsAndItsOwnFilesPrivate)
{
    Storage storage(Backend::Sqlite);
    const std::string dir = storage.dataDir();
    std::filesystem::create_directories(dir);
    ::chmod(dir.c_str(), 01777); // shared, as /tmp is
    addAccount(storage, "gartenshop", "Rosen-2026!");
    {
        Service service(storage);
        ASSERT_EQ(service.putOrder(orderBody(oneOrder("gartenshop", "x"))).Status, 200);
    }
    EXPECT_EQ(modeOf(dir), "1777");
    EXPECT_EQ(modeOf(dir + "/quillane-orderd"), "0700");
    EXPECT_EQ(modeOf(dir + "/quillane-orderd/orders.sqlite"), "0600");
    EXPECT_EQ(modeOf(dir + "/orders.sqlite"), "missing");

    // A folder of that name that someone else put there is not used.
    Storage other(Backend::Sqlite);
    std::filesystem::create_directories(other.dataDir());
    const std::string elsewhere = other.dataDir() + "-elsewhere";
    std::filesystem::create_directories(elsewhere);
    std::filesystem::create_directory_symlink(elsewhere, other.dataDir() + "/quillane-orderd");
    std::vector<std::string> args{"account", "add", "gartenshop", "--password-stdin"};
    for (const auto& a : other.args()) {
        args.push_back(a);
    }
    args.insert(args.end(), kFastHash.begin(), kFastHash.end());
    const RunResult refused = runOrderd(args, "Rosen-2026!\n");
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_NE(refused.Err.find("quillane-orderd is not a folder of this user's"), std::string::npos) << refused.Err;
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    std::filesystem::remove_all(elsewhere);
}

TEST(OrderdPostgresRestart, TheNextOrderAfterARestartIsStored)
{
    const char* restart = std::getenv("QUILLANE_TEST_POSTGRES_RESTART");
    if (postgresServer().empty() || !restart) {
        GTEST_SKIP() << "needs the PostgreSQL of tests/orderd/with_postgres.sh";
    }
    Storage storage(Backend::Postgres);
    addAccount(storage, "gartenshop", "Rosen-2026!");
    Service service(storage);
    // Several connections in the pool, all of which the restart breaks.
    std::vector<std::thread> clients;
    for (int i = 0; i < 4; ++i) {
        clients.emplace_back([&, i] {
            EXPECT_EQ(service.putOrder(orderBody(oneOrder("gartenshop", "vorher-" + std::to_string(i)))).Status, 200);
        });
    }
    for (auto& c : clients) {
        c.join();
    }
    ASSERT_EQ(std::system(restart), 0);
    for (int i = 0; i < 6; ++i) {
        const Reply r = service.putOrder(orderBody(oneOrder("gartenshop", "nachher-" + std::to_string(i))));
        EXPECT_EQ(r.Status, 200) << "order " << i << " after the restart: " << r.Body;
    }
    const Reply got = service.getOrders("gartenshop", "Rosen-2026!");
    ASSERT_EQ(got.Status, 200) << got.Body;
    for (int i = 0; i < 6; ++i) {
        EXPECT_NE(got.Body.find("notes=nachher-" + std::to_string(i) + "\r\n"), std::string::npos) << i;
    }
}

} // namespace
