#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

// Slows down guessing: after a number of wrong passwords in a row from one
// address, or from one address for one account, every further try from
// there waits, twice as long after each failure up to a cap. Guesses never
// slow down an account as such: its owner, elsewhere, gets in at once.
// Kept in memory by each service process.
namespace quillane::orderd {

struct ThrottleRule {
    int FreeFailures = 5;                 // failures before the first wait
    std::chrono::seconds MaxWait{60};     // the longest wait
    std::chrono::seconds Forget{15 * 60}; // failures this old no longer count
};

// What stands for a client address in the limits: an IPv6 address by its
// /64 network, which one line or machine gets whole; any other as it is
// (its first 64 bytes).
std::string AddressKey(const std::string& address);

class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    LoginThrottle(ThrottleRule perAddressAndAccount, ThrottleRule perAddress);

    // Seconds to wait before the next try of this account from this address;
    // 0 when it may go ahead. A try refused here counts for nothing.
    std::int64_t WaitFor(const std::string& account, const std::string& address, Clock::time_point now);
    void Failed(const std::string& account, const std::string& address, Clock::time_point now);
    // The right password: the failures for this account from there are forgotten.
    void Succeeded(const std::string& account, const std::string& address);

private:
    struct Failures {
        int Count = 0;
        Clock::time_point Last;
    };
    using Table = std::unordered_map<std::string, Failures>;

    static std::int64_t waitOf(const Table& table, const std::string& key, const ThrottleRule& rule,
                               Clock::time_point now);
    static void count(Table& table, const std::string& key, const ThrottleRule& rule, Clock::time_point now);

    ThrottleRule perPair_;
    ThrottleRule perAddress_;
    std::mutex mutex_;
    Table pairs_; // by address key, a blank and the account
    Table addresses_;
};

} // namespace quillane::orderd
