#include "orderd/Accounts.h"

#include "core/common/Text.h"
#include "orderd/ServiceError.h"

#include <sodium.h>

namespace quillane::orderd {

namespace {

constexpr std::size_t kMinName = 3;
constexpr std::size_t kMaxName = 40;
constexpr std::size_t kMinPassword = 8;
constexpr std::size_t kMaxPassword = 128;
constexpr std::size_t kMaxShop = 500;

bool isAsciiLetterOrDigit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Which account's hash stands in for a name without one: the same for the
// same name, on every service that shares the database.
std::uint64_t standInOf(const std::string& key)
{
    unsigned char digest[8];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(key.data()), key.size(), nullptr,
                       0);
    std::uint64_t pick = 0;
    for (unsigned char b : digest) {
        pick = (pick << 8) | b;
    }
    return pick;
}

} // namespace

std::string ProblemText(AccountProblem problem)
{
    switch (problem) {
    case AccountProblem::NameForm:
        return "An account name has 3 to 40 characters: letters a-z, digits and . - _ @, starting with a letter or "
               "digit";
    case AccountProblem::NameTaken:
        return "That account name is taken";
    case AccountProblem::PasswordLength:
        return "A password has 8 to 128 characters";
    case AccountProblem::PasswordForm:
        return "A password may not hold control characters or \"--\", begin or end with a blank, or stand in quotes";
    case AccountProblem::PasswordsDiffer:
        return "The two passwords differ";
    case AccountProblem::ShopAddress:
        return "The shop's address is an http:// or https:// address without blanks";
    }
    return "The account is refused";
}

std::optional<AccountProblem> CheckAccountName(const std::string& name)
{
    // The name travels in shop pages, URLs and HTML comments unencoded; a
    // small set of characters keeps it the same everywhere.
    if (name.size() < kMinName || name.size() > kMaxName || !isAsciiLetterOrDigit(name.front())) {
        return AccountProblem::NameForm;
    }
    for (char c : name) {
        if (!isAsciiLetterOrDigit(c) && c != '.' && c != '-' && c != '_' && c != '@') {
            return AccountProblem::NameForm;
        }
    }
    return std::nullopt;
}

std::optional<AccountProblem> CheckPassword(const std::string& password)
{
    if (password.size() < kMinPassword || password.size() > kMaxPassword) {
        return AccountProblem::PasswordLength;
    }
    // The program reads the password back from an HTML comment, which "--"
    // could end, and keeps it in a settings file, which trims values and
    // drops a pair of quotes around them.
    const char first = password.front();
    const char last = password.back();
    if (HasControlChar(password) || password.find("--") != std::string::npos || first == ' ' || last == ' ' ||
        ((first == '"' || first == '\'') && last == first)) {
        return AccountProblem::PasswordForm;
    }
    return std::nullopt;
}

std::optional<AccountProblem> CheckShopAddress(const std::string& shop)
{
    if (shop.empty()) {
        return std::nullopt;
    }
    const std::string lower = LowerCase(shop);
    const bool schemeOk =
        (lower.starts_with("http://") && shop.size() > 7) || (lower.starts_with("https://") && shop.size() > 8);
    if (!schemeOk || shop.size() > kMaxShop) {
        return AccountProblem::ShopAddress;
    }
    for (char c : shop) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F || c == '"' || c == '<' || c == '>') {
            return AccountProblem::ShopAddress;
        }
    }
    return std::nullopt;
}

Accounts::Accounts(OrderStore& store, const PasswordHasher& hasher, LoginThrottle& throttle,
                   CreationLimit* creationLimit)
    : store_(store), hasher_(hasher), throttle_(throttle), creationLimit_(creationLimit)
{
}

void Accounts::check(const std::string& name, const std::string& password, const std::string& shop) const
{
    for (const auto& problem : {CheckAccountName(name), CheckPassword(password), CheckShopAddress(shop)}) {
        if (problem) {
            throw AccountRefused(*problem);
        }
    }
}

Account Accounts::add(const std::string& name, const std::string& password, const std::string& shop, std::int64_t now)
{
    // Hashing takes a while; a name taken meanwhile is still refused below.
    if (store_.FindAccount(name)) {
        throw AccountRefused(AccountProblem::NameTaken);
    }
    if (!store_.AddAccount(name, hasher_.Hash(password), shop, now)) {
        throw AccountRefused(AccountProblem::NameTaken);
    }
    const auto created = store_.FindAccount(name);
    if (!created) {
        throw ServiceError("The account " + name + " was stored but cannot be read back");
    }
    return *created;
}

Account Accounts::Create(const std::string& name, const std::string& password, const std::string& shop,
                         std::int64_t now)
{
    check(name, password, shop);
    return add(name, password, shop, now);
}

Account Accounts::CreateFrom(const std::string& address, const std::string& name, const std::string& password,
                             const std::string& shop, std::int64_t now)
{
    check(name, password, shop);
    if (creationLimit_) {
        if (const std::int64_t wait = creationLimit_->Take(address, LoginThrottle::Clock::now()); wait > 0) {
            throw CreationThrottled(wait);
        }
    }
    return add(name, password, shop, now);
}

LoginResult Accounts::LogIn(const std::string& name, const std::string& password, const std::string& address)
{
    // Names no account can have share one entry of the throttle, so the
    // throttle keeps no long names a request made up.
    const std::string key = CheckAccountName(name) ? std::string("-") : LowerCase(name);
    const auto now = LoginThrottle::Clock::now();
    if (const std::int64_t wait = throttle_.WaitFor(key, address, now); wait > 0) {
        return {LoginOutcome::Throttled, {}, wait};
    }
    const auto account = Find(name);
    bool ok = false;
    if (account) {
        ok = hasher_.Verify(account->PasswordHash, password);
    } else if (const auto standIn = store_.SomePasswordHash(standInOf(LowerCase(name)))) {
        // The hash of a real account, so the time taken is that of a real
        // one whatever cost the accounts' hashes were made with.
        (void)hasher_.Verify(*standIn, password);
    } else {
        hasher_.VerifyNothing(password);
    }
    if (!ok) {
        throttle_.Failed(key, address, LoginThrottle::Clock::now());
        return {LoginOutcome::Wrong, {}, 0};
    }
    throttle_.Succeeded(key, address);
    if (hasher_.NeedsRehash(account->PasswordHash)) {
        try {
            store_.SetPasswordHash(account->Id, hasher_.Hash(password));
        } catch (const Error&) {
            // The login stands; the next one tries again.
        }
    }
    return {LoginOutcome::Ok, *account, 0};
}

void Accounts::ChangePassword(const Account& account, const std::string& newPassword)
{
    if (const auto problem = CheckPassword(newPassword)) {
        throw AccountRefused(*problem);
    }
    store_.SetPasswordHash(account.Id, hasher_.Hash(newPassword));
}

std::optional<Account> Accounts::Find(const std::string& name)
{
    // A name no account can have is not looked up: the store need not cope
    // with any bytes a request brings.
    if (CheckAccountName(name)) {
        return std::nullopt;
    }
    return store_.FindAccount(name);
}

} // namespace quillane::orderd
