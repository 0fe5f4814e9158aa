#include "core/generator/TemplateSubstitution.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/GeneratorMessages.h"
#include "core/generator/Generation.h"
#include "core/orders/OrderService.h"
#include "core/settings/CompanyProfile.h"
#include "core/settings/ShopProfile.h"
#include "core/settings/UserData.h"

#include <array>
#include <cstdio>
#include <map>

namespace quillane {

namespace {

// The shop-text scripts in the order they are written; contact comes from
// the directions of the company profile.
constexpr std::array<std::string_view, 7> kTextScripts = {"gtclong", "about", "service",  "contact",
                                                          "intro",   "faq",   "impressum"};

constexpr std::string_view kHeaders = "<!-- HEADERS -->";
constexpr std::string_view kFooters = "<!-- FOOTERS -->";
constexpr std::string_view kHeaderScripts = "<script src=\"translator.js\"></script>"
                                            "<script src=\"header_site.js\"></script>"
                                            "<script src=\"header_shop.js\"></script>";
constexpr std::string_view kFooterScripts = "<script src=\"footer_shop.js\"></script>"
                                            "<script src=\"footer_site.js\"></script>";

std::string itemsPerPage(const std::string& text, MessageKey view)
{
    const std::string trimmed = Trim(text);
    std::int32_t value = 0;
    const bool digits = !trimmed.empty() && trimmed.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || !TryParseInteger(trimmed, value) || value < 1) {
        throw Error(msg::GeneratorBadItemsPerPage, {Message{view, {}}, text});
    }
    return std::to_string(value);
}

std::string ensureFolder(const std::string& folder)
{
    CreateFolder(folder);
    return folder;
}

// The directions of a language, one line each, CR LF after every line.
std::string directionsText(const IniFile& company, const std::string& language, const std::string& homeLanguage)
{
    const std::string value = company.ReadString("Anfahrt", language, company.ReadString("Anfahrt", homeLanguage, ""));
    std::string text;
    for (const std::string& line : Split('|', value)) {
        text += line;
        text += "\r\n";
    }
    return text;
}

// Company data. The header links are HTML inside a script literal.
void replaceCompanyData(const GenerationRun& run, const IniFile& company)
{
    auto contact = [&company](std::string_view key, std::string_view def = "") {
        return company.ReadString("Contact", key, def);
    };
    const std::string firma = contact("Firma");
    ReplaceInShopFile(run, "preloader.html", "[FIRMA]", EscapeHtml(firma));
    const std::string homepage = EscapeHtml(contact("Homepage"));
    ReplaceInShopFile(run, "header_site.js", "[FIRMA]",
                      EscapeSingleQuotes("<a href=\"" + homepage + "\" target=\"_parent\" class=\"head\">" +
                                         EscapeHtml(firma) + "</a>"));
    // Without logo.jpg the header has no logo link: every page would ask for
    // the missing file.
    const bool hasLogo = FileExists(IncludeTrailingSlash(run.In.ShopDir) + "logo.jpg");
    ReplaceInShopFile(run, "header_site.js", "[LOGO]",
                      hasLogo ? EscapeSingleQuotes("<a href=\"" + homepage +
                                                   "\" target=\"_parent\"><img src=\"logo.jpg\" border=\"0\"></a>")
                              : std::string());
    const std::pair<std::string_view, std::string> companyValues[] = {
        {"[COMPANY]", firma},
        {"[NAME]", contact("Name")},
        {"[STREET]", contact("Strasse")},
        {"[ZIP]", contact("PLZ")},
        {"[CITY]", contact("Ort")},
        {"[COUNTRY]", contact("Land")},
        {"[EMAIL]", contact("EMail")},
        {"[PHONE]", contact("Telefon", "-")},
        {"[FAX]", contact("Fax", "-")},
        {"[MOBIL]", contact("Mobil", "-")},
    };
    for (const auto& [placeholder, value] : companyValues) {
        ReplaceInShopFile(run, "var_init.js", placeholder, EscapeSingleQuotes(value));
    }
}

// The dialog's choices and the invoice data.
void replaceChoicesAndInvoice(const GenerationRun& run, const IniFile& shopProfile)
{
    const GenerationInput& in = run.In;
    const GenerationChoices& choices = in.Choices;
    const std::string profileName = shopProfile.FileName();
    auto invoiceNumber = [&](std::string_view key) {
        return CheckedAmount(shopProfile.ReadString(profile::kInvoice, key, "0"),
                             Message{msg::GeneratorInvoiceField, {key, profileName}});
    };
    auto invoiceText = [&](std::string_view key) {
        return EscapeSingleQuotes(shopProfile.ReadString(profile::kInvoice, key, ""));
    };
    // Positions outside the lists read as the dialog's defaults.
    const int view = choices.DefaultView >= 0 && choices.DefaultView <= 2 ? choices.DefaultView : 1;
    const std::pair<std::string_view, std::string> runValues[] = {
        {"[FAKTOR]", choices.PriceDisplay == 1 ? "Shop.Home.VAT" : "1"},
        {"[STD]", "std:" + itemsPerPage(choices.ItemsStd, msg::GeneratorViewStandard)},
        {"[PRO]", "pro:" + itemsPerPage(choices.ItemsPro, msg::GeneratorViewPreview)},
        {"[DTL]", "dtl:" + itemsPerPage(choices.ItemsDtl, msg::GeneratorViewDetail)},
        {"[XXL]", choices.Xxl ? "-1" : "0"},
        {"[ANSICHT]", std::to_string(view)},
        {"[STEUER]", FormatDecimals(4, 1 + in.Home.VAT / 100)},
        {"[FREIHAUS]", invoiceNumber(profile::kFreeDelivery)},
        {"[VERPACKUNG]", invoiceNumber(profile::kPacking)},
        {"[BANK]", invoiceText(profile::kBank)},
        {"[BLZ]", invoiceText(profile::kBankCode)},
        {"[KTO]", invoiceText(profile::kAccount)},
        {"[STNR]", invoiceText(profile::kTaxNumber)},
        {"[USTID]", invoiceText(profile::kVatId)},
        {"[IBAN]", invoiceText(profile::kIban)},
        {"[BIC]", invoiceText(profile::kBic)},
        {"[VATDEST]", shopProfile.ReadBool(profile::kInvoice, profile::kVatByDestination, false) ? "1" : "0"},
        {"[ORDERSERVICE]", EscapeSingleQuotes(OrderServiceAddress(IncludeTrailingSlash(in.ProgramDir)))},
    };
    for (const auto& [placeholder, value] : runValues) {
        ReplaceInShopFile(run, "var_init.js", placeholder, value);
    }
}

// Date and order-service account.
void replaceDateAndAccount(const GenerationRun& run)
{
    const std::string userId = EscapeHtml(run.In.UserId);
    ReplaceInShopFile(run, "header_shop.js", "[STAND]", RunDateText(run.In.RunDate));
    ReplaceInShopFile(run, "contact.html", "[USERID]", userId);
    ReplaceInShopFile(run, "categories.html", "[QUEUEHINT]", "");
    ReplaceInShopFile(run, "queue.html", "[USERID]", userId);
    ReplaceInShopFile(run, "order_verification.html", "[USERID]", userId);
}

// Font and colours.
void replaceFontAndColours(const GenerationRun& run, const IniFile& shopProfile)
{
    const ShopLayout layout = ReadShopLayout(shopProfile, GeneratorLayoutDefaults());
    std::map<std::string, std::string> colours;
    for (int e = 0; e < kLayoutElementCount; ++e) {
        for (const bool background : {false, true}) {
            const std::string key = ColourKey(static_cast<LayoutElement>(e), background);
            if (!key.empty()) {
                colours["[" + key + "]"] =
                    ColorToHtml(background ? layout.Elements[e].Background : layout.Elements[e].Font);
            }
        }
    }
    ReplaceInShopFile(run, "quillane.css", "[FONT]", EscapeCss(layout.Font));
    for (const char* key : {"[V-FC]", "[D-FC]", "[D-BC]", "[K-FC]", "[K-BC]", "[U-FC]", "[U-BC]", "[T-FC]", "[T-BC]"}) {
        ReplaceInShopFile(run, "quillane.css", key, colours[key]);
    }
    for (const char* key : {"[D-BC]", "[K-BC]", "[U-BC]", "[T-BC]"}) {
        ReplaceInShopFile(run, "menucnfg.js", key, colours[key]);
    }
    for (const char* key : {"[K-BC]", "[K-FC]", "[T-BC]", "[T-FC]"}) {
        ReplaceInShopFile(run, "order_address.html", key, colours[key]);
    }
}

// The company pictures, where CreateFiles wrote them.
void replaceCompanyPictures(const GenerationRun& run)
{
    const std::string shopDir = IncludeTrailingSlash(run.In.ShopDir);
    const std::string logo = FileExists(shopDir + "logo.jpg") ? "<img src=\"logo.jpg\" border=\"0\">" : "";
    const std::string sketch = FileExists(shopDir + "anfahrt.jpg") ? "<img src=\"anfahrt.jpg\" border=\"0\">" : "";
    ReplaceInShopFile(run, "faxtemplate.html", "[LOGO]", logo);
    ReplaceInShopFile(run, "contact.html", "[LOGO]", logo);
    ReplaceInShopFile(run, "contact.html", "[ANFAHRT]", sketch);
}

// Directions and shop texts per language; a text missing in the language
// and the home language gets no script.
void writeDirectionsAndShopTexts(const GenerationRun& run, const IniFile& company)
{
    const std::string shopDir = IncludeTrailingSlash(run.In.ShopDir);
    const std::string dataDir = IncludeTrailingSlash(run.In.DataDir);
    const std::string& homeLanguage = run.In.Home.Language;
    for (const std::string& language : run.Languages) {
        CheckFolderName(Message{msg::GeneratorShopLanguage, {}}, language);
        const std::string dataFolder = ensureFolder(dataDir + language + "/");
        WriteTextFile(dataFolder + "contact.txt", directionsText(company, language, homeLanguage));
        const std::string textFolder = ensureFolder(shopDir + "countries/languages/" + language + "/texts/");
        for (const std::string_view name : kTextScripts) {
            std::string text;
            if (TryReadShopText(dataDir, name, language, homeLanguage, text)) {
                WriteTextFile(textFolder + std::string(name) + ".js", ShopTextScript(text));
            }
        }
    }
}

} // namespace

void ReplaceInShopFile(const GenerationRun& run, const std::string& name, std::string_view find, std::string_view value)
{
    const std::string file = IncludeTrailingSlash(run.In.ShopDir) + name;
    if (!FileExists(file)) {
        throw Error(msg::GeneratorNoShopFile, {name, run.LayoutDir});
    }
    ReplaceInFile(file, find, value);
}

std::string EscapeCss(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                           c == '-' || c == '_' || u >= 0x80;
        if (plain) {
            out += c;
        } else {
            // The blank ends the escape; CSS drops it.
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\%x ", u);
            out += hex;
        }
    }
    return out;
}

std::string RunDateText(const std::tm& date)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", date.tm_mday, date.tm_mon + 1, date.tm_year + 1900);
    return buf;
}

void ReplaceMarkerComments(const std::string& file)
{
    ReplaceInFile(file, kHeaders, kHeaderScripts);
    ReplaceInFile(file, kFooters, kFooterScripts);
}

std::string ShopTextScript(std::string_view text)
{
    std::string html;
    for (const std::string& line : SplitLines(text)) {
        html += line;
        html += "<br>";
    }
    return "document.writeln('" + EscapeSingleQuotes(html) + "');";
}

void ReplaceWords(GenerationRun& run)
{
    const IniFile company(CompanyProfilePath(IncludeTrailingSlash(run.In.ProgramDir)));
    const IniFile shopProfile(ShopProfilePath(IncludeTrailingSlash(run.In.DataDir)));
    replaceCompanyData(run, company);
    replaceChoicesAndInvoice(run, shopProfile);
    replaceDateAndAccount(run);
    replaceFontAndColours(run, shopProfile);
    replaceCompanyPictures(run);
    writeDirectionsAndShopTexts(run, company);
}

} // namespace quillane
