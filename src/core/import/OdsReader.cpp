#include "core/common/Error.h"
#include "core/common/Text.h"
#include "core/common/messages/ImportMessages.h"
#include "core/import/GridBuilder.h"
#include "core/import/SpreadsheetParts.h"
#include "core/import/XmlParts.h"
#include "core/import/ZipArchive.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <vector>

namespace quillane {

namespace {

using xml::Reader;
using Event = xml::Reader::Event;

// A repeat count; absurd ones are cut to what a worksheet can hold.
std::uint64_t repeats(const Reader& xml, std::string_view attribute)
{
    const std::string text = xml.Attribute(attribute);
    std::uint64_t n = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), n);
    if (res.ec == std::errc::result_out_of_range) {
        n = GridBuilder::kMaxRow;
    } else if (res.ec != std::errc() || n == 0) {
        n = 1;
    }
    return std::min(n, GridBuilder::kMaxRow);
}

// "PT12H30M05S" (a duration, as a time of day is stored) as "12:30:05".
std::string isoTime(const std::string& text)
{
    int h = 0;
    int m = 0;
    double s = 0;
    if (std::sscanf(text.c_str(), "PT%dH%dM%lfS", &h, &m, &s) != 3) {
        return text;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", h, m, static_cast<int>(s));
    return buffer;
}

// A cell's value as its attributes give it (numbers, dates, a text of its
// own); false when its paragraphs are its value. number: it is a number
// as FormatCellNumber writes it.
bool typedValue(const Reader& cell, std::string& value, bool& isNumber)
{
    const std::string type = cell.Attribute("value-type");
    if (type == "float" || type == "percentage" || type == "currency") {
        const std::string text = cell.Attribute("value");
        double number = 0;
        const auto res = std::from_chars(text.data(), text.data() + text.size(), number);
        if (res.ec == std::errc() && res.ptr == text.data() + text.size()) {
            value = FormatCellNumber(number);
            isNumber = true;
            return true;
        }
    } else if (type == "date") {
        value = FormatIsoDate(cell.Attribute("date-value"));
        return true;
    } else if (type == "time") {
        value = isoTime(cell.Attribute("time-value"));
        return true;
    } else if (type == "boolean") {
        value = cell.Attribute("boolean-value") == "true" ? "TRUE" : "FALSE";
        return true;
    }
    if (cell.Has("string-value")) {
        value = Utf8ToCp1252(cell.Attribute("string-value"));
        return true;
    }
    return false;
}

class SheetReader {
public:
    explicit SheetReader(Reader& xml) : xml_(xml) {}

    // From the start of the table on to its end; rows may sit in groups,
    // nested at any depth, which are read through.
    void Table()
    {
        const std::size_t depth = xml_.Depth();
        for (Event event = xml_.Next(); !(event == Event::End && xml_.Depth() == depth); event = xml_.Next()) {
            if (event != Event::Start) {
                continue;
            }
            const std::string_view name = xml_.Name();
            if (name == "table-row") {
                row();
            } else if (name != "table-header-rows" && name != "table-row-group" && name != "table-rows") {
                xml_.Skip();
            }
        }
    }

    ImportGrid Take() { return grid_.Take(); }

private:
    struct Cell {
        std::uint64_t Column;
        std::uint64_t Width; // a repeated cell is held once
        std::string Text;
        bool Number;
    };

    void row()
    {
        const std::uint64_t times = repeats(xml_, "number-rows-repeated");
        const std::size_t depth = xml_.Depth();
        cells_.clear();
        std::size_t text = 0;
        std::uint64_t column = 0;
        for (Event event = xml_.Next(); !(event == Event::End && xml_.Depth() == depth); event = xml_.Next()) {
            if (event != Event::Start) {
                continue;
            }
            if (xml_.Name() != "table-cell" && xml_.Name() != "covered-table-cell") {
                xml_.Skip();
                continue;
            }
            const std::uint64_t width =
                std::min<std::uint64_t>(repeats(xml_, "number-columns-repeated"), kMaxImportColumns);
            bool number = false;
            std::string value = cell(number);
            if (!value.empty()) {
                if (column + width > kMaxImportColumns) {
                    throw Error(msg::ImportReasonBeyondColumn, {ColumnLetter(kMaxImportColumns - 1)});
                }
                // What the row holds before it is repeated counts against the grid's bound already.
                text += value.size();
                grid_.CheckRoom(text);
                cells_.push_back(Cell{column, width, std::move(value), number});
            }
            column = std::min<std::uint64_t>(column + width, GridBuilder::kMaxRow);
        }
        // The blank rows to the sheet's end cost nothing, however many they
        // are; filled ones count against the grid's bounds as they are made.
        if (!cells_.empty()) {
            for (std::uint64_t r = 0; r < times; ++r) {
                for (const Cell& c : cells_) {
                    grid_.Fill(row_ + 1 + r, c.Column, c.Width, c.Text, c.Number);
                }
            }
        }
        row_ = std::min(row_ + times, GridBuilder::kMaxRow);
    }

    // From a cell's start to its end: its value.
    std::string cell(bool& number)
    {
        std::string value;
        if (typedValue(xml_, value, number)) {
            xml_.Skip();
            return value;
        }
        const std::size_t depth = xml_.Depth();
        bool first = true;
        for (Event event = xml_.Next(); !(event == Event::End && xml_.Depth() == depth); event = xml_.Next()) {
            if (event != Event::Start) {
                continue;
            }
            if (xml_.Name() == "p" || xml_.Name() == "h") {
                if (!first) {
                    value += '\n';
                }
                first = false;
                paragraph(value);
                if (value.size() > GridBuilder::kMaxGatheredText) {
                    GridBuilder::CellTooLong(row_ + 1); // a great many empty paragraphs
                }
            } else {
                xml_.Skip();
            }
        }
        value = Utf8ToCp1252(value);
        if (value.size() > kMaxImportCellText) {
            GridBuilder::CellTooLong(row_ + 1);
        }
        return value;
    }

    // The text of a paragraph: its runs, nested in spans as deep as they
    // come, with the elements that stand for blanks, tabs and line breaks
    // spelled out.
    void paragraph(std::string& out)
    {
        const std::size_t depth = xml_.Depth();
        for (Event event = xml_.Next(); !(event == Event::End && xml_.Depth() == depth); event = xml_.Next()) {
            if (event == Event::Text) {
                out += xml_.Text();
            } else if (event == Event::Start) {
                const std::string_view name = xml_.Name();
                if (name == "s") {
                    out.append(static_cast<std::size_t>(std::min<std::uint64_t>(repeats(xml_, "c"), 1024)), ' ');
                    xml_.Skip();
                } else if (name == "tab") {
                    out += '\t';
                    xml_.Skip();
                } else if (name == "line-break") {
                    out += '\n';
                    xml_.Skip();
                } else if (name == "annotation" || name == "note") {
                    xml_.Skip(); // comments and notes are no part of the cell's value
                }
            }
            if (out.size() > GridBuilder::kMaxGatheredText) {
                GridBuilder::CellTooLong(row_ + 1);
            }
        }
    }

    Reader& xml_;
    GridBuilder grid_;
    std::vector<Cell> cells_; // the filled cells of the row being read
    std::uint64_t row_ = 0;   // rows before this one
};

} // namespace

ImportGrid ReadOdsParts(const ZipArchive& zip)
{
    ZipArchive::Entry content = zip.Open("content.xml");
    Reader xml([&content](char* buffer, std::size_t size) { return content.Read(buffer, size); }, "content.xml");
    // The first table of document-content, body, spreadsheet.
    static constexpr std::string_view kPath[] = {"document-content", "body", "spreadsheet", "table"};
    SheetReader reader(xml);
    bool found = false;
    for (Event event = xml.Next(); event != Event::Done; event = xml.Next()) {
        if (event != Event::Start) {
            continue;
        }
        if (found || xml.Depth() > std::size(kPath) || xml.Name() != kPath[xml.Depth() - 1]) {
            xml.Skip(); // read to the end all the same, so that a damaged part is found out
        } else if (xml.Depth() == std::size(kPath)) {
            reader.Table();
            found = true;
        }
    }
    if (!found) {
        throw Error(msg::ImportReasonNoWorksheet);
    }
    return reader.Take();
}

} // namespace quillane
