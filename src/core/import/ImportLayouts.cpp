#include "core/import/ImportLayouts.h"

#include "core/common/IniFile.h"
#include "core/common/Text.h"

#include <cstdint>
#include <cstdio>

namespace quillane {

namespace {

// The texts of the first row, which names the columns in most files.
std::string header(const ImportGrid& grid)
{
    std::string text;
    for (const std::string& cell : grid.Rows.front().Cells) {
        text += std::string(TrimBlanks(cell)) + '\t';
    }
    return text;
}

// A section name for the layout: the header texts may hold anything a
// section name cannot.
std::string section(const std::string& headerText)
{
    std::uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (const char c : headerText) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    char name[32];
    std::snprintf(name, sizeof name, "Layout %016llx", static_cast<unsigned long long>(hash));
    return name;
}

constexpr const char* kKeys[] = {"Group", "Name", "OrderNo", "Price"};

std::size_t* fieldOf(ImportColumns& columns, int i)
{
    std::size_t* const fields[] = {&columns.Group, &columns.Name, &columns.OrderNo, &columns.Price};
    return fields[i];
}

} // namespace

std::string ImportLayoutsPath(const std::string& programDir)
{
    return programDir + "importlayouts.ini";
}

std::optional<ImportColumns> RecallColumns(const std::string& programDir, const ImportGrid& grid)
{
    if (grid.Rows.empty()) {
        return std::nullopt;
    }
    const IniFile file(ImportLayoutsPath(programDir));
    const std::string name = section(header(grid));
    if (!file.SectionExists(name)) {
        return std::nullopt;
    }
    ImportColumns columns;
    for (int i = 0; i < 4; ++i) {
        const std::string letters = file.ReadString(name, kKeys[i], "");
        try {
            const std::size_t column = ColumnIndex(letters);
            // A column the file does not have is of no use.
            if (column < grid.ColumnCount()) {
                *fieldOf(columns, i) = column;
            }
        } catch (const std::exception&) {
            // Left unset: the merchant chooses it again.
        }
    }
    return columns;
}

void RememberColumns(const std::string& programDir, const ImportGrid& grid, const ImportColumns& columns)
{
    if (grid.Rows.empty()) {
        return;
    }
    IniFile file(ImportLayoutsPath(programDir));
    const std::string text = header(grid);
    const std::string name = section(text);
    file.EraseSection(name);
    // For a person reading the file; the section name alone identifies the layout.
    std::string shown = VisibleControlChars(text.substr(0, 200));
    file.WriteString(name, "Header", shown);
    ImportColumns copy = columns;
    for (int i = 0; i < 4; ++i) {
        const std::size_t column = *fieldOf(copy, i);
        file.WriteString(name, kKeys[i], column == ImportColumns::kUnset ? "" : ColumnLetter(column));
    }
    file.UpdateFile();
}

} // namespace quillane
