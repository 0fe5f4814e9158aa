#pragma once

#include "orderd/OrderStore.h"

#include <mutex>
#include <string>
#include <vector>

struct pg_conn;

namespace quillane::orderd {

// The store in a PostgreSQL database, for several services behind one load
// balancer. Each thread borrows a connection of its own from a small pool;
// a connection that broke is dropped and a new one made on the next call.
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
    AddedOrder AddOrder(const NewOrder& order, std::int64_t repeatSince) override;
    std::vector<StoredOrder> Orders(std::int64_t accountId, std::int64_t since) override;
    std::size_t DeleteOrdersBefore(std::int64_t before) override;

private:
    class Connection;
    class Lease;

    std::unique_ptr<Connection> connect();
    void giveBack(std::unique_ptr<Connection> connection);
    void migrate(Connection& connection);

    std::string address_;
    std::string shownAddress_; // without the password, for messages
    std::mutex mutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
};

} // namespace quillane::orderd
