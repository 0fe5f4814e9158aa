#include "core/orders/Order.h"

#include "core/common/Text.h"

namespace quillane {

bool IsProgramKey(std::string_view key)
{
    for (const std::string_view own : orderkey::kProgramKeys) {
        if (SameText(key, own)) {
            return true;
        }
    }
    return false;
}

Order::Order(std::string id, Values values) : id_(std::move(id)), values_(std::move(values)) {}

const std::string* Order::find(std::string_view key) const
{
    // The first of duplicate keys counts, as for every reader of the file.
    for (const auto& [k, v] : values_) {
        if (SameText(k, key)) {
            return &v;
        }
    }
    return nullptr;
}

bool Order::Has(std::string_view key) const
{
    return find(key) != nullptr;
}

std::string Order::Value(std::string_view key) const
{
    const std::string* value = find(key);
    return value != nullptr ? *value : std::string();
}

std::string Order::DeliveryValue(std::string_view billingKey) const
{
    const std::string* value = find(std::string(orderkey::kDeliveryPrefix) + std::string(billingKey));
    return value != nullptr ? *value : Value(billingKey);
}

double Order::Number(std::string_view key) const
{
    double value = 0;
    return TryParseDecimal(Value(key), value) ? value : 0;
}

OrderState Order::State() const
{
    const std::string* printed = find(orderkey::kPrinted);
    if (printed == nullptr || printed->empty()) {
        return OrderState::New;
    }
    return *printed == "true" ? OrderState::Done : OrderState::None;
}

bool Order::Confirmed() const
{
    return Value(orderkey::kConfirmed) == "true";
}

std::string Order::Customer() const
{
    // A private customer's order carries the key too, left blank.
    if (const std::string* company = find(orderkey::kCompany); company != nullptr && !TrimBlanks(*company).empty()) {
        return *company;
    }
    return Value(orderkey::kLastName) + ", " + Value(orderkey::kFirstName);
}

std::string Order::ListCaption() const
{
    return "[" + id_ + " | " + Value(orderkey::kDate) + "]";
}

std::string Order::Name() const
{
    return Value(orderkey::kFirstName) + " " + Value(orderkey::kLastName);
}

std::string Order::DeliveryName() const
{
    return DeliveryValue(orderkey::kFirstName) + " " + DeliveryValue(orderkey::kLastName);
}

double Order::AmountPayable() const
{
    return Number(orderkey::kSubamount) + Number(orderkey::kPaymentFee);
}

std::string Order::InvoiceNumber() const
{
    return Value(orderkey::kInvoiceNumber);
}

} // namespace quillane
