#include "orderd/ShopScripts.h"

#include "core/common/Text.h"
#include "orderd/CartRules.h"
#include "orderd/ServiceError.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

namespace quillane::orderd {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The script literal ('...' or "...") at pos, blanks before it skipped;
// end is set after its closing quote. nullopt when there is none.
std::optional<std::string> literalAt(const std::string& script, std::size_t pos, std::size_t* end = nullptr)
{
    while (pos < script.size() && isBlank(script[pos])) {
        ++pos;
    }
    if (pos >= script.size() || (script[pos] != '\'' && script[pos] != '"')) {
        return std::nullopt;
    }
    const char quote = script[pos];
    std::string out;
    for (std::size_t i = pos + 1; i < script.size(); ++i) {
        const char c = script[i];
        if (c == quote) {
            if (end) {
                *end = i + 1;
            }
            return out;
        }
        if (c == '\r' || c == '\n') {
            return std::nullopt; // a literal does not span lines
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == script.size()) {
            break;
        }
        const char escaped = script[i];
        out += escaped == 'r' ? '\r' : escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
    }
    return std::nullopt;
}

// The literal right after the first marker; throws naming it when the
// script has none.
std::string literalAfter(const std::string& script, std::string_view marker, const std::string& file)
{
    const std::size_t at = script.find(marker);
    if (at == std::string::npos) {
        throw ServiceError(file + " holds no \"" + std::string(marker) + "\"");
    }
    const auto literal = literalAt(script, at + marker.size());
    if (!literal) {
        throw ServiceError(file + " holds " + std::string(marker) + " without a quoted value");
    }
    return *literal;
}

// parseFloat(text.replace(',', '.')) || fallback, as var_init.js reads its numbers.
double numberOr(const std::string& text, double fallback)
{
    const double v = ShopNumber(text);
    return v == 0 ? fallback : v;
}

bool isCode(const std::string& code)
{
    if (code.empty() || code.size() > 16) {
        return false;
    }
    for (char c : code) {
        const bool ok =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

} // namespace

ShopSettings ReadShopSettings(const std::string& script)
{
    const std::string file = "var_init.js";
    ShopSettings s;
    s.HomeIndex = literalAfter(script, "Shop.Home.Index =", file);
    // parseFloat('1.19') || 1, without the comma that the other numbers may have.
    const double vat = JsParseFloat(literalAfter(script, "Shop.Home.VAT = parseFloat(", file));
    s.HomeVat = std::isnan(vat) || vat == 0 ? 1 : vat;
    const double eu = JsParseInt(literalAfter(script, "Shop.Home.EU = parseInt(", file));
    s.HomeEu = std::isnan(eu) ? 0 : eu;
    const double byDestination = JsParseInt(literalAfter(script, "Shop.VatByDestination = parseInt(", file));
    s.VatByDestination = !std::isnan(byDestination) && byDestination > 0;
    s.QuantityLevels = Split('|', literalAfter(script, "var mrabatt =", file));
    s.PriceLevels = Split('|', literalAfter(script, "var prabatt =", file));
    s.FreeDelivery = numberOr(literalAfter(script, "Shop.Versand.Freihaus = parseFloat(", file), 0);
    s.Packing = numberOr(literalAfter(script, "Shop.Versand.Verpackung = parseFloat(", file), 0);

    // Land['de'] = 'Deutschland|deutsch'; one line per country.
    constexpr std::string_view kLand = "\nLand[";
    for (std::size_t at = script.find(kLand); at != std::string::npos; at = script.find(kLand, at + 1)) {
        std::size_t end = 0;
        const auto code = literalAt(script, at + kLand.size(), &end);
        if (!code || !isCode(*code)) {
            throw ServiceError(file + " names a country whose code is not letters, digits, \"-\" and \"_\"");
        }
        if (s.CountryCodes.size() == kMaxShopCountries) {
            throw ServiceError(file + " names more than " + std::to_string(kMaxShopCountries) + " countries");
        }
        // A key set twice is one country in the shop window.
        if (std::find(s.CountryCodes.begin(), s.CountryCodes.end(), *code) == s.CountryCodes.end()) {
            s.CountryCodes.push_back(*code);
        }
    }
    if (s.CountryCodes.empty()) {
        throw ServiceError(file + " names no country (Land['...'])");
    }
    return s;
}

ShopCountry ReadCountryScript(const std::string& script, const std::string& code)
{
    const std::string file = "countries/settings/" + code + ".js";
    ShopCountry c;
    c.Code = code;
    c.Name = literalAfter(script, "s.Destination.Name =", file);
    c.Vat = ShopNumber(literalAfter(script, "s.Destination.VAT = amount(", file));
    c.Eu = ShopNumber(literalAfter(script, "s.Destination.EU = amount(", file));
    c.ShippingFee = ShopNumber(literalAfter(script, "s.Versand.Porto = amount(s.Versand.Verpackung) + amount(", file));

    // parent.Shop.Versand.Zahlung.nn = 2.000;
    constexpr std::string_view kPayment = "Shop.Versand.Zahlung.";
    for (std::size_t at = script.find(kPayment); at != std::string::npos; at = script.find(kPayment, at + 1)) {
        const std::size_t keyStart = at + kPayment.size();
        std::size_t keyEnd = keyStart;
        while (keyEnd < script.size() &&
               (std::isalnum(static_cast<unsigned char>(script[keyEnd])) != 0 || script[keyEnd] == '_')) {
            ++keyEnd;
        }
        const std::size_t eq = script.find_first_not_of(" \t", keyEnd);
        const std::size_t semicolon = script.find_first_of(";\r\n", keyEnd);
        if (keyEnd == keyStart || eq == std::string::npos || script[eq] != '=' || semicolon == std::string::npos ||
            semicolon < eq) {
            throw ServiceError(file + " sets a payment method that is not \"Zahlung.key = fee;\"");
        }
        if (c.Payments.size() == 16) {
            throw ServiceError(file + " sets more than 16 payment methods");
        }
        c.Payments.emplace_back(script.substr(keyStart, keyEnd - keyStart),
                                Trim(script.substr(eq + 1, semicolon - eq - 1)));
    }
    return c;
}

} // namespace quillane::orderd
