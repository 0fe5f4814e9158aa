#include "orderd/PasswordHasher.h"

#include "orderd/ServiceError.h"

#include <algorithm>
#include <semaphore>
#include <sodium.h>
#include <thread>

namespace quillane::orderd {

class PasswordHasher::Slots {
public:
    explicit Slots(std::ptrdiff_t count) : free_(count) {}

    // Holds a slot for as long as it lives.
    class Taken {
    public:
        explicit Taken(Slots& slots) : slots_(slots) { slots_.free_.acquire(); }
        ~Taken() { slots_.free_.release(); }
        Taken(const Taken&) = delete;
        Taken& operator=(const Taken&) = delete;

    private:
        Slots& slots_;
    };

private:
    std::counting_semaphore<256> free_;
};

PasswordHasher::PasswordHasher(HashCost cost) : cost_(cost)
{
    if (sodium_init() < 0) {
        throw ServiceError("libsodium cannot be started");
    }
    if (cost.Ops < HashCost::kMinOps || cost.Ops > crypto_pwhash_OPSLIMIT_MAX) {
        throw ServiceError("The password hash needs at least " + std::to_string(HashCost::kMinOps) + " pass, not " +
                           std::to_string(cost.Ops));
    }
    if (cost.MemMiB < HashCost::kMinMemMiB || cost.MemMiB > HashCost::kMaxMemMiB) {
        throw ServiceError("The password hash's memory must be from " + std::to_string(HashCost::kMinMemMiB) + " to " +
                           std::to_string(HashCost::kMaxMemMiB) + " MiB, not " + std::to_string(cost.MemMiB));
    }
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    slots_ = std::make_unique<Slots>(static_cast<std::ptrdiff_t>(std::min(cores, 256u)));
    decoy_ = Hash("a password no account has");
}

PasswordHasher::~PasswordHasher() = default;

std::string PasswordHasher::Hash(std::string_view password) const
{
    char out[crypto_pwhash_STRBYTES];
    Slots::Taken slot(*slots_);
    if (crypto_pwhash_str(out, password.data(), password.size(), cost_.Ops, cost_.MemMiB << 20) != 0) {
        throw ServiceError("A password cannot be hashed: out of memory");
    }
    return out;
}

bool PasswordHasher::Verify(const std::string& hash, std::string_view password) const
{
    Slots::Taken slot(*slots_);
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

void PasswordHasher::VerifyNothing(std::string_view password) const
{
    (void)Verify(decoy_, password);
}

bool PasswordHasher::NeedsRehash(const std::string& hash) const
{
    // -1 for what is no hash of this kind: made anew as well.
    return crypto_pwhash_str_needs_rehash(hash.c_str(), cost_.Ops, cost_.MemMiB << 20) != 0;
}

} // namespace quillane::orderd
