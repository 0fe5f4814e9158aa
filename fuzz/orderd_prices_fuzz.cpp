// A published shop as the order service reads it, and an order checked
// against it. Parts: a database script, an optional order (a form body),
// var_init.js and one country script (code "de"). The order is checked only
// once its figures passed, as the service does.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "orderd/OrderFigures.h"
#include "orderd/OrderIntake.h"
#include "orderd/ShopFigures.h"
#include "orderd/ShopPrices.h"
#include "orderd/ShopScripts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), 4);
    orderd::PublishedShop shop;
    try {
        orderd::ReadDatabaseScript(std::string(parts[0]), "db_0.js", shop.Items, 100000);
    } catch (const Error&) {
    }
    if (parts.size() > 2) {
        try {
            shop.Settings = orderd::ReadShopSettings(std::string(parts[2]));
        } catch (const Error& e) {
            shop.SettingsProblem = e.what();
        }
    }
    if (parts.size() > 3) {
        try {
            shop.Countries.push_back(orderd::ReadCountryScript(std::string(parts[3]), "de"));
        } catch (const Error&) {
        }
    }
    if (parts.size() > 1) {
        try {
            const orderd::ReceivedOrder order = orderd::ReadOrder(parts[1]);
            orderd::CheckOrderFigures(order.Fields);
            std::string unchecked;
            orderd::ShopProblem(order.Fields, shop, unchecked);
        } catch (const Error&) {
        }
    }
    return 0;
}
