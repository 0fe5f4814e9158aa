#include "core/orders/OrderRetrieval.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/OrdersMessages.h"
#include "core/orders/OrderFile.h"
#include "core/orders/OrderService.h"
#include "core/settings/AppDirs.h"
#include "core/settings/UserData.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

namespace quillane {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isIdChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
}

// Calls each(line) for every line of text without copying the text; lines
// end at CR LF, LF or CR. Returns false as soon as each does.
template <class Each> bool forEachLine(std::string_view text, const Each& each)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (!each(text.substr(pos, end - pos))) {
            return false;
        }
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') {
            ++end;
        }
        pos = end + 1;
    }
    return true;
}

// A line of the reply as a message shows it, cut short.
std::string shownLine(std::string_view line)
{
    const std::string_view shown = TrimBlanks(line);
    return std::string(shown.substr(0, 80)) + (shown.size() > 80 ? "..." : "");
}

// The first line with text, for a message.
std::string firstTextLine(std::string_view text)
{
    std::string first;
    forEachLine(text, [&first](std::string_view line) {
        first = shownLine(line);
        return first.empty();
    });
    return first;
}

// The message with the address that holds the password replaced by the
// shown one, in its values and in the causes it names.
Message withAddressShown(const Message& said, const std::string& url, const std::string& shown)
{
    Message out{said.Key, {}};
    for (const MessageArg& arg : said.Args) {
        if (const Message* nested = arg.Nested()) {
            out.Args.emplace_back(withAddressShown(*nested, url, shown));
        } else {
            out.Args.emplace_back(ReplaceAll(arg.Text(), url, shown, true));
        }
    }
    return out;
}

// Why the reply looks cut short, or nothing.
std::optional<Message> cutShort(std::string_view text, const std::vector<ReplyOrder>& orders)
{
    const std::size_t lastEnd = text.find_last_of("\r\n");
    const std::string_view last = lastEnd == std::string_view::npos ? text : text.substr(lastEnd + 1);
    if (!TrimBlanks(last).empty()) {
        return Message{msg::OrdersCutShortLastLine, {shownLine(last)}};
    }
    for (const ReplyOrder& order : orders) {
        for (const std::string_view key : orderkey::kTotals) {
            const bool has = std::any_of(order.Values.begin(), order.Values.end(),
                                         [key](const auto& entry) { return SameText(entry.first, key); });
            if (!has) {
                return Message{msg::OrdersCutShortOrder, {order.Id, key}};
            }
        }
    }
    return {};
}

} // namespace

bool IsOrderId(std::string_view id)
{
    return !id.empty() && id.find("..") == std::string_view::npos &&
           std::all_of(id.begin(), id.end(), [](char c) { return isIdChar(c); });
}

OrderReply ParseOrderReply(std::string_view text)
{
    // Written by some editors and services in front of UTF-8 text; it would
    // hide the first section line.
    if (text.starts_with(kUtf8Bom)) {
        text.remove_prefix(kUtf8Bom.size());
    }
    OrderReply reply;
    // Lookups by the lower-case form, so that a reply of many orders, or of
    // orders with many keys, is read in linear time.
    std::unordered_map<std::string, std::size_t> orderAt;
    std::vector<std::unordered_map<std::string, std::size_t>> keyAt; // per order: key -> place in its values
    std::unordered_set<std::string> sectionKeys;                     // of the current section line
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t current = kNone;
    bool afterRefusedSection = false;

    forEachLine(text, [&](std::string_view line) {
        if (!TrimBlanks(line).empty()) {
            reply.HasText = true;
        }
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos) {
            if (current == kNone) {
                // Text before the first order is no order's; keys after a
                // refused section line were meant for an order and are lost.
                if (afterRefusedSection) {
                    reply.Refused.emplace_back(line);
                }
                return true;
            }
            const std::string_view key = TrimBlanks(line.substr(0, eq));
            std::string_view value = line.substr(eq + 1);
            value = value.substr(0, value.find('='));
            // Written back, an empty key or one starting with "[" would read as
            // no key or as a section line; printed and invoiceno are the
            // merchant's own record of the order.
            if (key.empty() || key.front() == '[' || IsProgramKey(key)) {
                reply.Refused.emplace_back(line);
                return true;
            }
            std::string folded = LowerCase(key);
            // Keys are one in any letter case: the first of a section counts.
            if (!sectionKeys.insert(folded).second) {
                reply.Refused.emplace_back(line);
                return true;
            }
            Order::Values& values = reply.Orders[current].Values;
            const auto [at, added] = keyAt[current].emplace(std::move(folded), values.size());
            if (added) {
                values.emplace_back(std::string(key), std::string(value));
            } else {
                values[at->second].second = std::string(value); // the order sent again
            }
            return true;
        }
        const std::size_t open = line.find('[');
        if (open == std::string_view::npos || line.find(']', open + 1) == std::string_view::npos) {
            // Text among the orders is a damaged line of one.
            if ((current != kNone || afterRefusedSection) && !TrimBlanks(line).empty()) {
                reply.Refused.emplace_back(line);
            }
            return true;
        }
        const std::string_view trimmed = TrimBlanks(line);
        const std::string_view id = trimmed.substr(1, trimmed.size() - 2);
        sectionKeys.clear();
        if (trimmed.front() != '[' || trimmed.back() != ']' || !IsOrderId(id)) {
            // Keys after it are not this order's, nor the one before's.
            reply.Refused.emplace_back(line);
            current = kNone;
            afterRefusedSection = true;
            return true;
        }
        afterRefusedSection = false;
        const auto [at, added] = orderAt.emplace(LowerCase(id), reply.Orders.size());
        if (added) {
            reply.Orders.push_back(ReplyOrder{std::string(id), {}});
            keyAt.emplace_back();
        }
        current = at->second;
        return true;
    });
    reply.CutShort = cutShort(text, reply.Orders);
    // A section line without keys is no order.
    std::erase_if(reply.Orders, [](const ReplyOrder& order) { return order.Values.empty(); });
    return reply;
}

MergeResult MergeOrderReply(IniFile& orders, const OrderReply& reply)
{
    MergeResult result;
    for (const ReplyOrder& order : reply.Orders) {
        if (!orders.SectionExists(order.Id)) {
            result.NewIds.push_back(order.Id);
        }
        for (const auto& [key, value] : order.Values) {
            if (!IsProgramKey(key)) {
                orders.WriteString(order.Id, key, value);
            }
        }
        ++result.Received;
    }
    return result;
}

FetchResult GetOrders(const TAppDirs& dirs, const TUserData& user, const HttpClient& http, const HttpProxy& proxy,
                      std::stop_token stop, const OrderFetchLimits& limits)
{
    const std::string service = OrderServiceAddress(dirs.ProgramDir);
    const std::string url = OrderRequestUrl(service, user.UserID, user.Password);
    // Messages are shown and may be logged: they name the address without the password.
    const std::string shownUrl = OrderRequestUrl(service, user.UserID, "***");
    const std::string replyFile = dirs.TempDir + std::string(kOrderReplyFileName);
    CreateFolder(dirs.TempDir);
    // The reply holds customers' addresses: it goes as soon as it is read, whatever happens.
    struct RemovedAtEnd {
        const std::string& path;
        ~RemovedAtEnd()
        {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
    } removed{replyFile};
    try {
        http.GetToFile(url, replyFile, proxy, std::move(stop), {limits.MaxReplyBytes, limits.Deadline});
    } catch (const Error& e) {
        throw Error(withAddressShown(e.Said(), url, shownUrl));
    }

    const std::string text = ReadFile(replyFile);
    const OrderReply reply = ParseOrderReply(text);
    if (reply.HasText && reply.Orders.empty()) {
        throw Error(msg::OrdersReplyNoList,
                    {shownUrl, firstTextLine(text.starts_with(kUtf8Bom) ? std::string_view(text).substr(kUtf8Bom.size())
                                                                        : std::string_view(text))});
    }
    if (reply.CutShort) {
        throw Error(msg::OrdersReplyCutShort, {shownUrl, *reply.CutShort, kOrderFileName});
    }

    IniFile orders = OpenOrderFile(dirs.ProgramDir);
    const MergeResult merged = MergeOrderReply(orders, reply);
    // Written also when nothing changed, so a file that was readable by others no longer is.
    if (orders.Modified() || FileExists(orders.FileName())) {
        orders.UpdateFile();
    }
    return {merged.Received, merged.NewIds, reply.Refused.size()};
}

} // namespace quillane
