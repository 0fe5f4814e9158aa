#include "core/common/Text.h"

#include "core/common/Error.h"
#include "core/common/messages/CatalogMessages.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace quillane {

namespace {

// Windows-1252 upper and lower case for all 256 byte values.
struct CaseTables {
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};
    CaseTables()
    {
        for (int i = 0; i < 256; ++i) {
            upper[i] = lower[i] = static_cast<unsigned char>(i);
        }
        auto pair = [this](int up, int low) {
            upper[low] = static_cast<unsigned char>(up);
            lower[up] = static_cast<unsigned char>(low);
        };
        for (int c = 'a'; c <= 'z'; ++c) {
            pair(c - 32, c);
        }
        for (int c = 0xE0; c <= 0xFE; ++c) {
            if (c != 0xF7) {
                pair(c - 32, c);
            }
        }
        pair(0x8A, 0x9A); // S caron
        pair(0x8C, 0x9C); // OE
        pair(0x8E, 0x9E); // Z caron
        pair(0x9F, 0xFF); // Y diaeresis
    }
};

const CaseTables& caseTables()
{
    static const CaseTables tables;
    return tables;
}

// Unicode code points of the bytes 0x80..0x9F; 0 where the code page has none.
constexpr std::array<char16_t, 32> kHighControls = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool isBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Checks the form [sign] digits [. digits] [e [sign] digits] with at least
// one digit in the mantissa; blanks around are the caller's business.
bool isDecimalForm(std::string_view s)
{
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            ++i;
        }
        std::size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) {
            return false;
        }
    }
    return i == s.size();
}

} // namespace

char UpperChar(char c)
{
    return static_cast<char>(caseTables().upper[static_cast<unsigned char>(c)]);
}

char LowerChar(char c)
{
    return static_cast<char>(caseTables().lower[static_cast<unsigned char>(c)]);
}

std::string UpperCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = UpperChar(c);
    }
    return out;
}

std::string LowerCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = LowerChar(c);
    }
    return out;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperChar(a[i]) != UpperChar(b[i])) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        lines.emplace_back(text.substr(pos, end - pos));
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') {
            ++end;
        }
        pos = end + 1;
    }
    return lines;
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string Trim(std::string_view text)
{
    while (!text.empty() && isBlankOrControl(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlankOrControl(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

SplitArray Split(char separator, std::string_view text)
{
    SplitArray parts(1);
    for (char c : text) {
        if (c == separator) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement, bool caseSensitive)
{
    if (text.empty() || find.empty()) {
        return std::string(text);
    }
    const std::string haystack = caseSensitive ? std::string(text) : UpperCase(text);
    const std::string needle = caseSensitive ? std::string(find) : UpperCase(find);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = haystack.find(needle, pos);
        if (hit == std::string::npos) {
            break;
        }
        out.append(text.substr(pos, hit - pos));
        out.append(replacement);
        pos = hit + needle.size();
    }
    out.append(text.substr(pos));
    return out;
}

bool MatchWildcard(std::string_view text, std::string_view pattern)
{
    const std::size_t firstStar = pattern.find('*');
    if (firstStar == std::string_view::npos) {
        return text == pattern;
    }
    const std::string_view head = pattern.substr(0, firstStar);
    if (text.substr(0, head.size()) != head) {
        return false;
    }
    std::size_t reached = head.size();
    std::size_t partStart = firstStar + 1;
    while (true) {
        const std::size_t nextStar = pattern.find('*', partStart);
        const std::string_view part = pattern.substr(
            partStart, nextStar == std::string_view::npos ? std::string_view::npos : nextStar - partStart);
        const std::size_t hit = text.find(part, reached);
        if (nextStar == std::string_view::npos) {
            // The last literal part: its first occurrence must end the text,
            // unless the pattern ends with "*" (then part is empty).
            if (part.empty()) {
                return true;
            }
            return hit != std::string_view::npos && hit + part.size() == text.size();
        }
        if (hit == std::string_view::npos) {
            return false;
        }
        reached = hit + part.size();
        partStart = nextStar + 1;
    }
}

std::string ExtractBetween(std::string_view pattern, std::string_view source, std::string_view marker)
{
    if (marker.empty()) {
        return {};
    }
    const std::size_t at = pattern.find(marker);
    if (at == std::string_view::npos) {
        return {};
    }
    const std::string prefix = UpperCase(pattern.substr(0, at));
    const std::string suffix = UpperCase(pattern.substr(at + marker.size()));
    if (prefix.empty() || suffix.empty()) {
        return {};
    }
    const std::string upperSource = UpperCase(source);
    // Positions counted from 1 start at len(prefix) + len(marker).
    std::size_t from = prefix.size() + marker.size() - 1;
    while (true) {
        const std::size_t suffixAt = upperSource.find(suffix, from);
        if (suffixAt == std::string::npos) {
            return {};
        }
        if (suffixAt >= prefix.size()) {
            const std::size_t prefixAt = upperSource.rfind(prefix, suffixAt - prefix.size());
            if (prefixAt != std::string::npos) {
                const std::size_t begin = prefixAt + prefix.size();
                return std::string(source.substr(begin, suffixAt - begin));
            }
        }
        from = suffixAt + 1;
    }
}

std::string UrlEncode(std::string_view text)
{
    static constexpr std::string_view kKept = "!$'()*-.@_";
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            kKept.find(c) != std::string_view::npos) {
            out += c;
        } else if (c == ' ') {
            out += '+';
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%.2X", b);
            out += buf;
        }
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string UrlDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
                   HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string TidyHtmlText(std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    std::string out = ReplaceAll(text, "  ", " ");
    out = ReplaceAll(out, " <br>", "<br>");
    while (out.size() >= 4 && out.compare(out.size() - 4, 4, "<br>") == 0) {
        out.resize(out.size() - 4);
    }
    return Trim(out);
}

std::string StripDoubleQuotes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '"') {
            out += c;
        }
    }
    return out;
}

std::string EscapeSingleQuotes(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '\'':
            out += "\\'";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string EscapeHtml(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string ColorToHtml(ColorValue colour)
{
    // System colours resolve to the look of a light desktop theme.
    static constexpr std::array<ColorValue, 31> kSystem = {
        0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000, 0x000000, 0xB4B4B4,
        0xFCF7F4, 0xABABAB, 0xD77800, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969,
        0xE3E3E3, 0x000000, 0xE1FFFF, 0x000000, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xD77800, 0xF0F0F0};
    const std::uint32_t high = colour >> 24;
    if (high == 0xFF || high == 0x80) {
        const std::uint32_t index = colour & 0xFF;
        colour = index < kSystem.size() ? kSystem[index] : 0;
    }
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return buf;
}

std::string StringsToHTML(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines) {
        out += "\r\n\t\t";
        out += line;
        out += "<br>";
    }
    return out;
}

std::string FormatDecimals(int decimals, double value)
{
    if (decimals < 0) {
        decimals = 0;
    }
    std::string text;
    if (!std::isfinite(value)) {
        text = "0";
    } else {
        // Round the decimal form of the number (15 significant digits, as
        // it would be written) so that 1.005 gives 1.01, half away from zero.
        char sci[40];
        auto res = std::to_chars(sci, sci + sizeof sci, std::fabs(value), std::chars_format::scientific, 14);
        std::string_view s(sci, res.ptr - sci);
        const std::size_t e = s.find('e');
        std::string digits;
        digits += s[0];
        digits.append(s.substr(2, e - 2));
        int exponent = 0;
        std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), exponent);
        // value = 0.d1d2d3... * 10^(exponent + 1); keep exponent+1+decimals digits.
        const int keep = exponent + 1 + decimals;
        std::string kept;
        if (keep < 0) {
            kept = "";
        } else if (keep >= static_cast<int>(digits.size())) {
            kept = digits + std::string(keep - digits.size(), '0');
        } else {
            kept = digits.substr(0, keep);
            if (digits[keep] >= '5') {
                int i = static_cast<int>(kept.size()) - 1;
                while (i >= 0 && kept[i] == '9') {
                    kept[i] = '0';
                    --i;
                }
                if (i >= 0) {
                    ++kept[i];
                } else {
                    kept.insert(kept.begin(), '1');
                }
            }
        }
        // kept holds the value times 10^decimals as an integer text.
        if (static_cast<int>(kept.size()) <= decimals) {
            kept = std::string(decimals + 1 - kept.size(), '0') + kept;
        }
        std::string intPart = kept.substr(0, kept.size() - decimals);
        const std::size_t nz = intPart.find_first_not_of('0');
        intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
        text = intPart;
        if (decimals > 0) {
            text += '.';
            text += kept.substr(kept.size() - decimals);
        }
        const bool zero = kept.find_first_not_of('0') == std::string::npos;
        if (value < 0 && !zero) {
            text.insert(text.begin(), '-');
        }
    }
    if (text.size() < 3) {
        text.insert(0, 3 - text.size(), ' ');
    }
    return text;
}

bool TryParseDecimal(std::string_view text, double& value)
{
    std::string_view s = TrimBlanks(text);
    if (!isDecimalForm(s)) {
        return false;
    }
    if (s.front() == '+') {
        s.remove_prefix(1);
    }
    double parsed = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), parsed);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

bool TryParseInteger(std::string_view text, std::int32_t& value)
{
    std::string_view s = TrimBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    } else if (s.size() > 1 && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return false;
    }
    std::uint64_t magnitude = 0;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (res.ec != std::errc() || res.ptr != s.data() + s.size()) {
        return false;
    }
    if (base == 16 && !negative && magnitude <= 0xFFFFFFFFu) {
        // Hexadecimal values fill all 32 bits, as colours do.
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
        return true;
    }
    if (negative ? magnitude > 2147483648ull : magnitude > 2147483647ull) {
        return false;
    }
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

std::string FormatNumber(double value)
{
    if (!std::isfinite(value)) {
        return "0";
    }
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
}

bool HasControlChar(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; });
}

bool TryParseAmount(std::string_view text, double& value)
{
    std::string s(TrimBlanks(text));
    if (const std::size_t comma = s.find(','); comma != std::string::npos && s.find('.') == std::string::npos) {
        s[comma] = '.';
    }
    double parsed = 0;
    if (!TryParseDecimal(s, parsed) || parsed < 0 || parsed > kMaxAmount) {
        return false;
    }
    value = parsed == 0 ? 0 : parsed; // no "-0"
    return true;
}

std::string CheckedNumber(const std::string& value, std::string_view where)
{
    double number = 0;
    if (!TryParseDecimal(value, number)) {
        throw Error(msg::ValueNotDecimal, {where, value});
    }
    return value;
}

std::string CheckedAmount(const std::string& value, std::string_view where)
{
    double amount = 0;
    if (!TryParseAmount(value, amount)) {
        throw Error(msg::ValueNotAmount, {where, value, FormatNumber(kMaxAmount)});
    }
    std::string text = value;
    if (text.find('.') == std::string::npos) {
        std::replace(text.begin(), text.end(), ',', '.');
    }
    return text;
}

std::string CheckedRate(const std::string& value, std::string_view where)
{
    double rate = 0;
    if (!TryParseDecimal(value, rate) || rate <= 0 || rate > kMaxAmount) {
        throw Error(msg::ValueNotRate, {where, value});
    }
    return value;
}

double ParseNumber(std::string_view text)
{
    if (text.empty()) {
        return 0;
    }
    double value = 0;
    if (TryParseDecimal(text, value)) {
        return value;
    }
    std::string second;
    for (char c : text) {
        if (isDigit(c) || c == '.') {
            second += c;
        } else if (c == ',') {
            second += '.';
        }
    }
    if (TryParseDecimal(second, value)) {
        return value;
    }
    return 0;
}

std::string Cp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else if (b < 0xA0) {
            const char16_t cp = kHighControls[b - 0x80];
            // The five unassigned bytes map to the C1 controls, so a round
            // trip keeps every byte.
            AppendUtf8(out, cp != 0 ? cp : b);
        } else {
            AppendUtf8(out, b);
        }
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        char32_t cp = 0;
        std::size_t len = 1;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            len = 4;
        } else {
            out += '?';
            ++i;
            continue;
        }
        bool valid = i + len <= text.size();
        for (std::size_t k = 1; valid && k < len; ++k) {
            const auto cb = static_cast<unsigned char>(text[i + k]);
            if ((cb & 0xC0) != 0x80) {
                valid = false;
            } else {
                cp = (cp << 6) | (cb & 0x3F);
            }
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        i += len;
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (std::size_t k = 0; k < kHighControls.size(); ++k) {
            if ((kHighControls[k] != 0 && kHighControls[k] == cp) || (kHighControls[k] == 0 && cp == 0x80 + k)) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out += mapped;
    }
    return out;
}

std::string VisibleControlChars(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        switch (c) {
        case '\0':
            out += "\\0";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default: {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
        }
    }
    return out;
}

} // namespace quillane
