#pragma once

#include "orderd/OrderStore.h"

#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace quillane::orderd {

// The store as one SQLite file, orders.sqlite, in WAL mode, in a folder
// quillane-orderd of its own (owner only) inside the data folder, whose
// mode stays as it is. A data folder that holds orders.sqlite itself, as
// older versions kept it, is used as it is. One connection serves every
// thread in turn; several processes may share the file.
class SqliteOrderStore final : public OrderStore {
public:
    static constexpr const char* kFileName = "orders.sqlite";
    static constexpr const char* kFolderName = "quillane-orderd";

    // Creates the folders and the file when they are missing.
    explicit SqliteOrderStore(const std::string& dataDir);
    ~SqliteOrderStore() override;
    SqliteOrderStore(const SqliteOrderStore&) = delete;
    SqliteOrderStore& operator=(const SqliteOrderStore&) = delete;

    bool AddAccount(const std::string& name, const std::string& passwordHash, const std::string& shop,
                    std::int64_t now) override;
    std::optional<Account> FindAccount(const std::string& name) override;
    void SetPasswordHash(std::int64_t accountId, const std::string& passwordHash) override;
    std::optional<std::string> SomePasswordHash(std::uint64_t pick) override;
    AddedOrder AddOrder(const NewOrder& order, std::int64_t repeatSince) override;
    std::vector<StoredOrder> Orders(std::int64_t accountId, std::int64_t since) override;
    std::size_t DeleteOrdersBefore(std::int64_t before) override;

private:
    class Query;

    // The folder the file is in; throws Error when it cannot be used.
    static std::filesystem::path placeOf(const std::string& dataDir);

    sqlite3_stmt* statement(const char* sql);
    void execute(const char* sql);
    void migrate();
    [[noreturn]] void fail(const std::string& what) const;

    std::string path_;
    sqlite3* db_ = nullptr;
    std::unordered_map<const char*, sqlite3_stmt*> statements_;
    std::mutex mutex_;
};

} // namespace quillane::orderd
