#include "orderd/OrderServer.h"

#include "core/common/Error.h"
#include "core/common/Text.h"
#include "orderd/OrderIntake.h"

#include <httplib.h>
#include <iostream>
#include <sys/socket.h>

namespace quillane::orderd {

namespace {

constexpr const char* kScripts = R"((?:/.*)?/qln/shopscripts/)";

std::string route(const char* script)
{
    return std::string(kScripts) + script;
}

// The query as sent, undecoded: the service decodes it into its own bytes.
std::string_view rawQuery(const httplib::Request& req)
{
    const std::string_view target = req.target;
    const std::size_t q = target.find('?');
    return q == std::string_view::npos ? std::string_view() : target.substr(q + 1);
}

void send(httplib::Response& res, const Answer& answer)
{
    res.status = answer.Status;
    for (const auto& [name, value] : answer.Headers) {
        res.set_header(name, value);
    }
    res.set_content(answer.Body, answer.ContentType.c_str());
}

void sendText(httplib::Response& res, int status, const std::string& text)
{
    send(res, Answer{status, "text/plain; charset=windows-1252", text + "\n", {}});
}

// Reads the body through the reader, up to the order limit. False when it
// is larger or broke off.
bool readBody(const httplib::ContentReader& reader, std::string& body)
{
    bool tooLarge = false;
    const bool complete = reader([&](const char* data, std::size_t length) {
        if (body.size() + length > OrderLimits::kMaxBody) {
            tooLarge = true;
            return false;
        }
        body.append(data, length);
        return true;
    });
    return complete && !tooLarge;
}

} // namespace

OrderServer::OrderServer(OrderService& service, bool trustProxy)
    : service_(service), trustProxy_(trustProxy), server_(std::make_unique<httplib::Server>())
{
    httplib::Server& s = *server_;
    s.set_payload_max_length(OrderLimits::kMaxBody);
    // The library's default also sets SO_REUSEPORT, which would let a second
    // service on the same port take a share of the orders into its own
    // database. A restart may still take the port at once.
    s.set_socket_options([](socket_t sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    s.set_keep_alive_timeout(3);
    // An answer goes out as headers and body; without this the body waits for
    // the client's delayed acknowledgement, some 40 ms per order.
    s.set_tcp_nodelay(true);

    const auto clientAddress = [this](const httplib::Request& req) {
        if (trustProxy_ && req.has_header("X-Forwarded-For")) {
            const SplitArray hops = Split(',', req.get_header_value("X-Forwarded-For"));
            return Trim(hops.back());
        }
        return req.remote_addr;
    };

    // The shop's page reads nothing of the answer but its status, and only
    // when the service allows any origin.
    s.set_post_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (req.path.ends_with("putorder.php4") && !res.has_header("Access-Control-Allow-Origin")) {
            res.set_header("Access-Control-Allow-Origin", "*");
        }
    });
    s.Options(route(R"(putorder\.php4)"), [](const httplib::Request&, httplib::Response& res) {
        res.status = 204;
        res.set_header("Access-Control-Allow-Methods", "POST, OPTIONS");
        res.set_header("Access-Control-Allow-Headers", "Content-Type");
        res.set_header("Access-Control-Max-Age", "86400");
    });
    s.Post(route(R"(putorder\.php4)"), [this](const httplib::Request&, httplib::Response& res,
                                              const httplib::ContentReader& reader) {
        std::string body;
        if (!readBody(reader, body)) {
            sendText(res, 413, "The order is larger than " + std::to_string(OrderLimits::kMaxBody / 1024) + " KiB");
            return;
        }
        send(res, service_.PutOrder(body));
    });
    s.Get(route(R"(getorders\.php4)"), [this, clientAddress](const httplib::Request& req, httplib::Response& res) {
        send(res, service_.GetOrders(rawQuery(req), clientAddress(req)));
    });
    s.Get(route(R"(accountmanager\.php4)"), [this, clientAddress](const httplib::Request& req, httplib::Response& res) {
        send(res, service_.AccountManager(false, rawQuery(req), {}, clientAddress(req)));
    });
    s.Post(route(R"(accountmanager\.php4)"), [this, clientAddress](const httplib::Request& req, httplib::Response& res,
                                                                   const httplib::ContentReader& reader) {
        std::string body;
        if (!readBody(reader, body)) {
            sendText(res, 413, "The form is too large");
            return;
        }
        send(res, service_.AccountManager(true, rawQuery(req), body, clientAddress(req)));
    });

    s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr failure) {
        // The order was not stored: the shop must not hear 2xx.
        std::string reason = "unknown failure";
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            reason = e.what();
        } catch (...) {
        }
        std::cerr << "quillane-orderd: " << reason << std::endl;
        sendText(res, 503, "The order service cannot answer just now");
    });
    s.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        if (res.status == 413) {
            sendText(res, 413, "The request is larger than " + std::to_string(OrderLimits::kMaxBody / 1024) + " KiB");
        } else if (res.status == 404) {
            sendText(res, 404, "There is nothing here");
        } else {
            sendText(res, res.status, "The request cannot be answered (HTTP " + std::to_string(res.status) + ")");
        }
        return httplib::Server::HandlerResponse::Handled;
    }));
}

OrderServer::~OrderServer() = default;

int OrderServer::Bind(const std::string& host, int port)
{
    const int bound = port == 0 ? server_->bind_to_any_port(host) : (server_->bind_to_port(host, port) ? port : -1);
    if (bound <= 0) {
        throw Error("Cannot listen on " + host + ":" + std::to_string(port) +
                    ": the address is taken or not this machine's");
    }
    return bound;
}

void OrderServer::Run()
{
    server_->listen_after_bind();
}

void OrderServer::Stop()
{
    server_->stop();
}

} // namespace quillane::orderd
