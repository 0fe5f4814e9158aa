#include "orderd/OrderdApp.h"

#include "orderd/Accounts.h"
#include "orderd/CommandLine.h"
#include "orderd/OrderServer.h"
#include "orderd/OrderService.h"
#include "orderd/ServiceError.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <iostream>
#include <mutex>
#include <thread>

namespace quillane::orderd {

namespace {

// Failures of passwords: an address gets 5 tries at one account before
// waiting, and 20 in all (it may be a whole office).
const ThrottleRule kPerAddressAndAccount{5, std::chrono::seconds(60), std::chrono::minutes(15)};
const ThrottleRule kPerAddress{20, std::chrono::seconds(300), std::chrono::minutes(15)};
// Accounts made on the account page: 5 an hour from one address, 60 in all.
const CreationRule kCreations{5, 60, std::chrono::hours(1)};

std::int64_t secondsNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Waits for SIGTERM or SIGINT on a thread of its own and stops the server;
// the signals are blocked in every other thread.
class SignalWatch {
public:
    explicit SignalWatch(OrderServer& server)
        : thread_([this, &server] {
              sigset_t set = stopSignals();
              const timespec tick{0, 200 * 1000 * 1000};
              while (!done_) {
                  if (::sigtimedwait(&set, nullptr, &tick) > 0) {
                      server.Stop();
                      return;
                  }
              }
          })
    {
    }
    ~SignalWatch()
    {
        done_ = true;
        thread_.join();
    }
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    static sigset_t stopSignals()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGINT);
        return set;
    }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Drops old orders now and every hour.
class Expiry {
public:
    explicit Expiry(OrderService& service, std::ostream& err)
        : thread_([this, &service, &err] {
              std::unique_lock lock(mutex_);
              do {
                  try {
                      service.Expire();
                  } catch (const std::exception& e) {
                      err << "quillane-orderd: old orders cannot be removed: " << e.what() << std::endl;
                  }
              } while (!wake_.wait_for(lock, std::chrono::hours(1), [this] { return done_; }));
          })
    {
    }
    ~Expiry()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Expiry(const Expiry&) = delete;
    Expiry& operator=(const Expiry&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

int serve(const Command& command, std::ostream& out, std::ostream& err)
{
    // Before any thread starts, so that all of them inherit the mask and
    // only the watch takes the signals.
    sigset_t stop = SignalWatch::stopSignals();
    ::pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const auto store = OpenOrderStore(command.Store);
    PasswordHasher hasher(command.Cost);
    LoginThrottle throttle(kPerAddressAndAccount, kPerAddress);
    CreationLimit creations(kCreations);
    Accounts accounts(*store, hasher, throttle, &creations);
    std::mutex logLock;
    ShopPrices shopPrices(HttpShopFetch(command.AllowPrivateShops), [&err, &logLock](const std::string& line) {
        const std::lock_guard lock(logLock);
        err << "quillane-orderd: " << line << std::endl;
    });
    OrderService service(*store, accounts, {}, &shopPrices);
    OrderServer server(service, command.TrustProxy);
    const int port = server.Bind(command.Host, command.Port);
    const bool v6 = command.Host.find(':') != std::string::npos;
    Expiry expiry(service, err);
    SignalWatch watch(server);
    out << "listening on http://" << (v6 ? "[" + command.Host + "]" : command.Host) << ":" << port << "/" << std::endl;
    server.Run();
    return 0;
}

int addAccount(const Command& command, std::istream& in, std::ostream& out)
{
    std::string password;
    if (!std::getline(in, password) && password.empty()) {
        throw ServiceError("No password on standard input");
    }
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    const auto store = OpenOrderStore(command.Store);
    PasswordHasher hasher(command.Cost);
    LoginThrottle throttle(kPerAddressAndAccount, kPerAddress);
    Accounts accounts(*store, hasher, throttle);
    const Account account = accounts.Create(command.AccountName, password, command.Shop, secondsNow());
    out << "account " << account.Name << " created" << std::endl;
    return 0;
}

} // namespace

int RunOrderd(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err)
{
    try {
        const Command command = ParseCommandLine(args);
        switch (command.What) {
        case Command::Kind::Help:
            out << Usage();
            return 0;
        case Command::Kind::Serve:
            return serve(command, out, err);
        case Command::Kind::AccountAdd:
            return addAccount(command, in, out);
        }
    } catch (const std::exception& e) {
        err << "quillane-orderd: " << e.what() << std::endl;
    }
    return 1;
}

} // namespace quillane::orderd
