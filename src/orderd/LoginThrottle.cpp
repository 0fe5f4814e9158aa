#include "orderd/LoginThrottle.h"

#include <algorithm>
#include <iterator>

namespace quillane::orderd {

namespace {

// Beyond this many remembered names or addresses, stale ones are dropped, so
// a flood of made-up names cannot fill the memory.
constexpr std::size_t kPruneAbove = 100000;

} // namespace

LoginThrottle::LoginThrottle(ThrottleRule perAccount, ThrottleRule perAddress)
    : perAccount_(perAccount), perAddress_(perAddress)
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
    return std::max(waitOf(accounts_, account, perAccount_, now), waitOf(addresses_, address, perAddress_, now));
}

void LoginThrottle::Failed(const std::string& account, const std::string& address, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    count(accounts_, account, perAccount_, now);
    count(addresses_, address, perAddress_, now);
}

void LoginThrottle::Succeeded(const std::string& account)
{
    std::lock_guard lock(mutex_);
    accounts_.erase(account);
}

} // namespace quillane::orderd
