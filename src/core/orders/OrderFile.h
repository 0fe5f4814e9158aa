#pragma once

#include "core/orders/Order.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The order file orders.dat of the program folder: one section per order,
// in the order the orders first arrived. It holds customers' names,
// addresses and remarks, so it is written readable by its owner only, and
// always beside and renamed, so a crash keeps the previous file.
namespace quillane {

class IniFile;

inline constexpr std::string_view kOrderFileName = "orders.dat";

std::string OrderFilePath(const std::string& programDir);
// Opens the order file for changes, to be written owner-only by UpdateFile.
IniFile OpenOrderFile(const std::string& programDir);

// Every order of the file, in file order. A missing file has none; one
// that cannot be read throws an error naming it.
std::vector<Order> ReadOrders(const std::string& programDir);
// The orders of one list (New or Done), in file order (LoadOrders).
std::vector<Order> LoadOrders(const std::string& programDir, OrderState list);
// The order of that ID, or nothing.
std::optional<Order> FindOrder(const std::string& programDir, std::string_view orderId);
// The same, throwing an error naming the ID and the file when there is none.
Order ReadOrder(const std::string& programDir, std::string_view orderId);

// Removes the order's whole section and writes the file; false (and the
// file untouched) when there is no such order. The window asks first
// (msgbox::kDeleteOrder).
bool DeleteOrder(const std::string& programDir, std::string_view orderId);

// The notice of an order still in the service's queue: the notice text
// (msgbox::kOrderQueued) with "|" as line breaks and "[DATE]" as the
// order's queue value; empty when the queue value is.
std::string QueueNotice(std::string_view noticeText, const Order& order);

} // namespace quillane
