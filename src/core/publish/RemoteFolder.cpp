#include "core/publish/RemoteFolder.h"

#include "core/common/Error.h"
#include "core/common/Text.h"
#include "core/common/messages/OnlineMessages.h"
#include "core/common/messages/PublishMessages.h"
#include "core/publish/UploadManifest.h"

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace quillane {

namespace {

void initCurl()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            throw Error(msg::OnlineNetLibraryFailed);
        }
    });
}

std::string base64(const unsigned char* data, std::size_t size)
{
    std::string out(4 * ((size + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, static_cast<int>(size));
    out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return out;
}

std::string sha256(const unsigned char* data, std::size_t size)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr);
    return std::string(reinterpret_cast<const char*>(digest), length);
}

// Percent-encodes a name for a URL path; "/" included, so a name stays one.
std::string encodeName(std::string_view name)
{
    std::string out;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            std::string_view("-._~").find(c) != std::string_view::npos) {
            out += c;
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%.2X", b);
            out += buf;
        }
    }
    return out;
}

std::string joined(const std::vector<std::string>& folder)
{
    std::string path;
    for (const std::string& name : folder) {
        path += "/" + name;
    }
    return path.empty() ? "/" : path;
}

using Handle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

// What a request does, for its error: the message saying it failed, and the
// folder or file it names.
struct Doing {
    MessageKey Failed;
    std::string What;
};
using Slist = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

} // namespace

std::string SshKeyFingerprint(const std::string& rawKey)
{
    const std::string digest = sha256(reinterpret_cast<const unsigned char*>(rawKey.data()), rawKey.size());
    std::string b64 = base64(reinterpret_cast<const unsigned char*>(digest.data()), digest.size());
    // As ssh shows it: without the padding.
    while (!b64.empty() && b64.back() == '=') {
        b64.pop_back();
    }
    return "SHA256:" + b64;
}

std::string CertificatePin(const std::string& pem)
{
    const std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())),
                                                        &BIO_free);
    if (!bio) {
        return {};
    }
    const std::unique_ptr<X509, decltype(&X509_free)> cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr),
                                                           &X509_free);
    if (!cert) {
        return {};
    }
    unsigned char* der = nullptr;
    const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert.get()), &der);
    if (length <= 0) {
        return {};
    }
    const std::string digest = sha256(der, static_cast<std::size_t>(length));
    OPENSSL_free(der);
    return "sha256//" + base64(reinterpret_cast<const unsigned char*>(digest.data()), digest.size());
}

struct RemoteFolder::Session {
    UploadTarget target;
    FtpSettings settings;
    std::stop_token stop;
    static constexpr int kPollMilliseconds = 5;
    // The multi handle keeps the logged-in connection between requests.
    std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi{nullptr, &curl_multi_cleanup};
    Handle handle{nullptr, &curl_easy_cleanup};
    char errors[CURL_ERROR_SIZE] = {};
    std::string lastReply;
    std::string entryPath; // where the server logs the user in, once known
    bool loggedIn = false;

    // The host key check of SFTP: what the server showed when it was refused.
    std::string refusedKey;
    bool keyChanged = false;

    // Per request.
    std::string body;
    std::FILE* source = nullptr;
    bool text = false;
    bool heldCR = false;
    Sha256* digest = nullptr;
    const std::function<void(std::int64_t)>* progress = nullptr;
    std::int64_t reported = -1;

    bool sftp() const { return target.Scheme == UploadScheme::Sftp; }

    std::string url(const std::vector<std::string>& folder, const std::string& file = {}) const
    {
        const std::string host = target.Host.find(':') != std::string::npos ? "[" + target.Host + "]" : target.Host;
        // Explicit TLS goes through the ftp scheme; libcurl's ftps:// is the implicit kind.
        std::string u = (sftp() ? "sftp://" : "ftp://") + host + ":" + std::to_string(target.Port) + "/";
        if (sftp()) {
            u += "~/";
        }
        for (const std::string& name : folder) {
            u += encodeName(name) + "/";
        }
        return u + encodeName(file);
    }

    // An absolute path on the server for commands that take a path.
    std::string absolute(const std::vector<std::string>& folder, const std::string& name) const
    {
        std::string path = entryPath;
        if (!path.empty() && path.back() != '/') {
            path += '/';
        }
        for (const std::string& n : folder) {
            path += n + "/";
        }
        return path + name;
    }

    static int debug(CURL*, curl_infotype type, char* data, std::size_t size, void* user)
    {
        if (type == CURLINFO_HEADER_IN) {
            // The server's replies; the last complete one explains a failure.
            const std::string line = Trim(std::string_view(data, size).substr(0, 300));
            if (!line.empty()) {
                static_cast<Session*>(user)->lastReply = line;
            }
        }
        return 0;
    }

    static std::size_t write(char* data, std::size_t size, std::size_t count, void* user)
    {
        auto& s = *static_cast<Session*>(user);
        if (s.body.size() + size * count > 16 * 1024 * 1024) {
            return 0; // a listing this long is not a folder of a shop
        }
        s.body.append(data, size * count);
        return size * count;
    }

    static std::size_t read(char* buffer, std::size_t size, std::size_t count, void* user)
    {
        auto& s = *static_cast<Session*>(user);
        const std::size_t room = size * count;
        if (!s.text) {
            const std::size_t n = std::fread(buffer, 1, room, s.source);
            if (s.digest != nullptr) {
                s.digest->Update(buffer, n);
            }
            return n == 0 && std::ferror(s.source) != 0 ? CURL_READFUNC_ABORT : n;
        }
        // In ASCII mode libcurl turns every LF into CR LF; a CR LF of the file
        // would go as CR CR LF, which servers that store what they get keep.
        // So CR LF goes in as LF and the line ends on the wire are CR LF once.
        std::size_t out = 0;
        if (s.heldCR) {
            buffer[out++] = '\r';
            s.heldCR = false;
        }
        const std::size_t n = std::fread(buffer + out, 1, room - out, s.source);
        if (n == 0 && std::ferror(s.source) != 0) {
            return CURL_READFUNC_ABORT;
        }
        if (s.digest != nullptr) {
            s.digest->Update(buffer + out, n);
        }
        const std::size_t end = out + n;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < end; ++i) {
            if (buffer[i] == '\r') {
                if (i + 1 < end ? buffer[i + 1] == '\n' : false) {
                    continue;
                }
                if (i + 1 == end && n > 0) {
                    s.heldCR = true; // its LF may begin the next block
                    continue;
                }
            }
            buffer[kept++] = buffer[i];
        }
        if (kept == 0 && s.heldCR) {
            // A block that held only the CR: read on, so 0 does not end the file.
            return read(buffer, size, count, user);
        }
        return kept;
    }

    static int xferinfo(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow)
    {
        auto& s = *static_cast<Session*>(user);
        if (s.stop.stop_requested()) {
            return 1;
        }
        if (s.progress != nullptr && *s.progress && ulnow != s.reported) {
            s.reported = ulnow;
            (*s.progress)(ulnow);
        }
        return 0;
    }

    static int hostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match, void* user)
    {
        auto& s = *static_cast<Session*>(user);
        if (match == CURLKHMATCH_OK) {
            return CURLKHSTAT_FINE;
        }
        const std::string raw = found->len > 0 ? std::string(found->key, found->len) : std::string();
        const std::string fingerprint = raw.empty() ? std::string() : SshKeyFingerprint(raw);
        // A key that differs from the one known_hosts holds is refused even
        // when accepted before: that is what a server in the middle looks like.
        if (match == CURLKHMATCH_MISSING && !fingerprint.empty() && fingerprint == s.settings.TrustedKey) {
            return CURLKHSTAT_FINE;
        }
        s.refusedKey = fingerprint;
        s.keyChanged = match == CURLKHMATCH_MISMATCH;
        return CURLKHSTAT_REJECT;
    }

    void prepare()
    {
        CURL* h = handle.get();
        curl_easy_reset(h);
        errors[0] = '\0';
        lastReply.clear();
        body.clear();
        source = nullptr;
        text = false;
        heldCR = false;
        digest = nullptr;
        progress = nullptr;
        reported = -1;
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errors);
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, sftp() ? "sftp" : "ftp");
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 15L);
        curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, settings.StallSeconds);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, settings.StallSeconds);
        curl_easy_setopt(h, CURLOPT_USERNAME, settings.Login.c_str());
        curl_easy_setopt(h, CURLOPT_PASSWORD, settings.Password.c_str());
        curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &Session::debug);
        curl_easy_setopt(h, CURLOPT_DEBUGDATA, this);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Session::write);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Session::xferinfo);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
        // Proxies from the environment are for the web, not for the merchant's server.
        curl_easy_setopt(h, CURLOPT_PROXY, "");
        if (sftp()) {
            curl_easy_setopt(h, CURLOPT_SSH_KNOWNHOSTS, settings.KnownHostsFile.c_str());
            curl_easy_setopt(h, CURLOPT_SSH_KEYFUNCTION, &Session::hostKey);
            curl_easy_setopt(h, CURLOPT_SSH_KEYDATA, this);
            long auth = CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD;
            if (!settings.KeyFile.empty()) {
                auth |= CURLSSH_AUTH_PUBLICKEY;
                curl_easy_setopt(h, CURLOPT_SSH_PRIVATE_KEYFILE, settings.KeyFile.c_str());
            }
            curl_easy_setopt(h, CURLOPT_SSH_AUTH_TYPES, auth);
        } else {
            curl_easy_setopt(h, CURLOPT_FTP_USE_EPSV, 1L);
            curl_easy_setopt(h, CURLOPT_FTPPORT, nullptr); // passive
            if (target.Scheme == UploadScheme::Ftps) {
                curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
                if (settings.TrustedKey.starts_with("sha256//")) {
                    // The merchant accepted this server's own certificate: its key
                    // is what is checked then, not a chain the system trusts.
                    curl_easy_setopt(h, CURLOPT_PINNEDPUBLICKEY, settings.TrustedKey.c_str());
                    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
                    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
                }
            }
        }
    }

    // Whether a reply of the server refuses: its code is 4xx or 5xx. Any
    // other ("125 Data connection already open", "226 ...") only tells how
    // far the request had come.
    static bool refusal(std::string_view reply)
    {
        const auto digit = [](char c) { return c >= '0' && c <= '9'; };
        return reply.size() >= 3 && (reply[0] == '4' || reply[0] == '5') && digit(reply[1]) && digit(reply[2]);
    }

    // The reason of a failed request, for the merchant.
    std::string reason(CURLcode rc) const
    {
        // A server's refusal says why; a failure of the network or of TLS
        // happened after the last reply, which then says nothing.
        const bool serverSaid = rc != CURLE_COULDNT_CONNECT && rc != CURLE_OPERATION_TIMEDOUT &&
                                rc != CURLE_PEER_FAILED_VERIFICATION && rc != CURLE_SSL_CONNECT_ERROR &&
                                rc != CURLE_SSL_PINNEDPUBKEYNOTMATCH && rc != CURLE_USE_SSL_FAILED;
        if (!sftp() && serverSaid && refusal(lastReply)) {
            return lastReply;
        }
        return errors[0] != '\0' ? std::string(errors) : std::string(curl_easy_strerror(rc));
    }

    // The certificate key the server shows, fetched without a password.
    std::string probeCertificate() const
    {
        const Handle probe(curl_easy_init(), &curl_easy_cleanup);
        if (!probe) {
            return {};
        }
        CURL* h = probe.get();
        curl_easy_setopt(h, CURLOPT_URL, url({}).c_str());
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 15L);
        curl_easy_setopt(h, CURLOPT_PROXY, "");
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(h, CURLOPT_CERTINFO, 1L);
        curl_easy_setopt(h, CURLOPT_USERNAME, "anonymous");
        curl_easy_setopt(h, CURLOPT_PASSWORD, "");
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
        curl_easy_perform(h);
        curl_certinfo* info = nullptr;
        if (curl_easy_getinfo(h, CURLINFO_CERTINFO, &info) != CURLE_OK || info == nullptr || info->num_of_certs < 1) {
            return {};
        }
        for (curl_slist* field = info->certinfo[0]; field != nullptr; field = field->next) {
            const std::string_view text(field->data);
            if (text.starts_with("Cert:")) {
                return CertificatePin(std::string(text.substr(5)));
            }
        }
        return {};
    }

    [[noreturn]] void fail(CURLcode rc, const Doing& doing)
    {
        const std::string where = target.Display();
        if (stop.stop_requested()) {
            throw Error(msg::UploadCancelled, {where});
        }
        if (sftp() && (rc == CURLE_PEER_FAILED_VERIFICATION || !refusedKey.empty())) {
            const std::string known = settings.KnownHostsFile;
            throw UnknownServerKey(
                Message{keyChanged ? msg::UploadHostKeyChanged : msg::UploadHostKeyUnknown, {where, refusedKey, known}},
                target, refusedKey);
        }
        if (target.Scheme == UploadScheme::Ftps &&
            (rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_SSL_PINNEDPUBKEYNOTMATCH)) {
            const std::string pin = probeCertificate();
            const MessageArg shown = pin.empty() ? MessageArg(Message{msg::UploadKeyNotShown, {}}) : MessageArg(pin);
            throw UnknownServerKey(rc == CURLE_SSL_PINNEDPUBKEYNOTMATCH
                                       ? Message{msg::UploadCertificateKeyMismatch, {where, shown}}
                                       : Message{msg::UploadCertificateUntrusted, {where, reason(rc), shown}},
                                   target, pin);
        }
        if (!loggedIn) {
            if (rc == CURLE_LOGIN_DENIED) {
                throw Error(msg::UploadLoginDenied, {where, settings.Login, reason(rc)});
            }
            throw Error(msg::UploadCannotConnect, {where, reason(rc)});
        }
        throw Error(doing.Failed, {doing.What, where, reason(rc)});
    }

    // Runs the request through the multi interface and looks at it every few
    // milliseconds: the easy interface sometimes misses a passive-mode reply
    // that came in with the one before and sleeps a whole second per file.
    CURLcode drive()
    {
        if (curl_multi_add_handle(multi.get(), handle.get()) != CURLM_OK) {
            return CURLE_FAILED_INIT;
        }
        int running = 1;
        CURLMcode mc = CURLM_OK;
        while (running > 0 && mc == CURLM_OK) {
            mc = curl_multi_perform(multi.get(), &running);
            if (running > 0 && mc == CURLM_OK) {
                mc = curl_multi_poll(multi.get(), nullptr, 0, kPollMilliseconds, nullptr);
            }
        }
        CURLcode rc = mc == CURLM_OK ? CURLE_OK : CURLE_FAILED_INIT;
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == handle.get()) {
                rc = msg->data.result;
            }
        }
        curl_multi_remove_handle(multi.get(), handle.get());
        return rc;
    }

    void perform(const Doing& doing)
    {
        if (stop.stop_requested()) {
            fail(CURLE_ABORTED_BY_CALLBACK, doing);
        }
        const CURLcode rc = drive();
        if (rc != CURLE_OK) {
            fail(rc, doing);
        }
        if (!loggedIn) {
            loggedIn = true;
            char* entry = nullptr;
            if (curl_easy_getinfo(handle.get(), CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry != nullptr) {
                entryPath = entry;
            }
        }
    }
};

RemoteFolder::RemoteFolder(const UploadTarget& target, const FtpSettings& settings, std::stop_token stop)
    : s_(std::make_unique<Session>())
{
    initCurl();
    s_->target = target;
    s_->settings = settings;
    if (s_->settings.KnownHostsFile.empty()) {
        const char* home = std::getenv("HOME");
        s_->settings.KnownHostsFile = std::string(home != nullptr && *home != '\0' ? home : "/") + "/.ssh/known_hosts";
    }
    s_->stop = std::move(stop);
    s_->handle.reset(curl_easy_init());
    s_->multi.reset(curl_multi_init());
    if (!s_->handle || !s_->multi) {
        throw Error(msg::UploadNoTransfer, {target.Display()});
    }
}

RemoteFolder::~RemoteFolder() = default;

std::string RemoteFolder::LastReply() const
{
    return s_->lastReply;
}

std::vector<std::string> RemoteFolder::List(const std::vector<std::string>& folder)
{
    s_->prepare();
    CURL* h = s_->handle.get();
    const std::string url = s_->url(folder);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_DIRLISTONLY, 1L);
    s_->perform({msg::UploadListFailed, joined(folder)});
    std::vector<std::string> names;
    for (std::string& line : SplitLines(s_->body)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
            line.pop_back();
        }
        // Some servers list paths rather than names.
        const std::size_t slash = line.find_last_of('/');
        if (slash != std::string::npos) {
            line.erase(0, slash + 1);
        }
        if (!line.empty() && line != "." && line != "..") {
            names.push_back(std::move(line));
        }
    }
    return names;
}

void RemoteFolder::MakeFolder(const std::vector<std::string>& folder, const std::string& name)
{
    s_->prepare();
    CURL* h = s_->handle.get();
    const std::string path = s_->absolute(folder, name);
    std::string command;
    if (s_->sftp()) {
        std::string quoted;
        for (const char c : path) {
            if (c == '"' || c == '\\') {
                quoted += '\\';
            }
            quoted += c;
        }
        command = "mkdir \"" + quoted + "\"";
    } else {
        command = "MKD " + path;
    }
    Slist quote(curl_slist_append(nullptr, command.c_str()), &curl_slist_free_all);
    const std::string url = s_->url(folder);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_QUOTE, quote.get());
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    s_->perform({msg::UploadMakeFolderFailed, joined(folder) + (folder.empty() ? "" : "/") + name});
}

void RemoteFolder::Put(const std::vector<std::string>& folder, const std::string& name, const std::string& localFile,
                       std::int64_t size, bool text, const std::function<void(std::int64_t)>& progress,
                       std::string* sha256)
{
    s_->prepare();
    CURL* h = s_->handle.get();
    std::FILE* file = std::fopen(localFile.c_str(), "rb");
    if (file == nullptr) {
        throw Error(msg::UploadCannotReadFile, {localFile});
    }
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> closer(file, &std::fclose);
    s_->source = file;
    s_->progress = &progress;
    const std::string url = s_->url(folder, name);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, &Session::read);
    curl_easy_setopt(h, CURLOPT_READDATA, s_.get());
    // SFTP knows no ASCII mode: files go as they are.
    s_->text = text && !s_->sftp();
    // In ASCII mode the bytes on the wire are not the file's bytes, so libcurl
    // must not hold the transfer to the file's size.
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(s_->text ? -1 : size));
    curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, s_->text ? 1L : 0L);
    std::string shown = joined(folder);
    shown += (folder.empty() ? "" : "/") + name;
    Sha256 digest;
    s_->digest = sha256 != nullptr ? &digest : nullptr;
    s_->perform({msg::UploadStoreFailed, shown});
    if (sha256 != nullptr) {
        *sha256 = digest.HexDigest();
    }
    if (progress) {
        progress(size);
    }
}

} // namespace quillane
