#include "orderd/PostgresOrderStore.h"

#include "core/common/Text.h"
#include "orderd/ServiceError.h"

#include <cstring>
#include <libpq-fe.h>
#include <regex>
#include <utility>

namespace quillane::orderd {

namespace {

constexpr const char* kMigrations[] = {
    R"(CREATE TABLE accounts (
         id BIGSERIAL PRIMARY KEY,
         name TEXT NOT NULL,
         name_key TEXT NOT NULL UNIQUE,
         password_hash TEXT NOT NULL,
         shop TEXT NOT NULL,
         created BIGINT NOT NULL,
         next_order BIGINT NOT NULL DEFAULT 1);
       CREATE TABLE orders (
         id BIGSERIAL PRIMARY KEY,
         account_id BIGINT NOT NULL REFERENCES accounts(id),
         order_id TEXT NOT NULL,
         received BIGINT NOT NULL,
         date BYTEA NOT NULL,
         digest BYTEA NOT NULL,
         fields BYTEA NOT NULL,
         queue BYTEA NOT NULL DEFAULT '',
         confirmed BYTEA NOT NULL DEFAULT 'false',
         UNIQUE (account_id, order_id));
       CREATE INDEX orders_by_time ON orders (account_id, received);
       CREATE INDEX orders_by_digest ON orders (account_id, digest);
       CREATE INDEX orders_by_age ON orders (received);)",
    // The repeat check looks for one body among an account's recent orders;
    // with the time of receipt in the index it reads no other order.
    R"(CREATE INDEX orders_by_repeat ON orders (account_id, digest, received);
       DROP INDEX orders_by_digest;)",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kMigrations));

// Every statement the store runs, prepared once per connection.
struct Prepared {
    const char* Name;
    const char* Sql;
};
constexpr Prepared kAddAccount{"add_account",
                               "INSERT INTO accounts (name, name_key, password_hash, shop, created) "
                               "VALUES ($1, $2, $3, $4, $5) ON CONFLICT (name_key) DO NOTHING RETURNING id"};
constexpr Prepared kFindAccount{"find_account",
                                "SELECT id, name, password_hash, shop, created FROM accounts WHERE name_key = $1"};
constexpr Prepared kSetPassword{"set_password", "UPDATE accounts SET password_hash = $1 WHERE id = $2"};
constexpr Prepared kNextNumber{"next_number", "UPDATE accounts SET next_order = next_order + 1 WHERE id = $1 "
                                              "RETURNING next_order - 1"};
constexpr Prepared kEarlier{"earlier", "SELECT order_id FROM orders WHERE account_id = $1 AND digest = $2 "
                                       "AND received >= $3 ORDER BY id LIMIT 1"};
constexpr Prepared kInsertOrder{"insert_order",
                                "INSERT INTO orders (account_id, order_id, received, date, digest, fields) "
                                "VALUES ($1, $2, $3, $4, $5, $6)"};
constexpr Prepared kOrders{"orders", "SELECT order_id, date, fields, queue, confirmed FROM orders "
                                     "WHERE account_id = $1 AND received >= $2 ORDER BY received, id"};
constexpr Prepared kDeleteOld{"delete_old", "DELETE FROM orders WHERE received < $1"};
constexpr Prepared kCountAccounts{"count_accounts", "SELECT count(*) FROM accounts"};
constexpr Prepared kSomeHash{"some_hash", "SELECT password_hash FROM accounts ORDER BY id LIMIT 1 OFFSET $1"};
constexpr Prepared kAll[] = {kAddAccount,  kFindAccount, kSetPassword, kNextNumber,    kEarlier,
                             kInsertOrder, kOrders,      kDeleteOld,   kCountAccounts, kSomeHash};

// One value of a statement: text, or bytes sent as they are.
struct Param {
    std::string Value;
    bool Bytes = false;

    Param(std::string text) : Value(std::move(text)) {}
    Param(const char* text) : Value(text) {}
    Param(std::int64_t number) : Value(std::to_string(number)) {}
    static Param bytes(std::string value)
    {
        Param p(std::move(value));
        p.Bytes = true;
        return p;
    }
};

// The address with any password replaced, so it can stand in a message.
std::string withoutPassword(const std::string& address)
{
    std::string shown = std::regex_replace(address, std::regex(R"(://([^:@/]*):[^@/]*@)"), "://$1:***@");
    return std::regex_replace(shown, std::regex(R"((password=)[^&]*)", std::regex::icase), "$1***");
}

} // namespace

// A result of the store's own: freed when it goes, read in binary form.
class PgResult {
public:
    explicit PgResult(PGresult* result) : result_(result) {}
    ~PgResult() { PQclear(result_); }
    PgResult(PgResult&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;
    PgResult& operator=(PgResult&&) = delete;

    PGresult* get() const { return result_; }
    int rows() const { return PQntuples(result_); }
    std::string text(int row, int column) const
    {
        return std::string(PQgetvalue(result_, row, column),
                           static_cast<std::size_t>(PQgetlength(result_, row, column)));
    }
    // BIGINT in binary form: eight bytes, most significant first.
    std::int64_t integer(int row, int column) const
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(PQgetvalue(result_, row, column));
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            value = (value << 8) | bytes[i];
        }
        return static_cast<std::int64_t>(value);
    }
    std::size_t changed() const { return static_cast<std::size_t>(std::strtoull(PQcmdTuples(result_), nullptr, 10)); }

private:
    PGresult* result_;
};

class PostgresOrderStore::Connection {
public:
    Connection(const std::string& address, const std::string& shown) : shown_(shown)
    {
        conn_ = PQconnectdb(address.c_str());
        if (PQstatus(conn_) != CONNECTION_OK) {
            const std::string reason = oneLine(PQerrorMessage(conn_));
            PQfinish(conn_);
            throw ServiceError("The order database " + shown_ + " cannot be reached: " + reason);
        }
    }
    ~Connection() { PQfinish(conn_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    PGconn* get() const { return conn_; }
    bool broken() const { return PQstatus(conn_) != CONNECTION_OK; }

    void prepareAll()
    {
        for (const Prepared& p : kAll) {
            PgResult r(PQprepare(conn_, p.Name, p.Sql, 0, nullptr));
            check(r, PGRES_COMMAND_OK, "a statement could not be prepared");
        }
    }

    PgResult run(const Prepared& statement, const std::vector<Param>& params)
    {
        std::vector<const char*> values;
        std::vector<int> lengths;
        std::vector<int> formats;
        for (const Param& p : params) {
            values.push_back(p.Value.data());
            lengths.push_back(static_cast<int>(p.Value.size()));
            formats.push_back(p.Bytes ? 1 : 0);
        }
        PgResult result(PQexecPrepared(conn_, statement.Name, static_cast<int>(params.size()), values.data(),
                                       lengths.data(), formats.data(), 1));
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            fail(result, "a query failed");
        }
        return result;
    }

    // A statement or script of the program's own, without values.
    void script(const char* sql)
    {
        PgResult r(PQexec(conn_, sql));
        const ExecStatusType status = PQresultStatus(r.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            fail(r, "a statement failed");
        }
    }

    [[noreturn]] void fail(const PgResult& result, const std::string& what) const
    {
        throw ServiceError("The order database " + shown_ + ": " + what + " (" +
                           oneLine(PQresultErrorMessage(result.get())) + ")");
    }

private:
    void check(const PgResult& result, ExecStatusType wanted, const std::string& what) const
    {
        if (PQresultStatus(result.get()) != wanted) {
            fail(result, what);
        }
    }
    static std::string oneLine(const char* text)
    {
        std::string s = Trim(text ? text : "");
        for (char& c : s) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        return s;
    }

    std::string shown_;
    PGconn* conn_ = nullptr;
};

// A connection borrowed from the pool for one call; back to the pool when
// the call is done, unless it broke.
class PostgresOrderStore::Lease {
public:
    // fresh: a new connection rather than one of the pool.
    Lease(PostgresOrderStore& store, bool fresh) : store_(store), connection_(store.connect(fresh)) {}
    ~Lease() { store_.giveBack(std::move(connection_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    Connection* operator->() const { return connection_.get(); }
    bool broken() const { return connection_->broken(); }

    // Ends a transaction that failed, when the connection still stands.
    void rollback() const
    {
        if (!connection_->broken()) {
            PgResult(PQexec(connection_->get(), "ROLLBACK"));
        }
    }

private:
    PostgresOrderStore& store_;
    std::unique_ptr<Connection> connection_;
};

PostgresOrderStore::PostgresOrderStore(std::string address)
    : address_(std::move(address)), shownAddress_(withoutPassword(address_))
{
    auto first = std::make_unique<Connection>(address_, shownAddress_);
    migrate(*first);
    first->prepareAll();
    idle_.push_back(std::move(first));
}

PostgresOrderStore::~PostgresOrderStore() = default;

std::unique_ptr<PostgresOrderStore::Connection> PostgresOrderStore::connect(bool fresh)
{
    if (!fresh) {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            auto connection = std::move(idle_.back());
            idle_.pop_back();
            return connection;
        }
    }
    auto connection = std::make_unique<Connection>(address_, shownAddress_);
    connection->prepareAll();
    return connection;
}

template <typename Work> auto PostgresOrderStore::withConnection(Work work)
{
    // After the server restarted, every connection of the pool is broken
    // and fails its next statement. The first such failure drops the pool,
    // and the call is made once more on a new connection.
    for (bool retry = false;; retry = true) {
        Lease lease(*this, retry);
        try {
            return work(lease, retry);
        } catch (const Error&) {
            if (retry || !lease.broken()) {
                throw;
            }
        }
        std::lock_guard lock(mutex_);
        idle_.clear();
    }
}

void PostgresOrderStore::giveBack(std::unique_ptr<Connection> connection)
{
    if (!connection || connection->broken()) {
        return;
    }
    std::lock_guard lock(mutex_);
    idle_.push_back(std::move(connection));
}

void PostgresOrderStore::migrate(Connection& connection)
{
    connection.script("BEGIN");
    try {
        // Services starting together take turns.
        connection.script("SELECT pg_advisory_xact_lock(7305150001)");
        connection.script("CREATE TABLE IF NOT EXISTS quillane_schema (version INTEGER NOT NULL)");
        PgResult r(PQexec(connection.get(), "SELECT version FROM quillane_schema"));
        if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
            connection.fail(r, "its schema version cannot be read");
        }
        const int version = r.rows() > 0 ? std::atoi(PQgetvalue(r.get(), 0, 0)) : 0;
        if (version > kSchemaVersion) {
            throw ServiceError("The order database " + shownAddress_ + " was made by a newer quillane-orderd (schema " +
                               std::to_string(version) + "; this one knows up to " + std::to_string(kSchemaVersion) +
                               ")");
        }
        for (int step = version; step < kSchemaVersion; ++step) {
            connection.script(kMigrations[step]);
        }
        if (r.rows() == 0) {
            connection.script("INSERT INTO quillane_schema (version) VALUES (0)");
        }
        if (version != kSchemaVersion) {
            const std::string newVersion = std::to_string(kSchemaVersion);
            const char* values[] = {newVersion.c_str()};
            PgResult set(PQexecParams(connection.get(), "UPDATE quillane_schema SET version = $1", 1, nullptr, values,
                                      nullptr, nullptr, 0));
            if (PQresultStatus(set.get()) != PGRES_COMMAND_OK) {
                connection.fail(set, "its schema version cannot be written");
            }
        }
        connection.script("COMMIT");
    } catch (...) {
        if (!connection.broken()) {
            PgResult(PQexec(connection.get(), "ROLLBACK"));
        }
        throw;
    }
}

bool PostgresOrderStore::AddAccount(const std::string& name, const std::string& passwordHash, const std::string& shop,
                                    std::int64_t now)
{
    return withConnection([&](Lease& lease, bool retry) {
        if (lease->run(kAddAccount, {name, LowerCase(name), passwordHash, shop, now}).rows() == 1) {
            return true;
        }
        // The first try may have been committed just before its connection
        // broke: the account is this one when it has this (salted) hash.
        if (!retry) {
            return false;
        }
        const PgResult r = lease->run(kFindAccount, {LowerCase(name)});
        return r.rows() == 1 && r.text(0, 2) == passwordHash;
    });
}

std::optional<Account> PostgresOrderStore::FindAccount(const std::string& name)
{
    return withConnection([&](Lease& lease, bool) -> std::optional<Account> {
        const PgResult r = lease->run(kFindAccount, {LowerCase(name)});
        if (r.rows() == 0) {
            return std::nullopt;
        }
        return Account{r.integer(0, 0), r.text(0, 1), r.text(0, 2), r.text(0, 3), r.integer(0, 4)};
    });
}

void PostgresOrderStore::SetPasswordHash(std::int64_t accountId, const std::string& passwordHash)
{
    withConnection([&](Lease& lease, bool) { lease->run(kSetPassword, {passwordHash, accountId}); });
}

std::optional<std::string> PostgresOrderStore::SomePasswordHash(std::uint64_t pick)
{
    return withConnection([&](Lease& lease, bool) -> std::optional<std::string> {
        const std::int64_t count = lease->run(kCountAccounts, {}).integer(0, 0);
        if (count <= 0) {
            return std::nullopt;
        }
        const auto offset = static_cast<std::int64_t>(pick % static_cast<std::uint64_t>(count));
        const PgResult r = lease->run(kSomeHash, {offset});
        if (r.rows() == 0) {
            return std::nullopt;
        }
        return r.text(0, 0);
    });
}

AddedOrder PostgresOrderStore::AddOrder(const NewOrder& order, std::int64_t repeatSince)
{
    // A try whose commit was lost with its connection stored the order; the
    // second try finds it as a repeat and names it.
    return withConnection([&](Lease& lease, bool) {
        lease->script("BEGIN");
        try {
            // Taking the number locks the account's row first, so two services
            // that receive the same request at once cannot both store it.
            const PgResult number = lease->run(kNextNumber, {order.AccountId});
            if (number.rows() != 1) {
                throw ServiceError("The order database " + shownAddress_ + " has no account number " +
                                   std::to_string(order.AccountId));
            }
            const PgResult earlier = lease->run(kEarlier, {order.AccountId, Param::bytes(order.Digest), repeatSince});
            if (earlier.rows() > 0) {
                // Nothing is added; the number goes back with the rollback.
                AddedOrder repeat{earlier.text(0, 0), true};
                lease.rollback();
                return repeat;
            }
            AddedOrder added{MakeOrderId(order.IdStamp, number.integer(0, 0)), false};
            lease->run(kInsertOrder, {order.AccountId, added.Id, order.Received, Param::bytes(order.Date),
                                      Param::bytes(order.Digest), Param::bytes(order.Fields)});
            lease->script("COMMIT");
            return added;
        } catch (...) {
            lease.rollback();
            throw;
        }
    });
}

std::vector<StoredOrder> PostgresOrderStore::Orders(std::int64_t accountId, std::int64_t since)
{
    return withConnection([&](Lease& lease, bool) {
        const PgResult r = lease->run(kOrders, {accountId, since});
        std::vector<StoredOrder> orders;
        for (int row = 0; row < r.rows(); ++row) {
            orders.push_back({r.text(row, 0), r.text(row, 1), r.text(row, 2), r.text(row, 3), r.text(row, 4)});
        }
        return orders;
    });
}

std::size_t PostgresOrderStore::DeleteOrdersBefore(std::int64_t before)
{
    return withConnection([&](Lease& lease, bool) { return lease->run(kDeleteOld, {before}).changed(); });
}

} // namespace quillane::orderd
