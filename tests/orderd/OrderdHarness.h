#pragma once

// The real quillane-orderd on 127.0.0.1 for the tests: started from the
// built program on SQLite in a fresh folder or on a fresh PostgreSQL
// database, asked with libcurl, sent orders encoded as the shop encodes
// them.

#include "core/orders/Crypt.h"
#include "orderd/OrderStore.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <curl/curl.h>
#include <fcntl.h>
#include <filesystem>
#include <libpq-fe.h>
#include <map>
#include <netinet/in.h>
#include <ostream>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#ifndef QUILLANE_ORDERD
#error "QUILLANE_ORDERD must name the built quillane-orderd"
#endif

extern char** environ;

namespace quillane::test {

// ------------------------------------------------------------ processes --

// The program with its standard input, output and error on pipes, in a
// process group of its own, with default signal handling.
class Spawned {
public:
    explicit Spawned(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv{QUILLANE_ORDERD};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (std::string& a : argv) {
            raw.push_back(a.data());
        }
        raw.push_back(nullptr);
        int in[2];
        int out[2];
        int err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            throw std::runtime_error("no pipe");
        }
        posix_spawn_file_actions_t files;
        ::posix_spawn_file_actions_init(&files);
        ::posix_spawn_file_actions_adddup2(&files, in[0], 0);
        ::posix_spawn_file_actions_adddup2(&files, out[1], 1);
        ::posix_spawn_file_actions_adddup2(&files, err[1], 2);
        posix_spawnattr_t attributes;
        ::posix_spawnattr_init(&attributes);
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        ::posix_spawnattr_setpgroup(&attributes, 0);
        sigset_t none;
        sigemptyset(&none);
        ::posix_spawnattr_setsigmask(&attributes, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int s : {SIGTERM, SIGINT, SIGPIPE, SIGCHLD}) {
            sigaddset(&defaults, s);
        }
        ::posix_spawnattr_setsigdefault(&attributes, &defaults);
        const int error = ::posix_spawn(&pid_, raw[0], &files, &attributes, raw.data(), environ);
        ::posix_spawn_file_actions_destroy(&files);
        ::posix_spawnattr_destroy(&attributes);
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        in_ = in[1];
        out_ = out[0];
        err_ = err[0];
        if (error != 0) {
            pid_ = -1;
            throw std::runtime_error(std::string("cannot start quillane-orderd: ") + std::strerror(error));
        }
    }
    ~Spawned()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        for (int fd : {in_, out_, err_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    Spawned(const Spawned&) = delete;
    Spawned& operator=(const Spawned&) = delete;

    void write(const std::string& text)
    {
        ::signal(SIGPIPE, SIG_IGN);
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(in_, text.data() + done, text.size() - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        ::close(in_);
        in_ = -1;
    }

    // One line of standard output, without its line end; throws when none
    // comes within the time.
    std::string readLine(std::chrono::seconds within = std::chrono::seconds(20))
    {
        const auto deadline = std::chrono::steady_clock::now() + within;
        for (;;) {
            if (const std::size_t eol = outBuffer_.find('\n'); eol != std::string::npos) {
                std::string line = outBuffer_.substr(0, eol);
                outBuffer_.erase(0, eol + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{out_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                throw std::runtime_error("quillane-orderd wrote no line; stdout so far: " + outBuffer_);
            }
            char buffer[4096];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) {
                throw std::runtime_error("quillane-orderd ended before writing a line: " + outBuffer_ + readAll(err_));
            }
            outBuffer_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    void signal(int number) const { ::kill(pid_, number); }
    pid_t pid() const { return pid_; }

    // Waits for the end; gives the wait status.
    int wait()
    {
        if (pid_ > 0) {
            while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
        }
        return status_;
    }

    // Whether it ends within the time; it is reaped then.
    bool endsWithin(std::chrono::seconds time)
    {
        const auto deadline = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Everything left on standard output and error, once it has ended.
    std::string restOfOutput() { return outBuffer_ + readAll(out_); }
    std::string errorOutput() { return readAll(err_); }

private:
    static std::string readAll(int fd)
    {
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

    pid_t pid_ = -1;
    int status_ = 0;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string outBuffer_;
};

struct RunResult {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// Runs a command of the program to its end.
inline RunResult runOrderd(const std::vector<std::string>& args, const std::string& input = {})
{
    Spawned p(args);
    p.write(input);
    const std::string err = p.errorOutput();
    const int status = p.wait();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), p.restOfOutput(), err};
}

// Cheap password hashes: the tests make many.
inline const std::vector<std::string> kFastHash{"--hash-ops", "1", "--hash-mem", "8"};

// ------------------------------------------------------------- storage --

enum class Backend { Sqlite, Postgres };

inline std::string backendName(Backend b)
{
    return b == Backend::Sqlite ? "Sqlite" : "Postgres";
}

inline void PrintTo(Backend b, std::ostream* os)
{
    *os << backendName(b);
}

// The PostgreSQL server the test script started, as a postgresql:// address
// of its maintenance database; empty when none runs.
inline std::string postgresServer()
{
    const char* address = std::getenv("QUILLANE_TEST_POSTGRES");
    return address ? address : "";
}

// A fresh, empty place for the service's data, gone afterwards.
class Storage {
public:
    explicit Storage(Backend backend) : backend_(backend)
    {
        std::random_device random;
        const std::string tag = std::to_string(random()) + std::to_string(random());
        if (backend == Backend::Sqlite) {
            dir_ = (std::filesystem::temp_directory_path() / ("quillane-orderd-" + tag)).string();
            return;
        }
        server_ = postgresServer();
        database_ = "orderd_" + tag;
        admin("CREATE DATABASE " + database_);
        const std::size_t slash = server_.rfind('/');
        address_ = server_.substr(0, slash + 1) + database_;
    }
    ~Storage()
    {
        if (backend_ == Backend::Sqlite) {
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
        } else {
            try {
                admin("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
            } catch (const std::exception&) {
            }
        }
    }
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;

    std::vector<std::string> args() const
    {
        return backend_ == Backend::Sqlite ? std::vector<std::string>{"--data", dir_}
                                           : std::vector<std::string>{"--db", address_};
    }
    orderd::StoreAddress address() const
    {
        return backend_ == Backend::Sqlite ? orderd::StoreAddress{dir_, ""} : orderd::StoreAddress{"", address_};
    }
    const std::string& dataDir() const { return dir_; }

private:
    // The test's own statements on the maintenance database; the names are
    // made of digits.
    void admin(const std::string& sql) const
    {
        PGconn* conn = PQconnectdb(server_.c_str());
        PGresult* r = PQstatus(conn) == CONNECTION_OK ? PQexec(conn, sql.c_str()) : nullptr;
        const bool ok = r && PQresultStatus(r) == PGRES_COMMAND_OK;
        const std::string message = PQerrorMessage(conn);
        PQclear(r);
        PQfinish(conn);
        if (!ok) {
            throw std::runtime_error(sql + ": " + message);
        }
    }

    Backend backend_;
    std::string dir_;
    std::string server_;
    std::string database_;
    std::string address_;
};

// ---------------------------------------------------------------- HTTP --

struct Reply {
    long Status = 0;
    std::string Body;
    std::map<std::string, std::string> Headers; // names in lower case

    std::string header(const std::string& name) const
    {
        const auto it = Headers.find(name);
        return it == Headers.end() ? std::string() : it->second;
    }
};

// A POST sends body as a form, like the shop; another method sends it
// when it is not empty. Headers are extra lines such as "Range: bytes=0-1".
inline Reply request(const std::string& method, const std::string& url, const std::string& body = {},
                     const std::string& contentType = "application/x-www-form-urlencoded;charset=UTF-8",
                     long timeoutSeconds = 60, const std::vector<std::string>& extraHeaders = {})
{
    CURL* curl = curl_easy_init();
    Reply reply;
    curl_slist* headers = nullptr;
    const auto onBody = +[](char* data, size_t size, size_t count, void* target) {
        static_cast<Reply*>(target)->Body.append(data, size * count);
        return size * count;
    };
    const auto onHeader = +[](char* data, size_t size, size_t count, void* target) {
        const std::string line(data, size * count);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            for (char& c : name) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            value.erase(value.find_last_not_of("\r\n") + 1);
            static_cast<Reply*>(target)->Headers[name] = value;
        }
        return size * count;
    };
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply);
    for (const std::string& line : extraHeaders) {
        headers = curl_slist_append(headers, line.c_str());
    }
    if (method == "POST" || !body.empty()) {
        headers = curl_slist_append(headers, ("Content-Type: " + contentType).c_str());
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    }
    if (method != "GET" && method != "POST") {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.Status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (rc != CURLE_OK) {
        reply.Status = -static_cast<long>(rc);
        reply.Body = curl_easy_strerror(rc);
    }
    return reply;
}

// --------------------------------------------------------- raw sockets --

// A TCP socket to the service from a loopback address of its own (all of
// 127/8 is this machine), so that the service sees many clients as from the
// internet. Connected when blocking, else the connect is under way.
inline int connectFrom(const std::string& source, int port, bool blocking = true)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    ::inet_pton(AF_INET, source.c_str(), &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        throw std::runtime_error("cannot bind a socket to " + source + ": " + std::strerror(error));
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error("cannot connect from " + source + ": " + std::strerror(error));
    }
    return fd;
}

inline void setTimeouts(int fd, int seconds)
{
    const timeval t{seconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &t, sizeof t);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
}

inline bool sendAll(int fd, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// What arrives until the service closes or the receive time-out passes.
inline std::string receiveAll(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// -------------------------------------------------- the shop's encoding --

// Bytes as the browser's encodeURIComponent writes a UTF-8 text.
inline std::string encodeURIComponent(const std::string& utf8)
{
    static const std::string kept = "-_.!~*'()";
    std::string out;
    for (unsigned char c : utf8) {
        if (std::isalnum(c) && c < 0x80) {
            out += static_cast<char>(c);
        } else if (kept.find(static_cast<char>(c)) != std::string::npos) {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// Form encoding as URLSearchParams serialises a value.
inline std::string formEncode(const std::string& text)
{
    static const std::string kept = "*-._";
    std::string out;
    for (unsigned char c : text) {
        if ((std::isalnum(c) && c < 0x80) || kept.find(static_cast<char>(c)) != std::string::npos) {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

using Fields = std::vector<std::pair<std::string, std::string>>;

// The body of the order page's request: each UTF-8 value scrambled as the
// shop does, Crypt(encodeURIComponent(value)).
inline std::string orderBody(const Fields& fields)
{
    std::string body;
    for (const auto& [name, value] : fields) {
        body += (body.empty() ? "" : "&") + formEncode(name) + "=" + formEncode(Crypt(encodeURIComponent(value)));
    }
    return body;
}

// A small valid order of one item; marker goes into the notes.
inline std::string validOrder(const std::string& account, const std::string& marker)
{
    return orderBody({{"UserID", account},
                      {"firstname", "Eva"},
                      {"lastname", "Muster"},
                      {"notes", marker},
                      {"itemcount", "1"},
                      {"item0", "Schaufel|GT-003|1|9.90|9.90"},
                      {"subtotal", "9.90"},
                      {"qdiscount", "0.00"},
                      {"pdiscount", "0.00"},
                      {"total", "9.90"},
                      {"vat", "1.88"},
                      {"shipping", "4.90"},
                      {"subamount", "16.68"},
                      {"paymentfee", "0.00"},
                      {"payment", "vk"}});
}

// ------------------------------------------------------------ the service --

class Service {
public:
    Service(const Storage& storage, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"serve", "--listen", "127.0.0.1:0"};
        for (const auto& a : storage.args()) {
            args.push_back(a);
        }
        args.insert(args.end(), kFastHash.begin(), kFastHash.end());
        args.insert(args.end(), extra.begin(), extra.end());
        process_ = std::make_unique<Spawned>(args);
        listening_ = process_->readLine();
        const std::string prefix = "listening on http://127.0.0.1:";
        if (!listening_.starts_with(prefix) || !listening_.ends_with("/")) {
            throw std::runtime_error("unexpected first line: " + listening_);
        }
        base_ = listening_.substr(13);
    }

    const std::string& listeningLine() const { return listening_; }
    std::string url(const std::string& script) const { return base_ + "qln/shopscripts/" + script; }
    int port() const { return std::stoi(base_.substr(base_.rfind(':') + 1)); }
    Spawned& process() { return *process_; }

    Reply putOrder(const std::string& body) const { return request("POST", url("putorder.php4"), body); }
    Reply getOrders(const std::string& user, const std::string& password) const
    {
        return request("GET", url("getorders.php4?UserID=" + escaped(user) + "&Password=" + escaped(password)));
    }
    static std::string escaped(const std::string& bytes)
    {
        std::string out;
        for (unsigned char c : bytes) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += std::isalnum(c) && c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string(hex);
        }
        return out;
    }

private:
    std::unique_ptr<Spawned> process_;
    std::string listening_;
    std::string base_;
};

// Creates an account with the command line, as an administrator would.
inline void addAccount(const Storage& storage, const std::string& name, const std::string& password,
                       const std::string& shop = {})
{
    std::vector<std::string> args{"account", "add", name, "--password-stdin"};
    for (const auto& a : storage.args()) {
        args.push_back(a);
    }
    if (!shop.empty()) {
        args.insert(args.end(), {"--shop", shop});
    }
    args.insert(args.end(), kFastHash.begin(), kFastHash.end());
    const RunResult r = runOrderd(args, password + "\n");
    if (r.ExitCode != 0) {
        throw std::runtime_error("account add " + name + " failed: " + r.Err);
    }
}

} // namespace quillane::test
