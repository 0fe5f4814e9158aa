#include "core/online/HttpClient.h"

#include "core/common/Error.h"
#include "core/common/Text.h"
#include "core/common/messages/OnlineMessages.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace quillane {

namespace {

// Where the body of an answer goes and what went wrong on the way.
struct Transfer {
    std::string* text = nullptr;
    std::FILE* file = nullptr;
    std::stop_token stop;
    DownloadLimits limits;
    std::uint64_t received = 0; // bytes of the body so far, decompressed
    std::string statusLine;
    bool tooLarge = false;
    bool writeFailed = false;
};

// The most bytes the body may have.
std::uint64_t maxBody(const Transfer& t)
{
    return t.text != nullptr ? HttpClient::kMaxTextSize : t.limits.MaxBytes;
}

Message sizeText(std::uint64_t bytes)
{
    constexpr std::uint64_t kMiB = 1024 * 1024;
    if (bytes >= kMiB && bytes % kMiB == 0) {
        return {msg::HttpSizeMegabytes, {std::to_string(bytes / kMiB)}};
    }
    return {msg::HttpSizeBytes, {std::to_string(bytes)}};
}

std::string durationText(std::chrono::milliseconds time)
{
    return time.count() % 1000 == 0 ? std::to_string(time.count() / 1000) + " s" : std::to_string(time.count()) + " ms";
}

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (t.stop.stop_requested()) {
        return 0;
    }
    // Counted as it arrives, before it is kept: the limit holds for what is
    // written, however little came over the wire.
    const std::uint64_t limit = maxBody(t);
    if (limit > 0 && t.received + n > limit) {
        t.tooLarge = true;
        return 0;
    }
    t.received += n;
    if (t.text != nullptr) {
        t.text->append(data, n);
    } else if (std::fwrite(data, 1, n, t.file) != n) {
        t.writeFailed = true;
        return 0;
    }
    return n;
}

// Keeps the last status line: after redirects that is the final answer's.
std::size_t readHeader(char* data, std::size_t size, std::size_t count, void* user)
{
    auto& t = *static_cast<Transfer*>(user);
    const std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        t.statusLine = Trim(line.substr(0, 200));
    }
    return size * count;
}

int checkStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Transfer*>(user)->stop.stop_requested() ? 1 : 0;
}

// "500 Internal Server Error" from the status line, or the bare number.
std::string statusText(const Transfer& t, long status)
{
    const std::size_t blank = t.statusLine.find(' ');
    if (blank != std::string::npos) {
        const std::string rest = Trim(t.statusLine.substr(blank + 1));
        if (rest.starts_with(std::to_string(status))) {
            return rest;
        }
    }
    return std::to_string(status);
}

void perform(const std::string& url, const HttpProxy& proxy, Transfer& t, const std::string& targetFile)
{
    if (!proxy.empty() && (proxy.Port < 1 || proxy.Port > 65535)) {
        throw Error(msg::HttpProxyPortInvalid, {std::to_string(proxy.Port)});
    }
    if (t.stop.stop_requested()) {
        throw Error(msg::HttpCancelled, {url});
    }
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), &curl_easy_cleanup);
    if (!handle) {
        throw Error(msg::HttpNoTransfer, {url});
    }
    CURL* h = handle.get();
    char errors[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errors);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(h, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, "Quillane/1.0");
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    // Signals would not work off the main thread; name look-ups then run in their own thread.
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, HttpClient::kConnectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, HttpClient::kLowSpeedBytesPerSecond);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, HttpClient::kStallSeconds);
    if (t.limits.Deadline.count() > 0) {
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(t.limits.Deadline.count()));
    }
    if (const std::uint64_t limit = maxBody(t); limit > 0) {
        // An announced length beyond it ends the transfer before it begins.
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limit));
    }
    // An empty proxy text switches off proxies from the environment as well.
    curl_easy_setopt(h, CURLOPT_PROXY, proxy.Host.c_str());
    if (!proxy.empty()) {
        curl_easy_setopt(h, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
        curl_easy_setopt(h, CURLOPT_PROXYPORT, static_cast<long>(proxy.Port));
    }
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &writeBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &readHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &checkStop);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);

    const auto started = std::chrono::steady_clock::now();
    const CURLcode rc = curl_easy_perform(h);
    if (rc != CURLE_OK) {
        if (t.tooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
            throw Error(msg::HttpTooLarge, {url, sizeText(maxBody(t))});
        }
        if (t.writeFailed) {
            throw Error(msg::HttpCannotWrite, {targetFile});
        }
        if (t.stop.stop_requested()) {
            throw Error(msg::HttpCancelled, {url});
        }
        // The library's clock and this one differ by a little; the other
        // time limits (connection, stall) end far from the deadline.
        if (rc == CURLE_OPERATION_TIMEDOUT && t.limits.Deadline.count() > 0 &&
            std::chrono::steady_clock::now() - started >= t.limits.Deadline * 9 / 10) {
            throw Error(msg::HttpTooSlow, {url, durationText(t.limits.Deadline)});
        }
        const std::string reason = errors[0] != '\0' ? std::string(errors) : curl_easy_strerror(rc);
        throw Error(msg::HttpCannotLoad, {url, reason});
    }
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
        throw HttpStatusError(msg::HttpStatus, {url, statusText(t, status)});
    }
}

} // namespace

HttpClient::HttpClient()
{
    // Global set-up must happen once, before any transfer and on one thread;
    // the application makes its client before any worker thread exists.
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            throw Error(msg::OnlineNetLibraryFailed);
        }
    });
}

std::string HttpClient::Get(const std::string& url, const HttpProxy& proxy, std::stop_token stop) const
{
    std::string body;
    Transfer t;
    t.text = &body;
    t.stop = std::move(stop);
    perform(url, proxy, t, {});
    return body;
}

void HttpClient::GetToFile(const std::string& url, const std::string& path, const HttpProxy& proxy,
                           std::stop_token stop, const DownloadLimits& limits) const
{
    const std::string partial = path + ".part";
    const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600);
    // Exactly 0600 whatever the umask, also for a file left by an earlier run.
    std::FILE* file = fd >= 0 && ::fchmod(fd, 0600) == 0 ? ::fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        if (fd >= 0) {
            ::close(fd);
            std::error_code ec;
            std::filesystem::remove(partial, ec);
        }
        throw Error(msg::HttpCannotWrite, {path});
    }
    Transfer t;
    t.file = file;
    t.stop = std::move(stop);
    t.limits = limits;
    std::error_code ec;
    try {
        perform(url, proxy, t, path);
    } catch (...) {
        std::fclose(file);
        std::filesystem::remove(partial, ec);
        throw;
    }
    const bool closed = std::fclose(file) == 0;
    if (closed) {
        std::filesystem::rename(partial, path, ec);
    }
    if (!closed || ec) {
        std::filesystem::remove(partial, ec);
        throw Error(msg::HttpCannotWrite, {path});
    }
}

} // namespace quillane
