#include "core/online/ExchangeRate.h"

#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/online/HttpClient.h"
#include "core/settings/Country.h"
#include "core/settings/UserData.h"

#include <exception>

namespace quillane {

namespace {

constexpr std::string_view kHomeCurrency = "EUR";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Prices are divided by the rate, so only a number above zero is a rate.
std::string usableRate(std::string_view text)
{
    double value = 0;
    if (!TryParseDecimal(text, value) || !(value > 0)) {
        return {};
    }
    return std::string(TrimBlanks(text));
}

// The converter page names the rate as in "1.00 Euro (EUR) = 1.2345 US Dollar (USD)".
std::string rateFromConverterPage(std::string_view answer, std::string_view code)
{
    const std::string pattern = "(EUR) = ? (" + std::string(code) + ")";
    return usableRate(Split(' ', ExtractBetween(pattern, answer, "?"))[0]);
}

// The currency and rate attributes of the inside of one tag, after its name.
void readCubeAttributes(std::string_view text, std::string_view& currency, std::string_view& rate)
{
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && isBlank(text[i])) {
            ++i;
        }
    };
    while (true) {
        skipBlanks();
        const std::size_t nameStart = i;
        while (i < text.size() && !isBlank(text[i]) && text[i] != '=' && text[i] != '/') {
            ++i;
        }
        const std::string_view name = text.substr(nameStart, i - nameStart);
        skipBlanks();
        if (i >= text.size() || text[i] != '=') {
            return;
        }
        ++i;
        skipBlanks();
        if (i >= text.size() || (text[i] != '\'' && text[i] != '"')) {
            return;
        }
        const char quote = text[i++];
        const std::size_t close = text.find(quote, i);
        if (close == std::string_view::npos) {
            return;
        }
        const std::string_view value = text.substr(i, close - i);
        i = close + 1;
        if (SameText(name, "currency")) {
            currency = value;
        } else if (SameText(name, "rate")) {
            rate = value;
        }
    }
}

std::string rateFromFile(std::string_view answer, std::string_view code)
{
    // The file counts in euro, so it never lists the euro itself.
    if (SameText(code, kHomeCurrency)) {
        return "1";
    }
    std::size_t pos = 0;
    while ((pos = answer.find('<', pos)) != std::string_view::npos) {
        const std::size_t end = answer.find('>', pos);
        if (end == std::string_view::npos) {
            break;
        }
        const std::string_view tag = answer.substr(pos + 1, end - pos - 1);
        pos = end + 1;
        const std::size_t nameEnd = tag.find_first_of(" \t\r\n/");
        if (nameEnd == std::string_view::npos || !SameText(tag.substr(0, nameEnd), "Cube")) {
            continue;
        }
        std::string_view currency;
        std::string_view rate;
        readCubeAttributes(tag.substr(nameEnd), currency, rate);
        if (!currency.empty() && SameText(currency, code)) {
            return usableRate(rate);
        }
    }
    return {};
}

} // namespace

std::string RateServiceAddress(const std::string& programDir)
{
    const std::string address = IniFile(SettingsFilePath(programDir)).ReadString("Services", "RateService", "");
    // A key left blank would make every download fail.
    return address.empty() ? std::string(kDefaultRateService) : address;
}

bool IsRateFile(std::string_view serviceAddress)
{
    const std::string_view path = serviceAddress.substr(0, serviceAddress.find_first_of("?#"));
    return path.size() >= 4 && SameText(path.substr(path.size() - 4), ".xml");
}

std::string RateRequestUrl(std::string_view serviceAddress, std::string_view currencyCode)
{
    if (IsRateFile(serviceAddress)) {
        return std::string(serviceAddress);
    }
    std::string base(serviceAddress);
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    return base + "/apps/currencyconverter?exch=" + std::string(currencyCode) + "&expr=EUR&value=1";
}

std::string ExtractRate(std::string_view answer, std::string_view serviceAddress, std::string_view currencyCode)
{
    return IsRateFile(serviceAddress) ? rateFromFile(answer, currencyCode)
                                      : rateFromConverterPage(answer, currencyCode);
}

RateAnswer FetchExchangeRate(const std::string& programDir, const std::string& country, const HttpFetch& fetch)
{
    RateAnswer result;
    result.Currency = IniFile(CountryTablePath(programDir)).ReadString(country, "CurrencyCode", kHomeCurrency);
    const std::string address = RateServiceAddress(programDir);
    std::string answer;
    try {
        answer = fetch(RateRequestUrl(address, result.Currency));
    } catch (const HttpStatusError& e) {
        result.Result = RateAnswer::Outcome::Refused;
        result.Reason = e.what();
        result.Cause = MessageOf(e);
        return result;
    } catch (const std::exception& e) {
        result.Result = RateAnswer::Outcome::Unreachable;
        result.Reason = e.what();
        result.Cause = MessageOf(e);
        return result;
    }
    result.Rate = ExtractRate(answer, address, result.Currency);
    if (result.Rate.empty()) {
        result.Result = RateAnswer::Outcome::NoRate;
    }
    return result;
}

} // namespace quillane
