#pragma once

#include <string>
#include <string_view>

// IBAN and BIC of the merchant's account, as the shop profile keeps them for
// payment in advance.
namespace quillane {

// The IBAN without blanks, in capitals: what is stored and checked.
std::string CompactIban(std::string_view typed);
// Groups of four, as printed on paper: "DE89 3704 0044 0532 0130 00".
std::string GroupedIban(std::string_view iban);

// Whether the (compact) IBAN is one: two letters, two check digits, the
// length its country uses (15 to 34 characters for a country not listed)
// and the check sum mod 97 of 1.
bool IsValidIban(std::string_view compact);
// Whether the text has the shape of a BIC: 4 letters of the bank, 2 of the
// country, 2 letters or digits of the place, optionally 3 of the branch.
bool IsValidBic(std::string_view compact);

// Both checked; an empty field is allowed (the merchant may have none).
// Throws Error naming the field and the value otherwise.
void CheckBankDetails(std::string_view iban, std::string_view bic);

} // namespace quillane
