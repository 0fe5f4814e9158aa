#pragma once

#include "orderd/Accounts.h"
#include "orderd/Answer.h"
#include "orderd/OrderStore.h"
#include "orderd/ShopPrices.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// The order service's three requests, free of HTTP: the shop's order, the
// program's fetch and the merchant's account page.
namespace quillane::orderd {

struct ServiceRules {
    std::chrono::seconds Keep{std::chrono::hours(24 * 90)};      // how long orders stay
    std::chrono::seconds RepeatWindow{std::chrono::minutes(10)}; // a repeat within this is no new order
};

// The order ID's stamp ("yyyymmdd-hhmmss") and the date as shown
// ("dd.mm.yyyy hh:mm"), in the service's local time zone.
struct ReceiptTime {
    std::string IdStamp;
    std::string Date;
};
ReceiptTime LocalReceiptTime(std::int64_t secondsSince1970);

class OrderService {
public:
    // With shopPrices, the orders of an account that names its shop must
    // have that shop's unit prices.
    OrderService(OrderStore& store, Accounts& accounts, ServiceRules rules = {}, ShopPrices* shopPrices = nullptr);

    // putorder: 200 once the order is committed (or was, for a repeat), 400
    // with the reason when it is refused.
    Answer PutOrder(std::string_view body);
    // getorders: the orders of the last Keep, oldest first; 403 for a wrong
    // account or password, 429 while guesses are slowed down.
    Answer GetOrders(std::string_view query, const std::string& clientAddress);
    // accountmanager: the account page, for GET with the query and for POST
    // with the form body.
    Answer AccountManager(bool post, std::string_view query, std::string_view body, const std::string& clientAddress);

    // Drops orders older than Keep; gives how many went.
    std::size_t Expire();

private:
    std::int64_t now() const;

    OrderStore& store_;
    Accounts& accounts_;
    ServiceRules rules_;
    ShopPrices* shopPrices_;
};

// The fetch's reply: per order "[ID]", date, the fields, queue and
// confirmed, every line ended by CR LF.
std::string FormatOrders(const std::vector<StoredOrder>& orders);

} // namespace quillane::orderd
