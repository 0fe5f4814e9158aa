#pragma once

// Real FTP, FTPS and SFTP servers on 127.0.0.1 for the upload tests, and a
// test order service for the order fetch, each started by the test that
// needs it and stopped when it goes. A server that
// does not come up throws std::runtime_error with its own complaint, so the
// test fails instead of passing without a server.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <pwd.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#ifndef QUILLANE_NET_DIR
#error "QUILLANE_NET_DIR must name the folder of the peer scripts, ending in /"
#endif

extern char** environ;

namespace quillane::test {

namespace netpeer {

inline std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// Debian's python3 first: its packages (pyftpdlib, OpenSSL) are what the peers
// need, and a python3 found earlier on the PATH may lack them.
inline std::string python()
{
    return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

// A folder of its own under the temporary folder, removed with all it holds.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string name = (std::filesystem::temp_directory_path() / "quillane-peer-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) {
            throw std::runtime_error("cannot make a folder like " + name);
        }
        path_ = name;
    }
    ~ScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A program in a process group of its own with no input and its output
// appended to a file. Stopping sends SIGTERM to the program, so it can end
// what it started, and SIGKILL to the group when it does not end in time.
class Process {
public:
    Process(const std::vector<std::string>& argv, const std::string& outputFile)
    {
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);

        posix_spawn_file_actions_t files;
        ::posix_spawn_file_actions_init(&files);
        ::posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(&files, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ::posix_spawn_file_actions_adddup2(&files, 1, 2);

        // A test runner may block or ignore signals; the server must not inherit that.
        posix_spawnattr_t attributes;
        ::posix_spawnattr_init(&attributes);
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        ::posix_spawnattr_setpgroup(&attributes, 0);
        sigset_t none;
        sigemptyset(&none);
        ::posix_spawnattr_setsigmask(&attributes, &none);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE, SIGCHLD}) {
            sigaddset(&defaults, signal);
        }
        ::posix_spawnattr_setsigdefault(&attributes, &defaults);

        const int error = ::posix_spawnp(&pid_, args[0], &files, &attributes, args.data(), environ);
        ::posix_spawn_file_actions_destroy(&files);
        ::posix_spawnattr_destroy(&attributes);
        if (error != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
        }
    }
    ~Process() { stop(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Whether the program has not ended yet; leaves an ended one unreaped so
    // its process group cannot be taken by another process meanwhile.
    bool running() const
    {
        siginfo_t info{};
        return pid_ > 0 && ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == 0;
    }

    // Ends the program and whatever is left of its group; gives its wait status.
    int stop()
    {
        if (pid_ <= 0) {
            return status_;
        }
        ::kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (running() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(-pid_, SIGKILL);
        while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return status_;
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
};

// Runs a program to its end; throws with its output when it fails.
inline void run(const std::vector<std::string>& argv, const std::string& outputFile)
{
    Process process(argv, outputFile);
    while (process.running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int status = process.stop();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(argv[0] + " " + argv[1] + " failed:\n" + readAll(outputFile));
    }
}

// Waits until the server writes file, its sign of being ready, and gives
// what it holds. Throws with the server's output when it ends first or takes
// longer than a server should.
inline std::string awaitFile(const Process& server, const std::string& what, const std::string& file,
                             const std::string& outputFile)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec) && std::filesystem::file_size(file, ec) > 0) {
            return readAll(file);
        }
        if (!server.running()) {
            throw std::runtime_error(what + " ended before it was ready:\n" + readAll(outputFile));
        }
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error(what + " did not come up within 10 s:\n" + readAll(outputFile));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

inline int portFrom(const std::string& text, const std::string& what)
{
    const std::string digits = trimmed(text);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        throw std::runtime_error(what + " wrote no port but \"" + digits + "\"");
    }
    return std::stoi(digits);
}

} // namespace netpeer

struct FtpPeerOptions {
    bool tls = false; // explicit TLS (AUTH TLS), required for login and data
    std::string user = "merchant";
    std::string password = "secret";
};

// An FTP server (tests/net/ftp_peer.py) whose one user logs in to root.
class FtpPeer {
public:
    explicit FtpPeer(const std::string& root, FtpPeerOptions options = {})
        : user_(std::move(options.user)), password_(std::move(options.password))
    {
        const std::string output = dir_.file("peer.out");
        std::vector<std::string> argv{netpeer::python(), QUILLANE_NET_DIR "ftp_peer.py",
                                      "--root",          root,
                                      "--user",          user_,
                                      "--password",      password_,
                                      "--log",           dir_.file("commands.log"),
                                      "--port-file",     dir_.file("port")};
        if (options.tls) {
            certificate_ = dir_.file("cert.pem");
            makeCertificate(dir_.file("key.pem"), dir_.file("openssl.out"));
            argv.insert(argv.end(), {"--tls", certificate_, dir_.file("key.pem")});
        }
        server_.emplace(argv, output);
        port_ =
            netpeer::portFrom(netpeer::awaitFile(*server_, "the FTP peer", dir_.file("port"), output), "the FTP peer");
    }
    ~FtpPeer() = default;
    FtpPeer(const FtpPeer&) = delete;
    FtpPeer& operator=(const FtpPeer&) = delete;

    int port() const { return port_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }

    // Every command line received so far, as sent ("USER merchant",
    // "PASS ***", "MKD a", "STOR index.html", ...); the password is hidden.
    // A command is here before the client has the server's answer to it.
    std::vector<std::string> commands() const
    {
        const std::string log = netpeer::readAll(dir_.file("commands.log"));
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
            lines.push_back(log.substr(start, end - start));
        }
        return lines;
    }

    // With tls: the pin of the server's certificate, "sha256//<base64 of the
    // SHA-256 of its SubjectPublicKeyInfo>", as CURLOPT_PINNEDPUBLICKEY takes it.
    const std::string& certificatePin() const
    {
        requireTls();
        return pin_;
    }
    // With tls: the self-signed certificate (PEM, for 127.0.0.1), to trust it as a CA.
    const std::string& certificateFile() const
    {
        requireTls();
        return certificate_;
    }

private:
    void requireTls() const
    {
        if (certificate_.empty()) {
            throw std::logic_error("the FTP peer speaks plain FTP; it has no certificate");
        }
    }

    void makeCertificate(const std::string& key, const std::string& output)
    {
        netpeer::run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                      "-keyout", key, "-out", certificate_, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                      "subjectAltName=IP:127.0.0.1"},
                     output);
        const std::string pem = dir_.file("pub.pem");
        const std::string der = dir_.file("pub.der");
        const std::string digest = dir_.file("pub.sha256");
        const std::string base64 = dir_.file("pub.sha256.b64");
        netpeer::run({"openssl", "x509", "-in", certificate_, "-pubkey", "-noout", "-out", pem}, output);
        netpeer::run({"openssl", "pkey", "-pubin", "-in", pem, "-outform", "der", "-out", der}, output);
        netpeer::run({"openssl", "dgst", "-sha256", "-binary", "-out", digest, der}, output);
        netpeer::run({"openssl", "base64", "-A", "-in", digest, "-out", base64}, output);
        pin_ = "sha256//" + netpeer::trimmed(netpeer::readAll(base64));
    }

    // Declared first, so it goes last: the server still writes into it.
    netpeer::ScratchDir dir_;
    std::string user_;
    std::string password_;
    std::string certificate_;
    std::string pin_;
    std::optional<netpeer::Process> server_;
    int port_ = 0;
};

// OpenSSH's sshd (run by tests/net/sftp_peer.py) for the current user, who
// logs in with keyFile() only and starts in root.
class SftpPeer {
public:
    explicit SftpPeer(const std::string& root) : state_(dir_.file("state"))
    {
        const std::string output = dir_.file("peer.out");
        server_.emplace(std::vector<std::string>{netpeer::python(), QUILLANE_NET_DIR "sftp_peer.py", "--root", root,
                                                 "--state", state_},
                        output);
        port_ =
            netpeer::portFrom(netpeer::awaitFile(*server_, "the SFTP peer", state_ + "/port", output), "the SFTP peer");
        fingerprint_ = netpeer::trimmed(netpeer::readAll(state_ + "/fingerprint"));
    }
    ~SftpPeer() = default;
    SftpPeer(const SftpPeer&) = delete;
    SftpPeer& operator=(const SftpPeer&) = delete;

    int port() const { return port_; }
    // The current user's name: sshd runs as that user and lets only it in.
    std::string user() const
    {
        const passwd* entry = ::getpwuid(::geteuid());
        if (entry == nullptr) {
            throw std::runtime_error("the current user has no name");
        }
        return entry->pw_name;
    }
    std::string keyFile() const { return state_ + "/user_key"; }
    std::string publicKeyFile() const { return state_ + "/user_key.pub"; }
    // Knows this server as "[127.0.0.1]:port".
    std::string knownHostsFile() const { return state_ + "/known_hosts"; }
    // The host key's "SHA256:<base64>", as ssh shows it.
    const std::string& fingerprint() const { return fingerprint_; }

private:
    netpeer::ScratchDir dir_;
    std::string state_;
    std::optional<netpeer::Process> server_;
    int port_ = 0;
    std::string fingerprint_;
};

// The test order service (tests/net/order_service.py): one account, whose
// orders are the bytes the test sets as the reply.
class OrderServicePeer {
public:
    OrderServicePeer(std::string user, std::string password)
    {
        const std::string output = dir_.file("peer.out");
        server_.emplace(std::vector<std::string>{netpeer::python(), QUILLANE_NET_DIR "order_service.py", "--user",
                                                 std::move(user), "--password", std::move(password), "--reply",
                                                 dir_.file("reply"), "--truncate", dir_.file("truncate"), "--log",
                                                 dir_.file("requests.log"), "--port-file", dir_.file("port")},
                        output);
        port_ = netpeer::portFrom(netpeer::awaitFile(*server_, "the order service", dir_.file("port"), output),
                                  "the order service");
    }
    ~OrderServicePeer() = default;
    OrderServicePeer(const OrderServicePeer&) = delete;
    OrderServicePeer& operator=(const OrderServicePeer&) = delete;

    int port() const { return port_; }
    // The base address, as OrderService in quillane.ini takes it.
    std::string address() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

    // What the service answers the account with from now on.
    void setReply(const std::string& body) const { write(dir_.file("reply"), body); }
    // Whether answers break off before their announced end.
    void setTruncated(bool truncated) const
    {
        if (truncated) {
            write(dir_.file("truncate"), "1");
        } else {
            std::filesystem::remove(dir_.file("truncate"));
        }
    }

    // Every request line received so far ("GET /qln/...?UserID=...&Password=... HTTP/1.1").
    std::vector<std::string> requests() const
    {
        const std::string log = netpeer::readAll(dir_.file("requests.log"));
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
            lines.push_back(log.substr(start, end - start));
        }
        return lines;
    }

private:
    static void write(const std::string& path, const std::string& content)
    {
        std::ofstream out(path + ".part", std::ios::binary);
        out << content;
        out.close();
        std::filesystem::rename(path + ".part", path);
    }

    netpeer::ScratchDir dir_;
    std::optional<netpeer::Process> server_;
    int port_ = 0;
};

} // namespace quillane::test
