#include "orderd/ShopPrices.h"

#include "core/common/Text.h"
#include "core/online/HttpClient.h"

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

std::string ReadDatabaseScript(const std::string& script, const std::string& file, PriceTable& prices)
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
        const std::size_t cut = data.rfind(kGroupSeparator);
        for (const std::string& entry : Split(kItemSeparator, data.substr(0, cut))) {
            if (entry.empty()) {
                continue; // a hidden last record leaves an empty entry
            }
            const SplitArray parts = Split(kPartSeparator, entry);
            if (parts.size() < 3) {
                throw Error(file + " holds an item without order number and price: \"" + entry.substr(0, 80) + "\"");
            }
            prices[orderNumber(parts[1])].push_back(parts[2]);
        }
    }
    if (end == std::string::npos) {
        throw Error(file + (groups == 0 ? " holds no group data of the shop (gd = '...')"
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
        throw Error(file + " loads a next script that is not named db_<number>.js");
    }
    return script.substr(next + 9, afterDigits + 3 - (next + 9));
}

PriceTable ReadShopPrices(const std::string& shopAddress, const ShopFetch& fetch, const ShopReadLimits& limits)
{
    const std::string base = shopAddress + (shopAddress.ends_with('/') ? "" : "/") + "database/";
    const Deadline deadline(limits.Time);
    PriceTable prices;
    std::size_t bytes = 0;
    std::string file = "db_0.js";
    for (std::size_t files = 0; !file.empty(); ++files) {
        if (files == limits.MaxFiles) {
            throw Error("The shop at " + shopAddress + " has more than " + std::to_string(limits.MaxFiles) +
                        " database scripts");
        }
        std::string script;
        try {
            script = fetch(base + file, deadline.token());
        } catch (const Error& e) {
            if (deadline.passed()) {
                throw Error("Reading the prices of the shop at " + shopAddress + " took longer than " +
                            std::to_string(limits.Time.count()) + " ms");
            }
            throw;
        }
        bytes += script.size();
        if (bytes > limits.MaxBytes) {
            throw Error("The database scripts of the shop at " + shopAddress + " are larger than " +
                        std::to_string(limits.MaxBytes / (1024 * 1024)) + " MB");
        }
        file = ReadDatabaseScript(script, base + file, prices);
    }
    return prices;
}

std::optional<std::string> PriceProblem(const std::vector<FormField>& fields, const PriceTable& prices)
{
    const std::string* countText = FindField(fields, "itemcount");
    const long long count = countText ? std::stoll(*countText) : 0;
    for (long long i = 0; i < count; ++i) {
        const std::string name = "item" + std::to_string(i);
        const SplitArray parts = Split('|', *FindField(fields, name));
        const std::string& number = parts.at(1);
        const auto known = prices.find(number);
        if (known == prices.end()) {
            return name + ": the shop has no item with the order number \"" + number + "\"";
        }
        const double sent = amount(parts.at(3));
        const bool fits = std::any_of(known->second.begin(), known->second.end(), [&](const std::string& price) {
            return std::fabs(sent - amount(price)) <= 0.01 + 1e-6;
        });
        if (!fits) {
            std::string shop;
            for (const std::string& price : known->second) {
                shop += (shop.empty() ? "" : " or ") + (price.empty() ? std::string("0") : price);
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

std::shared_ptr<const PriceTable> ShopPrices::prices(const std::string& shop, std::chrono::seconds maxAge,
                                                     std::string& failure)
{
    const Clock::time_point now = Clock::now();
    {
        std::lock_guard lock(mutex_);
        const auto known = shops_.find(shop);
        if (known != shops_.end()) {
            const Entry& e = known->second;
            if (now - e.Read < (e.Prices ? maxAge : rules_.RetryAfterFailure)) {
                failure = e.Failure;
                return e.Prices;
            }
        }
    }
    Entry fresh;
    try {
        fresh.Prices = std::make_shared<const PriceTable>(ReadShopPrices(shop, fetch_, rules_.Read));
    } catch (const std::exception& e) { // whatever went wrong, the order is not lost
        fresh.Failure = e.what();
    }
    fresh.Read = Clock::now();
    std::lock_guard lock(mutex_);
    if (shops_.size() >= rules_.MaxShops && !shops_.contains(shop)) {
        const auto oldest = std::min_element(
            shops_.begin(), shops_.end(), [](const auto& a, const auto& b) { return a.second.Read < b.second.Read; });
        shops_.erase(oldest);
    }
    shops_[shop] = fresh;
    failure = fresh.Failure;
    return fresh.Prices;
}

std::optional<std::string> ShopPrices::Check(const std::string& account, const std::string& shopAddress,
                                             const std::vector<FormField>& fields)
{
    std::string failure;
    auto table = prices(shopAddress, rules_.Fresh, failure);
    std::optional<std::string> problem = table ? PriceProblem(fields, *table) : std::nullopt;
    if (problem) {
        // The merchant may just have published new prices.
        table = prices(shopAddress, rules_.RecheckAfter, failure);
        problem = table ? PriceProblem(fields, *table) : std::nullopt;
    }
    if (!table) {
        log_("order for " + account + " taken without checking its prices: " + failure);
    }
    return problem;
}

ShopFetch HttpShopFetch()
{
    return [](const std::string& url, std::stop_token stop) {
        static const HttpClient client;
        return client.Get(url, HttpProxy{}, stop);
    };
}

} // namespace quillane::orderd
