#include "core/orders/OrderService.h"

#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/settings/UserData.h"

namespace quillane {

std::string OrderServiceAddress(const std::string& programDir)
{
    const std::string address = IniFile(SettingsFilePath(programDir)).ReadString("Services", "OrderService", "");
    // A key left blank would send every order nowhere.
    return address.empty() ? std::string(kDefaultOrderService) : address;
}

std::string OrderRequestUrl(std::string_view serviceAddress, std::string_view userId, std::string_view password)
{
    std::string url(serviceAddress);
    if (url.empty() || url.back() != '/') {
        url += '/';
    }
    return url + "qln/shopscripts/getorders.php4?UserID=" + UrlEncode(userId) + "&Password=" + UrlEncode(password);
}

} // namespace quillane
