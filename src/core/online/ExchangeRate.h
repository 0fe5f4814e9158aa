#pragma once

#include "core/common/Message.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillane {

// Where rates come from when quillane.ini names no service: the European
// Central Bank's daily reference rates.
inline constexpr std::string_view kDefaultRateService = "https://www.ecb.europa.eu/stats/eurofxref/eurofxref-daily.xml";

// RateService of section Services of the settings file of programDir.
std::string RateServiceAddress(const std::string& programDir);

// An address whose path ends in ".xml" is a reference-rate file
// (<Cube currency='USD' rate='1.0812'/>, units per euro); any other address
// is a converter service that is asked for one currency.
bool IsRateFile(std::string_view serviceAddress);

// The address to fetch for currencyCode: the rate file itself, or the
// converter's page for that code. The code goes in unencoded.
std::string RateRequestUrl(std::string_view serviceAddress, std::string_view currencyCode);

// The rate of currencyCode in a service's answer, as the text for the
// euro-rate field; empty when the answer holds no usable rate.
std::string ExtractRate(std::string_view answer, std::string_view serviceAddress, std::string_view currencyCode);

// Fetches an address and gives back the body; throws on any failure.
using HttpFetch = std::function<std::string(const std::string& url)>;

// How a rate download ended. Only Found changes the euro-rate field; the
// others say why not, so the merchant knows whether to try again later
// (Unreachable), to check the service's address (Refused), or to type the
// rate (NoRate).
struct RateAnswer {
    enum class Outcome { Found, Unreachable, Refused, NoRate };
    Outcome Result = Outcome::Found;
    std::string Rate;     // Found: the text for the euro-rate field
    std::string Currency; // the currency code asked for
    std::string Reason;   // Unreachable, Refused: what the transfer reported, in English
    Message Cause;        // the same, to say in the interface language
};

// The rate download of the "DOWNLOAD" buttons, once WebConnect has said yes:
// the currency code of country (a section of the country table of
// programDir, "EUR" when missing) is asked of the configured service through
// fetch. A fetch that throws HttpStatusError was refused; any other
// exception means the service was not reached.
RateAnswer FetchExchangeRate(const std::string& programDir, const std::string& country, const HttpFetch& fetch);

} // namespace quillane
