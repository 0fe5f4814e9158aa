// The account page: the address it was reached at and its HTML, whose
// markers may take over the account. Parts: the settings file (for the order
// service's address), the page's address, the page.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "core/online/AccountManager.h"
#include "core/settings/UserData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), 3);
    const std::string programDir = fuzz::CleanScratch();
    const std::string_view settings = parts.size() == 3 ? parts[0] : std::string_view();
    const std::string_view address = parts.size() == 3 ? parts[1] : "https://orders.quillane.example/qln/";
    const std::string_view html = parts.back();
    fuzz::WriteBytes(SettingsFilePath(programDir), settings);
    try {
        TakeOverAccount(programDir, address, html);
        AddressUnder(address, html.substr(0, 200));
    } catch (const Error&) {
    }
    return 0;
}
