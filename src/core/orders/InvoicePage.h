#pragma once

#include "core/orders/Order.h"
#include "core/settings/Country.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// The invoice page of an order: an HTML page (Windows-1252) built from the
// embedded template INVOICE, the order, the shop profile's [Invoice]
// section, the company profile and the [Rechnung] texts of the home
// language. Values of the order and of the profiles are escaped for HTML
// (and "[" so that no placeholder hides in them); the language texts are
// HTML and go in as they are.
namespace quillane {

struct TAppDirs;
struct TUserData;

inline constexpr std::string_view kInvoicePageName = "rechnung.html";
// The page includes this script, which writes the invoice number.
inline constexpr std::string_view kInvoiceNumberScriptName = "renr.js";
// The page shows the company logo from this file beside it.
inline constexpr std::string_view kInvoiceLogoName = "logo.jpg";

// Where the order view keeps its page: folder + "rechnung.html".
std::string InvoicePagePath(const std::string& folder);

// What an invoice is built from besides the order.
struct InvoiceSetup {
    std::string ProgramDir;  // the company profile userprofil.ini (merchant block, logo)
    std::string DataDir;     // the project's shop profile shopprofil.ini ([Invoice])
    std::string LanguageDir; // the home language's file, section [Rechnung]
    TCountry Home;           // VAT, Currency[0] and Rate[0], Language
    std::tm Today{};         // the invoice date; the due date counts from it
};
InvoiceSetup MakeInvoiceSetup(const TAppDirs& dirs, const TUserData& user, const std::tm& today);

// Writes the blank template as page.
void ResetInvoicePage(const std::string& page);

// Builds the invoice of order as page, first writing the blank template
// there. With the shop profile's Kopfzeile set and a logo file in the
// company profile, the logo goes beside the page as logo.jpg. Returns the
// files written: the page, then the logo if any. Throws Error naming the
// order when its itemcount is no whole number from 0 to kMaxInvoiceItems
// (the page is then the blank template), and when a file cannot be written.
// Page and number script hold the customer's address: they are written
// readable by their owner only.
std::vector<std::string> BuildInvoicePage(const InvoiceSetup& setup, const Order& order, const std::string& page);
// No order of the service has more lines; a larger itemcount is damage, and
// building its rows would hold the order view for a long time.
inline constexpr int kMaxInvoiceItems = kMaxOrderItems;

// The content of renr.js: document.writeln("<number>"); with no line end;
// the number escaped for HTML and for the script literal.
std::string InvoiceNumberScript(std::string_view number);
// Writes folder + "renr.js"; returns its path.
std::string WriteInvoiceNumberScript(const std::string& folder, std::string_view number);

// An amount as the invoice shows it: read with ParseNumber, times
// Rate[0], two decimals, a blank and Currency[0]; not escaped for HTML.
std::string InvoiceAmountText(std::string_view amount, const TCountry& home);

// The display text of a payment method (vk, nn): the home language's
// [Rechnung] text under that key word; empty when there is none.
std::string PaymentMethodText(const InvoiceSetup& setup, std::string_view payment);

} // namespace quillane
