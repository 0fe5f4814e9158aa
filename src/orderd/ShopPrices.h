#pragma once

#include "core/common/Error.h"
#include "orderd/OrderIntake.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <vector>

// Checking the unit prices of an order against the shop the merchant
// published: a static shop's cart runs in the customer's browser, where a
// price can be changed as easily as a sum.
namespace quillane::orderd {

// The prices of a published shop by order number, as its database scripts
// give them. An item in several groups may have a price in each.
using PriceTable = std::unordered_map<std::string, std::vector<std::string>>;

// One database script of the shop ("gd = '...'; ...", loading the next
// one or the categories page): adds its items' prices to prices and gives
// the name of the next script, empty after the last. Throws Error naming
// file when the script is not of that form.
std::string ReadDatabaseScript(const std::string& script, const std::string& file, PriceTable& prices);

// Gives the text at an address; throws Error when it cannot.
using ShopFetch = std::function<std::string(const std::string& url, std::stop_token stop)>;

struct ShopReadLimits {
    std::chrono::milliseconds Time{5000}; // for all scripts together
    std::size_t MaxFiles = 5000;
    std::size_t MaxBytes = 64 * 1024 * 1024;
};

// Every database script of the shop at shopAddress, from database/db_0.js
// along the chain. Throws Error naming the address when a script cannot be
// read in time, is not of the shop's form or the limits are passed.
PriceTable ReadShopPrices(const std::string& shopAddress, const ShopFetch& fetch, const ShopReadLimits& limits = {});

// Why the item lines do not fit the prices: an order number the shop does
// not have, or a unit price more than a cent from the shop's; nullopt when
// they fit.
std::optional<std::string> PriceProblem(const std::vector<FormField>& fields, const PriceTable& prices);

struct ShopPriceRules {
    std::chrono::seconds Fresh{60};             // prices younger than this are used as they are
    std::chrono::seconds RecheckAfter{5};       // an order that does not fit older prices reads them again
    std::chrono::seconds RetryAfterFailure{30}; // a shop that could not be read is left alone this long
    std::size_t MaxShops = 256;
    ShopReadLimits Read;
};

// The prices of the merchants' shops, read when an order needs them and
// kept a while. Safe from several threads; the network is never asked
// while a lock is held.
class ShopPrices {
public:
    using Log = std::function<void(const std::string& line)>;

    ShopPrices(ShopFetch fetch, Log log, ShopPriceRules rules = {});

    // Why the order is refused, or nullopt to take it. An order is never
    // refused because the shop cannot be read: it is taken, and a line
    // says so in the log.
    std::optional<std::string> Check(const std::string& account, const std::string& shopAddress,
                                     const std::vector<FormField>& fields);

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        std::shared_ptr<const PriceTable> Prices; // null after a failed read
        Clock::time_point Read;
        std::string Failure;
    };

    // The shop's prices, read again when older than maxAge; null when the
    // shop cannot be read (failure says why).
    std::shared_ptr<const PriceTable> prices(const std::string& shop, std::chrono::seconds maxAge,
                                             std::string& failure);

    ShopFetch fetch_;
    Log log_;
    ShopPriceRules rules_;
    std::mutex mutex_;
    std::map<std::string, Entry> shops_;
};

// Fetches with the program's HTTP client, straight, not through a proxy.
ShopFetch HttpShopFetch();

} // namespace quillane::orderd
