#include "core/orders/OrderFile.h"

#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/OrdersMessages.h"
#include "core/i18n/LanguageFile.h"

namespace quillane {

std::string OrderFilePath(const std::string& programDir)
{
    return programDir + std::string(kOrderFileName);
}

IniFile OpenOrderFile(const std::string& programDir)
{
    IniFile ini(OrderFilePath(programDir));
    ini.SetOwnerOnly(true);
    return ini;
}

std::vector<Order> ReadOrders(const std::string& programDir)
{
    const IniFile ini(OrderFilePath(programDir));
    std::vector<Order> orders;
    for (std::string& id : ini.ReadSections()) {
        Order::Values values = ini.ReadSectionValues(id);
        orders.emplace_back(std::move(id), std::move(values));
    }
    return orders;
}

std::vector<Order> LoadOrders(const std::string& programDir, OrderState list)
{
    std::vector<Order> orders = ReadOrders(programDir);
    std::erase_if(orders, [list](const Order& order) { return order.State() != list; });
    return orders;
}

std::optional<Order> FindOrder(const std::string& programDir, std::string_view orderId)
{
    const IniFile ini(OrderFilePath(programDir));
    if (orderId.empty() || !ini.SectionExists(orderId)) {
        return std::nullopt;
    }
    return Order(std::string(orderId), ini.ReadSectionValues(orderId));
}

Order ReadOrder(const std::string& programDir, std::string_view orderId)
{
    std::optional<Order> order = FindOrder(programDir, orderId);
    if (!order) {
        throw Error(msg::OrdersNoSuchOrder, {orderId, OrderFilePath(programDir)});
    }
    return std::move(*order);
}

bool DeleteOrder(const std::string& programDir, std::string_view orderId)
{
    IniFile ini = OpenOrderFile(programDir);
    if (orderId.empty() || !ini.SectionExists(orderId)) {
        return false;
    }
    ini.EraseSection(orderId);
    ini.UpdateFile();
    return true;
}

std::string QueueNotice(std::string_view noticeText, const Order& order)
{
    const std::string queue = order.Value(orderkey::kQueue);
    if (queue.empty()) {
        return {};
    }
    return ReplaceAll(MessageLines(noticeText), "[DATE]", queue, true);
}

} // namespace quillane
