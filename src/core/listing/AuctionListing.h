#pragma once

#include "core/settings/Country.h"

#include <string>
#include <string_view>
#include <vector>

// Putting one catalog item up for auction: the choices the merchant makes
// for it, the HTML description made from the embedded template AUCTION, the
// listing page of the home country and the script that fills its forms.
namespace quillane {

struct TextTables;

// The merchant's choices for an auction: section eBay of quillane.ini, and
// the additional text of the item in ebay.txt of the project's data folder.
struct AuctionChoices {
    std::string ShopURL = "http://";
    std::string eBayFee;  // who bears the auction fee (a text of ComboTexts)
    std::string Shipping; // who bears the shipping
    bool Contact = true;  // fill the seller's contact fields
    std::vector<std::string> Additional;
};

// The item as the details show it.
struct AuctionItem {
    std::string OrderNo;
    std::string Name;
    std::string Price; // the net euro price as stored
    std::vector<std::string> Description;
};

// Where the description's parts come from.
struct AuctionSetup {
    std::string ProgramDir;             // quillane.ini: layout colours, font, product web site
    std::string TempDir;                // the working copy's pictures.ini
    std::vector<std::string> EbayTexts; // shop link, the two fee lines, the credit line
};

std::string AuctionTextsPath(const std::string& dataDir);

// firstChoice: the first choice of both selectors, taken for a choice not stored.
AuctionChoices LoadAuctionChoices(const std::string& programDir, const std::string& dataDir, const std::string& orderNo,
                                  std::string_view firstChoice);

// The address with a final "/"; an empty one stays empty.
std::string CompleteShopUrl(std::string url);
// True for an address not filled in: empty, or nothing beyond the scheme.
bool ShopUrlMissing(std::string_view url);
// Throws Error naming the address unless it is an http:// or https:// address:
// anything else would put a script or a local file into the description.
void CheckShopUrl(std::string_view url);
// The notice for a missing address: the first two parts of its text, one per line.
std::string MissingShopUrlNotice(const TextTables& texts);

// Completes and checks the address, then stores the choices; the item's
// section of ebay.txt is replaced by the additional lines. Returns false,
// storing nothing, when the address is missing; throws (storing nothing)
// when it is refused. choices.ShopURL is completed in any case.
bool SaveAuctionChoices(const std::string& programDir, const std::string& dataDir, const std::string& orderNo,
                        AuctionChoices& choices);

// The description HTML (Windows-1252, lines ended by CR LF). Throws when
// the shop address is refused.
std::string CreateItemDescription(const AuctionSetup& setup, const AuctionItem& item, const AuctionChoices& choices);

// Base addresses from section Services of quillane.ini, with defaults.
std::string ProductSiteAddress(const std::string& programDir);
// The listing page of the auction site for the home country.
std::string ListingPageAddress(const std::string& programDir, const TCountry& home);

// The seller's contact data for the listing forms, from the company profile.
struct SellerContact {
    std::string Town;
    std::string Name;
    std::string Street;
    std::string Postcode;
    std::string Telephone;
};
SellerContact ReadSellerContact(const std::string& programDir);

// What the listing forms are filled with.
struct ListingFormValues {
    std::string Title;
    std::string Description;
    std::string Price;
    std::string PictureUrl;
    bool WithContact = false;
    SellerContact Contact;
};
ListingFormValues MakeListingFormValues(const AuctionSetup& setup, const AuctionItem& item,
                                        const AuctionChoices& choices);

// A script for the loaded page (Windows-1252): every form of the document
// gets its fields set in order; a form lacking one keeps the rest unset.
std::string ListingFormScript(const ListingFormValues& values);

// The item with this order number from the working copy's catalog (name
// and price) and its description; throws Error naming the order number
// when the catalog has no such item.
AuctionItem ReadAuctionItem(const std::string& tempDir, const std::string& dataDir, const std::string& orderNo,
                            const std::string& catalogLanguage, const std::string& countryLanguage);

} // namespace quillane
