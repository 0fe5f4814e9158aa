#pragma once

#include "core/common/Message.h"
#include "core/orders/Order.h"
#include "core/settings/Country.h"

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The invoice page of an order: an HTML page (Windows-1252) built from the
// embedded template INVOICE, the order, the shop profile's [Invoice]
// section, the company profile and the [Rechnung] texts of the customer's
// shop language. Values of the order and of the profiles are escaped for HTML
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

namespace orderkey {
// The customer's VAT ID, which a business customer in another EU country
// gives for a delivery without VAT; orders without it are consumers'.
inline constexpr std::string_view kCustomerVatId = "vatid";
} // namespace orderkey

// What an invoice is built from besides the order.
struct InvoiceSetup {
    std::string ProgramDir;  // userprofil.ini (merchant block, logo) and countries.dat
    std::string DataDir;     // the project's shop profile shopprofil.ini ([Invoice])
    std::string LanguageDir; // the language files, section [Rechnung]
    TCountry Home;           // VAT, Currency[0] and Rate[0], Language, Name
    std::tm Today{};         // the invoice date; the due date counts from it
    // The day the goods went out; without it the invoice says that it is
    // the invoice date.
    std::optional<std::tm> DeliveryDate;
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

// An amount as the tool lists it: read with ParseNumber, times Rate[0], two
// decimals with ".", a blank and Currency[0].
std::string InvoiceAmountText(std::string_view amount, const TCountry& home);

// How numbers, amounts and dates are written on an invoice: German for a
// German invoice, as the English shop shows them for any other.
enum class InvoiceStyle { German, English };
InvoiceStyle InvoiceStyleOf(std::string_view language);
// An amount in euro as the invoice shows it in the home currency (times
// Rate[0], sign Currency[0]): "1.234,50 €", "-0,50 €" German;
// "€1,234.50", "-€0.50", "CHF 12.00" English. Not escaped for HTML.
std::string InvoiceMoney(double euros, const TCountry& home, InvoiceStyle style);
// A VAT rate: "19 %", "8,1 %" German; "19%", "8.1%" English.
std::string InvoicePercent(double rate, InvoiceStyle style);
// A date: "28.12.2026" German; "28 December 2026" English.
std::string InvoiceDate(const std::tm& date, InvoiceStyle style);

// The language the invoice of order is written in: the shop language of the
// country it goes to (la_country, else country, by the country table's name
// or one of its own names), when that language has a file; else the home
// language.
std::string InvoiceLanguage(const InvoiceSetup& setup, const Order& order);

// The note a delivery without VAT needs: an export out of the EU, or a
// delivery to a business customer with a VAT ID in another EU country, for
// which the customer owes the VAT.
enum class InvoiceTaxNote { None, Export, ReverseCharge };
InvoiceTaxNote TaxNoteOf(const InvoiceSetup& setup, const Order& order);

// What an invoice would lack of the seller's details the law asks for: the
// name, the address (company profile) and a tax number or VAT ID (shop
// profile); one message each, none when all are there.
std::vector<Message> MissingSellerDetails(const InvoiceSetup& setup);

// The display text of a payment method (vk, nn): the home language's
// [Rechnung] text under that key word; empty when there is none.
std::string PaymentMethodText(const InvoiceSetup& setup, std::string_view payment);

} // namespace quillane
