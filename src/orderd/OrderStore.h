#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Where the order service keeps its accounts and orders. One interface, a
// SQLite file in a data folder or a PostgreSQL database behind it. Every
// call is safe from several threads at once; every change is committed
// before the call returns, so an answer given after it survives a crash.
// Texts are stored as bytes, unchanged.
namespace quillane::orderd {

struct Account {
    std::int64_t Id = 0;
    std::string Name;
    std::string PasswordHash;
    std::string Shop;         // the shop's address, may be empty
    std::int64_t Created = 0; // seconds since 1970
};

struct NewOrder {
    std::int64_t AccountId = 0;
    std::int64_t Received = 0; // seconds since 1970
    std::string IdStamp;       // the order ID's first part, "yyyymmdd-hhmmss"
    std::string Date;          // "dd.mm.yyyy hh:mm"
    std::string Digest;        // of the request as sent, to know a repeat by
    std::string Fields;        // its key=value lines, each ended by CR LF
};

struct StoredOrder {
    std::string Id;
    std::string Date;
    std::string Fields;
    std::string Queue;
    std::string Confirmed;
};

struct AddedOrder {
    std::string Id;
    bool Repeat = false; // the same request had been stored before; nothing was added
};

class OrderStore {
public:
    virtual ~OrderStore() = default;

    // False when an account of that name exists already, whatever its case.
    virtual bool AddAccount(const std::string& name, const std::string& passwordHash, const std::string& shop,
                            std::int64_t now) = 0;
    // The account of that name, whatever its case.
    virtual std::optional<Account> FindAccount(const std::string& name) = 0;
    virtual void SetPasswordHash(std::int64_t accountId, const std::string& passwordHash) = 0;
    // The password hash of one of the accounts, the same for the same pick
    // while no account is added; nullopt when there is none. A name without
    // an account is checked against it, so it costs what a real one costs.
    virtual std::optional<std::string> SomePasswordHash(std::uint64_t pick) = 0;

    // Stores the order under a new ID: IdStamp, "-" and the account's next
    // order number (at least four digits), which is never handed out again.
    // When the account received an order with the same digest at or after
    // repeatSince, stores nothing and gives that order's ID.
    virtual AddedOrder AddOrder(const NewOrder& order, std::int64_t repeatSince) = 0;
    // The account's orders received at or after since, oldest first.
    virtual std::vector<StoredOrder> Orders(std::int64_t accountId, std::int64_t since) = 0;
    // Removes every order received before the time; gives how many went.
    virtual std::size_t DeleteOrdersBefore(std::int64_t before) = 0;
};

// Where the store is: a data folder for SQLite, or a postgresql:// address.
struct StoreAddress {
    std::string DataDir;
    std::string Database;
};

// Opens the store and creates or updates its tables. Throws Error naming the
// folder or database when it cannot be used.
std::unique_ptr<OrderStore> OpenOrderStore(const StoreAddress& address);

// The order ID for a stamp and an order number.
std::string MakeOrderId(const std::string& idStamp, std::int64_t number);

} // namespace quillane::orderd
