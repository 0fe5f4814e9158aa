// The order service's form reader, which every request's query and body go
// through: the fields it gives must be at most as many bytes as it read.

#include "FuzzSupport.h"
#include "orderd/OrderIntake.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const std::string_view form = fuzz::AsText(data, size);
    std::size_t bytes = 0;
    for (const orderd::FormField& f : orderd::ParseForm(form)) {
        bytes += f.Name.size() + f.Value.size();
    }
    // Decoding only ever shortens: "%XX" becomes one byte, "+" a blank.
    if (bytes > form.size()) {
        std::abort();
    }
    return 0;
}
