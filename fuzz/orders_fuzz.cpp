// The order service's reply merged into the orders file. Parts: the reply,
// then the orders file it is merged into.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/orders/OrderRetrieval.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), 2);
    const std::string path = fuzz::CleanScratch() + "orders.dat";
    fuzz::WriteBytes(path, parts.size() > 1 ? parts[1] : std::string_view());
    try {
        const OrderReply reply = ParseOrderReply(parts[0]);
        IniFile orders(path);
        MergeOrderReply(orders, reply);
        orders.UpdateFile();
    } catch (const Error&) {
    }
    return 0;
}
