#include "core/orders/Crypt.h"

#include "core/common/Text.h"

#include <array>

namespace quillane {

namespace {

constexpr std::string_view kAlphabet = "0123456789AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz.,:;()/|";

// Byte to byte, built once: the moved character, or the byte itself.
constexpr std::array<char, 256> makeTable()
{
    std::array<char, 256> table{};
    for (std::size_t b = 0; b < table.size(); ++b) {
        table[b] = static_cast<char>(b);
    }
    for (std::size_t p = 0; p < kAlphabet.size(); ++p) {
        table[static_cast<unsigned char>(kAlphabet[p])] = kAlphabet[(p + kAlphabet.size() / 2) % kAlphabet.size()];
    }
    return table;
}

constexpr std::array<char, 256> kMoved = makeTable();

std::string moved(std::string text)
{
    for (char& c : text) {
        c = kMoved[static_cast<unsigned char>(c)];
    }
    return text;
}

} // namespace

std::string Crypt(std::string_view text)
{
    return UrlEncode(moved(UrlDecode(text)));
}

std::string UnscrambleOrderField(std::string_view received)
{
    // The encoding in between keeps a "+" the customer typed from turning
    // into a blank.
    return UrlDecode(Crypt(received));
}

} // namespace quillane
