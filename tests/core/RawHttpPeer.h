#pragma once

// An HTTP server on 127.0.0.1, run by a thread of the test, that answers
// every request with the same bytes, status line and headers included, so a
// test can send what no well-behaved server would: a gzip bomb, an answer
// that drips in a byte at a time, control characters in the status line.

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace quillane::test {

class RawHttpPeer {
public:
    // answer: the whole answer. With drip, the bytes after the headers go
    // one at a time with that pause between them, until the client hangs up.
    explicit RawHttpPeer(std::string answer, std::chrono::milliseconds drip = {})
        : answer_(std::move(answer)), drip_(drip)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("the raw HTTP peer cannot listen on 127.0.0.1");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~RawHttpPeer()
    {
        stopping_ = true;
        thread_.join();
        ::close(listener_);
    }
    RawHttpPeer(const RawHttpPeer&) = delete;
    RawHttpPeer& operator=(const RawHttpPeer&) = delete;

    // The base address, as OrderService in quillane.ini takes it.
    std::string address() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    // Waits up to 50 ms for fd; false when stopping.
    bool ready(int fd, short events) const
    {
        while (!stopping_) {
            pollfd p{fd, events, 0};
            if (::poll(&p, 1, 50) > 0) {
                return true;
            }
        }
        return false;
    }

    void serve()
    {
        while (ready(listener_, POLLIN)) {
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client >= 0) {
                answer(client);
                ::close(client);
            }
        }
    }

    void answer(int client)
    {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            if (!ready(client, POLLIN)) {
                return;
            }
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return;
            }
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const std::size_t headEnd = answer_.find("\r\n\r\n");
        const std::size_t sentAtOnce = drip_.count() > 0 && headEnd != std::string::npos ? headEnd + 4 : answer_.size();
        if (!sendAll(client, answer_.data(), sentAtOnce)) {
            return;
        }
        for (std::size_t at = sentAtOnce; at < answer_.size() && !stopping_; ++at) {
            std::this_thread::sleep_for(drip_);
            if (!sendAll(client, answer_.data() + at, 1)) {
                return;
            }
        }
    }

    bool sendAll(int client, const char* data, std::size_t size) const
    {
        while (size > 0) {
            if (!ready(client, POLLOUT)) {
                return false;
            }
            const ssize_t n = ::send(client, data, size, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    std::string answer_;
    std::chrono::milliseconds drip_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace quillane::test
