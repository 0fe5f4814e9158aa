#pragma once

#include "orderd/ServiceError.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Reading an order as the shop sends it: a form-encoded body whose values
// are scrambled with the shop's Crypt.
namespace quillane::orderd {

struct FormField {
    std::string Name;
    std::string Value;
};

// name=value pairs split at "&", both URL-decoded; a pair without "=" has
// an empty value, empty pairs are skipped.
std::vector<FormField> ParseForm(std::string_view body);

// The largest order taken; beyond, the shop is told it did not go through.
struct OrderLimits {
    static constexpr std::size_t kMaxBody = 512 * 1024;
    static constexpr int kMaxItems = 1000;
    static constexpr std::size_t kMaxNotes = 10000; // characters, after unscrambling
    static constexpr std::size_t kMaxItemLine = 1000;
    static constexpr std::size_t kMaxField = 500;
};

// An order that is not stored; the text says why, for the answer's body.
class OrderRefused : public ServiceError {
public:
    using ServiceError::ServiceError;
};

struct ReceivedOrder {
    std::string UserId; // Windows-1252
    // Every other field in the order sent: plain text in Windows-1252, made
    // safe for the key=value lines of the fetch (line breaks and "=" gone).
    std::vector<FormField> Fields;
};

// Throws OrderRefused when the body is no complete order: no UserID, no
// itemcount or one of its item lines missing, a field that is too long,
// sent twice or of a name the service keeps for itself or the protocol does
// not know. Names are matched without regard to case, as the program reads
// them, and stored in the protocol's spelling.
ReceivedOrder ReadOrder(std::string_view body);

// The value of a field, or nullptr.
const std::string* FindField(const std::vector<FormField>& fields, std::string_view name);

// The fields as the fetch sends them: "name=value" and CR LF each.
std::string FieldLines(const std::vector<FormField>& fields);

} // namespace quillane::orderd
