#pragma once

#include <string>
#include <string_view>

// The shop's scrambling of the order data it sends. Every character of a
// 70-character alphabet moves 35 places on, half the alphabet, so the same
// function scrambles and unscrambles.
namespace quillane {

// URL-decodes text, moves the alphabet's characters, URL-encodes again
// (UrlEncode). Bytes outside the alphabet pass unchanged.
std::string Crypt(std::string_view text);

// The plain value of an order field as the order service received it after
// form decoding: UrlDecode(Crypt(received)). The shop URL-encodes each value
// before scrambling it, so the result is the bytes the customer typed (UTF-8).
std::string UnscrambleOrderField(std::string_view received);

} // namespace quillane
