#include "core/orders/InvoicePdf.h"

#include "core/common/Text.h"

namespace quillane {

namespace {

// Long enough for any invoice number, short enough for every file system.
constexpr std::size_t kMaxBaseName = 120;

bool unsafe(unsigned char c)
{
    return c < 0x20 || c == 0x7F ||
           std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string safeBase(std::string_view text)
{
    std::string base;
    for (const char c : Trim(text)) {
        base += unsafe(static_cast<unsigned char>(c)) ? '_' : c;
    }
    // Hidden files and names like ".." are no invoice.
    base.erase(0, base.find_first_not_of(". "));
    if (base.size() > kMaxBaseName) {
        base.resize(kMaxBaseName);
    }
    return base;
}

} // namespace

std::string InvoicePdfFileName(std::string_view invoiceNumber, std::string_view orderId)
{
    std::string base = safeBase(invoiceNumber);
    if (base.empty()) {
        base = safeBase(orderId);
    }
    if (base.empty()) {
        base = "invoice";
    }
    return base + ".pdf";
}

} // namespace quillane
