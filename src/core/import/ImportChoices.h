#pragma once

#include "core/catalog/ItemOps.h"
#include "core/common/Message.h"

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace quillane {

// Which columns of the grid hold what (0 = column A).
struct ImportColumns {
    static constexpr std::size_t kUnset = std::numeric_limits<std::size_t>::max();

    std::size_t Group = kUnset;
    std::size_t Name = kUnset;
    std::size_t OrderNo = kUnset;
    std::size_t Price = kUnset;

    bool Complete() const { return Group != kUnset && Name != kUnset && OrderNo != kUnset && Price != kUnset; }
    bool operator==(const ImportColumns&) const = default;
};

// What the merchant chose for an import or a price update.
struct ImportChoices {
    static constexpr std::size_t kLastRow = std::numeric_limits<std::size_t>::max();

    ImportColumns Columns;
    // The main group the rows go into; empty: the group cell names the
    // main group itself. The product group cell then names the sub group.
    std::string MainGroup;
    // With MainGroup: the one sub group every row goes into.
    std::string SubGroup;
    // How the prices in the file are meant: gross prices are divided by
    // 1 + VAT / 100 of the home country.
    PriceEntry PriceEntryMode = PriceEntry::Net;
    // The rows taken, as indices into ImportGrid::Rows, both included. The
    // default takes all; a LastRow beyond the grid means its last row.
    std::size_t FirstRow = 0;
    std::size_t LastRow = kLastRow;
    // The grid's first row heads the columns (HasHeaderRow): it is never taken.
    bool HeaderRow = false;
};

// A row the operation passed over, and why.
struct SkippedRow {
    std::size_t Row = 0; // the row's number in the file (GridRow::Row)
    Message Reason;

    friend bool operator==(const SkippedRow& a, const SkippedRow& b)
    {
        return a.Row == b.Row && EnglishText(a.Reason) == EnglishText(b.Reason);
    }
};

// Net prices from the import are stored with this many decimals.
inline constexpr int kImportPriceDecimals = 3;

} // namespace quillane
