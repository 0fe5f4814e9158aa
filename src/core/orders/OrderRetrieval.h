#pragma once

#include "core/common/Message.h"
#include "core/online/HttpClient.h"
#include "core/orders/Order.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// Fetching the merchant's orders from the order service and merging them
// into orders.dat.
//
// How a reply is read, line by line (lines end at CR LF, LF or CR; a UTF-8
// byte order mark in front of the first is skipped):
// - A line with "=" is a key line: the key is the text before the first
//   "=", the value the text up to the next "=" (the rest is dropped). It
//   belongs to the current order; before the first order it is ignored.
//   Refused are: a key that is empty or starts with "[" (written back, it
//   would read as a section of its own), a key the program writes itself
//   (printed, invoiceno: the merchant's own record of the order), a key
//   sent again within the same section in any letter case (the first
//   counts), and every key line after a refused section line.
// - Otherwise a line with "[" and a later "]" is a section line. Only a
//   line that is nothing but "[ID]" (blanks around allowed) with an ID of
//   letters, digits, "-", "_" and "." and without ".." opens an order.
//   Any other section line is refused and ends the current order, so the
//   keys after it land nowhere rather than in the order before.
// - Other lines before the first order are ignored, so an HTML page or
//   other text in front adds nothing; after it, every other line that is
//   not blank is refused.
// A reply that has text but not one order is not a list of orders (an
// error page answered with status 200): the fetch fails and orders.dat
// stays as it was. So does a reply that was cut short: one whose last line
// has no line end, or with an order that lacks one of the figures that
// follow its item lines (orderkey::kTotals). A reply announces no length
// the program could check, so this is how a broken transfer shows.
namespace quillane {

struct TAppDirs;
struct TUserData;
class IniFile;

// The service's last reply, as received, in the working folder.
inline constexpr std::string_view kOrderReplyFileName = "orders.tmp";

// Whether an order ID can be a section of orders.dat.
bool IsOrderId(std::string_view id);

// One order of a reply: the keys it sent, in reply order.
struct ReplyOrder {
    std::string Id;
    Order::Values Values;
};

struct OrderReply {
    // In the order of their first section line; an ID sent twice (in any
    // letter case) is one order whose later values replace the earlier ones.
    std::vector<ReplyOrder> Orders;
    // Section lines and key lines that were refused, as they stood.
    std::vector<std::string> Refused;
    // Whether the reply holds anything but blank lines.
    bool HasText = false;
    // Why the reply looks cut short ("the order \"A1\" has no subamount");
    // nothing when it does not.
    std::optional<Message> CutShort;
};

OrderReply ParseOrderReply(std::string_view text);

struct MergeResult {
    std::size_t Received = 0;        // orders in the reply
    std::vector<std::string> NewIds; // of those, the ones orders.dat did not have, in reply order
};

// Writes every sent key into its order's section (creating it at the end,
// replacing sent keys, keeping all others); removes nothing, and never
// writes a key the program writes itself. Changes the file object only; the
// caller writes it. Time and memory grow linearly with the reply.
MergeResult MergeOrderReply(IniFile& orders, const OrderReply& reply);

struct FetchResult {
    std::size_t Received = 0;
    std::vector<std::string> NewIds;
    // Lines of the reply that were refused (see above); the merchant is told.
    std::size_t RefusedLines = 0;
};

// What one fetch may take. The service keeps 90 days of orders; 256 MiB is
// room for a thousand orders a day of about 3 KB each, and no more than any
// file of the program may hold. A reply that grows beyond it, counted after
// decompression, ends the transfer (a small compressed reply can unpack to
// gigabytes). A reply that drips in slowly ends at the deadline.
struct OrderFetchLimits {
    std::uint64_t MaxReplyBytes = std::uint64_t{256} << 20;
    std::chrono::milliseconds Deadline = std::chrono::minutes(5);
};

// GetOrders: asks the order service of dirs.ProgramDir's settings for the
// orders of user's account through proxy, saves the reply as orders.tmp
// in dirs.TempDir (readable by its owner only, and removed again whatever
// happens: it holds customers' addresses) and merges it into orders.dat of
// dirs.ProgramDir, which is written beside and renamed, readable by its
// owner only. Call it once WebConnect has said yes; it may run on a worker
// thread.
// Throws Error, with orders.dat untouched, when the request fails (no
// connection, an HTTP error status such as 403 for a wrong account or
// password, a broken transfer, a reply beyond the limits, stop requested),
// when the reply is not a list of orders or was cut short, or when a file
// cannot be read or written. Messages name the address with the password
// hidden. An empty reply merges nothing.
FetchResult GetOrders(const TAppDirs& dirs, const TUserData& user, const HttpClient& http, const HttpProxy& proxy = {},
                      std::stop_token stop = {}, const OrderFetchLimits& limits = {});

} // namespace quillane
