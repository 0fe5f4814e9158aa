#pragma once

#include <string>
#include <string_view>

namespace quillane {

// The file name an invoice is saved under as PDF: the invoice number, or
// the order ID when there is none, followed by ".pdf". Both may come from
// outside (a customer's order ID, a number typed by hand), so characters
// that name folders or that file systems refuse become "_", and leading
// dots and blanks go: the file stays in the folder chosen for it.
std::string InvoicePdfFileName(std::string_view invoiceNumber, std::string_view orderId);

} // namespace quillane
