#include "orderd/OrderIntake.h"

#include "core/common/Text.h"
#include "core/orders/Crypt.h"
#include "core/orders/Order.h"

#include <charconv>
#include <set>

namespace quillane::orderd {

namespace {

// Every field the shop sends, in the spelling the service stores it with.
// The item lines ("item" and a number) come besides.
constexpr std::string_view kOrderFields[] = {
    "UserID",    "firstname", "lastname",  "company",    "street",     "zip",          "city",
    "country",   "phone",     "fax",       "email",      "la_company", "la_firstname", "la_lastname",
    "la_street", "la_zip",    "la_city",   "la_country", "la_phone",   "la_fax",       "la_email",
    "notes",     "itemcount", "subtotal",  "qdiscount",  "pdiscount",  "total",        "vat",
    "vatrate",   "shipping",  "subamount", "paymentfee", "payment"};

// Keys the service writes itself, or the program does into orders.dat; the
// program reads keys without regard to case, so a sent "Printed" would
// stand for its own.
constexpr std::string_view kReserved[] = {orderkey::kDate, orderkey::kQueue, orderkey::kConfirmed, orderkey::kPrinted,
                                          orderkey::kInvoiceNumber};

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
    for (const FormField& field : sent) {
        if (!isFieldName(field.Name)) {
            throw OrderRefused("The field name " + shown(field.Name) + " is not accepted");
        }
        for (std::string_view reserved : kReserved) {
            if (SameText(field.Name, reserved)) {
                throw OrderRefused("The field " + field.Name + " is the service's own and cannot be sent");
            }
        }
        // The program reads keys without regard to case: "Total" beside
        // "total" would be a second total, so names are matched that way
        // here too and stored in their own spelling.
        const std::string lower = LowerCase(field.Name);
        const bool itemLine = lower.size() > 4 && lower.starts_with("item") &&
                              lower.find_first_not_of("0123456789", 4) == std::string::npos;
        std::string name;
        if (itemLine) {
            const long index = wholeNumber(std::string_view(lower).substr(4));
            if (index < 0 || index >= OrderLimits::kMaxItems) {
                throw OrderRefused("The field " + field.Name + " is no item line");
            }
            itemLines.insert(index);
            name = lower;
        } else {
            for (std::string_view known : kOrderFields) {
                if (SameText(field.Name, known)) {
                    name = known;
                }
            }
            if (name.empty()) {
                throw OrderRefused("The field " + field.Name + " is no field of an order");
            }
        }
        if (!names.insert(name).second) {
            throw OrderRefused("The field " + field.Name + " is sent twice");
        }
        const std::string plain = Utf8ToCp1252(UnscrambleOrderField(field.Value));
        if (plain.size() > limitOf(name, itemLine)) {
            throw OrderRefused("The field " + name + " is longer than " + std::to_string(limitOf(name, itemLine)) +
                               " characters");
        }
        if (name == "UserID") {
            order.UserId = plain;
            haveUser = true;
        } else {
            order.Fields.push_back({name, madeSafe(name, plain)});
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
