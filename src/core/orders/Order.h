#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillane {

// Keys of an order's section in orders.dat. The service writes every key
// but the last two; the program writes those and keeps them when the
// service sends the order again.
namespace orderkey {
inline constexpr std::string_view kCompany = "company";
inline constexpr std::string_view kFirstName = "firstname";
inline constexpr std::string_view kLastName = "lastname";
inline constexpr std::string_view kStreet = "street";
inline constexpr std::string_view kZip = "zip";
inline constexpr std::string_view kCity = "city";
inline constexpr std::string_view kCountry = "country";
inline constexpr std::string_view kPhone = "phone";
inline constexpr std::string_view kFax = "fax";
inline constexpr std::string_view kEmail = "email";
inline constexpr std::string_view kNotes = "notes";
inline constexpr std::string_view kDate = "date";
inline constexpr std::string_view kItemCount = "itemcount";
inline constexpr std::string_view kItem = "item"; // followed by 0 ... itemcount - 1
inline constexpr std::string_view kSubtotal = "subtotal";
inline constexpr std::string_view kQuantityDiscount = "qdiscount";
inline constexpr std::string_view kPriceDiscount = "pdiscount";
inline constexpr std::string_view kTotal = "total";
inline constexpr std::string_view kVat = "vat";
// The VAT rate the shop charged, percent; orders of older shops lack it
// and were charged the home rate.
inline constexpr std::string_view kVatRate = "vatrate";
inline constexpr std::string_view kShipping = "shipping";
inline constexpr std::string_view kSubamount = "subamount";
inline constexpr std::string_view kPaymentFee = "paymentfee";
inline constexpr std::string_view kPayment = "payment";
inline constexpr std::string_view kQueue = "queue";
inline constexpr std::string_view kConfirmed = "confirmed";
// Delivery-address keys are the billing keys with this in front.
inline constexpr std::string_view kDeliveryPrefix = "la_";
// "true" once the invoice is printed.
inline constexpr std::string_view kPrinted = "printed";
// The number the order's invoice was printed with.
inline constexpr std::string_view kInvoiceNumber = "invoiceno";

// The keys the program writes itself: a fetched reply never changes them.
inline constexpr std::string_view kProgramKeys[] = {kPrinted, kInvoiceNumber};
// The figures every order of the service carries after its item lines; an
// order without one of them was cut short on the way.
inline constexpr std::string_view kTotals[] = {kSubtotal, kTotal, kVat, kShipping, kSubamount, kPaymentFee, kPayment};
} // namespace orderkey

// Whether key is one the program writes itself, in any letter case.
bool IsProgramKey(std::string_view key);

// The most item lines an order has: the service refuses orders with more.
inline constexpr int kMaxOrderItems = 1000;

// Where an order is listed, from its printed key: missing or empty is new,
// exactly "true" is done, anything else is neither.
enum class OrderState { New, Done, None };

// One order: its ID (the section name in orders.dat) and its keys in file
// order. Keys are matched without regard to case, values as stored.
class Order {
public:
    using Values = std::vector<std::pair<std::string, std::string>>;

    Order() = default;
    Order(std::string id, Values values);

    const std::string& Id() const { return id_; }
    const Values& AllValues() const { return values_; }

    bool Has(std::string_view key) const;
    // The value, empty when the key is missing.
    std::string Value(std::string_view key) const;
    // A delivery value: "la_" + key, or key itself when the order has no
    // such delivery key.
    std::string DeliveryValue(std::string_view billingKey) const;
    // A numeric key read as a decimal number with "."; a missing or
    // unreadable value is 0.
    double Number(std::string_view key) const;

    OrderState State() const;
    // confirmed is exactly "true".
    bool Confirmed() const;
    // The first line of the order lists: company when it holds more than
    // blanks, else lastname + ", " + firstname.
    std::string Customer() const;
    // The second line: "[" + ID + " | " + date + "]".
    std::string ListCaption() const;
    // firstname + " " + lastname, of the billing and of the delivery address.
    std::string Name() const;
    std::string DeliveryName() const;
    // What the customer pays: subamount + paymentfee.
    double AmountPayable() const;
    // The number the invoice was printed with; empty before.
    std::string InvoiceNumber() const;

private:
    const std::string* find(std::string_view key) const;

    std::string id_;
    Values values_;
};

} // namespace quillane
