#pragma once

#include "orderd/OrderService.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

// The order service on HTTP. The three scripts answer under any path that
// ends in qln/shopscripts/, so a reverse proxy may put the service below a
// path of its own, but none is needed: slow or idle clients, floods of
// headers and bursts of connects leave the others answered.
namespace quillane::orderd {

struct ServerLimits {
    // To receive a request's headers and body, and again to send its answer;
    // a connection that takes longer is closed. An order of the largest size
    // needs some 17 KiB/s.
    std::chrono::seconds RequestTime{30};
    // A connection silent this long is closed, a kept-alive one too.
    std::chrono::seconds IdleTime{10};
    std::size_t MaxHeaderLines = 100;
    std::size_t MaxHeaderBytes = 16 * 1024; // request line and header lines
    unsigned MaxConnections = 1000;
    // Connections from one address; none behind a proxy, where every client
    // has the proxy's address.
    unsigned MaxPerAddress = 32;
    // Answers computed at once. Each may wait on the database or on a
    // merchant's shop for seconds; the connections' reading and writing
    // goes on meanwhile on the server's own thread.
    unsigned MaxWorkers = 128;
};

class OrderServer {
public:
    // trustProxy: the client's address is the last one of X-Forwarded-For,
    // as a reverse proxy in front sets it.
    OrderServer(OrderService& service, bool trustProxy, ServerLimits limits = {});
    ~OrderServer();
    OrderServer(const OrderServer&) = delete;
    OrderServer& operator=(const OrderServer&) = delete;

    // Listens on host and port (0: a free one); gives the port. Throws Error.
    int Bind(const std::string& host, int port);
    // Answers requests until Stop; the requests being answered then are
    // answered to the end. Throws Error when the server cannot start.
    void Run();
    // May be called from any thread, before Run too.
    void Stop();

private:
    class Loop;
    std::unique_ptr<Loop> loop_;
};

} // namespace quillane::orderd
