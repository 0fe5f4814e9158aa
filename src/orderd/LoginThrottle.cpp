#include "orderd/LoginThrottle.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <vector>

namespace quillane::orderd {

namespace {

// Beyond this many remembered addresses or pairs, stale ones are dropped,
// and when that is not enough the older half, so a flood of addresses or
// made-up names cannot fill the memory.
constexpr std::size_t kPruneAbove = 100000;

std::string pairKey(const std::string& account, const std::string& address)
{
    return AddressKey(address) + " " + account;
}

} // namespace

std::string AddressKey(const std::string& address)
{
    in6_addr v6{};
    if (address.find(':') == std::string::npos || ::inet_pton(AF_INET6, address.c_str(), &v6) != 1) {
        // Bounded: a header a client made up may be long.
        return address.substr(0, 64);
    }
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        char v4[INET_ADDRSTRLEN];
        return ::inet_ntop(AF_INET, &v6.s6_addr[12], v4, sizeof v4) ? std::string(v4) : address;
    }
    std::memset(&v6.s6_addr[8], 0, 8);
    char text[INET6_ADDRSTRLEN];
    return ::inet_ntop(AF_INET6, &v6, text, sizeof text) ? std::string(text) + "/64" : address;
}

LoginThrottle::LoginThrottle(ThrottleRule perAddressAndAccount, ThrottleRule perAddress)
    : perPair_(perAddressAndAccount), perAddress_(perAddress)
{
}

std::int64_t LoginThrottle::waitOf(const Table& table, const std::string& key, const ThrottleRule& rule,
                                   Clock::time_point now)
{
    const auto it = table.find(key);
    if (it == table.end() || it->second.Count < rule.FreeFailures || now - it->second.Last >= rule.Forget) {
        return 0;
    }
    const int doublings = std::min(it->second.Count - rule.FreeFailures, 30);
    const auto wait = std::min<std::chrono::seconds>(std::chrono::seconds(std::int64_t{1} << doublings), rule.MaxWait);
    const auto left = it->second.Last + wait - now;
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    // Whole seconds, rounded up, so a client that waits that long gets in.
    return std::chrono::ceil<std::chrono::seconds>(left).count();
}

void LoginThrottle::count(Table& table, const std::string& key, const ThrottleRule& rule, Clock::time_point now)
{
    if (table.size() > kPruneAbove) {
        std::erase_if(table, [&](const auto& entry) { return now - entry.second.Last >= rule.Forget; });
    }
    if (table.size() > kPruneAbove) {
        std::vector<Clock::time_point> times;
        times.reserve(table.size());
        for (const auto& entry : table) {
            times.push_back(entry.second.Last);
        }
        auto middle = times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2);
        std::nth_element(times.begin(), middle, times.end());
        const Clock::time_point cut = *middle;
        std::erase_if(table, [&](const auto& entry) { return entry.second.Last <= cut; });
    }
    Failures& f = table[key];
    if (f.Count > 0 && now - f.Last >= rule.Forget) {
        f.Count = 0;
    }
    ++f.Count;
    f.Last = now;
}

std::int64_t LoginThrottle::WaitFor(const std::string& account, const std::string& address, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    return std::max(waitOf(pairs_, pairKey(account, address), perPair_, now),
                    waitOf(addresses_, AddressKey(address), perAddress_, now));
}

void LoginThrottle::Failed(const std::string& account, const std::string& address, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    count(pairs_, pairKey(account, address), perPair_, now);
    count(addresses_, AddressKey(address), perAddress_, now);
}

void LoginThrottle::Succeeded(const std::string& account, const std::string& address)
{
    std::lock_guard lock(mutex_);
    pairs_.erase(pairKey(account, address));
}

} // namespace quillane::orderd
