#include "orderd/OrderServer.h"

#include "core/common/Text.h"
#include "orderd/OrderIntake.h"
#include "orderd/ServiceError.h"

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <iostream>
#include <microhttpd.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>
#include <vector>

// libmicrohttpd reads and writes every connection on the thread that runs
// Run, from an epoll set, and keeps at most a small pool of memory per
// connection; a slow or idle client costs that memory, never a thread. An
// answer that needs the store or a merchant's shop is computed by a worker
// while its connection is suspended.
namespace quillane::orderd {

namespace {

using Clock = std::chrono::steady_clock;

// Header lines and the request line live in it, and a little room to
// answer; whatever does not fit is refused by the library with 431.
constexpr std::size_t kConnectionMemory = 32 * 1024;
// How often the deadlines are looked at.
constexpr int kTickMs = 250;

enum class Route { Unknown, BadMethod, Preflight, PutOrder, GetOrders, AccountPage, AccountForm };

// Where the script's name follows qln/shopscripts/ at the end of the path.
Route routeOf(std::string_view path, std::string_view method)
{
    const auto is = [&](std::string_view script) {
        const std::string tail = "/qln/shopscripts/" + std::string(script);
        return path.ends_with(tail) && (path.size() == tail.size() || path.front() == '/');
    };
    const bool get = method == "GET" || method == "HEAD";
    if (is("putorder.php4") && method == "OPTIONS") {
        return Route::Preflight;
    }
    if (is("putorder.php4") && method == "POST") {
        return Route::PutOrder;
    }
    if (is("getorders.php4") && get) {
        return Route::GetOrders;
    }
    if (is("accountmanager.php4") && get) {
        return Route::AccountPage;
    }
    if (is("accountmanager.php4") && method == "POST") {
        return Route::AccountForm;
    }
    for (const char* known : {"GET", "HEAD", "POST", "PUT", "DELETE", "OPTIONS", "PATCH"}) {
        if (method == known) {
            return Route::Unknown;
        }
    }
    return Route::BadMethod;
}

Answer text(int status, const std::string& text)
{
    return Answer{status, "text/plain; charset=windows-1252", text + "\n", {}};
}

std::string kib(std::size_t bytes)
{
    return std::to_string(bytes / 1024) + " KiB";
}

void logLine(const std::string& line)
{
    static std::mutex lock;
    const std::lock_guard guard(lock);
    std::cerr << "quillane-orderd: " << line << std::endl;
}

std::string addressText(const sockaddr* address)
{
    char text[INET6_ADDRSTRLEN] = "";
    if (address && address->sa_family == AF_INET) {
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    } else if (address && address->sa_family == AF_INET6) {
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
    }
    return text;
}

// Threads for the answers, made when every one is busy, up to a limit;
// beyond it the answers wait their turn.
class Workers {
public:
    explicit Workers(unsigned max) : max_(std::max(1u, max)) {}
    ~Workers() { Join(); }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    void Submit(std::function<void()> job)
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (jobs_.size() > idle_ && threads_.size() < max_) {
            threads_.emplace_back([this] { work(); });
        } else {
            wake_.notify_one();
        }
    }

    // Does the jobs left and ends the threads.
    void Join()
    {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) {
            t.join();
        }
        threads_.clear();
    }

private:
    void work()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            wake_.wait(lock, [this] { return done_ || !jobs_.empty(); });
            --idle_;
            if (jobs_.empty()) {
                return;
            }
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    unsigned max_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;
    bool done_ = false;
};

// One connection, for its deadline.
struct Link {
    int Fd = -1;
    Clock::time_point Due;
    bool Computing = false; // its answer is being computed: no deadline
    bool Cut = false;
};

// One request, from its request line to its end.
struct Exchange {
    std::string Target; // as sent, with the query undecoded
    bool Started = false;
    Route Where = Route::Unknown;
    bool ToPutOrder = false;
    std::string Body;
    std::size_t Received = 0; // body bytes, kept or not
    bool TooLarge = false;
    std::string Client;
    bool Computing = false;
    std::optional<Answer> Ready; // set by the worker before it resumes the connection
};

} // namespace

class OrderServer::Loop {
public:
    Loop(OrderService& service, bool trustProxy, ServerLimits limits)
        : service_(service), trustProxy_(trustProxy), limits_(limits), workers_(limits.MaxWorkers),
          wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
        if (wake_ < 0) {
            throw ServiceError("The order service cannot start: no event descriptor");
        }
    }
    ~Loop()
    {
        workers_.Join();
        if (daemon_) {
            MHD_stop_daemon(daemon_);
        }
        if (listen_ >= 0) {
            ::close(listen_);
        }
        ::close(wake_);
    }
    Loop(const Loop&) = delete;
    Loop& operator=(const Loop&) = delete;

    int bind(const std::string& host, int port)
    {
        const std::string shown = host + ":" + std::to_string(port);
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE;
        addrinfo* found = nullptr;
        if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
            found = nullptr;
        }
        for (const addrinfo* a = found; a && listen_ < 0; a = a->ai_next) {
            const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
            if (fd < 0) {
                continue;
            }
            // A restart may take the port at once; no SO_REUSEPORT, which
            // would let a second service take a share of the orders into its
            // own database.
            const int yes = 1;
            const int no = 0;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            if (a->ai_family == AF_INET6) {
                ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
            }
            // The system's backlog: a burst of customers is not made to
            // wait for the second try of their connect.
            if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0) {
                listen_ = fd;
            } else {
                ::close(fd);
            }
        }
        ::freeaddrinfo(found);
        if (listen_ < 0) {
            throw ServiceError("Cannot listen on " + shown + ": the address is taken or not this machine's");
        }
        sockaddr_storage bound{};
        socklen_t length = sizeof bound;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&bound), &length);
        return ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                 : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    }

    void run()
    {
        if (listen_ < 0) {
            throw ServiceError("The order service listens nowhere");
        }
        start();
        const int events = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_EPOLL_FD)->epoll_fd;
        bool quiet = false;
        for (;;) {
            MHD_UNSIGNED_LONG_LONG wait = kTickMs;
            if (MHD_get_timeout(daemon_, &wait) != MHD_YES || wait > kTickMs) {
                wait = kTickMs;
            }
            pollfd ready[2] = {{events, POLLIN, 0}, {wake_, POLLIN, 0}};
            ::poll(ready, 2, static_cast<int>(wait));
            if (ready[1].revents != 0) {
                std::uint64_t count;
                [[maybe_unused]] const ssize_t n = ::read(wake_, &count, sizeof count);
            }
            MHD_run(daemon_);
            cutOverdue();
            if (stopping_ && !quiet) {
                // No new connections; those open finish their request.
                const MHD_socket fd = MHD_quiesce_daemon(daemon_);
                if (fd != MHD_INVALID_SOCKET) {
                    ::close(fd);
                }
                listen_ = -1;
                quiet = true;
            }
            if (quiet && busy_ == 0) {
                break;
            }
        }
        MHD_stop_daemon(daemon_);
        daemon_ = nullptr;
        workers_.Join();
    }

    void stop()
    {
        stopping_ = true;
        wake();
    }

private:
    void wake()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
    }

    void start()
    {
        const unsigned perAddress = trustProxy_ ? 0 : limits_.MaxPerAddress;
        // Within the descriptors the process may open, with room for the
        // database and the shops' reads.
        unsigned connections = limits_.MaxConnections;
        rlimit files{};
        if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
            connections =
                static_cast<unsigned>(std::min<rlim_t>(connections, std::max<rlim_t>(files.rlim_cur, 128) - 64));
        }
        daemon_ = MHD_start_daemon(
            MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr, nullptr, &Loop::onRequest, this,
            MHD_OPTION_LISTEN_SOCKET, static_cast<MHD_socket>(listen_), MHD_OPTION_CONNECTION_LIMIT, connections,
            MHD_OPTION_PER_IP_CONNECTION_LIMIT, perAddress, MHD_OPTION_CONNECTION_TIMEOUT,
            static_cast<unsigned>(limits_.IdleTime.count()), MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory,
            MHD_OPTION_URI_LOG_CALLBACK, &Loop::onTarget, this, MHD_OPTION_NOTIFY_COMPLETED, &Loop::onCompleted, this,
            MHD_OPTION_NOTIFY_CONNECTION, &Loop::onConnection, this, MHD_OPTION_END);
        if (!daemon_) {
            throw ServiceError("The order service cannot start its HTTP server");
        }
    }

    // Closes the connections past their deadline. The socket is only shut
    // down; the library sees the end and closes it on this thread.
    void cutOverdue()
    {
        const Clock::time_point now = Clock::now();
        if (now < nextCut_) {
            return; // once a tick is enough, however busy the loop
        }
        nextCut_ = now + std::chrono::milliseconds(kTickMs);
        for (Link* link : links_) {
            if (!link->Computing && !link->Cut && now > link->Due) {
                ::shutdown(link->Fd, SHUT_RDWR);
                link->Cut = true;
            }
        }
    }

    static Link* linkOf(MHD_Connection* connection)
    {
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info ? static_cast<Link*>(info->socket_context) : nullptr;
    }

    void restartClock(MHD_Connection* connection)
    {
        if (Link* link = linkOf(connection)) {
            link->Due = Clock::now() + limits_.RequestTime;
            link->Computing = false;
        }
    }

    static void onConnection(void* self, MHD_Connection* connection, void** context,
                             MHD_ConnectionNotificationCode code)
    {
        Loop& loop = *static_cast<Loop*>(self);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            auto link = std::make_unique<Link>();
            link->Fd = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)->connect_fd;
            link->Due = Clock::now() + loop.limits_.RequestTime;
            loop.links_.insert(link.get());
            *context = link.release();
        } else if (auto* link = static_cast<Link*>(*context)) {
            loop.links_.erase(link);
            delete link;
            *context = nullptr;
        }
    }

    // The request line has come: the target as sent, before the library
    // decodes it.
    static void* onTarget(void*, const char* target, MHD_Connection*)
    {
        auto exchange = std::make_unique<Exchange>();
        exchange->Target = target;
        return exchange.release();
    }

    static void onCompleted(void* self, MHD_Connection* connection, void** context, MHD_RequestTerminationCode)
    {
        Loop& loop = *static_cast<Loop*>(self);
        auto* exchange = static_cast<Exchange*>(*context);
        if (exchange && exchange->Started) {
            --loop.busy_;
        }
        delete exchange;
        *context = nullptr;
        loop.restartClock(connection); // the next request on the connection
    }

    static MHD_Result onRequest(void* self, MHD_Connection* connection, const char* url, const char* method,
                                const char*, const char* data, std::size_t* size, void** context)
    {
        try {
            return static_cast<Loop*>(self)->request(connection, url, method, data, size,
                                                     static_cast<Exchange*>(*context));
        } catch (const std::exception& e) { // nothing may leave into the library
            logLine(e.what());
            return MHD_NO;
        }
    }

    MHD_Result request(MHD_Connection* connection, const char* url, const char* method, const char* data,
                       std::size_t* size, Exchange* exchange)
    {
        if (!exchange) {
            return MHD_NO;
        }
        if (!exchange->Started) {
            // The headers are in.
            exchange->Started = true;
            ++busy_;
            const std::string_view path = url ? url : "";
            exchange->Where = routeOf(path, method);
            exchange->ToPutOrder = path.ends_with("putorder.php4");
            if (const std::optional<std::string> why = headerProblem(connection, *exchange)) {
                return send(connection, *exchange, text(431, *why));
            }
            exchange->Client = clientAddress(connection);
            return MHD_YES;
        }
        if (*size > 0) {
            // Read while it comes, never kept beyond the limit; the rest is
            // read and dropped so that the client hears the answer.
            const bool kept = exchange->Where == Route::PutOrder || exchange->Where == Route::AccountForm;
            exchange->Received += *size;
            if (exchange->Received > OrderLimits::kMaxBody) {
                exchange->TooLarge = true;
                exchange->Body = std::string();
            } else if (kept) {
                exchange->Body.append(data, *size);
            }
            *size = 0;
            return MHD_YES;
        }
        if (exchange->Ready) {
            return send(connection, *exchange, *exchange->Ready);
        }
        if (exchange->Computing) {
            return MHD_YES;
        }
        return answer(connection, *exchange);
    }

    std::optional<std::string> headerProblem(MHD_Connection* connection, const Exchange& exchange) const
    {
        struct Count {
            std::size_t Lines = 0;
            std::size_t Bytes = 0;
        } count;
        count.Bytes = exchange.Target.size();
        MHD_get_connection_values(
            connection, MHD_HEADER_KIND,
            [](void* cls, MHD_ValueKind, const char* key, const char* value) {
                auto& c = *static_cast<Count*>(cls);
                ++c.Lines;
                c.Bytes += std::strlen(key) + (value ? std::strlen(value) : 0) + 4;
                return MHD_YES;
            },
            &count);
        if (count.Lines > limits_.MaxHeaderLines) {
            return "The request has more than " + std::to_string(limits_.MaxHeaderLines) + " header lines";
        }
        if (count.Bytes > limits_.MaxHeaderBytes) {
            return "The request's header is larger than " + kib(limits_.MaxHeaderBytes);
        }
        return std::nullopt;
    }

    std::string clientAddress(MHD_Connection* connection) const
    {
        if (trustProxy_) {
            // The last line the proxy added, its last hop.
            const char* forwarded = nullptr;
            MHD_get_connection_values(
                connection, MHD_HEADER_KIND,
                [](void* cls, MHD_ValueKind, const char* key, const char* value) {
                    if (value && ::strcasecmp(key, "X-Forwarded-For") == 0) {
                        *static_cast<const char**>(cls) = value;
                    }
                    return MHD_YES;
                },
                &forwarded);
            if (forwarded) {
                return Trim(Split(',', forwarded).back());
            }
        }
        const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        return addressText(info ? info->client_addr : nullptr);
    }

    // The whole request is in: answered at once when no storage is needed,
    // else by a worker while the connection waits.
    MHD_Result answer(MHD_Connection* connection, Exchange& exchange)
    {
        if (exchange.TooLarge) {
            const std::string limit = kib(OrderLimits::kMaxBody);
            return send(connection, exchange,
                        text(413, exchange.Where == Route::PutOrder      ? "The order is larger than " + limit
                                  : exchange.Where == Route::AccountForm ? std::string("The form is too large")
                                                                         : "The request is larger than " + limit));
        }
        switch (exchange.Where) {
        case Route::Unknown:
            return send(connection, exchange, text(404, "There is nothing here"));
        case Route::BadMethod:
            return send(connection, exchange, text(400, "The request cannot be answered (HTTP 400)"));
        case Route::Preflight:
            // The shop's page reads nothing of the answer but its status,
            // and only when the service allows any origin.
            return send(connection, exchange,
                        Answer{204,
                               "",
                               "",
                               {{"Access-Control-Allow-Methods", "POST, OPTIONS"},
                                {"Access-Control-Allow-Headers", "Content-Type"},
                                {"Access-Control-Max-Age", "86400"}}});
        default:
            break;
        }
        exchange.Computing = true;
        if (Link* link = linkOf(connection)) {
            link->Computing = true;
        }
        MHD_suspend_connection(connection);
        workers_.Submit([this, connection, &exchange] {
            exchange.Ready = compute(exchange);
            MHD_resume_connection(connection);
            wake(); // the library wakes only threads of its own
        });
        return MHD_YES;
    }

    Answer compute(const Exchange& exchange)
    {
        const std::size_t q = exchange.Target.find('?');
        const std::string_view query =
            q == std::string::npos ? std::string_view() : std::string_view(exchange.Target).substr(q + 1);
        std::string reason = "unknown failure";
        try {
            switch (exchange.Where) {
            case Route::PutOrder:
                return service_.PutOrder(exchange.Body);
            case Route::GetOrders:
                return service_.GetOrders(query, exchange.Client);
            case Route::AccountPage:
                return service_.AccountManager(false, query, {}, exchange.Client);
            case Route::AccountForm:
                return service_.AccountManager(true, query, exchange.Body, exchange.Client);
            default:
                return text(404, "There is nothing here");
            }
        } catch (const std::exception& e) {
            reason = e.what();
        } catch (...) {
        }
        // The order was not stored: the shop must not hear 2xx.
        logLine(reason);
        return text(503, "The order service cannot answer just now");
    }

    MHD_Result send(MHD_Connection* connection, const Exchange& exchange, const Answer& answer)
    {
        MHD_Response* response = MHD_create_response_from_buffer(
            answer.Body.size(), const_cast<char*>(answer.Body.data()), MHD_RESPMEM_MUST_COPY);
        if (!response) {
            return MHD_NO;
        }
        bool origin = false;
        for (const auto& [name, value] : answer.Headers) {
            MHD_add_response_header(response, name.c_str(), value.c_str());
            origin = origin || ::strcasecmp(name.c_str(), "Access-Control-Allow-Origin") == 0;
        }
        if (!answer.ContentType.empty()) {
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.ContentType.c_str());
        }
        if (exchange.ToPutOrder && !origin) {
            MHD_add_response_header(response, "Access-Control-Allow-Origin", "*");
        }
        if (stopping_) {
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
        }
        const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(answer.Status), response);
        MHD_destroy_response(response);
        restartClock(connection); // for sending the answer
        return queued;
    }

    OrderService& service_;
    bool trustProxy_;
    ServerLimits limits_;
    Workers workers_;
    int wake_ = -1;
    int listen_ = -1;
    MHD_Daemon* daemon_ = nullptr;
    std::atomic<bool> stopping_{false};
    // Touched only on the thread in run, where the library calls back.
    std::unordered_set<Link*> links_;
    Clock::time_point nextCut_;
    std::size_t busy_ = 0; // requests whose headers are in and that are not done
};

OrderServer::OrderServer(OrderService& service, bool trustProxy, ServerLimits limits)
    : loop_(std::make_unique<Loop>(service, trustProxy, limits))
{
}

OrderServer::~OrderServer() = default;

int OrderServer::Bind(const std::string& host, int port)
{
    return loop_->bind(host, port);
}

void OrderServer::Run()
{
    loop_->run();
}

void OrderServer::Stop()
{
    loop_->stop();
}

} // namespace quillane::orderd
