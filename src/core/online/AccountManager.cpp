#include "core/online/AccountManager.h"

#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/orders/OrderService.h"
#include "core/settings/UserData.h"

#include <optional>

namespace quillane {

namespace {

struct Address {
    std::string Scheme;
    std::string Host;
    int Port = 0;
    std::string Path;
};

std::optional<int> portOf(std::string_view digits, std::string_view scheme)
{
    if (digits.empty()) {
        if (scheme == "http") {
            return 80;
        }
        if (scheme == "https") {
            return 443;
        }
        return std::nullopt;
    }
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    const int port = std::stoi(std::string(digits));
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

// Splits an absolute address into the parts that say whose it is; nothing
// for what is not one.
std::optional<Address> parseAddress(std::string_view text)
{
    const std::size_t schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0) {
        return std::nullopt;
    }
    Address a;
    a.Scheme = LowerCase(text.substr(0, schemeEnd));
    const std::string_view rest = text.substr(schemeEnd + 3);
    // Browsers end the host at a backslash too.
    const std::size_t authorityEnd = std::min(rest.find_first_of("/?#\\"), rest.size());
    std::string_view authority = rest.substr(0, authorityEnd);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    std::string_view port;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = authority.substr(0, close + 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                return std::nullopt;
            }
            port = after.substr(1);
        }
    } else if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty()) {
        return std::nullopt;
    }
    const std::optional<int> number = portOf(port, a.Scheme);
    if (!number) {
        return std::nullopt;
    }
    a.Host = LowerCase(host);
    a.Port = *number;
    const std::string_view tail = rest.substr(authorityEnd);
    a.Path = std::string(tail.substr(0, tail.find_first_of("?#")));
    if (a.Path.empty() || a.Path.front() != '/') {
        a.Path.insert(0, "/");
    }
    return a;
}

// The value of the comment "<!-- key=value -->", or nothing when the page
// lacks that comment.
std::optional<std::string> markerValue(std::string_view html, const std::string& key)
{
    std::string value = ExtractBetween("<!-- " + key + "=? -->", html, "?");
    if (value.empty() && UpperCase(html).find(UpperCase("<!-- " + key + "= -->")) == std::string::npos) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string AccountCountryCode(const std::string& countryTable, const std::string& countryName)
{
    const std::string code = IniFile(countryTable).ReadString(countryName, "CountryCode", "");
    // An empty code would show the page in no country's language.
    return code.empty() ? "DE" : code;
}

std::string AccountPageUrl(std::string_view serviceAddress, std::string_view countryCode, std::string_view action,
                           std::string_view userId, std::string_view password)
{
    std::string url(serviceAddress);
    if (url.empty() || url.back() != '/') {
        url += '/';
    }
    return url + "qln/shopscripts/accountmanager.php4?Country=" + UrlEncode(countryCode) +
           "&Action=" + std::string(action) + "&UserID=" + UrlEncode(userId) + "&password=" + UrlEncode(password);
}

bool AddressUnder(std::string_view base, std::string_view address)
{
    const std::optional<Address> b = parseAddress(base);
    const std::optional<Address> a = parseAddress(address);
    if (!b || !a) {
        return false;
    }
    std::string basePath = b->Path;
    if (basePath.back() != '/') {
        basePath += '/';
    }
    return a->Scheme == b->Scheme && a->Host == b->Host && a->Port == b->Port && a->Path.starts_with(basePath);
}

bool TakeOverAccount(const std::string& programDir, std::string_view address, std::string_view html)
{
    // Another site reached from the account page could otherwise plant its
    // own account, and the orders would go there.
    if (!AddressUnder(OrderServiceAddress(programDir), address)) {
        return false;
    }
    if (!MatchWildcard(html, "*<!--*=*-->*")) {
        return false;
    }
    const std::optional<std::string> userId = markerValue(html, "UserID");
    const std::optional<std::string> password = markerValue(html, "Password");
    // A page that names only one of them leaves the other as stored: a page
    // without the password comment must not wipe the password.
    if (!userId && !password) {
        return false;
    }
    IniFile ini = OpenSettingsFile(programDir);
    if (userId) {
        ini.WriteString("Account", "UserID", *userId);
    }
    if (password) {
        ini.WriteString("Account", "Password", *password);
    }
    ini.UpdateFile();
    return true;
}

} // namespace quillane
