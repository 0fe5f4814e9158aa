#pragma once

#include <string>
#include <string_view>

// Where the shop sends its orders and where the program fetches them.
namespace quillane {

// The service's base address when quillane.ini names none.
inline constexpr std::string_view kDefaultOrderService = "https://orders.quillane.example/";

// OrderService of section Services of the settings file of programDir, or
// kDefaultOrderService when the key is missing or empty.
std::string OrderServiceAddress(const std::string& programDir);

// The address that fetches the orders of an account: the base address
// (a "/" added when it lacks one), "qln/shopscripts/getorders.php4",
// UserID and Password. Both values are URL-encoded, so a password holding
// "&", "=" or "#" reaches the service as it is stored.
std::string OrderRequestUrl(std::string_view serviceAddress, std::string_view userId, std::string_view password);

} // namespace quillane
