#pragma once

#include "core/common/Error.h"
#include "orderd/LoginThrottle.h"
#include "orderd/OrderStore.h"
#include "orderd/PasswordHasher.h"

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
class AccountRefused : public Error {
public:
    explicit AccountRefused(AccountProblem problem) : Error(ProblemText(problem)), problem_(problem) {}
    AccountProblem problem() const { return problem_; }

private:
    AccountProblem problem_;
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
    Accounts(OrderStore& store, const PasswordHasher& hasher, LoginThrottle& throttle);

    // Throws AccountRefused for a bad name, password or shop address or a
    // name that is taken, Error when the store fails.
    Account Create(const std::string& name, const std::string& password, const std::string& shop, std::int64_t now);
    // address: the client's, for slowing down guesses from one place.
    LoginResult LogIn(const std::string& name, const std::string& password, const std::string& address);
    // Throws AccountRefused for a bad password.
    void ChangePassword(const Account& account, const std::string& newPassword);

    // The account that orders name, without a password.
    std::optional<Account> Find(const std::string& name);

private:
    OrderStore& store_;
    const PasswordHasher& hasher_;
    LoginThrottle& throttle_;
};

} // namespace quillane::orderd
