#pragma once

#include "core/common/Message.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Text and number helpers. Texts are Windows-1252 bytes.
namespace quillane {

using SplitArray = std::vector<std::string>;

// n separators give n + 1 elements; never empty.
SplitArray Split(char separator, std::string_view text);

// Replaces every non-overlapping occurrence from left to right; without
// caseSensitive, letters match under the Windows-1252 upper-case mapping.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement,
                       bool caseSensitive = false);

// "*" stands for any run; matching goes left to right without backtracking.
bool MatchWildcard(std::string_view text, std::string_view pattern);

// The text between the parts of pattern before and after marker.
std::string ExtractBetween(std::string_view pattern, std::string_view source, std::string_view marker);

std::string UrlEncode(std::string_view text);
// "+" becomes a blank and every "%" with two hexadecimal digits that byte;
// a "%" without them stays as it is.
std::string UrlDecode(std::string_view text);
std::string TidyHtmlText(std::string_view text);
std::string StripDoubleQuotes(std::string_view text);

// Makes text safe inside a single-quoted script literal: backslashes,
// quotes and line breaks are escaped.
std::string EscapeSingleQuotes(std::string_view text);

// & < > " and ' as character references: safe in HTML text and in quoted
// attribute values.
std::string EscapeHtml(std::string_view text);

// A colour value as stored by the program: 0x00BBGGRR, or a system colour
// (high byte 0xFF or 0x80, low byte the system colour index).
using ColorValue = std::uint32_t;
std::string ColorToHtml(ColorValue colour);

std::string StringsToHTML(const std::vector<std::string>& lines);

std::string FormatDecimals(int decimals, double value);
double ParseNumber(std::string_view text);

// Strict reading of a decimal number with "." (blanks around, sign and
// exponent allowed); false when the text is no number.
[[nodiscard]] bool TryParseDecimal(std::string_view text, double& value);
// Strict reading of a 32-bit integer, decimal or with "0x".
[[nodiscard]] bool TryParseInteger(std::string_view text, std::int32_t& value);
// The largest amount a price, surcharge or fee may have: a shop multiplies
// it by quantities and rates, and must still show every digit.
constexpr double kMaxAmount = 999999999.0;
// An amount as a merchant types it or the program stores it: a decimal
// number with "." or ",". False for no number at all (empty, text, "1,5';"),
// a negative one or one beyond kMaxAmount; value is then left alone.
[[nodiscard]] bool TryParseAmount(std::string_view text, double& value);

// The checked readings of a stored value: each gives the value back as the
// shop reads it, or throws an error that names where the value comes from.
// A decimal number ("5.000", "-1", "1e3"), kept as stored.
std::string CheckedNumber(const std::string& value, const MessageArg& where);
// An amount of money (price, surcharge, fee): a number from 0 to kMaxAmount,
// a decimal comma written as "."; the shop would sell at 0.00 or below, or
// show a sum it cannot print.
std::string CheckedAmount(const std::string& value, const MessageArg& where);
// An exchange rate above 0, kept as stored: the shop multiplies every price
// by it.
std::string CheckedRate(const std::string& value, const MessageArg& where);
// Numbers as the program writes them: "." and at most 15 significant digits.
std::string FormatNumber(double value);

// Windows-1252 letter case.
char UpperChar(char c);
char LowerChar(char c);
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);

// The lines of a text; lines end at CR LF, LF or CR, and a line end after
// the last line adds no empty line.
std::vector<std::string> SplitLines(std::string_view text);

// True when text holds a byte below 0x20 or DEL.
bool HasControlChar(std::string_view text);

// Drops leading and trailing blanks and tabs only.
std::string_view TrimBlanks(std::string_view text);
// Drops leading and trailing blanks and control characters.
std::string Trim(std::string_view text);

// Windows-1252 to and from UTF-8, for the window and the terminal.
// Appends the UTF-8 bytes of a code point.
void AppendUtf8(std::string& out, char32_t codePoint);
// The value of a hexadecimal digit, -1 for any other character.
int HexDigitValue(char c);
std::string Cp1252ToUtf8(std::string_view text);
// Characters that Windows-1252 lacks become "?".
std::string Utf8ToCp1252(std::string_view text);

// A message text with its control characters spelled out: "\0", "\t",
// "\n", "\r", "\x01"... Backslashes stay as they are, so a text that has
// been through here comes out unchanged the second time.
std::string VisibleControlChars(std::string_view text);

} // namespace quillane
