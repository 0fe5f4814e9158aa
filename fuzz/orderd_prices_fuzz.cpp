// A shop's database script as the order service reads it for the prices.
// Parts: the script, then an optional order (a form body) checked against
// the prices read once its figures passed, as the service does.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "orderd/OrderFigures.h"
#include "orderd/OrderIntake.h"
#include "orderd/ShopPrices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), 2);
    orderd::PriceTable prices;
    try {
        orderd::ReadDatabaseScript(std::string(parts[0]), "db_0.js", prices);
    } catch (const Error&) {
    }
    if (parts.size() > 1) {
        try {
            const orderd::ReceivedOrder order = orderd::ReadOrder(parts[1]);
            orderd::CheckOrderFigures(order.Fields);
            orderd::PriceProblem(order.Fields, prices);
        } catch (const Error&) {
        }
    }
    return 0;
}
