#include "core/settings/BankDetails.h"

#include "core/common/Error.h"
#include "core/common/messages/SettingsMessages.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quillane {

namespace {

bool isUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Length of an IBAN by its country, for the countries that use one.
constexpr std::pair<std::string_view, std::size_t> kIbanLengths[] = {
    {"AD", 24}, {"AE", 23}, {"AL", 28}, {"AT", 20}, {"AZ", 28}, {"BA", 20}, {"BE", 16}, {"BG", 22}, {"BH", 22},
    {"BR", 29}, {"BY", 28}, {"CH", 21}, {"CR", 22}, {"CY", 28}, {"CZ", 24}, {"DE", 22}, {"DK", 18}, {"DO", 28},
    {"EE", 20}, {"EG", 29}, {"ES", 24}, {"FI", 18}, {"FO", 18}, {"FR", 27}, {"GB", 22}, {"GE", 22}, {"GI", 23},
    {"GL", 18}, {"GR", 27}, {"GT", 28}, {"HR", 21}, {"HU", 28}, {"IE", 22}, {"IL", 23}, {"IQ", 23}, {"IS", 26},
    {"IT", 27}, {"JO", 30}, {"KW", 30}, {"KZ", 20}, {"LB", 28}, {"LC", 32}, {"LI", 21}, {"LT", 20}, {"LU", 20},
    {"LV", 21}, {"MC", 27}, {"MD", 24}, {"ME", 22}, {"MK", 19}, {"MR", 27}, {"MT", 31}, {"MU", 30}, {"NL", 18},
    {"NO", 15}, {"PK", 24}, {"PL", 28}, {"PS", 29}, {"PT", 25}, {"QA", 29}, {"RO", 24}, {"RS", 22}, {"SA", 24},
    {"SC", 31}, {"SE", 24}, {"SI", 19}, {"SK", 24}, {"SM", 27}, {"ST", 25}, {"SV", 28}, {"TL", 23}, {"TN", 24},
    {"TR", 26}, {"UA", 29}, {"VA", 22}, {"VG", 24}, {"XK", 20},
};

bool lengthFits(std::string_view iban)
{
    const std::string_view country = iban.substr(0, 2);
    for (const auto& [code, length] : kIbanLengths) {
        if (code == country) {
            return iban.size() == length;
        }
    }
    return iban.size() >= 15 && iban.size() <= 34;
}

bool hasIbanShape(std::string_view iban)
{
    return iban.size() >= 4 && isUpper(iban[0]) && isUpper(iban[1]) && isDigit(iban[2]) && isDigit(iban[3]) &&
           std::all_of(iban.begin(), iban.end(), [](char c) { return isUpper(c) || isDigit(c); });
}

} // namespace

std::string CompactIban(std::string_view typed)
{
    std::string out;
    for (char c : typed) {
        if (c == ' ' || c == '\t') {
            continue;
        }
        out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

std::string GroupedIban(std::string_view iban)
{
    std::string out;
    for (std::size_t i = 0; i < iban.size(); ++i) {
        if (i > 0 && i % 4 == 0) {
            out += ' ';
        }
        out += iban[i];
    }
    return out;
}

bool IsValidIban(std::string_view iban)
{
    if (!hasIbanShape(iban) || !lengthFits(iban)) {
        return false;
    }
    // The first four characters go to the end; letters count as 10 to 35.
    int remainder = 0;
    for (std::size_t i = 0; i < iban.size(); ++i) {
        const char c = iban[(i + 4) % iban.size()];
        if (isDigit(c)) {
            remainder = (remainder * 10 + (c - '0')) % 97;
        } else {
            remainder = (remainder * 100 + (c - 'A' + 10)) % 97;
        }
    }
    return remainder == 1;
}

bool IsValidBic(std::string_view bic)
{
    if (bic.size() != 8 && bic.size() != 11) {
        return false;
    }
    for (std::size_t i = 0; i < bic.size(); ++i) {
        const bool ok = i < 6 ? isUpper(bic[i]) : (isUpper(bic[i]) || isDigit(bic[i]));
        if (!ok) {
            return false;
        }
    }
    return true;
}

void CheckBankDetails(std::string_view iban, std::string_view bic)
{
    if (!iban.empty() && !IsValidIban(iban)) {
        if (!hasIbanShape(iban)) {
            throw Error(msg::IbanNoShape, {GroupedIban(iban)});
        }
        if (!lengthFits(iban)) {
            throw Error(msg::IbanWrongLength, {GroupedIban(iban), iban.size()});
        }
        throw Error(msg::IbanWrongCheckDigits, {GroupedIban(iban)});
    }
    if (!bic.empty() && !IsValidBic(bic)) {
        throw Error(msg::BicInvalid, {bic});
    }
}

} // namespace quillane
