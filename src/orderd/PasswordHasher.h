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
    virtual ~PasswordHasher();
    PasswordHasher(const PasswordHasher&) = delete;
    PasswordHasher& operator=(const PasswordHasher&) = delete;

    virtual std::string Hash(std::string_view password) const;
    // Whether the password matches a hash made by Hash, with any cost.
    virtual bool Verify(const std::string& hash, std::string_view password) const;
    // A verification that fails, made with this cost, for when there is no
    // account's hash to check a password against.
    void VerifyNothing(std::string_view password) const;
    // Whether the hash was made with another cost than this one's.
    virtual bool NeedsRehash(const std::string& hash) const;

private:
    class Slots;

    HashCost cost_;
    std::string decoy_;
    // Each hash holds its memory; only so many run at once.
    std::unique_ptr<Slots> slots_;
};

} // namespace quillane::orderd
