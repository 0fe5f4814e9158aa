#pragma once

#include "core/common/Message.h"
#include "core/common/Text.h"
#include "core/settings/Country.h"

#include <functional>
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
    std::string ProgramDir;             // quillane.ini: product web site; userprofil.ini: contact block
    std::string TempDir;                // the working copy's pictures.ini
    std::string DataDir;                // the project's shop profile: the shop layout's colours and font
    std::vector<std::string> EbayTexts; // shop link, the two fee lines, the credit line
    // Says the labels of the contact block in the interface language.
    std::function<std::string(const Message&)> Say = EnglishText;
};

// The colours of the description (0x00BBGGRR). Every text colour reads on
// what it stands on with a contrast of at least 4.5:1.
struct ListingColours {
    ColorValue Frame = 0;     // the frame and the credit box
    ColorValue FrameText = 0; // the credit on the frame
    ColorValue Inlay = 0;     // the box holding the item
    ColorValue Text = 0;      // running text in the box
    ColorValue Title = 0;
    ColorValue Line = 0; // the rules between the parts
    ColorValue Link = 0;
    std::string Font;
};

// The colours of the shop layout the generator uses for the project (the
// shop profile in dataDir, over the generator's defaults); a light set
// when the project has no shop profile. Text colours too faint on their
// background are darkened or lightened, as the shop does it.
ListingColours ReadListingColours(const std::string& dataDir);

std::string AuctionTextsPath(const std::string& dataDir);

// firstChoice: the first choice of both selectors, taken for a choice not
// stored. An item without extra text of its own gets the one last saved.
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
// section of ebay.txt is replaced by the additional lines, which the
// settings keep too, for the next item. Returns false,
// storing nothing, when the address is missing; throws (storing nothing)
// when it is refused. choices.ShopURL is completed in any case.
bool SaveAuctionChoices(const std::string& programDir, const std::string& dataDir, const std::string& orderNo,
                        AuctionChoices& choices);

// The description HTML (Windows-1252, lines ended by CR LF). The pictures
// are those the generator writes for the item, below pictures/large/ of the
// shop address; the contact block shows when choices.Contact is set. Throws
// when the shop address is refused.
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

// A script for the loaded page (Windows-1252): every field of every form
// of the document that bears one of the names gets its value, and the page
// hears of the change as if it had been typed.
std::string ListingFormScript(const ListingFormValues& values);

// The item with this order number from the working copy's catalog (name
// and price) and its description; throws Error naming the order number
// when the catalog has no such item.
AuctionItem ReadAuctionItem(const std::string& tempDir, const std::string& dataDir, const std::string& orderNo,
                            const std::string& catalogLanguage, const std::string& countryLanguage);

} // namespace quillane
