// The exchange-rate service's answer, and the service addresses of the
// settings file. Parts: quillane.ini, countries.dat, the answer.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "core/listing/AuctionListing.h"
#include "core/online/ExchangeRate.h"
#include "core/orders/OrderService.h"
#include "core/settings/Country.h"
#include "core/settings/UserData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), 3);
    const std::string programDir = fuzz::CleanScratch();
    fuzz::WriteBytes(SettingsFilePath(programDir), parts.size() == 3 ? parts[0] : std::string_view());
    fuzz::WriteBytes(CountryTablePath(programDir), parts.size() == 3 ? parts[1] : "[Schweiz]\nCurrencyCode=CHF\n");
    const std::string answer(parts.back());
    try {
        OrderServiceAddress(programDir);
        ProductSiteAddress(programDir);
        TCountry home;
        home.Name = "Schweiz";
        ListingPageAddress(programDir, home);
        const std::string address = RateServiceAddress(programDir);
        IsRateFile(address);
        FetchExchangeRate(programDir, "Schweiz", [&answer](const std::string&) { return answer; });
        ExtractRate(answer, kDefaultRateService, "USD");
        ExtractRate(answer, "https://rates.example/rate?", "USD");
    } catch (const Error&) {
    }
    return 0;
}
