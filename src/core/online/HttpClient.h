#pragma once

#include "core/common/Error.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>

namespace quillane {

// The proxy server a request goes through; an empty host means a direct
// connection (proxy variables of the environment are ignored then, so the
// merchant's choice of a direct connection holds).
struct HttpProxy {
    std::string Host;
    std::int32_t Port = 8080;

    bool empty() const { return Host.empty(); }
};

// The server answered, but with a status other than success: it refused.
class HttpStatusError : public Error {
public:
    using Error::Error;
};

// Bounds of one download; 0 stands for none.
struct DownloadLimits {
    // Bytes of the body as saved, after any decompression: a small
    // compressed answer can unpack to gigabytes.
    std::uint64_t MaxBytes = 0;
    // The whole transfer, so that an answer dripping in slowly ends too.
    std::chrono::milliseconds Deadline{0};
};

// The program's HTTP client: one instance owned by the application and
// handed to whoever fetches something. Requests keep no state between them,
// so a request may run on a worker thread while another thread uses the
// client too. Only http and https addresses are fetched.
class HttpClient {
public:
    // A connection that does not come about within this time fails.
    static constexpr long kConnectTimeoutSeconds = 15;
    // The whole transfer has no time limit while data flows, unless the
    // caller sets one (DownloadLimits::Deadline); a transfer
    // slower than this many bytes per second for kStallSeconds ends.
    static constexpr long kLowSpeedBytesPerSecond = 1;
    static constexpr long kStallSeconds = 60;
    // A page read into memory may not grow beyond this.
    static constexpr std::size_t kMaxTextSize = 64 * 1024 * 1024;

    HttpClient();

    // The body of the answer, bytes unchanged. Throws Error naming the
    // address with the server's HTTP status or the network's reason, and
    // when stop is requested before the transfer has ended.
    std::string Get(const std::string& url, const HttpProxy& proxy = {}, std::stop_token stop = {}) const;

    // Saves the body of the answer as path, readable by its owner only (a
    // download may hold personal data). The file is written beside and
    // renamed at the end, so a failed download leaves any older file as it
    // was. Errors as for Get, and "Unable to write to <path>"; an answer
    // beyond the limits ends the transfer with an error saying so.
    void GetToFile(const std::string& url, const std::string& path, const HttpProxy& proxy = {},
                   std::stop_token stop = {}, const DownloadLimits& limits = {}) const;
};

} // namespace quillane
