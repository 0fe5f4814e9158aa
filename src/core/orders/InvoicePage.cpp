#include "core/orders/InvoicePage.h"

#include "core/settings/BankDetails.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Resources.h"
#include "core/common/Text.h"
#include "core/common/messages/InvoiceMessages.h"
#include "core/i18n/LanguageFile.h"
#include "core/imaging/Picture.h"
#include "core/settings/AppDirs.h"
#include "core/settings/CompanyProfile.h"
#include "core/settings/ShopProfile.h"
#include "core/settings/UserData.h"

#include <algorithm>
#include <cmath>
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

// The lines of an address that have a value, each escaped.
std::vector<std::string> addressLines(const Order& order, bool delivery)
{
    const auto value = [&](std::string_view key) {
        return Trim(delivery ? order.DeliveryValue(key) : order.Value(key));
    };
    using namespace orderkey;
    std::vector<std::string> lines;
    const auto add = [&lines](const std::string& line) {
        if (!Trim(line).empty()) {
            lines.push_back(html(Trim(line)));
        }
    };
    add(value(kCompany));
    add(value(kFirstName) + " " + value(kLastName));
    add(value(kStreet));
    add(value(kZip) + " " + value(kCity));
    // The country in capitals, umlauts too: "ÖSTERREICH", as a letter is addressed abroad.
    add(UpperCase(value(kCountry)));
    return lines;
}

std::string joined(const std::vector<std::string>& lines, std::string_view between)
{
    std::string text;
    for (const std::string& line : lines) {
        text += text.empty() ? "" : std::string(between);
        text += line;
    }
    return text;
}

std::string customerBlock(const Order& order)
{
    Block block;
    block << joined(addressLines(order, false), "<br>\r\n");
    return block.text();
}

// Only an order with an address of its own for the goods shows it.
std::string deliveryBlock(const Order& order)
{
    const bool separate = std::any_of(order.AllValues().begin(), order.AllValues().end(), [](const auto& value) {
        return value.first.size() > orderkey::kDeliveryPrefix.size() &&
               SameText(value.first.substr(0, orderkey::kDeliveryPrefix.size()), orderkey::kDeliveryPrefix);
    });
    if (!separate) {
        return {};
    }
    Block block;
    block << "<b>[la]</b><br>" << joined(addressLines(order, true), "<br>\r\n");
    return block.text();
}

// A label and its value as a row of the info block.
std::string infoRow(std::string_view label, std::string_view value)
{
    return "<tr><td>" + std::string(label) + ":</td><td>" + std::string(value) + "</td></tr>";
}

std::string infoBlock(const Order& order, const std::string& date, const std::string& vatId)
{
    Block block;
    block << "<table cellpadding=\"0\" cellspacing=\"0\">" << infoRow("[date]", date)
          << infoRow("[invoiceno]", "<script src=\"" + std::string(kInvoiceNumberScriptName) + "\"></script>")
          << infoRow("[orderid]", html(order.Id()));
    if (!vatId.empty()) {
        block << infoRow("[custvatid]", html(vatId));
    }
    block << "</table>";
    return block.text();
}

// Label and value of one footer entry; nothing without a value.
void footerLine(std::string& cell, std::string_view label, const std::string& value)
{
    if (Trim(value).empty()) {
        return;
    }
    cell += (cell.empty() ? "" : "<br>") + std::string(label) + (label.empty() ? "" : ": ") + html(Trim(value));
}

// Three columns of fixed width: the seller, the tax numbers, the bank (only
// with the footer switched on in the shop profile).
std::string footerBlock(const IniFile& profile, const CompanyProfile& company, bool bank)
{
    const auto value = [&](std::string_view key) { return profile.ReadString(profile::kInvoice, key, ""); };
    using namespace profile;
    const auto& c = company.Contact;
    std::string seller;
    footerLine(seller, "", c[0]);
    footerLine(seller, "", c[1] == c[0] ? std::string() : c[1]);
    footerLine(seller, "", c[2]);
    footerLine(seller, "", Trim(c[3] + " " + c[4]));
    std::string tax;
    footerLine(tax, "[taxnum]", value(kTaxNumber));
    footerLine(tax, "[taxid]", value(kVatId));
    std::string account;
    if (bank) {
        footerLine(account, "[bank]", value(kBank));
        footerLine(account, "[blz]", value(kBankCode));
        footerLine(account, "[kto]", value(kAccount));
        footerLine(account, "[iban]", GroupedIban(value(kIban)));
        footerLine(account, "[bic]", value(kBic));
    }
    if (seller.empty() && tax.empty() && account.empty()) {
        return {};
    }
    Block block;
    block << "<table class=\"footer\"><tr>"
          << "<td>" + seller + "</td>"
          << "<td>" + tax + "</td>"
          << "<td>" + account + "</td>"
          << "</tr></table>";
    return block.text();
}

// The seller's name and address on one line above the recipient, as a
// window envelope shows it.
std::string senderLine(const CompanyProfile& company)
{
    const auto& c = company.Contact;
    std::vector<std::string> parts;
    for (const std::string& part : {c[0].empty() ? c[1] : c[0], c[2], Trim(c[3] + " " + c[4])}) {
        if (!Trim(part).empty()) {
            parts.push_back(html(Trim(part)));
        }
    }
    return joined(parts, " &middot; ");
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
            throw Error(msg::InvoiceLogoNotCopied, {company.Logo, target});
        }
        return target;
    }
    Picture picture;
    LoadPicture(company.Logo, picture);
    if (picture.Empty()) {
        throw Error(msg::InvoiceLogoUnknown, {company.Logo});
    }
    SaveScaledJpeg(picture, target, picture.Width(), picture.Height(), 90);
    return target;
}

// The rate the order was charged; the home rate for an order of a shop
// that did not send it.
double chargedRate(const Order& order, const TCountry& home)
{
    const std::string sent = order.Value(orderkey::kVatRate);
    return TrimBlanks(sent).empty() ? home.VAT : ParseNumber(sent);
}

class OrderTable {
public:
    OrderTable(const Order& order, const TCountry& home, InvoiceStyle style) : order_(order), home_(home), style_(style)
    {
    }

    // The rows of the item table: the items, then the sums.
    std::string build()
    {
        using namespace orderkey;
        const int count = itemCount();
        for (int k = 1; k <= count; ++k) {
            item(k, order_.Value(std::string(kItem) + std::to_string(k - 1)));
        }
        const bool quantityDiscount = order_.Number(kQuantityDiscount) > 0;
        const bool priceDiscount = order_.Number(kPriceDiscount) > 0;
        if (quantityDiscount || priceDiscount) {
            sumRow("[subtotal]", amount(kSubtotal), " line");
        }
        // A discount lowers the sum: it shows as a negative amount.
        if (quantityDiscount) {
            sumRow("[qdiscount]", money(-order_.Number(kQuantityDiscount)));
        }
        if (priceDiscount) {
            sumRow("[pdiscount]", money(-order_.Number(kPriceDiscount)));
        }
        sumRow("[total]", amount(kTotal), " line");
        sumRow("[excl] " + html(InvoicePercent(chargedRate(order_, home_), style_)) + " [vat]", amount(kVat));
        sumRow("[excl] [shipping]", amount(kShipping));
        if (order_.Number(kPaymentFee) > 0) {
            sumRow("[subamount]", amount(kSubamount), " line");
            sumRow("[" + html(order_.Value(kPayment)) + "_fee]", amount(kPaymentFee));
        }
        sumRow("[amount]", money(order_.AmountPayable()), " amount");
        return block_.text();
    }

private:
    int itemCount() const
    {
        const std::string text = order_.Value(orderkey::kItemCount);
        std::int32_t count = 0;
        const bool digits =
            !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || !TryParseInteger(text, count) || count > kMaxInvoiceItems) {
            throw Error(msg::InvoiceBadItemCount, {order_.Id(), text, kMaxInvoiceItems});
        }
        return count;
    }

    std::string money(double euros) const { return html(InvoiceMoney(euros, home_, style_)); }
    std::string amount(std::string_view key) const { return money(ParseNumber(order_.Value(key))); }

    void item(int k, const std::string& line)
    {
        const SplitArray fields = Split('|', line);
        const auto field = [&fields](std::size_t i) { return i < fields.size() ? fields[i] : std::string(); };
        std::string description = field(0);
        if (description.size() > kLongDescription) {
            description = description.substr(0, kCutDescription) + "..";
        }
        block_ << "<tr>"
               << "  <td>" + std::to_string(k) + ".</td><td>" + html(description) + "</td>"
               << "  <td>" + html(field(1)) + "</td>"
               << "  <td class=\"mid\">" + html(field(2)) + "</td>"
               << "  <td class=\"num\">" + money(ParseNumber(field(3))) + "</td>"
               << "  <td class=\"num\">" + money(ParseNumber(field(4))) + "</td>"
               << "</tr>";
    }

    // A right-aligned row: the label in the first five columns, the amount in the last.
    void sumRow(const std::string& label, const std::string& amountText, std::string_view kind = {})
    {
        block_ << "<tr class=\"sum" + std::string(kind) + "\"><td colspan=\"5\">" + label + ":</td><td class=\"num\">" +
                      amountText + "</td></tr>";
    }

    const Order& order_;
    const TCountry& home_;
    InvoiceStyle style_;
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
        throw Error(msg::InvoiceNoTemplate, {kTemplate});
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

// The section of the country table that order goes to: by the section's
// name or one of its own names, as the shop sends it; empty when none fits.
std::string destinationSection(const IniFile& table, const Order& order)
{
    const std::string country = Trim(order.DeliveryValue(orderkey::kCountry));
    if (country.empty()) {
        return {};
    }
    for (const std::string& section : table.ReadSections()) {
        if (SameText(section, country)) {
            return section;
        }
        for (const std::string& native : Split(',', table.ReadString(section, "CountryNative", ""))) {
            if (SameText(Trim(native), country)) {
                return section;
            }
        }
    }
    return {};
}

bool hasLanguageFile(const InvoiceSetup& setup, const std::string& language)
{
    // The name goes into a path: only a plain name can be a language.
    const bool plain = !language.empty() && language.find_first_of("/\\.") == std::string::npos;
    return plain && FileExists(IncludeTrailingSlash(setup.LanguageDir) + language + ".lng");
}

// The notes below the sums: delivery date, a tax note, how to pay.
std::string notesBlock(const InvoiceSetup& setup, const Order& order, InvoiceStyle style)
{
    Block block;
    if (setup.DeliveryDate) {
        block << "<p>[deliverydate]: " + InvoiceDate(*setup.DeliveryDate, style) + "</p>";
    } else {
        block << "<p>[deliverysame]</p>";
    }
    switch (TaxNoteOf(setup, order)) {
    case InvoiceTaxNote::Export:
        block << "<p><b>[taxexport]</b></p>";
        break;
    case InvoiceTaxNote::ReverseCharge:
        block << "<p><b>[reversecharge]</b></p>";
        break;
    case InvoiceTaxNote::None:
        break;
    }
    block << "<p>[thanks]</p>";
    // Cash on delivery is paid to the courier: no due date.
    const std::string payment = LowerCase(Trim(order.Value(orderkey::kPayment)));
    if (payment == "nn") {
        block << "<p>[foot_nn]</p>";
    } else {
        block << "<p>[foot]" + std::string(payment == "vk" ? " [reference]" : "") + "</p>";
    }
    return block.text();
}

constexpr const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};

// Digits in groups of three from the right.
std::string grouped(const std::string& digits, char separator)
{
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) {
            out += separator;
        }
        out += digits[i];
    }
    return out;
}

} // namespace

std::string InvoicePagePath(const std::string& folder)
{
    return IncludeTrailingSlash(folder) + std::string(kInvoicePageName);
}

InvoiceSetup MakeInvoiceSetup(const TAppDirs& dirs, const TUserData& user, const std::tm& today)
{
    return {dirs.ProgramDir, dirs.DataDir, dirs.LanguageDir, user.Country, today, std::nullopt};
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
    const std::string language = InvoiceLanguage(setup, order);
    const InvoiceStyle style = InvoiceStyleOf(language);

    // The order first: an order that cannot be shown leaves the blank page and nothing beside it.
    const std::string table = OrderTable(order, setup.Home, style).build();
    const std::string customer = customerBlock(order);
    const std::string delivery = deliveryBlock(order);
    const std::string date = InvoiceDate(setup.Today, style);
    const std::string vatId =
        TaxNoteOf(setup, order) == InvoiceTaxNote::ReverseCharge ? Trim(order.Value(orderkey::kCustomerVatId)) : "";
    const std::string info = infoBlock(order, date, vatId);
    const std::string notes = notesBlock(setup, order, style);

    std::vector<std::string> written{page};
    const CompanyProfile company = ReadCompanyProfile(setup.ProgramDir);
    std::string merchant;
    std::string logo;
    if (header) {
        merchant = merchantBlock(company);
        if (const std::string file = writeLogo(company, folderOf(page)); !file.empty()) {
            Block line;
            line << "<img src=\"" + std::string(kInvoiceLogoName) + "\" border=\"0\">";
            logo = line.text();
            written.push_back(file);
        }
    }

    std::string text = templateText();
    replace(text, "[Bankverbindung]", footerBlock(profile, company, footer));
    replace(text, "[Bestellung]", table);
    replace(text, "[LOGO]", logo);
    replace(text, "[Absender]", senderLine(company));
    replace(text, "[Kundenanschrift]", customer);
    replace(text, "[Lieferanschrift]", delivery);
    replace(text, "[H\xE4ndleranschrift]", merchant);
    replace(text, "[Angaben]", info);
    replace(text, "[Hinweise]", notes);
    replace(text, "[DATUM]", date);
    const LanguageFile texts(setup.LanguageDir, language);
    for (const auto& [key, value] : texts.SectionValues(kTexts)) {
        replace(text, "[" + key + "]", value);
    }
    replace(text, "[Zahldatum]", InvoiceDate(daysLater(setup.Today, paymentTerm), style));
    replace(text, "[Bestellnr]", html(order.Id()));
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

InvoiceStyle InvoiceStyleOf(std::string_view language)
{
    return SameText(Trim(language), "deutsch") ? InvoiceStyle::German : InvoiceStyle::English;
}

std::string InvoiceMoney(double euros, const TCountry& home, InvoiceStyle style)
{
    const double rate = home.Rate[0] > 0 ? home.Rate[0] : 1;
    // Whole cents first, so that -0.001 is no "-0,00".
    const double cents = std::round(euros * rate * 100);
    const bool negative = cents < 0;
    const std::string plain = FormatDecimals(2, std::fabs(cents) / 100);
    const std::size_t dot = plain.find('.');
    const std::string whole = plain.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "00" : plain.substr(dot + 1);
    const std::string& sign = home.Currency[0];
    const std::string minus = negative ? "-" : "";
    if (style == InvoiceStyle::German) {
        return minus + grouped(whole, '.') + "," + fraction + (sign.empty() ? "" : " " + sign);
    }
    // A sign of letters ("CHF") is set apart from the digits, a symbol is not.
    const bool word = sign.size() > 1 && std::all_of(sign.begin(), sign.end(), [](char c) {
                          return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
                      });
    return minus + sign + (word ? " " : "") + grouped(whole, ',') + "." + fraction;
}

std::string InvoicePercent(double rate, InvoiceStyle style)
{
    // Up to two decimals, and none that are zero: 19, 8.1, 5.5.
    std::string text = FormatDecimals(2, std::round(rate * 100) / 100);
    if (const std::size_t dot = text.find('.'); dot != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    if (style == InvoiceStyle::German) {
        std::replace(text.begin(), text.end(), '.', ',');
        return text + " %";
    }
    return text + "%";
}

std::string InvoiceDate(const std::tm& date, InvoiceStyle style)
{
    if (style == InvoiceStyle::German) {
        return dateText(date);
    }
    const int month = std::clamp(date.tm_mon, 0, 11);
    return std::to_string(date.tm_mday) + " " + kMonths[month] + " " + std::to_string(date.tm_year + 1900);
}

std::string InvoiceLanguage(const InvoiceSetup& setup, const Order& order)
{
    const std::string table = CountryTablePath(IncludeTrailingSlash(setup.ProgramDir));
    if (FileExists(table)) {
        const IniFile countries(table);
        const std::string section = destinationSection(countries, order);
        if (!section.empty()) {
            const std::string language = GetCountryData(table, section).Language;
            if (hasLanguageFile(setup, language)) {
                return language;
            }
        }
    }
    return setup.Home.Language;
}

InvoiceTaxNote TaxNoteOf(const InvoiceSetup& setup, const Order& order)
{
    // Only a delivery charged without VAT needs a reason for it.
    if (chargedRate(order, setup.Home) > 0) {
        return InvoiceTaxNote::None;
    }
    const std::string table = CountryTablePath(IncludeTrailingSlash(setup.ProgramDir));
    if (!FileExists(table)) {
        return InvoiceTaxNote::None;
    }
    const std::string section = destinationSection(IniFile(table), order);
    if (section.empty() || SameText(section, setup.Home.Name)) {
        return InvoiceTaxNote::None;
    }
    const TCountry destination = GetCountryData(table, section);
    if (!destination.EU || !setup.Home.EU) {
        return InvoiceTaxNote::Export;
    }
    return Trim(order.Value(orderkey::kCustomerVatId)).empty() ? InvoiceTaxNote::None : InvoiceTaxNote::ReverseCharge;
}

std::vector<Message> MissingSellerDetails(const InvoiceSetup& setup)
{
    const CompanyProfile company = ReadCompanyProfile(setup.ProgramDir);
    const auto& c = company.Contact;
    const auto blank = [](const std::string& value) { return Trim(value).empty(); };
    std::vector<Message> missing;
    if (blank(c[0]) && blank(c[1])) {
        missing.push_back({msg::InvoiceNoSellerName, {}});
    }
    if (blank(c[2]) || blank(c[3]) || blank(c[4])) {
        missing.push_back({msg::InvoiceNoSellerAddress, {}});
    }
    const IniFile profile(ShopProfilePath(setup.DataDir));
    if (blank(profile.ReadString(profile::kInvoice, profile::kTaxNumber, "")) &&
        blank(profile.ReadString(profile::kInvoice, profile::kVatId, ""))) {
        missing.push_back({msg::InvoiceNoTaxNumber, {}});
    }
    return missing;
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
