#include "orderd/OrderStore.h"

#include "core/common/Error.h"
#include "orderd/PostgresOrderStore.h"
#include "orderd/SqliteOrderStore.h"

#include <cstdio>

namespace quillane::orderd {

std::string MakeOrderId(const std::string& idStamp, std::int64_t number)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "%04lld", static_cast<long long>(number));
    return idStamp + "-" + digits;
}

std::unique_ptr<OrderStore> OpenOrderStore(const StoreAddress& address)
{
    if (!address.Database.empty()) {
        return std::make_unique<PostgresOrderStore>(address.Database);
    }
    return std::make_unique<SqliteOrderStore>(address.DataDir);
}

} // namespace quillane::orderd
