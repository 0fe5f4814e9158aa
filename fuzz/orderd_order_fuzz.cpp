// An order as the shop posts it: read and its figures checked. What is
// taken must stay one "key=value" line per field in the fetch.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "orderd/OrderFigures.h"
#include "orderd/OrderIntake.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    try {
        const orderd::ReceivedOrder order = orderd::ReadOrder(fuzz::AsText(data, size));
        orderd::CheckOrderFigures(order.Fields);
        // A line break or "=" left in a name or value would hand the program
        // a field the customer made up.
        for (const orderd::FormField& f : order.Fields) {
            if (f.Name.empty() || f.Name.find_first_of("=\r\n") != std::string::npos ||
                f.Value.find_first_of("=\r\n") != std::string::npos) {
                std::abort();
            }
        }
        const std::string lines = orderd::FieldLines(order.Fields);
        if (static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n')) != order.Fields.size()) {
            std::abort();
        }
    } catch (const Error&) {
    }
    return 0;
}
