#pragma once

#include <string>
#include <string_view>

// Invoice numbers: a running sequence kept in the shop profile's [Invoice]
// section (a prefix and the next number), and in orders.dat the number each
// order was invoiced with, so reopening an order shows its number and no
// number of the sequence is handed out twice.
namespace quillane {

struct InvoiceSequence {
    std::string Prefix;
    std::string Next = "1"; // digits only; leading zeros set the width

    // Prefix + Next.
    std::string Number() const;
};

// The sequence of the shop profile of dataDir (the profile dialog edits
// it through ShopProfileEditor); missing keys give an empty prefix and 1.
// Throws Error naming the file and the value when the next number is not
// made of digits.
InvoiceSequence ReadInvoiceSequence(const std::string& dataDir);

// The number the order view proposes for an order: the number it was
// invoiced with, else the sequence's next number, which is not claimed.
std::string ProposedInvoiceNumber(const std::string& programDir, const std::string& dataDir, std::string_view orderId);

struct InvoiceRecord {
    bool OrderFound = false;       // the order was still in orders.dat and is marked
    bool SequenceAdvanced = false; // the number belonged to the sequence, which moved past it
};

// The order's invoice was printed with number (as typed): stores the
// number under invoiceno (an empty number leaves a stored one alone),
// sets printed to "true" and writes orders.dat. When number is the
// sequence's prefix followed by a number at or beyond its next one, the
// sequence moves on past it, so it never hands that number out again; a
// number typed by hand is kept as typed and moves nothing. An order
// deleted meanwhile is not written back, but the sequence still moves.
InvoiceRecord RecordInvoice(const std::string& programDir, const std::string& dataDir, std::string_view orderId,
                            std::string_view number);
// The same without marking the order printed: the number is the order's,
// and the sequence moves past it, but the order stays a new one.
InvoiceRecord ClaimInvoiceNumber(const std::string& programDir, const std::string& dataDir, std::string_view orderId,
                                 std::string_view number);

// The ID of another order invoiced with number, empty when there is none:
// for a warning before a number is used twice.
std::string OrderWithInvoiceNumber(const std::string& programDir, std::string_view number,
                                   std::string_view exceptOrderId = {});

} // namespace quillane
