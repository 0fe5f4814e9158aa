#include "orderd/OrderIntake.h"

#include "core/common/Text.h"
#include "core/orders/Crypt.h"

#include <charconv>
#include <set>

namespace quillane::orderd {

namespace {

// Keys the service writes itself, or the program does.
constexpr std::string_view kReserved[] = {"date", "queue", "confirmed", "printed"};

bool isFieldName(std::string_view name)
{
    if (name.empty() || name.size() > 32) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(i > 0 && ((c >= '0' && c <= '9') || c == '_'))) {
            return false;
        }
    }
    return true;
}

// A number written as the shop writes whole numbers: digits, no sign, no
// leading zero. -1 otherwise.
long wholeNumber(std::string_view text)
{
    if (text.empty() || text.size() > 9 || (text.size() > 1 && text.front() == '0')) {
        return -1;
    }
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : -1;
}

// What a name or value looks like in a message: short and on one line.
std::string shown(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    return "\"" + std::string(text.substr(0, kShown)) + (text.size() > kShown ? "..." : "") + "\"";
}

// The fetch reads "key=value" lines and ends a value at the first "=".
std::string madeSafe(std::string_view name, const std::string& value)
{
    const std::string lineBreak = name == "notes" ? " | " : " ";
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
                ++i;
            }
            out += lineBreak;
        } else if (c == '=') {
            out += ':';
        } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::size_t limitOf(std::string_view name, bool itemLine)
{
    if (name == "notes") {
        return OrderLimits::kMaxNotes;
    }
    return itemLine ? OrderLimits::kMaxItemLine : OrderLimits::kMaxField;
}

} // namespace

std::vector<FormField> ParseForm(std::string_view body)
{
    std::vector<FormField> fields;
    for (const std::string& pair : Split('&', body)) {
        if (pair.empty()) {
            continue;
        }
        const std::size_t eq = pair.find('=');
        if (eq == std::string::npos) {
            fields.push_back({UrlDecode(pair), {}});
        } else {
            fields.push_back(
                {UrlDecode(std::string_view(pair).substr(0, eq)), UrlDecode(std::string_view(pair).substr(eq + 1))});
        }
    }
    return fields;
}

const std::string* FindField(const std::vector<FormField>& fields, std::string_view name)
{
    for (const FormField& f : fields) {
        if (f.Name == name) {
            return &f.Value;
        }
    }
    return nullptr;
}

ReceivedOrder ReadOrder(std::string_view body)
{
    const std::vector<FormField> sent = ParseForm(body);
    ReceivedOrder order;
    bool haveUser = false;
    std::set<std::string> names;
    std::set<long> itemLines;
    std::size_t others = 0;
    for (const FormField& field : sent) {
        if (!isFieldName(field.Name)) {
            throw OrderRefused("The field name " + shown(field.Name) + " is not accepted");
        }
        if (!names.insert(field.Name).second) {
            throw OrderRefused("The field " + field.Name + " is sent twice");
        }
        for (std::string_view reserved : kReserved) {
            if (field.Name == reserved) {
                throw OrderRefused("The field " + field.Name + " is the service's own and cannot be sent");
            }
        }
        const bool itemLine = field.Name.size() > 4 && field.Name.starts_with("item") &&
                              field.Name.find_first_not_of("0123456789", 4) == std::string::npos;
        if (itemLine) {
            const long index = wholeNumber(std::string_view(field.Name).substr(4));
            if (index < 0 || index >= OrderLimits::kMaxItems) {
                throw OrderRefused("The field " + field.Name + " is no item line");
            }
            itemLines.insert(index);
        } else if (++others > OrderLimits::kMaxOtherFields) {
            throw OrderRefused("The order has more than " + std::to_string(OrderLimits::kMaxOtherFields) +
                               " fields beside its item lines");
        }
        const std::string plain = Utf8ToCp1252(UnscrambleOrderField(field.Value));
        if (plain.size() > limitOf(field.Name, itemLine)) {
            throw OrderRefused("The field " + field.Name + " is longer than " +
                               std::to_string(limitOf(field.Name, itemLine)) + " characters");
        }
        if (field.Name == "UserID") {
            order.UserId = plain;
            haveUser = true;
        } else {
            order.Fields.push_back({field.Name, madeSafe(field.Name, plain)});
        }
    }
    if (!haveUser || order.UserId.empty()) {
        throw OrderRefused("The order names no account (UserID)");
    }
    const std::string* itemCount = FindField(order.Fields, "itemcount");
    if (!itemCount) {
        throw OrderRefused("The order has no itemcount");
    }
    const long count = wholeNumber(*itemCount);
    if (count < 1 || count > OrderLimits::kMaxItems) {
        throw OrderRefused("The itemcount " + shown(*itemCount) + " is no number of items from 1 to " +
                           std::to_string(OrderLimits::kMaxItems));
    }
    for (long i = 0; i < count; ++i) {
        if (!itemLines.contains(i)) {
            throw OrderRefused("The order lacks item" + std::to_string(i) + " of its " + std::to_string(count) +
                               " item lines");
        }
    }
    if (!itemLines.empty() && *itemLines.rbegin() >= count) {
        throw OrderRefused("The field item" + std::to_string(*itemLines.rbegin()) + " is beyond the itemcount " +
                           std::to_string(count));
    }
    return order;
}

std::string FieldLines(const std::vector<FormField>& fields)
{
    std::string out;
    for (const FormField& f : fields) {
        out += f.Name;
        out += '=';
        out += f.Value;
        out += "\r\n";
    }
    return out;
}

} // namespace quillane::orderd
