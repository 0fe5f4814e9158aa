#pragma once

#include <string>
#include <string_view>

// The merchant's account at the order service, managed on the service's own
// pages in the program's browser.
namespace quillane {

// CountryCode of the named country's section of the country table, or "DE"
// when the section has none.
std::string AccountCountryCode(const std::string& countryTable, const std::string& countryName);

// The account page of the service at serviceAddress (a "/" added when it
// lacks one) for action, logged in with userId and password. Code, name and
// password are URL-encoded; the page takes its password key in lower case.
std::string AccountPageUrl(std::string_view serviceAddress, std::string_view countryCode, std::string_view action,
                           std::string_view userId, std::string_view password);

// Whether address lies under base: same scheme, host and port, and a path
// that starts with base's path. "http://h:80" does not hold
// "http://h:8080/" nor "http://h:80.evil/".
bool AddressUnder(std::string_view base, std::string_view address);

// Takes the account name and password over from a page the account browser
// loaded, when the page lies under the order service's base address of
// programDir and carries the comments "<!-- UserID=... -->" and
// "<!-- Password=... -->". They go to section Account of the settings file.
// Returns whether anything was taken over. address and html are
// Windows-1252.
bool TakeOverAccount(const std::string& programDir, std::string_view address, std::string_view html);

} // namespace quillane
