#include "orderd/ShopPrices.h"

#include "core/common/Text.h"
#include "orderd/ServiceError.h"
#include "orderd/ShopFigures.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <thread>

namespace quillane::orderd {

namespace {

constexpr char kPartSeparator = '\xA6';
constexpr char kItemSeparator = '|';
constexpr char kGroupSeparator = '\x86';
constexpr std::string_view kDataStart = "gd = '";
constexpr std::string_view kNextStart = "database/db_";

// The group data of a script, from the single-quoted literal as written.
std::string literalAt(const std::string& script, std::size_t start, std::size_t& end)
{
    std::string out;
    for (std::size_t i = start; i < script.size(); ++i) {
        const char c = script[i];
        if (c == '\'') {
            end = i + 1;
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == script.size()) {
            break;
        }
        const char escaped = script[i];
        out += escaped == 'r' ? '\r' : escaped == 'n' ? '\n' : escaped;
    }
    end = std::string::npos;
    return out;
}

// As the stored order writes it, so the two can be compared.
std::string orderNumber(std::string key)
{
    std::replace(key.begin(), key.end(), '=', ':');
    return key;
}

// An amount as the shop reads it: what is no number counts as 0.
double amount(const std::string& text)
{
    double value = 0;
    return TryParseAmount(text, value) ? value : 0;
}

// Asks for stop when the time is up, unless it ends before.
class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds time)
        : timer_([this, time](std::stop_token ended) {
              std::mutex m;
              std::condition_variable_any cv;
              std::unique_lock lock(m);
              cv.wait_for(lock, ended, time, [] { return false; });
              if (!ended.stop_requested()) {
                  source_.request_stop();
              }
          })
    {
    }
    std::stop_token token() const { return source_.get_token(); }
    bool passed() const { return source_.stop_requested(); }

private:
    std::stop_source source_;
    std::jthread timer_;
};

} // namespace

std::string ReadDatabaseScript(const std::string& script, const std::string& file, ShopItems& items,
                               std::size_t maxItems)
{
    // A script holds the data of one group or of several one after another.
    std::size_t end = std::string::npos;
    std::size_t groups = 0;
    for (std::size_t start = script.find(kDataStart); start != std::string::npos;
         start = script.find(kDataStart, end)) {
        const std::string data = literalAt(script, start + kDataStart.size(), end);
        if (end == std::string::npos) {
            break;
        }
        ++groups;
        const std::size_t group = items.Surcharges.size();
        const std::size_t cut = data.rfind(kGroupSeparator);
        items.Surcharges.push_back(cut == std::string::npos ? std::string() : data.substr(cut + 1));
        for (const std::string& entry : Split(kItemSeparator, data.substr(0, cut))) {
            if (entry.empty()) {
                continue; // a hidden last record leaves an empty entry
            }
            const SplitArray parts = Split(kPartSeparator, entry);
            if (parts.size() < 3) {
                throw ServiceError(file + " holds an item without order number and price: \"" + entry.substr(0, 80) +
                                   "\"");
            }
            if (items.Count == maxItems) {
                throw ServiceError(file + " takes the shop beyond " + std::to_string(maxItems) + " items");
            }
            std::vector<ShopItem>& same = items.ByNumber[orderNumber(parts[1])];
            ShopItem item{parts[2], parts.size() > 4 ? parts[4] : std::string(), group};
            // Within a group the shop keeps the last item of a number.
            if (!same.empty() && same.back().Group == group) {
                same.back() = std::move(item);
            } else {
                same.push_back(std::move(item));
                ++items.Count;
            }
        }
    }
    if (end == std::string::npos) {
        throw ServiceError(file + (groups == 0 ? " holds no group data of the shop (gd = '...')"
                                               : " holds group data that does not end (gd = '...' without its quote)"));
    }

    const std::size_t next = script.find(kNextStart, end);
    if (next == std::string::npos) {
        return {};
    }
    const std::size_t digits = next + kNextStart.size();
    const std::size_t afterDigits = script.find_first_not_of("0123456789", digits);
    if (afterDigits == digits || afterDigits == std::string::npos || afterDigits - digits > 6 ||
        script.compare(afterDigits, 3, ".js") != 0) {
        throw ServiceError(file + " loads a next script that is not named db_<number>.js");
    }
    return script.substr(next + 9, afterDigits + 3 - (next + 9));
}

std::string ReadDatabaseScript(const std::string& script, const std::string& file, PriceTable& prices)
{
    ShopItems items;
    std::string next = ReadDatabaseScript(script, file, items);
    for (auto& [number, entries] : items.ByNumber) {
        for (ShopItem& item : entries) {
            prices[number].push_back(std::move(item.Price));
        }
    }
    return next;
}

namespace {

// A limit of the whole read passed: no script of the shop counts then.
class LimitPassed : public ServiceError {
public:
    using ServiceError::ServiceError;
};

// Reads the scripts of one shop within the limits: all of them together
// within the time, the bytes and the number of files.
class ShopReader {
public:
    ShopReader(const std::string& shopAddress, const ShopFetch& fetch, const ShopReadLimits& limits)
        : address_(shopAddress), base_(shopAddress + (shopAddress.ends_with('/') ? "" : "/")), fetch_(fetch),
          limits_(limits), deadline_(limits.Time)
    {
    }

    // The script at path under the shop's address; throws Error when it
    // cannot be read or a limit is passed.
    std::string read(const std::string& path)
    {
        if (files_ == limits_.MaxFiles) {
            throw LimitPassed("The shop at " + address_ + " has more than " + std::to_string(limits_.MaxFiles) +
                              " scripts");
        }
        ++files_;
        const auto tooLarge = [this] {
            const std::size_t mb = limits_.MaxBytes / (1024 * 1024);
            return LimitPassed("The scripts of the shop at " + address_ + " are larger than " +
                               (mb > 0 ? std::to_string(mb) + " MB" : std::to_string(limits_.MaxBytes) + " bytes"));
        };
        if (bytes_ >= limits_.MaxBytes) {
            throw tooLarge();
        }
        std::string script;
        try {
            script = fetch_(base_ + path, limits_.MaxBytes - bytes_, deadline_.token());
        } catch (const ShopTooLarge&) {
            throw tooLarge();
        } catch (const Error&) {
            if (deadline_.passed()) {
                throw LimitPassed("Reading the shop at " + address_ + " took longer than " +
                                  std::to_string(limits_.Time.count()) + " ms");
            }
            throw;
        }
        bytes_ += script.size();
        if (bytes_ > limits_.MaxBytes) {
            throw tooLarge();
        }
        return script;
    }

    const std::string& base() const { return base_; }

private:
    std::string address_;
    std::string base_;
    const ShopFetch& fetch_;
    ShopReadLimits limits_;
    Deadline deadline_;
    std::size_t files_ = 0;
    std::size_t bytes_ = 0;
};

} // namespace

PublishedShop ReadPublishedShop(const std::string& shopAddress, const ShopFetch& fetch, const ShopReadLimits& limits)
{
    ShopReader reader(shopAddress, fetch, limits);
    PublishedShop shop;
    for (std::string file = "db_0.js"; !file.empty();) {
        const std::string path = "database/" + file;
        file = ReadDatabaseScript(reader.read(path), reader.base() + path, shop.Items, limits.MaxItems);
    }

    // What the cart computes with. A shop published before the cart knew
    // it lacks some, and its orders are checked for their prices only.
    std::string step = "var_init.js";
    try {
        ShopSettings settings = ReadShopSettings(reader.read(step));
        for (const std::string& code : settings.CountryCodes) {
            step = "countries/settings/" + code + ".js";
            shop.Countries.push_back(ReadCountryScript(reader.read(step), code));
        }
        shop.Settings = std::move(settings);
    } catch (const LimitPassed&) {
        throw;
    } catch (const Error& e) {
        shop.Countries.clear();
        shop.SettingsProblem = e.what();
    }
    return shop;
}

std::optional<std::string> PriceProblem(const std::vector<FormField>& fields, const ShopItems& items)
{
    const std::string* countText = FindField(fields, "itemcount");
    const long long count = countText ? std::stoll(*countText) : 0;
    for (long long i = 0; i < count; ++i) {
        const std::string name = "item" + std::to_string(i);
        const SplitArray parts = Split('|', *FindField(fields, name));
        const std::string& number = parts.at(1);
        const auto known = items.ByNumber.find(number);
        if (known == items.ByNumber.end()) {
            return name + ": the shop has no item with the order number \"" + number + "\"";
        }
        const double sent = amount(parts.at(3));
        const bool fits = std::any_of(known->second.begin(), known->second.end(), [&](const ShopItem& item) {
            return std::fabs(sent - amount(item.Price)) <= 0.01 + 1e-6;
        });
        if (!fits) {
            std::string shop;
            for (const ShopItem& item : known->second) {
                shop += (shop.empty() ? "" : " or ") + (item.Price.empty() ? std::string("0") : item.Price);
            }
            return name + ": the unit price " + parts[3] + " of \"" + number + "\" is not the shop's price " + shop;
        }
    }
    return std::nullopt;
}

ShopPrices::ShopPrices(ShopFetch fetch, Log log, ShopPriceRules rules)
    : fetch_(std::move(fetch)), log_(std::move(log)), rules_(rules)
{
}

std::shared_ptr<const PublishedShop> ShopPrices::published(const std::string& shop, std::chrono::seconds maxAge,
                                                           std::string& failure)
{
    const Clock::time_point now = Clock::now();
    {
        std::lock_guard lock(mutex_);
        const auto known = shops_.find(shop);
        if (known != shops_.end()) {
            const Entry& e = known->second;
            if (now - e.Read < (e.Shop ? maxAge : rules_.RetryAfterFailure)) {
                failure = e.Failure;
                return e.Shop;
            }
        }
    }
    Entry fresh;
    try {
        fresh.Shop = std::make_shared<const PublishedShop>(ReadPublishedShop(shop, fetch_, rules_.Read));
    } catch (const std::exception& e) { // whatever went wrong, the order is not lost
        fresh.Failure = e.what();
    }
    fresh.Read = Clock::now();
    std::lock_guard lock(mutex_);
    shops_.erase(shop);
    // The oldest go first, until the shops kept are few and small enough.
    const auto itemsOf = [](const Entry& e) { return e.Shop ? e.Shop->Items.Count : std::size_t{0}; };
    std::size_t kept = itemsOf(fresh);
    for (const auto& [address, e] : shops_) {
        kept += itemsOf(e);
    }
    while (!shops_.empty() && (shops_.size() >= rules_.MaxShops || kept > rules_.MaxKeptItems)) {
        const auto oldest = std::min_element(
            shops_.begin(), shops_.end(), [](const auto& a, const auto& b) { return a.second.Read < b.second.Read; });
        kept -= itemsOf(oldest->second);
        shops_.erase(oldest);
    }
    shops_[shop] = fresh;
    failure = fresh.Failure;
    return fresh.Shop;
}

std::optional<std::string> ShopPrices::Check(const std::string& account, const std::string& shopAddress,
                                             const std::vector<FormField>& fields)
{
    std::string failure;
    std::string unchecked;
    auto shop = published(shopAddress, rules_.Fresh, failure);
    std::optional<std::string> problem = shop ? ShopProblem(fields, *shop, unchecked) : std::nullopt;
    if (problem) {
        // The merchant may just have published new prices or fees.
        shop = published(shopAddress, rules_.RecheckAfter, failure);
        unchecked.clear();
        problem = shop ? ShopProblem(fields, *shop, unchecked) : std::nullopt;
    }
    if (!shop) {
        log_("order for " + account + " taken without checking its prices: " + failure);
    } else if (!problem && !unchecked.empty()) {
        log_("order for " + account + " taken with its prices checked but not its other figures: " + unchecked);
    }
    return problem;
}

} // namespace quillane::orderd
