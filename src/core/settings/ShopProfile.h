#pragma once

#include "core/common/Text.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The shop profile: shopprofil.ini in the project data folder and the shop
// texts beside it, <language>/<name>.txt. Readers open the file with IniFile
// and use the keys and defaults below; the profile dialog edits it through
// ShopProfileEditor.
namespace quillane {

std::string ShopProfilePath(const std::string& dataDir);
// Opens the profile for writing; it is written readable by its owner only,
// because it holds bank and tax data.
class IniFile;
IniFile OpenShopProfile(const std::string& dataDir);

namespace profile {

// [Invoice], written by the profile dialog, read by the invoice page.
inline constexpr std::string_view kInvoice = "Invoice";
inline constexpr std::string_view kPaymentTerm = "Zahlfrist"; // days, as typed
inline constexpr std::string_view kFreeDelivery = "Freihaus"; // euro, three decimals
inline constexpr std::string_view kPacking = "Verpackung";    // euro, three decimals
inline constexpr std::string_view kHeader = "Kopfzeile";      // "1": company address as invoice header
inline constexpr std::string_view kFooter = "Fusszeile";      // "1": bank details as invoice footer
inline constexpr std::string_view kBank = "bank";
inline constexpr std::string_view kBankCode = "blz";
inline constexpr std::string_view kAccount = "kto";
inline constexpr std::string_view kTaxNumber = "stnr";
inline constexpr std::string_view kVatId = "ustid";
// The account for payment in advance, both stored without blanks.
inline constexpr std::string_view kIban = "iban";
inline constexpr std::string_view kBic = "bic";
// Which VAT the shop charges: "1" the delivery country's rate within the
// EU and none for exports; missing or "0" the home rate everywhere, as
// profiles from before the choice expect.
inline constexpr std::string_view kVatByDestination = "UStLieferland";
// The running invoice numbers: the text before the number, and the next
// number (digits; leading zeros set its width).
inline constexpr std::string_view kInvoicePrefix = "ReNrPrefix";
inline constexpr std::string_view kInvoiceNext = "ReNrNext";
inline constexpr std::string_view kInvoiceNextDefault = "1";
// The dialog offers 14 days where no term is stored; the invoice reads a
// missing term as 0.
inline constexpr std::string_view kDialogPaymentTerm = "14";
inline constexpr int kInvoicePaymentTerm = 0;

// Discount levels, "<name>=<quantity>/<rate>" and "<name>=<amount>/<rate>".
// Items and the shop script refer to a level by its position in the section,
// so the order of the entries matters.
inline constexpr std::string_view kQuantityDiscount = "Mengenrabatt";
inline constexpr std::string_view kPriceDiscount = "Preisrabatt";

// [Layout], written by the profile dialog, read by the generator.
inline constexpr std::string_view kLayout = "Layout";
inline constexpr std::string_view kFont = "Font";

// [Creation], written by the generation dialog.
inline constexpr std::string_view kCreation = "Creation";
inline constexpr std::string_view kViewStandard = "view_std"; // items per page
inline constexpr std::string_view kViewPreview = "view_pro";
inline constexpr std::string_view kViewDetail = "view_dtl";
inline constexpr std::string_view kPrices = "Preise";     // 0 net, 1 gross
inline constexpr std::string_view kXxl = "xxl";           // "1": extra-large item pictures too
inline constexpr std::string_view kLayoutName = "Layout"; // sub folder of layouts/; default the first one listed
inline constexpr std::string_view kView = "Ansicht";      // 0 detail, 1 preview, 2 standard
inline constexpr std::string_view kCountries = "Laender"; // checked countries joined by ","
inline constexpr std::string_view kViewStandardDefault = "10";
inline constexpr std::string_view kViewPreviewDefault = "5";
inline constexpr std::string_view kViewDetailDefault = "3";
inline constexpr int kPricesDefault = 0;
inline constexpr std::string_view kXxlDefault = "0";
inline constexpr int kViewDefault = 1;
inline constexpr std::string_view kCountriesDefault = "";

// One section per destination country, named as in the country table.
inline constexpr std::string_view kPrepayment = "vk";     // "1": prepayment offered
inline constexpr std::string_view kCashOnDelivery = "nn"; // "1": cash on delivery offered
inline constexpr std::string_view kShipping = "Shipping"; // euro, three decimals
inline constexpr std::string_view kCodFee = "CodFee";     // euro, three decimals
// The generation dialog offers prepayment to a new country; the generator
// treats a country without settings as offering nothing.
inline constexpr std::string_view kDialogPrepayment = "1";
inline constexpr std::string_view kGeneratorPrepayment = "0";
inline constexpr std::string_view kCashOnDeliveryDefault = "0";
inline constexpr std::string_view kFeeDefault = "0";

} // namespace profile

// Amounts are stored in euro and shown in the home currency; homeRate is
// the home country's rate of its first currency (a rate that is not
// positive counts as 1).
// ParseNumber of the stored text times the rate, two decimals.
std::string ShownAmountText(std::string_view stored, double homeRate);
// ParseNumber of the typed text divided by the rate, three decimals;
// unreadable text gives "0.000".
std::string StoredAmountText(std::string_view typed, double homeRate);

// The five elements of the shop's look, in the order of the preview.
enum class LayoutElement { Document, Head, Heading, Table, Link };
inline constexpr int kLayoutElementCount = 5;

struct ElementColours {
    ColorValue Font = 0;
    ColorValue Background = 0;
};

struct ShopLayout {
    std::string Font;
    // Indexed by LayoutElement. The link's background is shown in the
    // preview but never stored: links sit on the document.
    std::array<ElementColours, kLayoutElementCount> Elements{};

    ElementColours& operator[](LayoutElement e) { return Elements[static_cast<int>(e)]; }
    const ElementColours& operator[](LayoutElement e) const { return Elements[static_cast<int>(e)]; }
};

// What the profile dialog shows for a project without a layout, and what
// the generator uses for it.
const ShopLayout& DialogLayoutDefaults();
const ShopLayout& GeneratorLayoutDefaults();

// "D-FC", "D-BC", ... "V-FC"; empty for the link's background.
std::string ColourKey(LayoutElement element, bool background);
// A colour resolved to plain 0x00BBGGRR (system colours to their values).
ColorValue PlainColour(ColorValue colour);
// "$" and six hex digits in blue-green-red order: red is "$0000FF".
std::string StoredColour(ColorValue colour);

// The [Layout] section over the given defaults; the link takes the
// document's background. Colours come back plain; an unreadable value or
// an empty font keeps its default.
ShopLayout ReadShopLayout(const IniFile& ini, const ShopLayout& defaults);
void WriteShopLayout(IniFile& ini, const ShopLayout& layout);

// Whether text can be the next invoice number: digits only, at least one.
bool IsInvoiceNextNumber(std::string_view text);

// The six texts the profile dialog edits, in the order of its tabs.
inline constexpr std::array<std::string_view, 6> kShopTextNames = {"intro", "service", "gtclong",
                                                                   "about", "faq",     "impressum"};

std::string ShopTextPath(const std::string& dataDir, const std::string& language, std::string_view name);
// The text of the language, else of the home language; false when neither
// file exists.
bool TryReadShopText(const std::string& dataDir, std::string_view name, const std::string& language,
                     const std::string& homeLanguage, std::string& text);
// The same, empty when neither file exists.
std::string ShopTextFor(const std::string& dataDir, std::string_view name, const std::string& language,
                        const std::string& homeLanguage);

enum class DiscountTable { Quantity, Price };

// One level: name and "quantity/rate" or "amount/rate".
using DiscountLevel = std::pair<std::string, std::string>;

// What the profile dialog edits, loaded from and saved to the profile of
// one data folder. Amounts are held as shown (home currency); level edits
// change only the in-memory lists until Save.
class ShopProfileEditor {
public:
    // Invoice page
    std::string PaymentTerm;
    std::string FreeDelivery;
    std::string Packing;
    bool Header = false;
    bool Footer = false;
    std::string Bank;
    std::string BankCode;
    std::string Account;
    std::string TaxNumber;
    std::string VatId;
    std::string Iban; // as typed; stored without blanks, in capitals
    std::string Bic;
    bool VatByDestination = false;
    // Invoice numbering: kInvoicePrefix and kInvoiceNext.
    std::string InvoicePrefix;
    std::string InvoiceNext{profile::kInvoiceNextDefault};
    // Layout page
    ShopLayout Layout;
    // Text pages, in the order of kShopTextNames; lines separated by "\n".
    std::array<std::string, kShopTextNames.size()> Texts;

    // Reads both level lists, the texts of the catalog language (or of the
    // home language where the catalog language has none; empty where
    // neither has one), the invoice data and the layout. A missing or
    // unreadable profile gives the dialog's defaults.
    void Load(const std::string& dataDir, const std::string& catalogLanguage, const std::string& homeLanguage,
              double homeRate);

    // Writes every text that is not empty into the catalog language's
    // folder (an emptied text leaves its file alone), then the invoice data,
    // both level lists in list order and the layout. Keys of other writers
    // survive. The invoice numbering is written only where it differs from
    // what Load read: an invoice printed while the dialog was open has moved
    // the sequence on, and saving must not move it back. Throws Error, before
    // anything is written, when InvoiceNext is not a number
    // (IsInvoiceNextNumber), when the IBAN or BIC is not one
    // (CheckBankDetails), and when a file cannot be written.
    void Save(const std::string& dataDir, const std::string& catalogLanguage, const std::string& homeLanguage,
              double homeRate) const;

    const std::vector<DiscountLevel>& Levels(DiscountTable table) const;
    // Position of the level of that name (letter case ignored, like the
    // file's keys), or -1.
    int FindLevel(DiscountTable table, std::string_view name) const;

    // The fields a chosen level shows: quantity (price levels: the amount
    // with two decimals) and rate.
    struct LevelFields {
        std::string Amount;
        std::string Rate;
    };
    LevelFields FieldsOf(DiscountTable table, int position) const;

    // Sets the level's value from the fields, appending a new name at the
    // end; quantity and rate are kept as typed, a price level's amount is
    // written with three decimals and no currency conversion. Returns the
    // level's position, or -1 for an empty name (nothing happens). Throws
    // Error, changing nothing, for a name or field the file cannot keep.
    int SaveLevel(DiscountTable table, std::string_view name, std::string_view amount, std::string_view rate);

    // Removes the level of that name. Returns the position the level box
    // shows next (the level before, or the first; -1 when none is left), or
    // nothing when there is no such level.
    std::optional<int> DeleteLevel(DiscountTable table, std::string_view name);

private:
    std::vector<DiscountLevel>& levels(DiscountTable table);

    std::vector<DiscountLevel> quantityLevels_;
    std::vector<DiscountLevel> priceLevels_;
    // What Load read, so Save writes only what the merchant changed.
    mutable std::string loadedInvoicePrefix_;
    mutable std::string loadedInvoiceNext_{profile::kInvoiceNextDefault};
};

} // namespace quillane
