#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// Passwords kept only as salted slow hashes (Argon2id through libsodium).
namespace quillane::orderd {

// How much work one hash takes: passes over the memory, and the memory.
struct HashCost {
    unsigned long long Ops = 2; // libsodium's interactive limit
    std::size_t MemMiB = 64;    // the same
    static constexpr unsigned long long kMinOps = 1;
    static constexpr std::size_t kMinMemMiB = 8; // below, a guess costs an attacker next to nothing
    static constexpr std::size_t kMaxMemMiB = 4096;
};

class PasswordHasher {
public:
    // Throws Error when the cost is out of range or libsodium cannot start.
    explicit PasswordHasher(HashCost cost);
    ~PasswordHasher();
    PasswordHasher(const PasswordHasher&) = delete;
    PasswordHasher& operator=(const PasswordHasher&) = delete;

    std::string Hash(std::string_view password) const;
    // Whether the password matches a hash made by Hash, with any cost.
    bool Verify(const std::string& hash, std::string_view password) const;
    // Takes as long as a verification that fails, so an unknown account
    // cannot be told from a wrong password by the time the answer takes.
    void VerifyNothing(std::string_view password) const;

private:
    class Slots;

    HashCost cost_;
    std::string decoy_;
    // Each hash holds its memory; only so many run at once.
    std::unique_ptr<Slots> slots_;
};

} // namespace quillane::orderd
