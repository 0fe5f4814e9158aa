#pragma once

#include "orderd/OrderStore.h"

#include <mutex>
#include <string>
#include <vector>

struct pg_conn;

namespace quillane::orderd {

// The store in a PostgreSQL database, for several services behind one load
// balancer. Each thread borrows a connection of its own from a small pool.
// A call whose connection broke (the server restarted) drops the pool and
// is made once more on a new connection; every call may be made twice, as
// a repeated order is known by its body.
class PostgresOrderStore final : public OrderStore {
public:
    // address: a postgresql:// URI as libpq reads it.
    explicit PostgresOrderStore(std::string address);
    ~PostgresOrderStore() override;
    PostgresOrderStore(const PostgresOrderStore&) = delete;
    PostgresOrderStore& operator=(const PostgresOrderStore&) = delete;

    bool AddAccount(const std::string& name, const std::string& passwordHash, const std::string& shop,
                    std::int64_t now) override;
    std::optional<Account> FindAccount(const std::string& name) override;
    void SetPasswordHash(std::int64_t accountId, const std::string& passwordHash) override;
    std::optional<std::string> SomePasswordHash(std::uint64_t pick) override;
    AddedOrder AddOrder(const NewOrder& order, std::int64_t repeatSince) override;
    std::vector<StoredOrder> Orders(std::int64_t accountId, std::int64_t since) override;
    std::size_t DeleteOrdersBefore(std::int64_t before) override;

private:
    class Connection;
    class Lease;

    std::unique_ptr<Connection> connect(bool fresh);
    // Runs work(lease, retry) on a connection, a second time on a new one
    // when the first broke.
    template <typename Work> auto withConnection(Work work);
    void giveBack(std::unique_ptr<Connection> connection);
    void migrate(Connection& connection);

    std::string address_;
    std::string shownAddress_; // without the password, for messages
    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
};

} // namespace quillane::orderd
