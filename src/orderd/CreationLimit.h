#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

// Bounds what creating accounts on the account page may cost: each one
// takes a slow password hash and a row that stays. So many per client
// address, and so many in all, within a window of time. Kept in memory by
// each service process.
namespace quillane::orderd {

struct CreationRule {
    int PerAddress = 5;
    int Total = 60;
    std::chrono::seconds Window{60 * 60};
};

class CreationLimit {
public:
    using Clock = std::chrono::steady_clock;

    explicit CreationLimit(CreationRule rule);

    // Counts a creation from the address and gives 0 when it may go ahead;
    // else the seconds until it may, and nothing is counted.
    std::int64_t Take(const std::string& address, Clock::time_point now);

private:
    using Times = std::deque<Clock::time_point>;

    void forget(Times& times, Clock::time_point now) const;
    std::int64_t secondsUntilFree(const Times& times, Clock::time_point now) const;

    CreationRule rule_;
    std::mutex mutex_;
    Times all_;
    std::unordered_map<std::string, Times> byAddress_;
};

} // namespace quillane::orderd
