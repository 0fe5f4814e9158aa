#include "orderd/CreationLimit.h"

#include "orderd/LoginThrottle.h"

#include <algorithm>
#include <iterator>

namespace quillane::orderd {

CreationLimit::CreationLimit(CreationRule rule) : rule_(rule) {}

void CreationLimit::forget(Times& times, Clock::time_point now) const
{
    while (!times.empty() && now - times.front() >= rule_.Window) {
        times.pop_front();
    }
}

std::int64_t CreationLimit::secondsUntilFree(const Times& times, Clock::time_point now) const
{
    if (times.empty()) {
        return rule_.Window.count();
    }
    const auto left = times.front() + rule_.Window - now;
    return std::max<std::int64_t>(1, std::chrono::ceil<std::chrono::seconds>(left).count());
}

std::int64_t CreationLimit::Take(const std::string& address, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    forget(all_, now);
    // Every address counted is counted in all_ too, so at most Total of
    // them are still within the window; the rest go.
    if (byAddress_.size() > static_cast<std::size_t>(rule_.Total)) {
        std::erase_if(byAddress_, [&](const auto& entry) {
            return entry.second.empty() || now - entry.second.back() >= rule_.Window;
        });
    }
    Times& mine = byAddress_[AddressKey(address)];
    forget(mine, now);
    std::int64_t wait = 0;
    if (std::ssize(mine) >= rule_.PerAddress) {
        wait = secondsUntilFree(mine, now);
    }
    if (std::ssize(all_) >= rule_.Total) {
        wait = std::max(wait, secondsUntilFree(all_, now));
    }
    if (wait > 0) {
        return wait;
    }
    mine.push_back(now);
    all_.push_back(now);
    return 0;
}

} // namespace quillane::orderd
