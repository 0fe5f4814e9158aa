#include "core/orders/InvoicePage.h"

#include "core/settings/BankDetails.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Resources.h"
#include "core/common/Text.h"
#include "core/i18n/LanguageFile.h"
#include "core/imaging/Picture.h"
#include "core/settings/AppDirs.h"
#include "core/settings/CompanyProfile.h"
#include "core/settings/ShopProfile.h"
#include "core/settings/UserData.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace quillane {

namespace {

constexpr std::string_view kTemplate = "INVOICE";
constexpr std::string_view kTexts = "Rechnung";
// A description longer than this is cut to kCutDescription characters and "..".
constexpr std::size_t kLongDescription = 80;
constexpr std::size_t kCutDescription = 43;
// Days of a payment term beyond any sense still give a date.
constexpr int kMaxPaymentTerm = 100000;

// A value of the order or of a profile as page text: escaped for HTML, and
// "[" as a reference, so a customer named "[total]" keeps the name.
std::string html(std::string_view value)
{
    return ReplaceAll(EscapeHtml(value), "[", "&#91;", true);
}

// Only a to z are raised; umlauts stay as they are.
std::string capitals(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// Every line of a block comes after a line break.
class Block {
public:
    Block& operator<<(std::string_view line)
    {
        text_ += "\r\n";
        text_ += line;
        return *this;
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

std::string dateText(const std::tm& date)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", date.tm_mday, date.tm_mon + 1, date.tm_year + 1900);
    return buf;
}

std::tm daysLater(std::tm date, int days)
{
    // Noon in UTC: no daylight-saving change moves the day.
    date.tm_hour = 12;
    date.tm_min = 0;
    date.tm_sec = 0;
    date.tm_mday += std::clamp(days, -kMaxPaymentTerm, kMaxPaymentTerm);
    const std::time_t t = ::timegm(&date);
    std::tm later{};
    ::gmtime_r(&t, &later);
    return later;
}

std::string customerLines(Block& block, const Order& order, bool delivery)
{
    const auto value = [&](std::string_view key) {
        return html(delivery ? order.DeliveryValue(key) : order.Value(key));
    };
    using namespace orderkey;
    block << value(kCompany) + "<br><br style=\"line-height: 2px;\">"
          << value(kFirstName) + " " + value(kLastName) + "<br>" << value(kStreet) + "<br>"
          << value(kZip) + " " + value(kCity) + "<br><br style=\"line-height: 4px;\">"
          << html(capitals(delivery ? order.DeliveryValue(kCountry) : order.Value(kCountry))) + "<br>";
    return block.text();
}

std::string customerBlock(const Order& order)
{
    Block block;
    return customerLines(block, order, false);
}

std::string deliveryBlock(const Order& order)
{
    Block block;
    block << "<i><b>[la]</b></i><br>";
    return customerLines(block, order, true);
}

std::string bankBlock(const IniFile& profile)
{
    const auto value = [&](std::string_view key) { return html(profile.ReadString(profile::kInvoice, key, "")); };
    using namespace profile;
    // Only where the profile has them, so footers made before stay as they were.
    const std::string iban = profile.ReadString(kInvoice, kIban, "");
    const std::string bic = profile.ReadString(kInvoice, kBic, "");
    Block block;
    block << "<table cellpadding=\"0\" cellspacing=\"0\" width=\"100%\">"
          << "<tr><td colspan=\"6\"><hr color=\"#000000\"></td></tr>"
          << "<tr>"
          << "    <td>[bank]:<br>" + value(kBank) + "</td>"
          << std::string("    <td width=\"20\"></td><td>[blz]<br>[kto]") + (iban.empty() ? "" : "<br>[iban]") +
                 (bic.empty() ? "" : "<br>[bic]") + "</td>"
          << "    <td width=\"25%\">: " + value(kBankCode) + "<br>: " + value(kAccount) +
                 (iban.empty() ? "" : "<br>: " + html(GroupedIban(iban))) + (bic.empty() ? "" : "<br>: " + html(bic)) +
                 "</td>"
          << "    <td>[taxnum]<br>[taxid]</td>"
          << "    <td>: " + value(kTaxNumber) + "<br>: " + value(kVatId) + "</td>"
          << "</tr>"
          << "</table>";
    return block.text();
}

std::string merchantBlock(const CompanyProfile& company)
{
    // Firma, Name, Strasse, PLZ, Ort.
    const auto& c = company.Contact;
    Block block;
    block << html(c[0]) + "<br>" << html(c[1]) + "<br>" << html(c[2]) + "<br>" << html(c[3]) + "  " + html(c[4]);
    return block.text();
}

bool isJpeg(const std::string& path)
{
    const std::string extension = LowerCase(std::filesystem::path(path).extension().string());
    return extension == ".jpg" || extension == ".jpeg";
}

// The company logo as logo.jpg beside the page: a JPEG as it is, any other
// picture converted. Empty when the profile names no file that exists.
std::string writeLogo(const CompanyProfile& company, const std::string& folder)
{
    if (company.Logo.empty() || !FileExists(company.Logo)) {
        return {};
    }
    const std::string target = folder + std::string(kInvoiceLogoName);
    if (isJpeg(company.Logo)) {
        if (!CopyFileTo(company.Logo, target)) {
            throw Error("Cannot copy the company logo \"" + company.Logo + "\" to \"" + target + "\".");
        }
        return target;
    }
    Picture picture;
    LoadPicture(company.Logo, picture);
    if (picture.Empty()) {
        throw Error("The company logo \"" + company.Logo + "\" is not a picture of a known type.");
    }
    SaveScaledJpeg(picture, target, picture.Width(), picture.Height(), 90);
    return target;
}

class OrderTable {
public:
    OrderTable(const Order& order, const TCountry& home) : order_(order), home_(home) {}

    // The rate the order was charged; the home rate for an order of a shop
    // that did not send it.
    double vatRate() const
    {
        const std::string sent = order_.Value(orderkey::kVatRate);
        return TrimBlanks(sent).empty() ? home_.VAT : ParseNumber(sent);
    }

    std::string build()
    {
        using namespace orderkey;
        const int count = itemCount();
        block_ << "<table border=\"0\" cellpadding=\"2\" cellspacing=\"0\" width=\"100%\">";
        for (int k = 1; k <= count; ++k) {
            item(k, order_.Value(std::string(kItem) + std::to_string(k - 1)));
        }
        const bool quantityDiscount = order_.Number(kQuantityDiscount) > 0;
        const bool priceDiscount = order_.Number(kPriceDiscount) > 0;
        if (quantityDiscount || priceDiscount) {
            sumRow("[subtotal]", amount(kSubtotal), kLine);
        }
        if (quantityDiscount) {
            sumRow("[qdiscount]", amount(kQuantityDiscount));
        }
        if (priceDiscount) {
            sumRow("[pdiscount]", amount(kPriceDiscount));
        }
        sumRow("[total]", amount(kTotal), kLine);
        sumRow("[excl] " + FormatDecimals(2, vatRate()) + "% [vat]", amount(kVat));
        sumRow("[excl] [shipping]", amount(kShipping));
        if (order_.Number(kPaymentFee) > 0) {
            sumRow("[subamount]", amount(kSubamount), kLine);
            sumRow("[" + html(order_.Value(kPayment)) + "_fee]", amount(kPaymentFee));
        }
        block_ << "<tr style=\"text-align: right;\"><td colspan=\"5\"><b>[amount]:</b> </td>"
                  "<td style=\"border-top: 2px black solid; border-bottom: 3px black double;\">" +
                      html(InvoiceAmountText(FormatNumber(order_.AmountPayable()), home_)) + "</td></tr>";
        block_ << "</table>";
        return block_.text();
    }

private:
    static constexpr std::string_view kLine = " style=\"border-top: 2px black solid;\"";

    int itemCount() const
    {
        const std::string text = order_.Value(orderkey::kItemCount);
        std::int32_t count = 0;
        const bool digits =
            !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || !TryParseInteger(text, count) || count > kMaxInvoiceItems) {
            throw Error("The order \"" + order_.Id() + "\" has no readable number of items: itemcount is \"" + text +
                        "\", not a whole number from 0 to " + std::to_string(kMaxInvoiceItems) + ".");
        }
        return count;
    }

    std::string amount(std::string_view key) const { return html(InvoiceAmountText(order_.Value(key), home_)); }

    void item(int k, const std::string& line)
    {
        const SplitArray fields = Split('|', line);
        const auto field = [&fields](std::size_t i) { return i < fields.size() ? fields[i] : std::string(); };
        std::string description = field(0);
        if (description.size() > kLongDescription) {
            description = description.substr(0, kCutDescription) + "..";
        }
        block_ << "<tr>"
               << "  <td width=\"30\">" + std::to_string(k) + ".</td><td width=\"360\">" + html(description) + "</td>"
               << "  <td width=\"100\" align=\"center\">" + html(field(1)) + "</td>"
               << "  <td width=\"40\" align=\"center\">" + html(field(2)) + "</td>"
               << "  <td width=\"90\" align=\"right\">" + html(InvoiceAmountText(field(3), home_)) + "</td>"
               << "  <td width=\"90\" align=\"right\">" + html(InvoiceAmountText(field(4), home_)) + "</td>"
               << "</tr>";
    }

    // A right-aligned row: the label in the first five columns, the amount in the last.
    void sumRow(const std::string& label, const std::string& amountText, std::string_view amountStyle = {})
    {
        block_ << "<tr style=\"text-align: right;\"><td colspan=\"5\">" + label + ": </td><td" +
                      std::string(amountStyle) + ">" + amountText + "</td></tr>";
    }

    const Order& order_;
    const TCountry& home_;
    Block block_;
};

// One placeholder replacement as on the file: only when the placeholder is
// there exactly as written, then in any letter case.
void replace(std::string& page, std::string_view placeholder, std::string_view value)
{
    if (page.find(placeholder) != std::string::npos) {
        page = ReplaceAll(page, placeholder, value, false);
    }
}

std::string_view templateBytes()
{
    const ResourceEntry* entry = FindResource(kTemplate);
    if (entry == nullptr) {
        throw Error("The program lacks its invoice template " + std::string(kTemplate) + ".");
    }
    return {reinterpret_cast<const char*>(entry->data), entry->size};
}

std::string templateText()
{
    std::string text;
    for (const std::string& line : SplitLines(templateBytes())) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string folderOf(const std::string& page)
{
    const std::size_t slash = page.rfind('/');
    return slash == std::string::npos ? std::string() : page.substr(0, slash + 1);
}

} // namespace

std::string InvoicePagePath(const std::string& folder)
{
    return IncludeTrailingSlash(folder) + std::string(kInvoicePageName);
}

InvoiceSetup MakeInvoiceSetup(const TAppDirs& dirs, const TUserData& user, const std::tm& today)
{
    return {dirs.ProgramDir, dirs.DataDir, dirs.LanguageDir, user.Country, today};
}

void ResetInvoicePage(const std::string& page)
{
    // Owner-only from the start: the same file then gets the customer's address.
    WriteFileAtomic(page, templateBytes(), FileAccess::OwnerOnly);
}

std::vector<std::string> BuildInvoicePage(const InvoiceSetup& setup, const Order& order, const std::string& page)
{
    ResetInvoicePage(page);

    const IniFile profile(ShopProfilePath(setup.DataDir));
    const bool header = profile.ReadBool(profile::kInvoice, profile::kHeader, false);
    const bool footer = profile.ReadBool(profile::kInvoice, profile::kFooter, false);
    const int paymentTerm = profile.ReadInteger(profile::kInvoice, profile::kPaymentTerm, profile::kInvoicePaymentTerm);

    // The order first: an order that cannot be shown leaves the blank page and nothing beside it.
    const std::string table = OrderTable(order, setup.Home).build();
    const std::string customer = customerBlock(order);
    const std::string delivery = deliveryBlock(order);

    std::vector<std::string> written{page};
    std::string merchant;
    std::string logo;
    if (header) {
        const CompanyProfile company = ReadCompanyProfile(setup.ProgramDir);
        merchant = merchantBlock(company);
        if (const std::string file = writeLogo(company, folderOf(page)); !file.empty()) {
            Block line;
            line << "<img src=\"" + std::string(kInvoiceLogoName) + "\" border=\"0\">";
            logo = line.text();
            written.push_back(file);
        }
    }
    const std::string bank = footer ? bankBlock(profile) : std::string();

    std::string text = templateText();
    replace(text, "[Bankverbindung]", bank);
    replace(text, "[Bestellung]", table);
    replace(text, "[LOGO]", logo);
    replace(text, "[Kundenanschrift]", customer);
    replace(text, "[Lieferanschrift]", delivery);
    replace(text, "[H\xE4ndleranschrift]", merchant);
    replace(text, "[DATUM]", dateText(setup.Today));
    const LanguageFile language(setup.LanguageDir, setup.Home.Language);
    for (const auto& [key, value] : language.SectionValues(kTexts)) {
        replace(text, "[" + key + "]", value);
    }
    replace(text, "[Zahldatum]", dateText(daysLater(setup.Today, paymentTerm)));
    WriteFileAtomic(page, text, FileAccess::OwnerOnly);
    return written;
}

std::string InvoiceNumberScript(std::string_view number)
{
    return "document.writeln(\"" + EscapeSingleQuotes(EscapeHtml(number)) + "\");";
}

std::string WriteInvoiceNumberScript(const std::string& folder, std::string_view number)
{
    const std::string path = IncludeTrailingSlash(folder) + std::string(kInvoiceNumberScriptName);
    WriteFileAtomic(path, InvoiceNumberScript(number), FileAccess::OwnerOnly);
    return path;
}

std::string InvoiceAmountText(std::string_view amount, const TCountry& home)
{
    const double rate = home.Rate[0] > 0 ? home.Rate[0] : 1;
    return FormatDecimals(2, ParseNumber(amount) * rate) + " " + home.Currency[0];
}

std::string PaymentMethodText(const InvoiceSetup& setup, std::string_view payment)
{
    // A "|" would name another section of the language file.
    if (payment.empty() || payment.find('|') != std::string_view::npos) {
        return {};
    }
    return LanguageFile(setup.LanguageDir, setup.Home.Language).GetTranslation(kTexts, payment, "");
}

} // namespace quillane
