#include "core/listing/AuctionListing.h"

#include "core/catalog/CatalogStore.h"
#include "core/catalog/ItemDetails.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Resources.h"
#include "core/common/Text.h"
#include "core/common/messages/ListingMessages.h"
#include "core/generator/PictureSets.h"
#include "core/generator/TemplateSubstitution.h"
#include "core/i18n/LanguageFile.h"
#include "core/settings/CompanyProfile.h"
#include "core/settings/ShopProfile.h"
#include "core/settings/UserData.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace quillane {

namespace {

constexpr std::string_view kTemplate = "AUCTION";
constexpr std::string_view kSection = "eBay";
// The extra text last saved, offered for an item that has none of its own.
constexpr std::string_view kAdditionalSection = "eBayAdditional";
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

// Every line ended by CR LF; blank lines, left where a part is left out, dropped.
std::string crlfLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const std::string& line : SplitLines(text)) {
        if (line.empty()) {
            continue;
        }
        out += line;
        out += "\r\n";
    }
    return out;
}

// Fills the placeholders ("[NAME]", as written) in one pass: what is put in
// is never searched again, so a text holding a placeholder shows as typed.
std::string fillTemplate(std::string_view html, const std::map<std::string, std::string, std::less<>>& values)
{
    std::string out;
    out.reserve(html.size() * 2);
    std::size_t pos = 0;
    while (pos < html.size()) {
        const std::size_t open = html.find('[', pos);
        if (open == std::string_view::npos) {
            break;
        }
        const std::size_t close = html.find(']', open);
        if (close == std::string_view::npos) {
            break;
        }
        const auto found = values.find(html.substr(open + 1, close - open - 1));
        if (found == values.end()) {
            out.append(html.substr(pos, open + 1 - pos));
            pos = open + 1;
            continue;
        }
        out.append(html.substr(pos, open - pos));
        out += found->second;
        pos = close + 1;
    }
    out.append(html.substr(std::min(pos, html.size())));
    return out;
}

std::string text(const std::vector<std::string>& texts, std::size_t index)
{
    return index < texts.size() ? texts[index] : std::string();
}

// The title as typed (units such as "g" and "ml" keep their letter case),
// a line break for each " - ", escaped: the merchant types plain text.
std::string titleHtml(std::string_view name)
{
    const SplitArray parts = Split('\n', ReplaceAll(name, " - ", "\n"));
    std::string out = EscapeHtml(parts[0]);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        out += "<br>" + EscapeHtml(parts[i]);
    }
    return out;
}

// A file path of the shop inside an address: every byte but letters,
// digits and "-._~/" percent-encoded, so an order number with blanks, "#"
// or umlauts still names its file.
std::string urlPath(std::string_view path)
{
    std::string out;
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
            std::string_view("-._~/").find(c) != std::string_view::npos) {
            out += c;
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%.2X", b);
            out += buf;
        }
    }
    return out;
}

// The large pictures the generator writes for the item, relative to the
// shop folder. The generator's own plan decides, so that pictures whose
// source is gone are skipped and the numbers match the files.
std::vector<std::string> largePictureFiles(const AuctionSetup& setup, const std::string& orderNo)
{
    GenerationRun run;
    run.In.DoublePictures = false;
    const PicturePlan plan = PlanPictures(run, IniFile(setup.TempDir + "pictures.ini"), orderNo, "");
    std::vector<std::string> files;
    for (const PictureTask& task : plan.Tasks) {
        files.push_back(task.LargeFile);
    }
    return files;
}

std::string pictureList(const AuctionSetup& setup, const AuctionItem& item, const std::string& shopUrl)
{
    std::string out;
    for (const std::string& file : largePictureFiles(setup, item.OrderNo)) {
        out += "\r\n\t\t<img src=\"" + attributeValue(shopUrl + urlPath(file)) + "\" width=\"150\" alt=\"" +
               EscapeHtml(item.Name) + "\" border=\"0\"><br><br>";
    }
    return out;
}

std::string htmlColour(ColorValue colour)
{
    return ColorToHtml(colour);
}

// A link in the description, in the given colours on its background.
std::string styledLink(std::string_view href, std::string_view html, ColorValue colour, ColorValue background)
{
    return "<a href=\"" + attributeValue(href) + "\" target=\"_blank\" style=\"background-color: #" +
           htmlColour(background) + "; color: #" + htmlColour(colour) + ";\">" + std::string(html) + "</a>";
}

// The merchant's contact data from the company profile as rows of the
// description, below a rule; nothing when the profile holds none.
std::string contactRows(const AuctionSetup& setup, const ListingColours& colours)
{
    const CompanyProfile profile = ReadCompanyProfile(setup.ProgramDir);
    const auto field = [&profile](std::size_t i) { return profile.Contact[i]; };
    std::vector<std::string> lines;
    auto add = [&lines](const std::string& line) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    };
    auto labelled = [&](const MessageKey& key, const std::string& value) {
        if (!value.empty()) {
            lines.push_back(EscapeHtml(setup.Say(Message{key, {}})) + " " + EscapeHtml(value));
        }
    };
    if (!field(0).empty()) {
        add("<b>" + EscapeHtml(field(0)) + "</b>");
    }
    add(EscapeHtml(field(1)));
    add(EscapeHtml(field(2)));
    add(EscapeHtml(Trim(field(3) + " " + field(4))));
    add(EscapeHtml(field(5)));
    labelled(msg::ListingContactPhone, field(8));
    labelled(msg::ListingContactFax, field(9));
    labelled(msg::ListingContactMobile, field(10));
    if (!field(6).empty()) {
        lines.push_back(EscapeHtml(setup.Say(Message{msg::ListingContactEmail, {}})) + " " +
                        styledLink("mailto:" + field(6), EscapeHtml(field(6)), colours.Link, colours.Inlay));
    }
    const std::string& homepage = field(7);
    if (startsWithNoCase(homepage, "http://") || startsWithNoCase(homepage, "https://")) {
        lines.push_back(styledLink(homepage, EscapeHtml(homepage), colours.Link, colours.Inlay));
    } else {
        add(EscapeHtml(homepage));
    }
    if (lines.empty()) {
        return {};
    }
    std::string block;
    for (const std::string& line : lines) {
        block += "\r\n\t\t" + line + "<br>";
    }
    return "        <tr>\r\n"
           "          <td colspan=\"2\"><hr size=\"1\" noshade style=\"background-color: #" +
           htmlColour(colours.Line) +
           "; border: 0; height: 1px;\"></td>\r\n"
           "        </tr>\r\n"
           "        <tr>\r\n"
           "          <td colspan=\"2\">" +
           block + "</td>\r\n        </tr>";
}

constexpr ColorValue fromRgb(std::uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

double channel(ColorValue colour, int shift)
{
    const double v = static_cast<double>((colour >> shift) & 0xFF) / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double luminance(ColorValue colour)
{
    return 0.2126 * channel(colour, 0) + 0.7152 * channel(colour, 8) + 0.0722 * channel(colour, 16);
}

// The contrast of two colours as WCAG defines it: 1 to 21.
double contrastRatio(ColorValue a, ColorValue b)
{
    const double x = luminance(a);
    const double y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

ColorValue mix(ColorValue from, ColorValue to, double t)
{
    ColorValue out = 0;
    for (const int shift : {0, 8, 16}) {
        const double a = static_cast<double>((from >> shift) & 0xFF);
        const double b = static_cast<double>((to >> shift) & 0xFF);
        out |= static_cast<ColorValue>(std::lround(a + (b - a) * t)) << shift;
    }
    return out;
}

// The wished colour where it reads on the background, else the nearest
// shade toward black or white that does: the shop's pages do the same.
ColorValue readable(ColorValue wish, ColorValue background, double ratio)
{
    if (contrastRatio(wish, background) >= ratio) {
        return wish;
    }
    const ColorValue toward = luminance(background) > 0.18 ? 0x000000 : 0xFFFFFF;
    for (int step = 1; step <= 20; ++step) {
        const ColorValue c = mix(wish, toward, step / 20.0);
        if (contrastRatio(c, background) >= ratio) {
            return c;
        }
    }
    return toward;
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
    if (c.Additional.empty() && !IniFile(AuctionTextsPath(dataDir)).SectionExists(orderNo)) {
        c.Additional = StringsFromIniSection(SettingsFilePath(programDir), kAdditionalSection);
    }
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
        throw Error(msg::ListingShopUrlRefused, {url});
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
    settings.EraseSection(kAdditionalSection);
    for (std::size_t i = 0; i < choices.Additional.size(); ++i) {
        settings.WriteString(kAdditionalSection, std::to_string(i), choices.Additional[i]);
    }
    settings.UpdateFile();

    IniFile additional(AuctionTextsPath(dataDir));
    additional.EraseSection(orderNo);
    for (std::size_t i = 0; i < choices.Additional.size(); ++i) {
        additional.WriteString(orderNo, std::to_string(i), choices.Additional[i]);
    }
    additional.UpdateFile();
    return true;
}

ListingColours ReadListingColours(const std::string& dataDir)
{
    ShopLayout layout;
    if (!dataDir.empty() && FileExists(ShopProfilePath(dataDir))) {
        layout = ReadShopLayout(IniFile(ShopProfilePath(dataDir)), GeneratorLayoutDefaults());
    } else {
        // No project to take the look from: dark text on white in a light grey frame.
        layout.Font = "Arial";
        layout[LayoutElement::Head] = {fromRgb(0x1A1A1A), fromRgb(0xD2D7DC)};
        layout[LayoutElement::Heading] = {fromRgb(0x1A1A1A), fromRgb(0x8C98A4)};
        layout[LayoutElement::Table] = {fromRgb(0x1A1A1A), fromRgb(0xFFFFFF)};
        layout[LayoutElement::Link] = {fromRgb(0x0B57A4), fromRgb(0xFFFFFF)};
    }
    ListingColours c;
    c.Frame = layout[LayoutElement::Head].Background;
    c.FrameText = readable(layout[LayoutElement::Head].Font, c.Frame, 4.5);
    c.Inlay = layout[LayoutElement::Table].Background;
    // Running text aims higher than the minimum, as in the shop.
    c.Text = readable(layout[LayoutElement::Table].Font, c.Inlay, 7);
    // The title in the frame's colour, the rules in the headings' colour.
    c.Title = readable(c.Frame, c.Inlay, 4.5);
    c.Line = layout[LayoutElement::Heading].Background;
    c.Link = readable(layout[LayoutElement::Link].Font, c.Inlay, 4.5);
    c.Font = layout.Font;
    return c;
}

std::string CreateItemDescription(const AuctionSetup& setup, const AuctionItem& item, const AuctionChoices& choices)
{
    const std::string shopUrl = choices.ShopURL;
    CheckShopUrl(shopUrl);
    const ResourceEntry* resource = FindResource(kTemplate);
    if (resource == nullptr) {
        throw Error(msg::ListingTemplateMissing);
    }
    const ListingColours colours = ReadListingColours(setup.DataDir);
    const std::string productLink =
        styledLink(ProductSiteAddress(setup.ProgramDir), std::string(kProductName), colours.FrameText, colours.Frame);
    const std::map<std::string, std::string, std::less<>> values = {
        {"PICTURES", pictureList(setup, item, shopUrl)},
        {"TITLE", titleHtml(item.Name)},
        {"ADDITIONAL", StringsToHTML(choices.Additional)},
        {"DESCRIPTION", StringsToHTML(item.Description)},
        {"FEES", EscapeHtml(ReplaceAll(text(setup.EbayTexts, 1), "#", choices.eBayFee)) + "<br>" +
                     EscapeHtml(ReplaceAll(text(setup.EbayTexts, 2), "#", choices.Shipping))},
        // Capitals by the style sheet, which knows the umlauts.
        {"VISITSHOP", EscapeHtml(text(setup.EbayTexts, 0))},
        {"SHOPLINK", attributeValue(shopUrl)},
        {"CREATOR", ReplaceAll(EscapeHtml(text(setup.EbayTexts, 3)), kProductName, productLink)},
        {"CONTACT", choices.Contact ? contactRows(setup, colours) : std::string()},
        {"FrameColor", htmlColour(colours.Frame)},
        {"FrameTextColor", htmlColour(colours.FrameText)},
        {"InlayColor", htmlColour(colours.Inlay)},
        {"TextColor", htmlColour(colours.Text)},
        {"TitleColor", htmlColour(colours.Title)},
        {"LineColor", htmlColour(colours.Line)},
        {"LinkColor", htmlColour(colours.Link)},
        {"Font", EscapeCss(colours.Font)},
    };
    return crlfLines(
        fillTemplate(std::string_view(reinterpret_cast<const char*>(resource->data), resource->size), values));
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
    // Each field is set on its own: the forms of the site differ, and one
    // lacking a field must still get the others. The events let the page's
    // own scripts take the values as typed ones.
    return "(function () {\n"
           "  var fields = [" +
           list +
           "];\n"
           "  var values = Object.create(null);\n"
           "  for (var i = 0; i < fields.length; ++i) values[fields[i][0]] = fields[i][1];\n"
           "  var skipped = {checkbox: 1, radio: 1, file: 1, submit: 1, button: 1, image: 1, reset: 1};\n"
           "  for (var f = 0; f < document.forms.length; ++f) {\n"
           "    var elements = document.forms[f].elements;\n"
           "    for (var e = 0; e < elements.length; ++e) {\n"
           "      var field = elements[e];\n"
           "      if (!field.name || !(field.name in values) || skipped[field.type]) continue;\n"
           "      try {\n"
           "        field.value = values[field.name];\n"
           "        field.dispatchEvent(new Event('input', {bubbles: true}));\n"
           "        field.dispatchEvent(new Event('change', {bubbles: true}));\n"
           "      } catch (err) {}\n"
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
    throw Error(msg::ListingNoSuchItem, {orderNo});
}

} // namespace quillane
