#include "orderd/SqliteOrderStore.h"

#include "core/common/Text.h"
#include "orderd/ServiceError.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillane::orderd {

namespace {

// Each entry takes the schema from the version of its position to the next.
constexpr const char* kMigrations[] = {
    R"(CREATE TABLE accounts (
         id INTEGER PRIMARY KEY,
         name TEXT NOT NULL,
         name_key TEXT NOT NULL UNIQUE,
         password_hash TEXT NOT NULL,
         shop TEXT NOT NULL,
         created INTEGER NOT NULL,
         next_order INTEGER NOT NULL DEFAULT 1);
       CREATE TABLE orders (
         id INTEGER PRIMARY KEY,
         account_id INTEGER NOT NULL REFERENCES accounts(id),
         order_id TEXT NOT NULL,
         received INTEGER NOT NULL,
         date TEXT NOT NULL,
         digest BLOB NOT NULL,
         fields BLOB NOT NULL,
         queue BLOB NOT NULL DEFAULT '',
         confirmed BLOB NOT NULL DEFAULT 'false',
         UNIQUE (account_id, order_id));
       CREATE INDEX orders_by_time ON orders (account_id, received);
       CREATE INDEX orders_by_digest ON orders (account_id, digest);
       CREATE INDEX orders_by_age ON orders (received);)",
    // The repeat check looks for one body among an account's recent orders;
    // on (account, digest) alone SQLite preferred the time index and read
    // every order of the last minutes.
    R"(CREATE INDEX orders_by_repeat ON orders (account_id, digest, received);
       DROP INDEX orders_by_digest;)",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

} // namespace

// A statement of the store with its values bound; reset when it goes.
class SqliteOrderStore::Query {
public:
    Query(SqliteOrderStore& store, const char* sql) : store_(store), stmt_(store.statement(sql)) {}
    ~Query() { sqlite3_reset(stmt_); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(std::int64_t value)
    {
        check(sqlite3_bind_int64(stmt_, ++bound_, value));
        return *this;
    }
    Query& bind(const std::string& text)
    {
        check(sqlite3_bind_text(stmt_, ++bound_, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Query& bindBytes(const std::string& bytes)
    {
        check(sqlite3_bind_blob(stmt_, ++bound_, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
        return *this;
    }
    // True while there is a row to read.
    bool step()
    {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) {
            return true;
        }
        if (rc != SQLITE_DONE) {
            store_.fail("a query failed");
        }
        return false;
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string text(int column) const
    {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return data ? std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
    }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK) {
            store_.fail("a value could not be bound");
        }
    }

    SqliteOrderStore& store_;
    sqlite3_stmt* stmt_;
    int bound_ = 0;
};

SqliteOrderStore::SqliteOrderStore(const std::string& dataDir)
{
    namespace fs = std::filesystem;
    path_ = (placeOf(dataDir) / kFileName).string();
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw ServiceError("The order database " + path_ + " cannot be opened: " + reason);
    }
    try {
        // Customers' addresses: the file is the owner's alone. SQLite gives
        // its journal files the database file's mode.
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ec);
        if (ec) {
            throw ServiceError("The order database " + path_ + " cannot be made private: " + ec.message());
        }
        sqlite3_busy_timeout(db_, 10000);
        // WAL lets the fetch read while orders come in; FULL makes a commit
        // reach the disk before the shop is told the order arrived.
        std::string mode;
        {
            Query query(*this, "PRAGMA journal_mode = WAL");
            mode = query.step() ? query.text(0) : std::string();
        }
        if (!SameText(mode, "wal")) {
            fail("it cannot be switched to WAL mode");
        }
        execute("PRAGMA synchronous = FULL");
        execute("PRAGMA foreign_keys = ON");
        migrate();
    } catch (...) {
        for (auto& [sql, stmt] : statements_) {
            sqlite3_finalize(stmt);
        }
        sqlite3_close(db_);
        throw;
    }
}

std::filesystem::path SqliteOrderStore::placeOf(const std::string& dataDir)
{
    namespace fs = std::filesystem;
    const fs::path given(dataDir);
    std::error_code ec;
    fs::create_directories(given, ec);
    if (ec || !fs::is_directory(given)) {
        throw ServiceError("The data folder " + dataDir +
                           " cannot be used: " + (ec ? ec.message() : std::string("it is no folder")));
    }
    const fs::path own = given / kFolderName;
    // An older version kept its file in the folder itself; it is used where
    // it is, so nothing that reads it there (a backup, an older service on
    // the same file) loses it.
    if (fs::exists(given / kFileName, ec) && !fs::exists(own / kFileName, ec)) {
        return given;
    }
    // The given folder may be shared (even /tmp); only the folder made here
    // is made private, and one that someone else made there is not used.
    if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) {
        throw ServiceError("The data folder " + own.string() + " cannot be made: " + std::strerror(errno));
    }
    struct stat info {};
    if (::lstat(own.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        throw ServiceError("The data folder " + own.string() + " is not a folder of this user's");
    }
    if ((info.st_mode & 07777) != 0700 && ::chmod(own.c_str(), 0700) != 0) {
        throw ServiceError("The data folder " + own.string() + " cannot be made private: " + std::strerror(errno));
    }
    return own;
}

SqliteOrderStore::~SqliteOrderStore()
{
    for (auto& [sql, stmt] : statements_) {
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db_);
}

void SqliteOrderStore::fail(const std::string& what) const
{
    throw ServiceError("The order database " + path_ + ": " + what + " (" + sqlite3_errmsg(db_) + ")");
}

sqlite3_stmt* SqliteOrderStore::statement(const char* sql)
{
    if (const auto it = statements_.find(sql); it != statements_.end()) {
        return it->second;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
        fail("a statement could not be prepared");
    }
    statements_.emplace(sql, stmt);
    return stmt;
}

void SqliteOrderStore::execute(const char* sql)
{
    Query query(*this, sql);
    while (query.step()) {
    }
}

void SqliteOrderStore::migrate()
{
    execute("BEGIN IMMEDIATE");
    try {
        int version = 0;
        {
            Query query(*this, "PRAGMA user_version");
            version = query.step() ? static_cast<int>(query.integer(0)) : 0;
        }
        if (version > kSchemaVersion) {
            throw ServiceError("The order database " + path_ + " was made by a newer quillane-orderd (schema " +
                               std::to_string(version) + "; this one knows up to " + std::to_string(kSchemaVersion) +
                               ")");
        }
        for (int step = version; step < kSchemaVersion; ++step) {
            // A script of several statements; the texts are the program's own.
            char* message = nullptr;
            if (sqlite3_exec(db_, kMigrations[step], nullptr, nullptr, &message) != SQLITE_OK) {
                const std::string reason = message ? message : "unknown reason";
                sqlite3_free(message);
                throw ServiceError("The order database " + path_ + " cannot be brought up to date: " + reason);
            }
        }
        if (version != kSchemaVersion) {
            // PRAGMA takes no bound values; the number is the program's own constant.
            const std::string setVersion = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
            if (sqlite3_exec(db_, setVersion.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
                fail("its schema version cannot be written");
            }
        }
        execute("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

bool SqliteOrderStore::AddAccount(const std::string& name, const std::string& passwordHash, const std::string& shop,
                                  std::int64_t now)
{
    std::lock_guard lock(mutex_);
    Query query(*this, "INSERT INTO accounts (name, name_key, password_hash, shop, created) "
                       "VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT (name_key) DO NOTHING");
    query.bind(name).bind(LowerCase(name)).bind(passwordHash).bind(shop).bind(now).step();
    return sqlite3_changes(db_) == 1;
}

std::optional<Account> SqliteOrderStore::FindAccount(const std::string& name)
{
    std::lock_guard lock(mutex_);
    Query query(*this, "SELECT id, name, password_hash, shop, created FROM accounts WHERE name_key = ?1");
    if (!query.bind(LowerCase(name)).step()) {
        return std::nullopt;
    }
    return Account{query.integer(0), query.text(1), query.text(2), query.text(3), query.integer(4)};
}

void SqliteOrderStore::SetPasswordHash(std::int64_t accountId, const std::string& passwordHash)
{
    std::lock_guard lock(mutex_);
    Query(*this, "UPDATE accounts SET password_hash = ?1 WHERE id = ?2").bind(passwordHash).bind(accountId).step();
}

std::optional<std::string> SqliteOrderStore::SomePasswordHash(std::uint64_t pick)
{
    std::lock_guard lock(mutex_);
    std::int64_t count = 0;
    {
        Query query(*this, "SELECT count(*) FROM accounts");
        count = query.step() ? query.integer(0) : 0;
    }
    if (count <= 0) {
        return std::nullopt;
    }
    Query query(*this, "SELECT password_hash FROM accounts ORDER BY id LIMIT 1 OFFSET ?1");
    if (!query.bind(static_cast<std::int64_t>(pick % static_cast<std::uint64_t>(count))).step()) {
        return std::nullopt;
    }
    return query.text(0);
}

AddedOrder SqliteOrderStore::AddOrder(const NewOrder& order, std::int64_t repeatSince)
{
    std::lock_guard lock(mutex_);
    execute("BEGIN IMMEDIATE");
    try {
        // Every statement is done before the next starts: SQLite commits
        // no transaction while one is still reading.
        std::optional<std::string> earlier;
        {
            Query query(*this, "SELECT order_id FROM orders INDEXED BY orders_by_repeat "
                               "WHERE account_id = ?1 AND digest = ?2 AND received >= ?3 ORDER BY id LIMIT 1");
            if (query.bind(order.AccountId).bindBytes(order.Digest).bind(repeatSince).step()) {
                earlier = query.text(0);
            }
        }
        if (earlier) {
            execute("COMMIT");
            return {*earlier, true};
        }
        std::int64_t number = 0;
        {
            Query query(*this,
                        "UPDATE accounts SET next_order = next_order + 1 WHERE id = ?1 RETURNING next_order - 1");
            if (!query.bind(order.AccountId).step()) {
                throw ServiceError("The order database " + path_ + " has no account number " +
                                   std::to_string(order.AccountId));
            }
            number = query.integer(0);
        }
        const AddedOrder added{MakeOrderId(order.IdStamp, number), false};
        Query(*this, "INSERT INTO orders (account_id, order_id, received, date, digest, fields) "
                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
            .bind(order.AccountId)
            .bind(added.Id)
            .bind(order.Received)
            .bindBytes(order.Date)
            .bindBytes(order.Digest)
            .bindBytes(order.Fields)
            .step();
        execute("COMMIT");
        return added;
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::vector<StoredOrder> SqliteOrderStore::Orders(std::int64_t accountId, std::int64_t since)
{
    std::lock_guard lock(mutex_);
    Query query(*this, "SELECT order_id, date, fields, queue, confirmed FROM orders "
                       "WHERE account_id = ?1 AND received >= ?2 ORDER BY received, id");
    query.bind(accountId).bind(since);
    std::vector<StoredOrder> orders;
    while (query.step()) {
        orders.push_back({query.text(0), query.text(1), query.text(2), query.text(3), query.text(4)});
    }
    return orders;
}

std::size_t SqliteOrderStore::DeleteOrdersBefore(std::int64_t before)
{
    std::lock_guard lock(mutex_);
    Query(*this, "DELETE FROM orders WHERE received < ?1").bind(before).step();
    return static_cast<std::size_t>(sqlite3_changes(db_));
}

} // namespace quillane::orderd
