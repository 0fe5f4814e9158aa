#include "core/listing/AuctionListing.h"

#include "core/catalog/CatalogStore.h"
#include "core/catalog/ItemDetails.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Resources.h"
#include "core/common/Text.h"
#include "core/i18n/LanguageFile.h"
#include "core/settings/CompanyProfile.h"
#include "core/settings/UserData.h"

#include <cstdio>

namespace quillane {

namespace {

constexpr std::string_view kTemplate = "AUCTION";
constexpr std::string_view kSection = "eBay";
constexpr std::string_view kLayoutSection = "\xA7Layout";
constexpr std::string_view kProductName = "Quillane";
constexpr std::string_view kDefaultProductSite = "https://www.quillane.example/";
constexpr std::string_view kBlankPicture = "auktion/leer.gif";
constexpr std::size_t kMissingShopUrl = 16;

std::string serviceAddress(const std::string& programDir, std::string_view key, std::string_view def)
{
    const std::string address = IniFile(SettingsFilePath(programDir)).ReadString("Services", key, "");
    return address.empty() ? std::string(def) : address;
}

std::string withoutFinalSlash(std::string address)
{
    while (!address.empty() && address.back() == '/') {
        address.pop_back();
    }
    return address;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// An address inside a double-quoted attribute.
std::string attributeValue(std::string_view text)
{
    return ReplaceAll(text, "\"", "&quot;");
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

// Every line ended by CR LF, as the template file is rewritten on each replacement.
std::string crlfLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const std::string& line : SplitLines(text)) {
        out += line;
        out += "\r\n";
    }
    return out;
}

// One replacement as the template file would get it: only when find is
// there as written, then every occurrence in any letter case.
void replaceIn(std::string& text, std::string_view find, std::string_view replacement)
{
    if (text.find(find) != std::string::npos) {
        text = crlfLines(ReplaceAll(text, find, replacement));
    }
}

std::string text(const std::vector<std::string>& texts, std::size_t index)
{
    return index < texts.size() ? texts[index] : std::string();
}

// The title: the name in capitals, a line break for each " - ", escaped.
std::string titleHtml(std::string_view name)
{
    const SplitArray parts = Split('\n', ReplaceAll(name, " - ", "\n"));
    // The merchant types the name as plain text.
    std::string out = EscapeHtml(capitals(parts[0]));
    for (std::size_t i = 1; i < parts.size(); ++i) {
        out += "<BR>" + EscapeHtml(capitals(parts[i]));
    }
    return out;
}

std::string pictureList(const AuctionSetup& setup, const AuctionItem& item, const std::string& shopUrl)
{
    const std::size_t count = IniFile(setup.TempDir + "pictures.ini").ReadSection(item.OrderNo).size();
    std::string out;
    for (std::size_t k = 1; k <= count; ++k) {
        out += "\r\n\t\t<img src=\"" + attributeValue(shopUrl + "pics/" + item.OrderNo + "_" + std::to_string(k)) +
               ".jpg\" width=\"150\" alt=\"" + EscapeHtml(item.Name) + "\" border=\"0\"><br><br>";
    }
    return out;
}

std::string colour(const IniFile& settings, std::string_view key)
{
    return ColorToHtml(static_cast<ColorValue>(settings.ReadInteger(kLayoutSection, key, 0)));
}

struct ListingSite {
    const char* Key;
    const char* Default;
    const char* Path;
};

constexpr const char* kListItem = "/aw-cgi/eBayISAPI.dll?ListItemForSale";
constexpr const char* kSellItem = "/aw-cgi/eBayISAPI.dll?SellYourItem";

ListingSite listingSite(const TCountry& home)
{
    const std::string& n = home.Name;
    if (n == "Austria") {
        return {"AuctionSiteAustria", "https://www.ebay.at", kSellItem};
    }
    if (n == "Belgium" && home.Language == "dutch") {
        return {"AuctionSiteBelgiumDutch", "https://www.benl.ebay.be", kListItem};
    }
    if (n == "Belgium" && home.Language == "french") {
        return {"AuctionSiteBelgiumFrench", "https://www.befr.ebay.be", kListItem};
    }
    if (n == "Germany") {
        return {"AuctionSiteGermany", "https://www.ebay.de", "/aw-cgi/ebayISAPI.dll?SellYourItemSignIn"};
    }
    if (n == "Ireland") {
        return {"AuctionSiteUnitedKingdom", "https://www.ebay.co.uk", kSellItem};
    }
    if (n == "Spain") {
        return {"AuctionSiteSpain", "https://www.ebay.es", kListItem};
    }
    if (n == "France") {
        return {"AuctionSiteFrance", "https://www.ebay.fr", kListItem};
    }
    if (n == "Italy") {
        return {"AuctionSiteItaly", "https://www.ebay.it", kListItem};
    }
    if (n == "Netherlands") {
        return {"AuctionSiteNetherlands", "https://www.ebay.nl", kListItem};
    }
    return {"AuctionSiteInternational", "https://www.ebay.com", kListItem};
}

// A JSON string literal: safe inside a script whatever the value holds.
std::string scriptString(std::string_view value)
{
    std::string out = "\"";
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '<' || c == '>' || byte < 0x20 || byte == 0x7F) {
            // "<" and ">" too, so no "</script>" or comment opener is ever spelled out.
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", byte);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace

std::string AuctionTextsPath(const std::string& dataDir)
{
    return dataDir + "ebay.txt";
}

AuctionChoices LoadAuctionChoices(const std::string& programDir, const std::string& dataDir, const std::string& orderNo,
                                  std::string_view firstChoice)
{
    const IniFile settings(SettingsFilePath(programDir));
    AuctionChoices c;
    c.ShopURL = settings.ReadString(kSection, "ShopURL", "http://");
    c.eBayFee = settings.ReadString(kSection, "eBayFee", firstChoice);
    c.Shipping = settings.ReadString(kSection, "Shipping", firstChoice);
    c.Contact = settings.ReadBool(kSection, "Contact", true);
    c.Additional = StringsFromIniSection(AuctionTextsPath(dataDir), orderNo);
    return c;
}

std::string CompleteShopUrl(std::string url)
{
    if (!url.empty() && url.back() != '/') {
        url += '/';
    }
    return url;
}

bool ShopUrlMissing(std::string_view url)
{
    return url.empty() || SameText(url, "http://") || SameText(url, "https://");
}

void CheckShopUrl(std::string_view url)
{
    if (!startsWithNoCase(url, "http://") && !startsWithNoCase(url, "https://")) {
        throw Error("The shop address \"" + std::string(url) +
                    "\" cannot go into the auction: it must begin with http:// or https://.");
    }
}

std::string MissingShopUrlNotice(const TextTables& texts)
{
    const SplitArray parts = Split('|', text(texts.MsgBoxTexts, kMissingShopUrl));
    return parts.size() > 1 ? parts[0] + "\n" + parts[1] : parts[0];
}

bool SaveAuctionChoices(const std::string& programDir, const std::string& dataDir, const std::string& orderNo,
                        AuctionChoices& choices)
{
    choices.ShopURL = CompleteShopUrl(choices.ShopURL);
    if (ShopUrlMissing(choices.ShopURL)) {
        return false;
    }
    CheckShopUrl(choices.ShopURL);
    IniFile settings = OpenSettingsFile(programDir);
    settings.WriteString(kSection, "ShopURL", choices.ShopURL);
    settings.WriteString(kSection, "eBayFee", choices.eBayFee);
    settings.WriteString(kSection, "Shipping", choices.Shipping);
    settings.WriteBool(kSection, "Contact", choices.Contact);
    settings.UpdateFile();

    IniFile additional(AuctionTextsPath(dataDir));
    additional.EraseSection(orderNo);
    for (std::size_t i = 0; i < choices.Additional.size(); ++i) {
        additional.WriteString(orderNo, std::to_string(i), choices.Additional[i]);
    }
    additional.UpdateFile();
    return true;
}

std::string CreateItemDescription(const AuctionSetup& setup, const AuctionItem& item, const AuctionChoices& choices)
{
    const std::string shopUrl = choices.ShopURL;
    CheckShopUrl(shopUrl);
    const ResourceEntry* resource = FindResource(kTemplate);
    if (resource == nullptr) {
        throw Error("The auction template is missing from the program.");
    }
    // The template is filled in memory; each step gives the bytes the
    // template file would hold after it.
    std::string html = crlfLines(std::string_view(reinterpret_cast<const char*>(resource->data), resource->size));
    const IniFile settings(SettingsFilePath(setup.ProgramDir));
    const std::string productLink = "<a href=\"" + attributeValue(ProductSiteAddress(setup.ProgramDir)) +
                                    "\" target=\"_blank\">" + std::string(kProductName) + "</a>";

    replaceIn(html, "[PICTURES]", pictureList(setup, item, shopUrl));
    replaceIn(html, "[TITLE]", titleHtml(item.Name));
    replaceIn(html, "[ADDITIONAL]", StringsToHTML(choices.Additional));
    replaceIn(html, "[DESCRIPTION]", StringsToHTML(item.Description));
    replaceIn(html, "[FEES]",
              ReplaceAll(text(setup.EbayTexts, 1), "#", choices.eBayFee) + "<br>" +
                  ReplaceAll(text(setup.EbayTexts, 2), "#", choices.Shipping));
    replaceIn(html, "[VISITSHOP]", capitals(text(setup.EbayTexts, 0)));
    replaceIn(html, "[SHOPLINK]", attributeValue(shopUrl));
    replaceIn(html, "[CREATOR]", ReplaceAll(text(setup.EbayTexts, 3), kProductName, productLink));
    replaceIn(html, "[BorderColor]", colour(settings, "K-BC"));
    replaceIn(html, "[InlayColor]", colour(settings, "T-BC"));
    replaceIn(html, "[LineColor]", colour(settings, "U-BC"));
    replaceIn(html, "[LinkColor]", colour(settings, "V-FC"));
    replaceIn(html, "[Font]", settings.ReadString(kLayoutSection, "Font", ""));
    return html;
}

std::string ProductSiteAddress(const std::string& programDir)
{
    return serviceAddress(programDir, "ProductSite", kDefaultProductSite);
}

std::string ListingPageAddress(const std::string& programDir, const TCountry& home)
{
    const ListingSite site = listingSite(home);
    return withoutFinalSlash(serviceAddress(programDir, site.Key, site.Default)) + site.Path;
}

SellerContact ReadSellerContact(const std::string& programDir)
{
    const IniFile profile(CompanyProfilePath(programDir));
    SellerContact c;
    c.Town = profile.ReadString("Contact", "Ort", "");
    c.Name = profile.ReadString("Contact", "Name", "");
    c.Street = profile.ReadString("Contact", "Strasse", "");
    c.Postcode = profile.ReadString("Contact", "PLZ", "");
    c.Telephone = profile.ReadString("Contact", "Telefon", "");
    return c;
}

ListingFormValues MakeListingFormValues(const AuctionSetup& setup, const AuctionItem& item,
                                        const AuctionChoices& choices)
{
    ListingFormValues v;
    v.Title = item.Name;
    v.Description = CreateItemDescription(setup, item, choices);
    v.Price = item.Price;
    v.PictureUrl = withoutFinalSlash(ProductSiteAddress(setup.ProgramDir)) + "/" + std::string(kBlankPicture);
    v.WithContact = choices.Contact;
    if (v.WithContact) {
        v.Contact = ReadSellerContact(setup.ProgramDir);
    }
    return v;
}

std::string ListingFormScript(const ListingFormValues& values)
{
    std::vector<std::pair<const char*, std::string>> fields = {{"title", values.Title},
                                                               {"desc", values.Description},
                                                               {"binprice", values.Price},
                                                               {"picurl", values.PictureUrl}};
    if (values.WithContact) {
        const SellerContact& c = values.Contact;
        fields.insert(fields.end(), {{"location", c.Town},
                                     {"sellername", c.Name},
                                     {"selleraddr1", c.Street},
                                     {"sellerzip", c.Postcode},
                                     {"sellercity", c.Town},
                                     {"sellerphone", c.Telephone},
                                     {"ipShippingFee", ""}});
    }
    std::string list;
    for (const auto& [name, value] : fields) {
        list += std::string(list.empty() ? "" : ",") + "[" + scriptString(name) + "," + scriptString(value) + "]";
    }
    // A form lacking a field keeps the rest of its fields as they are.
    return "(function () {\n"
           "  var fields = [" +
           list +
           "];\n"
           "  for (var i = 0; i < document.forms.length; ++i) {\n"
           "    var elements = document.forms[i].elements;\n"
           "    for (var j = 0; j < fields.length; ++j) {\n"
           "      var field = elements.namedItem(fields[j][0]);\n"
           "      if (!field) break;\n"
           "      try { field.value = fields[j][1]; } catch (e) { break; }\n"
           "    }\n"
           "  }\n"
           "})();\n";
}

AuctionItem ReadAuctionItem(const std::string& tempDir, const std::string& dataDir, const std::string& orderNo,
                            const std::string& catalogLanguage, const std::string& countryLanguage)
{
    const IniFile items(tempDir + "shop.tmp");
    for (const std::string& group : items.ReadSections()) {
        if (!items.ValueExists(group, orderNo) || SameText(orderNo, "Versand")) {
            continue;
        }
        const ItemFields fields = CatalogStore::SplitItem(items.ReadString(group, orderNo, ""));
        AuctionItem item;
        item.OrderNo = orderNo;
        item.Name = fields.Name;
        item.Price = fields.Price;
        item.Description = SplitLines(ReadDescription(dataDir, catalogLanguage, countryLanguage, orderNo));
        return item;
    }
    throw Error("The catalog has no item with the order number \"" + orderNo + "\".");
}

} // namespace quillane
