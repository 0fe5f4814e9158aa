#include "core/orders/OrderRetrieval.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/orders/OrderFile.h"
#include "core/orders/OrderService.h"
#include "core/settings/AppDirs.h"
#include "core/settings/UserData.h"

#include <algorithm>

namespace quillane {

namespace {

bool isIdChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.';
}

// The first line with text, cut short, for a message.
std::string firstTextLine(std::string_view text)
{
    for (const std::string& line : SplitLines(text)) {
        const std::string_view shown = TrimBlanks(line);
        if (!shown.empty()) {
            return std::string(shown.substr(0, 80)) + (shown.size() > 80 ? "..." : "");
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
    OrderReply reply;
    ReplyOrder* current = nullptr;
    for (const std::string& line : SplitLines(text)) {
        if (!TrimBlanks(line).empty()) {
            reply.HasText = true;
        }
        if (line.find('=') != std::string::npos) {
            if (current == nullptr) {
                continue;
            }
            const SplitArray pieces = Split('=', line);
            const std::string key(TrimBlanks(pieces[0]));
            // Written back, such a key would read as a section line or as no key at all.
            if (key.empty() || key.front() == '[') {
                reply.Refused.push_back(line);
                continue;
            }
            auto same = std::find_if(current->Values.begin(), current->Values.end(),
                                     [&key](const auto& entry) { return SameText(entry.first, key); });
            if (same != current->Values.end()) {
                same->second = pieces[1];
            } else {
                current->Values.emplace_back(key, pieces[1]);
            }
        } else if (MatchWildcard(line, "*[*]*")) {
            const std::string_view trimmed = TrimBlanks(line);
            const std::string_view id = trimmed.substr(1, trimmed.size() - 2);
            if (trimmed.front() != '[' || trimmed.back() != ']' || !IsOrderId(id)) {
                // Keys after it are not this order's, nor the one before's.
                reply.Refused.push_back(line);
                current = nullptr;
                continue;
            }
            auto same = std::find_if(reply.Orders.begin(), reply.Orders.end(),
                                     [id](const ReplyOrder& order) { return SameText(order.Id, id); });
            if (same == reply.Orders.end()) {
                same = reply.Orders.insert(reply.Orders.end(), ReplyOrder{std::string(id), {}});
            }
            current = &*same;
        }
    }
    // A section line without keys (a reply cut short after it) is no order.
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
            orders.WriteString(order.Id, key, value);
        }
        ++result.Received;
    }
    return result;
}

FetchResult GetOrders(const TAppDirs& dirs, const TUserData& user, const HttpClient& http, const HttpProxy& proxy,
                      std::stop_token stop)
{
    const std::string service = OrderServiceAddress(dirs.ProgramDir);
    const std::string url = OrderRequestUrl(service, user.UserID, user.Password);
    // Messages are shown and may be logged: they name the address without the password.
    const std::string shownUrl = OrderRequestUrl(service, user.UserID, "***");
    const std::string replyFile = dirs.TempDir + std::string(kOrderReplyFileName);
    CreateFolder(dirs.TempDir);
    try {
        http.GetToFile(url, replyFile, proxy, std::move(stop));
    } catch (const Error& e) {
        throw Error(ReplaceAll(e.what(), url, shownUrl, true));
    }

    const std::string text = ReadFile(replyFile);
    const OrderReply reply = ParseOrderReply(text);
    if (reply.HasText && reply.Orders.empty()) {
        throw Error("The order service at \"" + shownUrl +
                    "\" did not answer with a list of orders; its answer begins: " + firstTextLine(text));
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
