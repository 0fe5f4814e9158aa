#include "core/common/Error.h"
#include "core/common/Text.h"
#include "core/import/GridBuilder.h"
#include "core/import/SpreadsheetParts.h"
#include "core/import/XmlParts.h"
#include "core/import/ZipArchive.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

namespace quillane {

namespace {

using xml::Attribute;
using xml::Child;
using xml::Is;

// A repeat count; absurd ones are cut to what a worksheet can hold.
std::uint64_t repeats(const pugi::xml_node& node, std::string_view attribute)
{
    const pugi::xml_attribute a = Attribute(node, attribute);
    if (!a) {
        return 1;
    }
    const std::string_view text = a.value();
    std::uint64_t n = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), n);
    if (res.ec == std::errc::result_out_of_range) {
        n = GridBuilder::kMaxRow;
    } else if (res.ec != std::errc() || n == 0) {
        n = 1;
    }
    return std::min(n, GridBuilder::kMaxRow);
}

// The text of a paragraph: its runs, with the elements that stand for
// blanks, tabs and line breaks spelled out.
void paragraphText(const pugi::xml_node& node, std::string& out)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            out += child.value();
        } else if (Is(child, "s")) {
            out.append(static_cast<std::size_t>(std::min<std::uint64_t>(repeats(child, "c"), 1024)), ' ');
        } else if (Is(child, "tab")) {
            out += '\t';
        } else if (Is(child, "line-break")) {
            out += '\n';
        } else if (Is(child, "annotation") || Is(child, "note")) {
            // Comments and notes are no part of the cell's value.
        } else if (child.type() == pugi::node_element) {
            paragraphText(child, out);
        }
    }
}

// "PT12H30M05S" (a duration, as a time of day is stored) as "12:30:05".
std::string isoTime(std::string_view text)
{
    const std::string copy(text);
    int h = 0;
    int m = 0;
    double s = 0;
    if (std::sscanf(copy.c_str(), "PT%dH%dM%lfS", &h, &m, &s) != 3) {
        return copy;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", h, m, static_cast<int>(s));
    return buffer;
}

std::string cellValue(const pugi::xml_node& cell)
{
    const std::string_view type = Attribute(cell, "value-type").value();
    if (type == "float" || type == "percentage" || type == "currency") {
        const std::string_view value = Attribute(cell, "value").value();
        double number = 0;
        const auto res = std::from_chars(value.data(), value.data() + value.size(), number);
        if (res.ec == std::errc() && res.ptr == value.data() + value.size()) {
            return FormatCellNumber(number);
        }
    } else if (type == "date") {
        return FormatIsoDate(Attribute(cell, "date-value").value());
    } else if (type == "time") {
        return isoTime(Attribute(cell, "time-value").value());
    } else if (type == "boolean") {
        return std::string_view(Attribute(cell, "boolean-value").value()) == "true" ? "TRUE" : "FALSE";
    } else if (const pugi::xml_attribute s = Attribute(cell, "string-value"); s) {
        return Utf8ToCp1252(s.value());
    }
    std::string text;
    bool first = true;
    for (pugi::xml_node p = cell.first_child(); p; p = p.next_sibling()) {
        if (Is(p, "p") || Is(p, "h")) {
            if (!first) {
                text += '\n';
            }
            first = false;
            paragraphText(p, text);
        }
    }
    return Utf8ToCp1252(text);
}

class SheetReader {
public:
    void Rows(const pugi::xml_node& parent)
    {
        for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling()) {
            if (Is(node, "table-row")) {
                row(node);
            } else if (Is(node, "table-header-rows") || Is(node, "table-row-group") || Is(node, "table-rows")) {
                Rows(node);
            }
        }
    }

    ImportGrid Take() { return grid_.Take(); }

private:
    void row(const pugi::xml_node& node)
    {
        const std::uint64_t times = repeats(node, "number-rows-repeated");
        std::vector<std::pair<std::uint64_t, std::string>> cells;
        std::uint64_t column = 0;
        for (pugi::xml_node cell = node.first_child(); cell; cell = cell.next_sibling()) {
            if (!Is(cell, "table-cell") && !Is(cell, "covered-table-cell")) {
                continue;
            }
            const std::uint64_t width =
                std::min<std::uint64_t>(repeats(cell, "number-columns-repeated"), kMaxImportColumns);
            std::string value = cellValue(cell);
            if (!value.empty()) {
                if (column + width > kMaxImportColumns) {
                    throw Error("it has a cell beyond column " + ColumnLetter(kMaxImportColumns - 1) +
                                ", the last column a worksheet has");
                }
                for (std::uint64_t k = 0; k < width; ++k) {
                    cells.emplace_back(column + k, value);
                }
            }
            column = std::min<std::uint64_t>(column + width, GridBuilder::kMaxRow);
        }
        // The blank rows to the sheet's end cost nothing, however many they are.
        if (!cells.empty()) {
            for (std::uint64_t r = 0; r < times; ++r) {
                for (const auto& [c, text] : cells) {
                    grid_.Set(row_ + 1 + r, c, text);
                }
            }
        }
        row_ = std::min(row_ + times, GridBuilder::kMaxRow);
    }

    GridBuilder grid_;
    std::uint64_t row_ = 0; // rows before this one
};

} // namespace

ImportGrid ReadOdsParts(const ZipArchive& zip)
{
    pugi::xml_document doc;
    xml::Parse(doc, zip.Read("content.xml"), "content.xml");
    const pugi::xml_node spreadsheet = Child(Child(Child(doc, "document-content"), "body"), "spreadsheet");
    const pugi::xml_node table = Child(spreadsheet, "table");
    if (!table) {
        throw Error("it has no worksheet");
    }
    SheetReader reader;
    reader.Rows(table);
    return reader.Take();
}

} // namespace quillane
