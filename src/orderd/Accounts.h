#pragma once

#include "orderd/CreationLimit.h"
#include "orderd/LoginThrottle.h"
#include "orderd/OrderStore.h"
#include "orderd/PasswordHasher.h"
#include "orderd/ServiceError.h"

#include <cstdint>
#include <optional>
#include <string>

// The merchants' accounts: creating one, logging in, changing the password.
// The account page and the command line both come through here.
namespace quillane::orderd {

// What is wrong with a name, password or shop address a merchant chose.
enum class AccountProblem {
    NameForm, // 3 to 40 letters, digits, ".", "-", "_", "@", starting with a letter or digit
    NameTaken,
    PasswordLength,  // 8 to 128 characters
    PasswordForm,    // no control characters, no blank at either end, not in quotes, no "--"
    PasswordsDiffer, // the two typed passwords differ
    ShopAddress,     // empty or an http(s):// address of printable characters
};

// English, for the command line and the log.
std::string ProblemText(AccountProblem problem);

// Thrown when a merchant's choice is refused; what() is the English text.
class AccountRefused : public ServiceError {
public:
    explicit AccountRefused(AccountProblem problem) : ServiceError(ProblemText(problem)), problem_(problem) {}
    AccountProblem problem() const { return problem_; }

private:
    AccountProblem problem_;
};

// Thrown when too many accounts were created lately, from the client's
// address or in all; nothing was created.
class CreationThrottled : public ServiceError {
public:
    explicit CreationThrottled(std::int64_t retryAfter)
        : ServiceError("Too many accounts were created lately; try again in " + std::to_string(retryAfter) + " s"),
          retryAfter_(retryAfter)
    {
    }
    std::int64_t retryAfter() const { return retryAfter_; }

private:
    std::int64_t retryAfter_;
};

std::optional<AccountProblem> CheckAccountName(const std::string& name);
std::optional<AccountProblem> CheckPassword(const std::string& password);
std::optional<AccountProblem> CheckShopAddress(const std::string& shop);

enum class LoginOutcome { Ok, Wrong, Throttled };

struct LoginResult {
    LoginOutcome Outcome = LoginOutcome::Wrong;
    Account Who;                 // with Ok
    std::int64_t RetryAfter = 0; // seconds, with Throttled
};

class Accounts {
public:
    // creationLimit: what CreateFrom may create; none, no limit.
    Accounts(OrderStore& store, const PasswordHasher& hasher, LoginThrottle& throttle,
             CreationLimit* creationLimit = nullptr);

    // Throws AccountRefused for a bad name, password or shop address or a
    // name that is taken, Error when the store fails.
    Account Create(const std::string& name, const std::string& password, const std::string& shop, std::int64_t now);
    // As Create, asked from the client address; throws CreationThrottled when
    // the limit of creations is reached. A taken name counts too: asking for
    // names tells which are taken.
    Account CreateFrom(const std::string& address, const std::string& name, const std::string& password,
                       const std::string& shop, std::int64_t now);
    // address: the client's, for slowing down guesses from one place. A
    // name without an account takes as long as one with: its password is
    // checked against the hash of some account. The right password brings
    // a hash of another cost to this hasher's.
    LoginResult LogIn(const std::string& name, const std::string& password, const std::string& address);
    // Throws AccountRefused for a bad password.
    void ChangePassword(const Account& account, const std::string& newPassword);

    // The account that orders name, without a password.
    std::optional<Account> Find(const std::string& name);

private:
    void check(const std::string& name, const std::string& password, const std::string& shop) const;
    Account add(const std::string& name, const std::string& password, const std::string& shop, std::int64_t now);

    OrderStore& store_;
    const PasswordHasher& hasher_;
    LoginThrottle& throttle_;
    CreationLimit* creationLimit_;
};

} // namespace quillane::orderd
