#pragma once

#include "core/settings/Country.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillane {

class CatalogStore;

// Throws Error naming what is wrong when an order number cannot be a key of
// the catalog file: empty, with blanks around it (they are lost on reading),
// with "=" (it ends the key), beginning with "[" (a section header), or with
// "|" or a line break (they split the item's line).
void CheckOrderNumber(const std::string& orderNo);

// The decimal mark the merchant reads and types amounts with in an
// interface language: "." in English, "," in the others.
char DecimalMarkOf(const std::string& language);
// An amount with two decimals and its thousands grouped as the decimal mark
// wants it: "1.234,50" for ",", "1,234.50" for ".".
std::string LocalAmount(double value, char decimalMark, int decimals = 2);
// Reads an amount as the merchant types it with that decimal mark: the
// other sign groups thousands ("1.234,50" with ","), and a lone other sign
// not followed by groups of three digits is taken for the decimal mark, as
// people type "9.80" whatever their language. False for no amount, a
// negative one or one beyond kMaxAmount; value is then left alone.
[[nodiscard]] bool TryParseLocalAmount(std::string_view text, char decimalMark, double& value);

// How a typed price is meant: with VAT (gross) or without (net).
enum class PriceEntry { Gross, Net };

// A net price worked out from a gross one keeps this many decimals, so that
// the shop, putting the VAT back on and rounding to the cent, shows the
// price as typed (with two, 9.99 at 19 % would come back as 9.98).
inline constexpr int kGrossPriceDecimals = 4;

// Item operations on the shown group. Rows count from 1: row n is line n of
// CurrentItems (line 0 is the "Versand" line). Every operation stores the
// group and reports the change.
class ItemOps {
public:
    enum class Result { Done, MissingField, DuplicateOrderNo, NoItem, Unchanged };

    ItemOps(CatalogStore& store, const TCountry& home);

    // The decimal mark of the interface language: prices are shown and
    // read with it.
    void SetDecimalMark(char mark) { decimalMark_ = mark; }
    char DecimalMark() const { return decimalMark_; }

    // The price typed in the home currency (net or gross) as a net price in euro with two decimals, with
    // kGrossPriceDecimals for a gross one. Throws
    // Error when the text is no amount or the price is beyond kMaxAmount.
    std::string EntryPrice(const std::string& typed, PriceEntry priceEntryMode) const;

    // Add, Insert and Replace throw Error, changing nothing, for an order
    // number CheckOrderNumber refuses or a price EntryPrice refuses.
    Result Add(const std::string& name, const std::string& orderNo, const std::string& price,
               PriceEntry priceEntryMode);
    Result Insert(int row, const std::string& name, const std::string& orderNo, const std::string& price,
                  PriceEntry priceEntryMode);
    // Pictures and descriptions move with a changed order number.
    Result Replace(int row, const std::string& name, const std::string& orderNo, const std::string& price,
                   PriceEntry priceEntryMode, const std::string& dataDir, const std::vector<std::string>& languages);
    Result Remove(int row);
    Result Move(int from, int to);
    Result SetPublished(int row, bool published);
    // Moves the item into the group of that path.
    Result MoveToGroup(int row, const std::string& groupPath);

    int RowCount() const;
    std::string OrderNoAt(int row) const;
    // The price as the list shows it: "19,56 DM" with the decimal mark ",".
    std::string DisplayPrice(int row) const;
    bool Published(int row) const;

    // The price text the entry field holds after an entry.
    const std::string& LastPrice() const { return lastPrice_; }

private:
    bool validRow(int row) const;
    bool takenByOther(const std::string& orderNo, int exceptRow) const;
    void store();

    CatalogStore& store_;
    const TCountry& home_;
    std::string lastPrice_;
    char decimalMark_ = '.';
};

} // namespace quillane
