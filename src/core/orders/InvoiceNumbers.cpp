#include "core/orders/InvoiceNumbers.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/OrdersMessages.h"
#include "core/orders/OrderFile.h"
#include "core/settings/ShopProfile.h"

namespace quillane {

namespace {

std::string_view withoutLeadingZeros(std::string_view digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view() : digits.substr(first);
}

// Compares two runs of digits as numbers, however long they are.
bool atLeast(std::string_view a, std::string_view b)
{
    a = withoutLeadingZeros(a);
    b = withoutLeadingZeros(b);
    return a.size() != b.size() ? a.size() > b.size() : a >= b;
}

// The number after digits, at least width digits long.
std::string following(std::string_view digits, std::size_t width)
{
    std::string next(digits);
    std::size_t i = next.size();
    while (i > 0 && next[i - 1] == '9') {
        next[--i] = '0';
    }
    if (i == 0) {
        next.insert(next.begin(), '1');
    } else {
        ++next[i - 1];
    }
    if (next.size() < width) {
        next.insert(0, width - next.size(), '0');
    }
    return next;
}

InvoiceSequence readSequence(const IniFile& profile)
{
    InvoiceSequence sequence;
    sequence.Prefix = profile.ReadString(profile::kInvoice, profile::kInvoicePrefix, "");
    sequence.Next = profile.ReadString(profile::kInvoice, profile::kInvoiceNext, profile::kInvoiceNextDefault);
    if (!IsInvoiceNextNumber(sequence.Next)) {
        throw Error(msg::OrdersNextInvoiceNumberNotWhole, {sequence.Next, profile::kInvoiceNext, profile.FileName()});
    }
    return sequence;
}

} // namespace

std::string InvoiceSequence::Number() const
{
    return Prefix + Next;
}

InvoiceSequence ReadInvoiceSequence(const std::string& dataDir)
{
    return readSequence(IniFile(ShopProfilePath(dataDir)));
}

std::string ProposedInvoiceNumber(const std::string& programDir, const std::string& dataDir, std::string_view orderId)
{
    if (const std::optional<Order> order = FindOrder(programDir, orderId)) {
        if (std::string number = order->InvoiceNumber(); !number.empty()) {
            return number;
        }
    }
    return ReadInvoiceSequence(dataDir).Number();
}

namespace {

InvoiceRecord record(const std::string& programDir, const std::string& dataDir, std::string_view orderId,
                     std::string_view number, bool printed)
{
    InvoiceRecord result;
    {
        IniFile orders = OpenOrderFile(programDir);
        if (!orderId.empty() && orders.SectionExists(orderId)) {
            if (!number.empty()) {
                orders.WriteString(orderId, orderkey::kInvoiceNumber, number);
            }
            if (printed) {
                orders.WriteString(orderId, orderkey::kPrinted, "true");
            }
            orders.UpdateFile();
            result.OrderFound = true;
        }
    }
    if (number.empty()) {
        return result;
    }
    IniFile profile = OpenShopProfile(dataDir);
    const InvoiceSequence sequence = readSequence(profile);
    if (number.size() <= sequence.Prefix.size() || number.compare(0, sequence.Prefix.size(), sequence.Prefix) != 0) {
        return result;
    }
    const std::string_view running = number.substr(sequence.Prefix.size());
    if (!IsInvoiceNextNumber(running) || !atLeast(running, sequence.Next)) {
        return result;
    }
    profile.WriteString(profile::kInvoice, profile::kInvoiceNext, following(running, sequence.Next.size()));
    CreateFolder(dataDir);
    profile.UpdateFile();
    result.SequenceAdvanced = true;
    return result;
}

} // namespace

InvoiceRecord RecordInvoice(const std::string& programDir, const std::string& dataDir, std::string_view orderId,
                            std::string_view number)
{
    return record(programDir, dataDir, orderId, number, true);
}

InvoiceRecord ClaimInvoiceNumber(const std::string& programDir, const std::string& dataDir, std::string_view orderId,
                                 std::string_view number)
{
    return record(programDir, dataDir, orderId, number, false);
}

std::string OrderWithInvoiceNumber(const std::string& programDir, std::string_view number,
                                   std::string_view exceptOrderId)
{
    if (number.empty()) {
        return {};
    }
    for (const Order& order : ReadOrders(programDir)) {
        if (order.InvoiceNumber() == number && !SameText(order.Id(), exceptOrderId)) {
            return order.Id();
        }
    }
    return {};
}

} // namespace quillane
