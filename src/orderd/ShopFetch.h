#pragma once

#include "orderd/ServiceError.h"

#include <cstddef>
#include <functional>
#include <stop_token>
#include <string>
#include <sys/socket.h>

// Fetching the scripts of a merchant's published shop. The shop's address
// is typed by whoever opens an account, so the service must not be made to
// read its own machine or network for them.
namespace quillane::orderd {

// Gives the text at an address, at most maxBytes of it; throws
// ShopTooLarge beyond, Error when it cannot.
using ShopFetch = std::function<std::string(const std::string& url, std::size_t maxBytes, std::stop_token stop)>;

class ShopTooLarge : public ServiceError {
public:
    using ServiceError::ServiceError;
};

// Whether an address may be read without --allow-private-shops: none of
// the loopback, private, link-local, shared, multicast or reserved ranges
// of IPv4 and IPv6 (an IPv4 address inside an IPv6 one counts as itself).
bool IsPublicAddress(const sockaddr* address);

// Fetches with libcurl, straight, not through a proxy, over http and https
// and their redirects. Unless allowPrivate, every connection is checked as
// it is opened, to the address the name resolved to then, so that a name
// that resolves anew to a private address (DNS rebinding) is caught too.
ShopFetch HttpShopFetch(bool allowPrivate = false);

} // namespace quillane::orderd
