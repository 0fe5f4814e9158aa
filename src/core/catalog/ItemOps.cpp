#include "core/catalog/ItemOps.h"

#include "core/catalog/CatalogStore.h"
#include "core/catalog/ItemDetails.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/i18n/LanguageFile.h"

#include <filesystem>

namespace quillane {

void CheckOrderNumber(const std::string& orderNo)
{
    const std::string quoted = "\"" + orderNo + "\"";
    if (TrimBlanks(orderNo).empty()) {
        throw Error("An item needs an order number.");
    }
    if (orderNo.find_first_of("\r\n") != std::string::npos) {
        throw Error("The order number " + quoted + " holds a line break. An order number is one line.");
    }
    // Names the files of the item, which no file system takes a control character in.
    if (HasControlChar(orderNo)) {
        throw Error("The order number " + quoted + " holds a control character. Please type it anew.");
    }
    for (const char c : {'=', '|'}) {
        if (orderNo.find(c) != std::string::npos) {
            throw Error("The order number " + quoted + " contains \"" + std::string(1, c) +
                        "\". Order numbers may not contain \"=\" or \"|\".");
        }
    }
    // The file drops blanks before a "[" when it reads the line.
    if (TrimBlanks(orderNo).front() == '[') {
        throw Error("The order number " + quoted + " begins with \"[\". Order numbers may not begin with \"[\".");
    }
    if (TrimBlanks(orderNo).size() != orderNo.size()) {
        throw Error("The order number " + quoted + " begins or ends with a blank. Please remove it.");
    }
}

ItemOps::ItemOps(CatalogStore& store, const TCountry& home) : store_(store), home_(home) {}

std::string ItemOps::EntryPrice(const std::string& typed, PriceEntry priceEntryMode) const
{
    double amount = 0;
    if (!TryParseAmount(typed, amount)) {
        throw Error("The price \"" + typed + "\" is not an amount. Please type a number from 0 to " +
                    FormatNumber(kMaxAmount) + ", with \".\" or \",\" before the decimals.");
    }
    double value = StoredAmount(amount, home_);
    if (priceEntryMode == PriceEntry::Gross) {
        value /= 1 + home_.VAT / 100;
    }
    // Typed in a currency worth less than the euro, a price may pass the
    // limit only once it is turned into euro.
    if (!(value <= kMaxAmount)) {
        throw Error("The price \"" + typed + "\" is more than " + FormatNumber(kMaxAmount) +
                    " euro, the largest price a shop can show.");
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
    return FormatPrice(CatalogStore::SplitItem(store_.CurrentItems[row].second).Price, 0, home_);
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
