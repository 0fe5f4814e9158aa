// The order service's account page: what a browser sends it, on a store in
// memory with one account ("gartenshop", password "Rosen-2026!") and a
// hasher that does not hash, so each run is quick and starts the same.
// Parts: the query, then the posted body (with a body it is a POST). The
// page may hold no comment but the two the program takes values from.

#include "FuzzSupport.h"
#include "core/common/Text.h"
#include "orderd/AccountPage.h"

#include <cstdlib>
#include <map>

namespace {

using namespace quillane;
using namespace quillane::orderd;

class MemoryStore final : public OrderStore {
public:
    bool AddAccount(const std::string& name, const std::string& passwordHash, const std::string& shop,
                    std::int64_t now) override
    {
        const auto [it, added] =
            accounts_.try_emplace(LowerCase(name), Account{std::ssize(accounts_) + 1, name, passwordHash, shop, now});
        return added;
    }
    std::optional<Account> FindAccount(const std::string& name) override
    {
        const auto it = accounts_.find(LowerCase(name));
        return it == accounts_.end() ? std::nullopt : std::optional<Account>(it->second);
    }
    void SetPasswordHash(std::int64_t accountId, const std::string& passwordHash) override
    {
        for (auto& [key, account] : accounts_) {
            if (account.Id == accountId) {
                account.PasswordHash = passwordHash;
            }
        }
    }
    std::optional<std::string> SomePasswordHash(std::uint64_t pick) override
    {
        if (accounts_.empty()) {
            return std::nullopt;
        }
        auto it = accounts_.begin();
        std::advance(it, static_cast<std::ptrdiff_t>(pick % accounts_.size()));
        return it->second.PasswordHash;
    }
    AddedOrder AddOrder(const NewOrder&, std::int64_t) override { return {"20260101-000000-0001", false}; }
    std::vector<StoredOrder> Orders(std::int64_t, std::int64_t) override
    {
        return {{"20260101-000000-0001", "01.01.2026 00:00", "notes=x\r\n", "", "false"}};
    }
    std::size_t DeleteOrdersBefore(std::int64_t) override { return 0; }

private:
    std::map<std::string, Account> accounts_;
};

// Keeps the password as it is: the page's logic, not the hash, is fuzzed.
class PlainHasher final : public PasswordHasher {
public:
    PlainHasher() : PasswordHasher({HashCost::kMinOps, HashCost::kMinMemMiB}) {}
    std::string Hash(std::string_view password) const override { return "plain:" + std::string(password); }
    bool Verify(const std::string& hash, std::string_view password) const override
    {
        return hash == "plain:" + std::string(password);
    }
    bool NeedsRehash(const std::string&) const override { return false; }
};

std::size_t occurrences(const std::string& text, std::string_view what)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const PlainHasher hasher;
    const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), 2);
    MemoryStore store;
    LoginThrottle throttle({5, std::chrono::seconds(60), std::chrono::minutes(15)},
                           {20, std::chrono::seconds(300), std::chrono::minutes(15)});
    CreationLimit creations({5, 60, std::chrono::hours(1)});
    Accounts accounts(store, hasher, throttle, &creations);
    accounts.Create("gartenshop", "Rosen-2026!", "", 0);

    AccountPageRequest request;
    request.Post = parts.size() > 1;
    request.Params = ParseForm(parts[0]);
    if (request.Post) {
        for (FormField& f : ParseForm(parts[1])) {
            request.Params.push_back(std::move(f));
        }
    }
    request.ClientAddress = "192.0.2.1";
    request.Now = 1800000000;
    request.Keep = 90 * 24 * 3600;
    const Answer answer = ServeAccountPage(accounts, store, request);

    // Whatever was sent stands escaped in the page: no comment, tag or
    // value it could make the program take over.
    const std::size_t comments = occurrences(answer.Body, "<!--");
    const std::size_t taken = occurrences(answer.Body, "<!-- UserID=") + occurrences(answer.Body, "<!-- Password=");
    if (comments != taken || occurrences(answer.Body, "-->") != comments || taken % 2 != 0 ||
        (taken > 0 && answer.Status != 200) || occurrences(answer.Body, "<script") != 0) {
        std::abort();
    }
    return 0;
}
