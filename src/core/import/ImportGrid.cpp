#include "core/import/ImportGrid.h"

#include "core/common/Error.h"
#include "core/common/messages/ImportMessages.h"

#include <algorithm>

namespace quillane {

const std::string& GridRow::Cell(std::size_t column) const
{
    static const std::string empty;
    return column < Cells.size() ? Cells[column] : empty;
}

std::size_t ImportGrid::ColumnCount() const
{
    std::size_t count = 0;
    for (const GridRow& row : Rows) {
        count = std::max(count, row.Cells.size());
    }
    return count;
}

std::vector<std::string> ImportGrid::ColumnLetters() const
{
    std::vector<std::string> letters;
    const std::size_t count = ColumnCount();
    letters.reserve(count);
    for (std::size_t c = 0; c < count; ++c) {
        letters.push_back(ColumnLetter(c));
    }
    return letters;
}

void ImportGrid::RemoveRows(std::vector<std::size_t> indices)
{
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    std::size_t next = 0;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < Rows.size(); ++i) {
        if (next < indices.size() && indices[next] == i) {
            ++next;
            continue;
        }
        if (kept != i) {
            Rows[kept] = std::move(Rows[i]);
        }
        ++kept;
    }
    Rows.resize(kept);
}

std::string ColumnLetter(std::size_t column)
{
    // Bijective base 26: after Z comes AA, not BA.
    std::string letters;
    std::size_t n = column + 1;
    while (n > 0) {
        --n;
        letters.insert(letters.begin(), static_cast<char>('A' + n % 26));
        n /= 26;
    }
    return letters;
}

std::size_t ColumnIndex(std::string_view letters)
{
    std::string_view s = letters;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    std::size_t n = 0;
    for (const char c : s) {
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper < 'A' || upper > 'Z' || n > kMaxImportColumns) {
            n = 0;
            break;
        }
        n = n * 26 + static_cast<std::size_t>(upper - 'A' + 1);
    }
    if (n == 0 || n > kMaxImportColumns) {
        throw Error(msg::ImportNoColumnName, {letters, ColumnLetter(kMaxImportColumns - 1)});
    }
    return n - 1;
}

} // namespace quillane
