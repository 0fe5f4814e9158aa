#include "orderd/ShopFetch.h"

#include "orderd/ServiceError.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <mutex>
#include <netinet/in.h>
#include <unistd.h>

namespace quillane::orderd {

namespace {

bool publicV4(std::uint32_t a)
{
    struct Range {
        std::uint32_t Net;
        int Bits;
    };
    // Not on the public internet: "this" network, private, shared (carrier
    // NAT), loopback, link-local, protocol assignments, documentation,
    // benchmarking, multicast, reserved and broadcast.
    static constexpr Range kClosed[] = {
        {0x00000000, 8},  {0x0A000000, 8},  {0x64400000, 10}, {0x7F000000, 8},  {0xA9FE0000, 16},
        {0xAC100000, 12}, {0xC0000000, 24}, {0xC0000200, 24}, {0xC0A80000, 16}, {0xC6120000, 15},
        {0xC6336400, 24}, {0xCB007100, 24}, {0xE0000000, 4},  {0xF0000000, 4},
    };
    for (const Range& r : kClosed) {
        const std::uint32_t mask = r.Bits == 0 ? 0 : ~std::uint32_t{0} << (32 - r.Bits);
        if ((a & mask) == r.Net) {
            return false;
        }
    }
    return true;
}

std::uint32_t v4At(const unsigned char* bytes)
{
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           bytes[3];
}

bool publicV6(const unsigned char* b)
{
    const auto zeros = [b](int from, int to) {
        for (int i = from; i < to; ++i) {
            if (b[i] != 0) {
                return false;
            }
        }
        return true;
    };
    // IPv4-mapped (::ffff:a.b.c.d) and IPv4-compatible (::a.b.c.d, :: and
    // ::1 among them) addresses reach the IPv4 address they hold.
    if (zeros(0, 10) && b[10] == 0xFF && b[11] == 0xFF) {
        return publicV4(v4At(b + 12));
    }
    if (zeros(0, 12)) {
        return false;
    }
    // NAT64 (64:ff9b::/96) and 6to4 (2002::/16) lead to an IPv4 address too.
    if (b[0] == 0x00 && b[1] == 0x64 && b[2] == 0xFF && b[3] == 0x9B && zeros(4, 12)) {
        return publicV4(v4At(b + 12));
    }
    if (b[0] == 0x20 && b[1] == 0x02) {
        return publicV4(v4At(b + 2));
    }
    const bool uniqueLocal = (b[0] & 0xFE) == 0xFC;               // fc00::/7
    const bool linkLocal = b[0] == 0xFE && (b[1] & 0xC0) == 0x80; // fe80::/10
    const bool siteLocal = b[0] == 0xFE && (b[1] & 0xC0) == 0xC0; // fec0::/10
    const bool multicast = b[0] == 0xFF;                          // ff00::/8
    const bool documentation = b[0] == 0x20 && b[1] == 0x01 && b[2] == 0x0D && b[3] == 0xB8;
    return !(uniqueLocal || linkLocal || siteLocal || multicast || documentation);
}

std::string addressText(const sockaddr* address)
{
    char text[INET6_ADDRSTRLEN] = "?";
    if (address->sa_family == AF_INET) {
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    } else if (address->sa_family == AF_INET6) {
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
    }
    return text;
}

struct Transfer {
    std::string body;
    std::size_t maxBytes = 0;
    std::stop_token stop;
    bool allowPrivate = false;
    bool tooLarge = false;
    std::string refusedAddress;
};

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (t.stop.stop_requested()) {
        return 0;
    }
    // Counted as it arrives, so that a large script is never held whole.
    if (n > t.maxBytes - t.body.size()) {
        t.tooLarge = true;
        return 0;
    }
    t.body.append(data, n);
    return n;
}

int checkStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Transfer*>(user)->stop.stop_requested() ? 1 : 0;
}

// Every connection libcurl opens, to the address it is about to use.
curl_socket_t openSocket(void* user, curlsocktype, curl_sockaddr* address)
{
    auto& t = *static_cast<Transfer*>(user);
    if (!t.allowPrivate && !IsPublicAddress(&address->addr)) {
        t.refusedAddress = addressText(&address->addr);
        return CURL_SOCKET_BAD;
    }
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

std::string quoted(const std::string& url)
{
    return "\"" + url + "\"";
}

} // namespace

bool IsPublicAddress(const sockaddr* address)
{
    if (address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        return publicV4(ntohl(in->sin_addr.s_addr));
    }
    if (address->sa_family == AF_INET6) {
        return publicV6(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr);
    }
    return false;
}

ShopFetch HttpShopFetch(bool allowPrivate)
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            throw ServiceError("The network library could not be started");
        }
    });
    return [allowPrivate](const std::string& url, std::size_t maxBytes, std::stop_token stop) {
        Transfer t;
        t.maxBytes = maxBytes;
        t.stop = std::move(stop);
        t.allowPrivate = allowPrivate;
        const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), &curl_easy_cleanup);
        CURL* h = handle.get();
        if (h == nullptr) {
            throw ServiceError("Cannot load " + quoted(url) + ": the network library could not start a transfer");
        }
        char errors[CURL_ERROR_SIZE] = {};
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errors);
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(h, CURLOPT_USERAGENT, "quillane-orderd");
        curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        // Straight to the shop: a proxy would connect where the check cannot see.
        curl_easy_setopt(h, CURLOPT_PROXY, "");
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 10L);
        curl_easy_setopt(h, CURLOPT_TIMEOUT, 60L);
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
        curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &openSocket);
        curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &t);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &writeBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &checkStop);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);

        const CURLcode rc = curl_easy_perform(h);
        if (rc == CURLE_FILESIZE_EXCEEDED || t.tooLarge) {
            throw ShopTooLarge("The answer from " + quoted(url) + " is larger than " + std::to_string(maxBytes) +
                               " bytes");
        }
        if (!t.refusedAddress.empty() && rc != CURLE_OK) {
            throw ServiceError("Cannot load " + quoted(url) + ": its server's address " + t.refusedAddress +
                               " is not public (quillane-orderd serve --allow-private-shops reads such shops)");
        }
        if (rc != CURLE_OK) {
            if (t.stop.stop_requested()) {
                throw ServiceError("Loading " + quoted(url) + " was cancelled");
            }
            throw ServiceError("Cannot load " + quoted(url) + ": " +
                               (errors[0] != '\0' ? std::string(errors) : std::string(curl_easy_strerror(rc))));
        }
        long status = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
        if (status < 200 || status > 299) {
            throw ServiceError("Cannot load " + quoted(url) + ": HTTP status " + std::to_string(status));
        }
        return std::move(t.body);
    };
}

} // namespace quillane::orderd
