#include "core/settings/ShopProfile.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/messages/SettingsMessages.h"
#include "core/settings/BankDetails.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillane {

namespace {

double usableRate(double rate)
{
    return rate > 0 && std::isfinite(rate) ? rate : 1;
}

// Colours below are written red-green-blue, as one reads them; the file
// keeps blue-green-red.
constexpr ColorValue fromRgb(std::uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

ShopLayout makeLayout(std::string font, std::array<std::uint32_t, 9> rgb)
{
    ShopLayout layout;
    layout.Font = std::move(font);
    for (int e = 0; e < kLayoutElementCount - 1; ++e) {
        layout.Elements[e] = {fromRgb(rgb[2 * e]), fromRgb(rgb[2 * e + 1])};
    }
    layout[LayoutElement::Link] = {fromRgb(rgb[8]), layout[LayoutElement::Document].Background};
    return layout;
}

const char* elementLetter(LayoutElement element)
{
    switch (element) {
    case LayoutElement::Document:
        return "D";
    case LayoutElement::Head:
        return "K";
    case LayoutElement::Heading:
        return "U";
    case LayoutElement::Table:
        return "T";
    case LayoutElement::Link:
        break;
    }
    return "V";
}

// A file's lines as a memo holds them: separated by "\n", without the line
// break that ends the last line.
std::string memoText(std::string_view file)
{
    std::string text;
    text.reserve(file.size());
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '\r') {
            text += '\n';
            if (i + 1 < file.size() && file[i + 1] == '\n') {
                ++i;
            }
        } else {
            text += file[i];
        }
    }
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

// The memo's lines, each ended by CR LF.
std::string fileText(std::string_view memo)
{
    std::string_view rest = memo;
    if (!rest.empty() && rest.back() == '\n') {
        rest.remove_suffix(1);
    }
    std::string out;
    for (std::string line : Split('\n', rest)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string textLanguage(const std::string& catalogLanguage, const std::string& homeLanguage)
{
    return catalogLanguage.empty() ? homeLanguage : catalogLanguage;
}

} // namespace

std::string ShopProfilePath(const std::string& dataDir)
{
    return dataDir + "shopprofil.ini";
}

IniFile OpenShopProfile(const std::string& dataDir)
{
    IniFile ini(ShopProfilePath(dataDir));
    ini.SetOwnerOnly(true);
    return ini;
}

std::string ShownAmountText(std::string_view stored, double homeRate)
{
    return FormatDecimals(2, ParseNumber(stored) * usableRate(homeRate));
}

std::string StoredAmountText(std::string_view typed, double homeRate)
{
    return FormatDecimals(3, ParseNumber(typed) / usableRate(homeRate));
}

const ShopLayout& DialogLayoutDefaults()
{
    static const ShopLayout layout = makeLayout(
        "MS Sans Serif", {0x000000, 0xFFFFFF, 0x000000, 0x808080, 0x808080, 0xC0C0C0, 0x000000, 0xFFFFFF, 0x000000});
    return layout;
}

const ShopLayout& GeneratorLayoutDefaults()
{
    static const ShopLayout layout =
        makeLayout("arial", {0xB4B4B4, 0xF0F0F0, 0xE6E6E6, 0xB4B4B4, 0xFFFFFF, 0xD2D2D2, 0x000000, 0xFFFFFF, 0xFF0000});
    return layout;
}

std::string ColourKey(LayoutElement element, bool background)
{
    if (element == LayoutElement::Link && background) {
        return {};
    }
    return std::string(elementLetter(element)) + (background ? "-BC" : "-FC");
}

ColorValue PlainColour(ColorValue colour)
{
    const std::uint32_t high = colour >> 24;
    if (high == 0xFF || high == 0x80) {
        // ColorToHtml knows the values of the system colours.
        return fromRgb(static_cast<std::uint32_t>(std::stoul(ColorToHtml(colour), nullptr, 16)));
    }
    return colour & 0xFFFFFF;
}

std::string StoredColour(ColorValue colour)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "$%06X", static_cast<unsigned>(PlainColour(colour)));
    return buf;
}

ShopLayout ReadShopLayout(const IniFile& ini, const ShopLayout& defaults)
{
    ShopLayout layout = defaults;
    layout.Font = ini.ReadString(profile::kLayout, profile::kFont, defaults.Font);
    if (layout.Font.empty()) {
        layout.Font = defaults.Font;
    }
    for (int e = 0; e < kLayoutElementCount; ++e) {
        const auto element = static_cast<LayoutElement>(e);
        for (const bool background : {false, true}) {
            const std::string key = ColourKey(element, background);
            if (key.empty()) {
                continue;
            }
            ColorValue& colour = background ? layout.Elements[e].Background : layout.Elements[e].Font;
            const auto stored = ini.ReadInteger(profile::kLayout, key, static_cast<std::int32_t>(colour));
            colour = PlainColour(static_cast<ColorValue>(stored));
        }
    }
    layout[LayoutElement::Link].Background = layout[LayoutElement::Document].Background;
    return layout;
}

void WriteShopLayout(IniFile& ini, const ShopLayout& layout)
{
    ini.WriteString(profile::kLayout, profile::kFont, layout.Font);
    for (int e = 0; e < kLayoutElementCount; ++e) {
        const auto element = static_cast<LayoutElement>(e);
        ini.WriteString(profile::kLayout, ColourKey(element, false), StoredColour(layout.Elements[e].Font));
        if (element != LayoutElement::Link) {
            ini.WriteString(profile::kLayout, ColourKey(element, true), StoredColour(layout.Elements[e].Background));
        }
    }
}

std::string ShopTextPath(const std::string& dataDir, const std::string& language, std::string_view name)
{
    return dataDir + language + "/" + std::string(name) + ".txt";
}

bool TryReadShopText(const std::string& dataDir, std::string_view name, const std::string& language,
                     const std::string& homeLanguage, std::string& text)
{
    return TryReadFile(ShopTextPath(dataDir, language, name), text) ||
           TryReadFile(ShopTextPath(dataDir, homeLanguage, name), text);
}

std::string ShopTextFor(const std::string& dataDir, std::string_view name, const std::string& language,
                        const std::string& homeLanguage)
{
    std::string text;
    if (!TryReadShopText(dataDir, name, language, homeLanguage, text)) {
        text.clear();
    }
    return text;
}

void ShopProfileEditor::Load(const std::string& dataDir, const std::string& catalogLanguage,
                             const std::string& homeLanguage, double homeRate)
{
    const IniFile ini(ShopProfilePath(dataDir));
    quantityLevels_ = ini.ReadSectionValues(profile::kQuantityDiscount);
    priceLevels_ = ini.ReadSectionValues(profile::kPriceDiscount);

    // A text that neither language has shows empty, so that no text of
    // another project or language is saved under this one.
    const std::string language = textLanguage(catalogLanguage, homeLanguage);
    for (std::size_t i = 0; i < kShopTextNames.size(); ++i) {
        std::string file;
        Texts[i] = TryReadShopText(dataDir, kShopTextNames[i], language, homeLanguage, file) ? memoText(file) : "";
    }

    using namespace profile;
    PaymentTerm = ini.ReadString(kInvoice, kPaymentTerm, kDialogPaymentTerm);
    FreeDelivery = ShownAmountText(ini.ReadString(kInvoice, kFreeDelivery, "0"), homeRate);
    Packing = ShownAmountText(ini.ReadString(kInvoice, kPacking, "0"), homeRate);
    Header = ini.ReadBool(kInvoice, kHeader, false);
    Footer = ini.ReadBool(kInvoice, kFooter, false);
    Bank = ini.ReadString(kInvoice, kBank, "");
    BankCode = ini.ReadString(kInvoice, kBankCode, "");
    Account = ini.ReadString(kInvoice, kAccount, "");
    TaxNumber = ini.ReadString(kInvoice, kTaxNumber, "");
    VatId = ini.ReadString(kInvoice, kVatId, "");
    Iban = GroupedIban(ini.ReadString(kInvoice, kIban, ""));
    Bic = ini.ReadString(kInvoice, kBic, "");
    VatByDestination = ini.ReadBool(kInvoice, kVatByDestination, false);
    InvoicePrefix = ini.ReadString(kInvoice, kInvoicePrefix, "");
    InvoiceNext = ini.ReadString(kInvoice, kInvoiceNext, kInvoiceNextDefault);
    loadedInvoicePrefix_ = InvoicePrefix;
    loadedInvoiceNext_ = InvoiceNext;

    Layout = ReadShopLayout(ini, DialogLayoutDefaults());
}

void ShopProfileEditor::Save(const std::string& dataDir, const std::string& catalogLanguage,
                             const std::string& homeLanguage, double homeRate) const
{
    if (dataDir.empty()) {
        throw Error(msg::ShopProfileNoDataFolder);
    }
    if (!IsInvoiceNextNumber(InvoiceNext)) {
        throw Error(msg::ShopProfileInvoiceNumber, {InvoiceNext});
    }
    const std::string iban = CompactIban(Iban);
    const std::string bic = CompactIban(Bic);
    CheckBankDetails(iban, bic);
    const std::string language = textLanguage(catalogLanguage, homeLanguage);
    CreateFolder(dataDir + language + "/");
    for (std::size_t i = 0; i < kShopTextNames.size(); ++i) {
        if (!Texts[i].empty()) {
            WriteTextFile(ShopTextPath(dataDir, language, kShopTextNames[i]), fileText(Texts[i]));
        }
    }

    using namespace profile;
    IniFile ini = OpenShopProfile(dataDir);
    ini.EraseSection(kQuantityDiscount);
    ini.EraseSection(kPriceDiscount);
    ini.WriteString(kInvoice, kPaymentTerm, PaymentTerm);
    ini.WriteString(kInvoice, kFreeDelivery, StoredAmountText(FreeDelivery, homeRate));
    ini.WriteString(kInvoice, kPacking, StoredAmountText(Packing, homeRate));
    ini.WriteString(kInvoice, kBank, Bank);
    ini.WriteString(kInvoice, kBankCode, BankCode);
    ini.WriteString(kInvoice, kAccount, Account);
    ini.WriteString(kInvoice, kTaxNumber, TaxNumber);
    ini.WriteString(kInvoice, kVatId, VatId);
    ini.WriteString(kInvoice, kIban, iban);
    ini.WriteString(kInvoice, kBic, bic);
    ini.WriteBool(kInvoice, kVatByDestination, VatByDestination);
    ini.WriteBool(kInvoice, kHeader, Header);
    ini.WriteBool(kInvoice, kFooter, Footer);
    if (InvoicePrefix != loadedInvoicePrefix_) {
        ini.WriteString(kInvoice, kInvoicePrefix, InvoicePrefix);
    }
    if (InvoiceNext != loadedInvoiceNext_) {
        ini.WriteString(kInvoice, kInvoiceNext, InvoiceNext);
    }
    for (const auto& [name, value] : quantityLevels_) {
        ini.WriteString(kQuantityDiscount, name, value);
    }
    for (const auto& [name, value] : priceLevels_) {
        ini.WriteString(kPriceDiscount, name, value);
    }
    WriteShopLayout(ini, Layout);
    ini.UpdateFile();
    loadedInvoicePrefix_ = InvoicePrefix;
    loadedInvoiceNext_ = InvoiceNext;
}

bool IsInvoiceNextNumber(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<DiscountLevel>& ShopProfileEditor::levels(DiscountTable table)
{
    return table == DiscountTable::Quantity ? quantityLevels_ : priceLevels_;
}

const std::vector<DiscountLevel>& ShopProfileEditor::Levels(DiscountTable table) const
{
    return table == DiscountTable::Quantity ? quantityLevels_ : priceLevels_;
}

int ShopProfileEditor::FindLevel(DiscountTable table, std::string_view name) const
{
    const std::string_view wanted = TrimBlanks(name);
    const auto& list = Levels(table);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (SameText(list[i].first, wanted)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

ShopProfileEditor::LevelFields ShopProfileEditor::FieldsOf(DiscountTable table, int position) const
{
    const auto& list = Levels(table);
    if (position < 0 || static_cast<std::size_t>(position) >= list.size()) {
        return {};
    }
    const SplitArray parts = Split('/', list[position].second);
    LevelFields fields{parts[0], parts.size() > 1 ? parts[1] : std::string()};
    if (table == DiscountTable::Price) {
        fields.Amount = FormatDecimals(2, ParseNumber(fields.Amount));
    }
    return fields;
}

int ShopProfileEditor::SaveLevel(DiscountTable table, std::string_view name, std::string_view amount,
                                 std::string_view rate)
{
    const std::string_view cleanName = TrimBlanks(name);
    if (cleanName.empty()) {
        return -1;
    }
    // In the file the name is a key: "=" would end it early and a leading
    // "[" would turn the line into a section header.
    if (cleanName.find('=') != std::string_view::npos || cleanName.front() == '[') {
        throw Error(msg::DiscountLevelBadName, {cleanName});
    }
    const bool quantityHasSlash = table == DiscountTable::Quantity && amount.find('/') != std::string_view::npos;
    if (quantityHasSlash || rate.find('/') != std::string_view::npos) {
        throw Error(msg::DiscountLevelSlash, {cleanName});
    }
    const std::string value =
        (table == DiscountTable::Price ? FormatDecimals(3, ParseNumber(amount)) : std::string(amount)) + "/" +
        std::string(rate);
    auto& list = levels(table);
    int position = FindLevel(table, cleanName);
    if (position < 0) {
        list.emplace_back(std::string(cleanName), value);
        return static_cast<int>(list.size()) - 1;
    }
    list[position].second = value;
    return position;
}

std::optional<int> ShopProfileEditor::DeleteLevel(DiscountTable table, std::string_view name)
{
    const int position = FindLevel(table, name);
    if (position < 0) {
        return std::nullopt;
    }
    auto& list = levels(table);
    list.erase(list.begin() + position);
    if (list.empty()) {
        return -1;
    }
    return position > 0 ? position - 1 : 0;
}

} // namespace quillane
