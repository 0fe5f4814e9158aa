#include "orderd/OrderService.h"

#include "orderd/AccountPage.h"
#include "orderd/OrderFigures.h"
#include "orderd/OrderIntake.h"

#include <ctime>
#include <sodium.h>

namespace quillane::orderd {

namespace {

std::string digestOf(std::string_view body)
{
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(body.data()), body.size(), nullptr,
                       0);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}

Answer text(int status, std::string body)
{
    Answer a;
    a.Status = status;
    a.Body = std::move(body) + "\n";
    return a;
}

} // namespace

ReceiptTime LocalReceiptTime(std::int64_t secondsSince1970)
{
    const std::time_t t = static_cast<std::time_t>(secondsSince1970);
    std::tm local{};
    ::localtime_r(&t, &local);
    char stamp[32];
    char date[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::strftime(date, sizeof date, "%d.%m.%Y %H:%M", &local);
    return {stamp, date};
}

std::string FormatOrders(const std::vector<StoredOrder>& orders)
{
    std::string out;
    for (const StoredOrder& o : orders) {
        out += "[" + o.Id + "]\r\n";
        out += "date=" + o.Date + "\r\n";
        out += o.Fields;
        out += "queue=" + o.Queue + "\r\n";
        out += "confirmed=" + o.Confirmed + "\r\n";
    }
    return out;
}

OrderService::OrderService(OrderStore& store, Accounts& accounts, ServiceRules rules, ShopPrices* shopPrices)
    : store_(store), accounts_(accounts), rules_(rules), shopPrices_(shopPrices)
{
}

std::int64_t OrderService::now() const
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Answer OrderService::PutOrder(std::string_view body)
{
    ReceivedOrder order;
    try {
        order = ReadOrder(body);
        CheckOrderFigures(order.Fields);
    } catch (const OrderRefused& refused) {
        return text(400, refused.what());
    }
    const auto account = accounts_.Find(order.UserId);
    if (!account) {
        return text(400, "There is no account " + order.UserId);
    }
    // Before the store is asked: reading the shop may take seconds.
    if (shopPrices_ && !account->Shop.empty()) {
        if (const auto problem = shopPrices_->Check(account->Name, account->Shop, order.Fields)) {
            return text(400, *problem);
        }
    }
    const std::int64_t received = now();
    const ReceiptTime time = LocalReceiptTime(received);
    const AddedOrder added =
        store_.AddOrder({account->Id, received, time.IdStamp, time.Date, digestOf(body), FieldLines(order.Fields)},
                        received - rules_.RepeatWindow.count());
    // The shop shows the ID as the payment reference; a repeat names the
    // order it repeats.
    return text(200, "orderid=" + added.Id);
}

Answer OrderService::GetOrders(std::string_view query, const std::string& clientAddress)
{
    std::string user;
    std::string password;
    for (const FormField& f : ParseForm(query)) {
        if (f.Name == "UserID") {
            user = f.Value;
        } else if (f.Name == "Password") {
            password = f.Value;
        }
    }
    const LoginResult login = accounts_.LogIn(user, password, clientAddress);
    if (login.Outcome == LoginOutcome::Throttled) {
        Answer a = text(429, "Too many wrong passwords; try again in " + std::to_string(login.RetryAfter) + " s");
        a.Headers.emplace_back("Retry-After", std::to_string(login.RetryAfter));
        return a;
    }
    if (login.Outcome != LoginOutcome::Ok) {
        return text(403, "Wrong account or password");
    }
    Answer a;
    a.Body = FormatOrders(store_.Orders(login.Who.Id, now() - rules_.Keep.count()));
    return a;
}

Answer OrderService::AccountManager(bool post, std::string_view query, std::string_view body,
                                    const std::string& clientAddress)
{
    AccountPageRequest request;
    request.Post = post;
    request.Params = ParseForm(query);
    if (post) {
        for (FormField& f : ParseForm(body)) {
            request.Params.push_back(std::move(f));
        }
    }
    request.ClientAddress = clientAddress;
    request.Now = now();
    request.Keep = rules_.Keep.count();
    return ServeAccountPage(accounts_, store_, request);
}

std::size_t OrderService::Expire()
{
    return store_.DeleteOrdersBefore(now() - rules_.Keep.count());
}

} // namespace quillane::orderd
