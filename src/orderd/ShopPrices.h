#pragma once

#include "core/common/Error.h"
#include "orderd/OrderIntake.h"
#include "orderd/ShopFetch.h"
#include "orderd/ShopScripts.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <vector>

// Checking an order against the shop the merchant published: a static
// shop's cart runs in the customer's browser, where a price or a sum can be
// changed as easily as an address. The service reads the published scripts
// and works the order out again.
namespace quillane::orderd {

// The prices of a published shop by order number, as its database scripts
// give them. An item in several groups may have a price in each.
using PriceTable = std::unordered_map<std::string, std::vector<std::string>>;

// One item of the published shop as the cart reads it.
struct ShopItem {
    std::string Price;     // net euro as stored; empty is 0
    std::string Levels;    // positions of its quantity levels, "0:1"
    std::size_t Group = 0; // its group data: an index into ShopItems::Surcharges
};

// The items of a published shop by order number as the order writes it
// ("=" as ":"), one entry per group that holds the number, and the
// surcharge of every group (the text after 0x86), in script order.
struct ShopItems {
    std::unordered_map<std::string, std::vector<ShopItem>> ByNumber;
    std::vector<std::string> Surcharges;
    std::size_t Count = 0;
};

// One database script of the shop ("gd = '...'; ...", loading the next
// one or the categories page): adds its items and gives the name of the
// next script, empty after the last. Throws Error naming file when the
// script is not of that form, or when it takes the items beyond maxItems.
std::string ReadDatabaseScript(const std::string& script, const std::string& file, ShopItems& items,
                               std::size_t maxItems = SIZE_MAX);
// The same, keeping the prices only.
std::string ReadDatabaseScript(const std::string& script, const std::string& file, PriceTable& prices);

struct ShopReadLimits {
    std::chrono::milliseconds Time{5000}; // for all scripts together
    std::size_t MaxFiles = 5000;
    std::size_t MaxBytes = 64 * 1024 * 1024; // counted while they arrive
    std::size_t MaxItems = 100000;
};

// What the service knows of a published shop: its items, and, when its
// scripts hold them, the settings the cart computes with.
struct PublishedShop {
    ShopItems Items;
    std::optional<ShopSettings> Settings;
    std::vector<ShopCountry> Countries; // of every code in Settings
    std::string SettingsProblem;        // why there are no Settings
};

// The shop at shopAddress: every database script from database/db_0.js
// along the chain, then var_init.js and the script of every country it
// names. Throws Error naming the address when a database script cannot be
// read in time, is not of the shop's form or the limits are passed; the
// settings scripts, when they cannot be read or lack what the cart needs
// (a shop published before), only leave Settings empty.
PublishedShop ReadPublishedShop(const std::string& shopAddress, const ShopFetch& fetch,
                                const ShopReadLimits& limits = {});

// Why the item lines do not fit the items: an order number the shop does
// not have, or a unit price more than a cent from the shop's; nullopt when
// they fit.
std::optional<std::string> PriceProblem(const std::vector<FormField>& fields, const ShopItems& items);

struct ShopPriceRules {
    std::chrono::seconds Fresh{60};             // prices younger than this are used as they are
    std::chrono::seconds RecheckAfter{5};       // an order that does not fit older prices reads them again
    std::chrono::seconds RetryAfterFailure{30}; // a shop that could not be read is left alone this long
    std::size_t MaxShops = 256;
    std::size_t MaxKeptItems = 2000000; // of all shops kept together
    ShopReadLimits Read;
};

// The merchants' published shops, read when an order needs them and kept
// a while. Safe from several threads; the network is never asked
// while a lock is held.
class ShopPrices {
public:
    using Log = std::function<void(const std::string& line)>;

    ShopPrices(ShopFetch fetch, Log log, ShopPriceRules rules = {});

    // Why the order is refused, or nullopt to take it: its unit prices must
    // be the shop's and, where the shop's scripts tell how its cart
    // computes, every figure what that cart gives. An order is never
    // refused because the shop cannot be read: it is taken, and a line
    // says so in the log. The fields are an order that CheckOrderFigures
    // took.
    std::optional<std::string> Check(const std::string& account, const std::string& shopAddress,
                                     const std::vector<FormField>& fields);

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        std::shared_ptr<const PublishedShop> Shop; // null after a failed read
        Clock::time_point Read;
        std::string Failure;
    };

    // The shop, read again when older than maxAge; null when it cannot be
    // read (failure says why).
    std::shared_ptr<const PublishedShop> published(const std::string& shop, std::chrono::seconds maxAge,
                                                   std::string& failure);

    ShopFetch fetch_;
    Log log_;
    ShopPriceRules rules_;
    std::mutex mutex_;
    std::map<std::string, Entry> shops_;
};

} // namespace quillane::orderd
