#include "core/catalog/ItemOps.h"

#include "core/catalog/CatalogStore.h"
#include "core/catalog/ItemDetails.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/CatalogMessages.h"
#include "core/i18n/LanguageFile.h"

#include <filesystem>

namespace quillane {

void CheckOrderNumber(const std::string& orderNo)
{
    if (TrimBlanks(orderNo).empty()) {
        throw Error(msg::ItemNoOrderNumber);
    }
    if (orderNo.find_first_of("\r\n") != std::string::npos) {
        throw Error(msg::ItemOrderNumberLineBreak, {orderNo});
    }
    // Names the files of the item, which no file system takes a control character in.
    if (HasControlChar(orderNo)) {
        throw Error(msg::ItemOrderNumberControl, {orderNo});
    }
    for (const char c : {'=', '|'}) {
        if (orderNo.find(c) != std::string::npos) {
            throw Error(msg::ItemOrderNumberForbidden, {orderNo, std::string(1, c)});
        }
    }
    // The file drops blanks before a "[" when it reads the line.
    if (TrimBlanks(orderNo).front() == '[') {
        throw Error(msg::ItemOrderNumberBracket, {orderNo});
    }
    if (TrimBlanks(orderNo).size() != orderNo.size()) {
        throw Error(msg::ItemOrderNumberBlank, {orderNo});
    }
}

char DecimalMarkOf(const std::string& language)
{
    return SameText(language, "english") ? '.' : ',';
}

std::string LocalAmount(double value, char decimalMark, int decimals)
{
    const std::string plain = FormatDecimals(decimals, value);
    const bool negative = !plain.empty() && plain.front() == '-';
    const std::size_t point = plain.find('.');
    const std::string whole =
        plain.substr(negative ? 1 : 0, point == std::string::npos ? std::string::npos : point - (negative ? 1 : 0));
    const char group = decimalMark == ',' ? '.' : ',';
    std::string text;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) {
            text += group;
        }
        text += whole[i];
    }
    if (point != std::string::npos) {
        text += decimalMark + plain.substr(point + 1);
    }
    return (negative ? "-" : "") + text;
}

namespace {

// True when the digits before the first group sign are 1 to 3 and every
// group after one is exactly 3 digits long: "1.234.567".
bool groupedThousands(std::string_view digits, char group)
{
    const std::size_t first = digits.find(group);
    if (first == std::string_view::npos || first == 0 || first > 3) {
        return false;
    }
    std::size_t at = first;
    while (at != std::string_view::npos) {
        const std::size_t next = digits.find(group, at + 1);
        const std::size_t length = (next == std::string_view::npos ? digits.size() : next) - at - 1;
        if (length != 3) {
            return false;
        }
        at = next;
    }
    return true;
}

} // namespace

bool TryParseLocalAmount(std::string_view text, char decimalMark, double& value)
{
    const std::string_view s = TrimBlanks(text);
    const char group = decimalMark == ',' ? '.' : ',';
    const std::size_t mark = s.rfind(decimalMark);
    std::string plain;
    if (mark != std::string_view::npos) {
        // The part before the mark may group its thousands; nothing else may hold a sign of either kind.
        const std::string_view whole = s.substr(0, mark);
        const std::string_view decimals = s.substr(mark + 1);
        if (whole.find(decimalMark) != std::string_view::npos || decimals.find(group) != std::string_view::npos ||
            (whole.find(group) != std::string_view::npos && !groupedThousands(whole, group))) {
            return false;
        }
        for (const char c : whole) {
            if (c != group) {
                plain += c;
            }
        }
        plain += '.';
        plain += decimals;
    } else if (s.find(group) != std::string_view::npos && groupedThousands(s, group)) {
        for (const char c : s) {
            if (c != group) {
                plain += c;
            }
        }
    } else {
        plain = s; // a lone other sign is the decimal mark
    }
    return TryParseAmount(plain, value);
}

ItemOps::ItemOps(CatalogStore& store, const TCountry& home) : store_(store), home_(home) {}

std::string ItemOps::EntryPrice(const std::string& typed, PriceEntry priceEntryMode) const
{
    double amount = 0;
    if (!TryParseLocalAmount(typed, decimalMark_, amount)) {
        throw Error(msg::ItemPriceNoAmount, {typed, FormatNumber(kMaxAmount)});
    }
    double value = StoredAmount(amount, home_);
    if (priceEntryMode == PriceEntry::Gross) {
        value /= 1 + home_.VAT / 100;
    }
    // Typed in a currency worth less than the euro, a price may pass the
    // limit only once it is turned into euro.
    if (!(value <= kMaxAmount)) {
        throw Error(msg::ItemPriceTooLarge, {typed, FormatNumber(kMaxAmount)});
    }
    return FormatDecimals(priceEntryMode == PriceEntry::Gross ? kGrossPriceDecimals : 2, value);
}

int ItemOps::RowCount() const
{
    return std::max(0, static_cast<int>(store_.CurrentItems.size()) - 1);
}

bool ItemOps::validRow(int row) const
{
    return row >= 1 && row < static_cast<int>(store_.CurrentItems.size());
}

std::string ItemOps::OrderNoAt(int row) const
{
    return validRow(row) ? store_.CurrentItems[row].first : std::string();
}

std::string ItemOps::DisplayPrice(int row) const
{
    if (!validRow(row)) {
        return {};
    }
    return LocalAmount(ParseNumber(CatalogStore::SplitItem(store_.CurrentItems[row].second).Price) * home_.Rate[0],
                       decimalMark_) +
           " " + home_.Currency[0];
}

bool ItemOps::Published(int row) const
{
    return validRow(row) && CatalogStore::SplitItem(store_.CurrentItems[row].second).Shown != "0";
}

bool ItemOps::takenByOther(const std::string& orderNo, int exceptRow) const
{
    const int index = store_.IndexOfItem(orderNo);
    return index >= 0 && index != exceptRow;
}

void ItemOps::store()
{
    store_.NotifyChanged();
    store_.SaveGroup();
}

ItemOps::Result ItemOps::Add(const std::string& name, const std::string& orderNo, const std::string& price,
                             PriceEntry priceEntryMode)
{
    return Insert(-1, name, orderNo, price, priceEntryMode);
}

ItemOps::Result ItemOps::Insert(int row, const std::string& name, const std::string& orderNo, const std::string& price,
                                PriceEntry priceEntryMode)
{
    if (name.empty() || orderNo.empty() || price.empty()) {
        return Result::MissingField;
    }
    if (row != -1 && !validRow(row)) {
        return Result::NoItem;
    }
    CheckOrderNumber(orderNo);
    // A second item of the same order number would overwrite the first when stored.
    if (takenByOther(orderNo, -1) || SameText(orderNo, "Versand")) {
        return Result::DuplicateOrderNo;
    }
    lastPrice_ = EntryPrice(price, priceEntryMode);
    IniLine line(orderNo, name + "|" + lastPrice_ + "||||");
    if (store_.CurrentItems.empty()) {
        store_.CurrentItems.emplace_back("Versand", "0.000");
    }
    if (row == -1) {
        store_.CurrentItems.push_back(std::move(line));
    } else {
        store_.CurrentItems.insert(store_.CurrentItems.begin() + row, std::move(line));
    }
    ++store_.ItemCount;
    store();
    return Result::Done;
}

ItemOps::Result ItemOps::Replace(int row, const std::string& name, const std::string& orderNo, const std::string& price,
                                 PriceEntry priceEntryMode, const std::string& dataDir,
                                 const std::vector<std::string>& languages)
{
    if (name.empty() || orderNo.empty() || price.empty()) {
        return Result::MissingField;
    }
    if (!validRow(row)) {
        return Result::NoItem;
    }
    CheckOrderNumber(orderNo);
    if (takenByOther(orderNo, row) || SameText(orderNo, "Versand")) {
        return Result::DuplicateOrderNo;
    }
    const std::string oldKey = store_.CurrentItems[row].first;
    ItemFields fields = CatalogStore::SplitItem(store_.CurrentItems[row].second);
    lastPrice_ = EntryPrice(price, priceEntryMode);
    if (orderNo != oldKey) {
        // Pictures and descriptions are keyed by the order number.
        IniFile pictures(store_.TempDir() + "pictures.ini");
        if (pictures.SectionExists(oldKey)) {
            const auto entries = pictures.ReadSectionValues(oldKey);
            pictures.EraseSection(oldKey);
            for (const auto& [key, value] : entries) {
                pictures.WriteString(orderNo, key, value);
            }
            pictures.UpdateFile();
        }
        for (const std::string& language : languages) {
            const std::string from = DescriptionPath(dataDir, language, oldKey);
            const std::string to = DescriptionPath(dataDir, language, orderNo);
            if (FileExists(from) && from != to) {
                std::error_code ec;
                std::filesystem::rename(from, to, ec);
                if (ec && CopyFileTo(from, to)) {
                    std::filesystem::remove(from, ec);
                }
            }
        }
    }
    fields.Name = name;
    fields.Price = lastPrice_;
    store_.CurrentItems[row] = IniLine(orderNo, CatalogStore::JoinItem(fields));
    store();
    return Result::Done;
}

ItemOps::Result ItemOps::Remove(int row)
{
    if (!validRow(row)) {
        return Result::NoItem;
    }
    store_.CurrentItems.erase(store_.CurrentItems.begin() + row);
    --store_.ItemCount;
    store();
    return Result::Done;
}

ItemOps::Result ItemOps::Move(int from, int to)
{
    if (!validRow(from) || !validRow(to)) {
        return Result::Unchanged;
    }
    if (from == to) {
        return Result::Unchanged;
    }
    IniLine line = std::move(store_.CurrentItems[from]);
    store_.CurrentItems.erase(store_.CurrentItems.begin() + from);
    store_.CurrentItems.insert(store_.CurrentItems.begin() + to, std::move(line));
    store();
    return Result::Done;
}

ItemOps::Result ItemOps::SetPublished(int row, bool published)
{
    if (!validRow(row)) {
        return Result::NoItem;
    }
    const std::string flag = published ? "1" : "0";
    const std::string current = CatalogStore::SplitItem(store_.CurrentItems[row].second).Shown;
    if (current == flag || (published && current.empty())) {
        return Result::Unchanged;
    }
    store_.ChangeValue(store_.CurrentItems[row].first, &ItemFields::Shown, flag);
    return Result::Done;
}

ItemOps::Result ItemOps::MoveToGroup(int row, const std::string& groupPath)
{
    if (!validRow(row)) {
        return Result::NoItem;
    }
    const int target = store_.GetGroupNum(groupPath);
    if (target < 0 || std::to_string(target) == store_.CurrentGroup) {
        return Result::Unchanged;
    }
    const IniLine line = store_.CurrentItems[row];
    {
        IniFile items(store_.ItemsFile());
        if (items.ValueExists(std::to_string(target), line.first)) {
            return Result::DuplicateOrderNo;
        }
        items.WriteString(std::to_string(target), line.first, line.second);
        items.UpdateFile();
    }
    store_.CurrentItems.erase(store_.CurrentItems.begin() + row);
    store();
    return Result::Done;
}

} // namespace quillane
