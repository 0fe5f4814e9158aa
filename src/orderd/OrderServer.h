#pragma once

#include "orderd/OrderService.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

// The order service on HTTP. The three scripts answer under any path that
// ends in qln/shopscripts/, so a reverse proxy may put the service below a
// path of its own.
namespace quillane::orderd {

class OrderServer {
public:
    // trustProxy: the client's address is the last one of X-Forwarded-For,
    // as a reverse proxy in front sets it.
    OrderServer(OrderService& service, bool trustProxy);
    ~OrderServer();
    OrderServer(const OrderServer&) = delete;
    OrderServer& operator=(const OrderServer&) = delete;

    // Listens on host and port (0: a free one); gives the port. Throws Error.
    int Bind(const std::string& host, int port);
    // Answers requests until Stop; the requests being answered then are
    // answered to the end.
    void Run();
    // May be called from any thread.
    void Stop();

private:
    OrderService& service_;
    bool trustProxy_;
    std::unique_ptr<httplib::Server> server_;
};

} // namespace quillane::orderd
