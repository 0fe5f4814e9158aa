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
#include <cstdlib>
#include <limits>
#include <map>
#include <vector>

namespace quillane {

namespace {

using xml::Reader;
using Event = xml::Reader::Event;

// An entry of the archive read as XML while it is unpacked.
class PartReader {
public:
    PartReader(const ZipArchive& zip, const std::string& part)
        : entry_(zip.Open(part)),
          xml_([this](char* buffer, std::size_t size) { return entry_.Read(buffer, size); }, part)
    {
    }
    PartReader(const PartReader&) = delete;
    PartReader& operator=(const PartReader&) = delete;

    Reader& Xml() { return xml_; }

private:
    ZipArchive::Entry entry_;
    Reader xml_;
};

std::string folderOf(const std::string& part)
{
    const std::size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A relation's target as a part name: relative to the source's folder, or
// from the archive's root with a leading "/".
std::string resolve(const std::string& folder, const std::string& target)
{
    std::string path = !target.empty() && target.front() == '/' ? target.substr(1) : folder + target;
    std::vector<std::string> parts;
    for (const std::string& p : Split('/', path)) {
        if (p == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!p.empty() && p != ".") {
            parts.push_back(p);
        }
    }
    std::string joined;
    for (const std::string& p : parts) {
        joined += (joined.empty() ? "" : "/") + p;
    }
    return joined;
}

// Calls visit(id, type, target) for each relation of the part, its target as a part name.
template <typename Visit> void relations(const ZipArchive& zip, const std::string& part, Visit visit)
{
    const std::string relsPart = folderOf(part) + "_rels/" + part.substr(folderOf(part).size()) + ".rels";
    if (!zip.Has(relsPart)) {
        return;
    }
    PartReader reader(zip, relsPart);
    Reader& xml = reader.Xml();
    for (Event event = xml.Next(); event != Event::Done; event = xml.Next()) {
        if (event != Event::Start) {
            continue;
        }
        if (xml.Depth() == 1 && xml.Name() == "Relationships") {
            continue;
        }
        if (xml.Depth() == 2 && xml.Name() == "Relationship") {
            visit(xml.Attribute("Id"), xml.Attribute("Type"), resolve(folderOf(part), xml.Attribute("Target")));
        }
        xml.Skip();
    }
}

bool endsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The target of the relation of a type; of several, the one of the lowest id.
class RelationOfType {
public:
    explicit RelationOfType(std::string_view typeEnd) : typeEnd_(typeEnd) {}

    void Offer(const std::string& id, const std::string& type, const std::string& target)
    {
        if (endsWith(type, typeEnd_) && (!found_ || id < id_)) {
            found_ = true;
            id_ = id;
            target_ = target;
        }
    }
    const std::string& Target() const { return target_; }

private:
    std::string_view typeEnd_;
    bool found_ = false;
    std::string id_;
    std::string target_;
};

// Texts of the workbook spell characters XML cannot hold as "_x000D_".
std::string cellText(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '_' && i + 6 < utf8.size() && utf8[i + 1] == 'x' && utf8[i + 6] == '_') {
            int code = 0;
            bool hex = true;
            for (std::size_t k = 2; k < 6; ++k) {
                const int v = HexDigitValue(utf8[i + k]);
                hex = hex && v >= 0;
                code = code * 16 + (v < 0 ? 0 : v);
            }
            if (hex) {
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                i += 6;
                continue;
            }
        }
        out += utf8[i];
    }
    return Utf8ToCp1252(out);
}

// The text of a shared or inline string, from its start to its end: its
// runs, without the phonetic guides of East Asian texts. Empty with tooLong
// set when it holds more than a cell may.
std::string stringItem(Reader& xml, bool& tooLong)
{
    std::string text;
    tooLong = false;
    const std::size_t depth = xml.Depth();
    // The texts of "t" right in the item and of the first "t" of each run "r".
    std::size_t textDepth = 0;
    bool runHasText = false;
    for (Event event = xml.Next(); !(event == Event::End && xml.Depth() == depth); event = xml.Next()) {
        if (event == Event::Start) {
            if (xml.Depth() == depth + 1 && xml.Name() == "t") {
                textDepth = xml.Depth();
            } else if (xml.Depth() == depth + 1 && xml.Name() == "r") {
                runHasText = false;
            } else if (xml.Depth() == depth + 2 && xml.Name() == "t" && !runHasText) {
                runHasText = true;
                textDepth = xml.Depth();
            } else {
                xml.Skip();
            }
        } else if (event == Event::End && xml.Depth() == textDepth) {
            textDepth = 0;
        } else if (event == Event::Text && textDepth != 0 && xml.Depth() == textDepth && !tooLong) {
            text += xml.Text();
            if (text.size() > GridBuilder::kMaxGatheredText) {
                tooLong = true;
                text.clear();
            }
        }
    }
    if (tooLong) {
        return {};
    }
    text = cellText(text);
    tooLong = text.size() > kMaxImportCellText;
    return tooLong ? std::string() : text;
}

// The workbook's shared texts, one after the other in a single string, so
// that a table of many short ones costs little beyond its characters.
class SharedTexts {
public:
    void Read(const ZipArchive& zip, const std::string& part, GridBuilder& grid)
    {
        if (part.empty() || !zip.Has(part)) {
            return;
        }
        PartReader reader(zip, part);
        Reader& xml = reader.Xml();
        for (Event event = xml.Next(); event != Event::Done; event = xml.Next()) {
            if (event != Event::Start || (xml.Depth() == 1 && xml.Name() == "sst")) {
                continue;
            }
            if (xml.Depth() != 2 || xml.Name() != "si") {
                xml.Skip();
                continue;
            }
            if (ends_.size() >= kMaxImportCells) {
                throw Error(msg::ImportReasonTooManySharedTexts, {kMaxImportCells});
            }
            bool tooLong = false;
            const std::string text = stringItem(xml, tooLong);
            if (tooLong) {
                tooLong_.push_back(ends_.size());
            }
            // The table counts against the grid's bound on text, as what its cells take.
            grid.Hold(text.size());
            all_ += text;
            ends_.push_back(all_.size());
        }
    }

    std::size_t Size() const { return ends_.size(); }
    bool TooLong(std::size_t index) const { return std::binary_search(tooLong_.begin(), tooLong_.end(), index); }
    std::string At(std::size_t index) const
    {
        const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
        return all_.substr(begin, ends_[index] - begin);
    }

private:
    std::string all_;
    std::vector<std::size_t> ends_;
    std::vector<std::size_t> tooLong_; // the indices of texts longer than a cell may hold, ascending
};

bool builtInDateFormat(unsigned id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

// A number format that shows a date or time: it has day, month, year, hour
// or second codes outside quoted texts, "[...]" parts and escaped characters.
bool dateFormatCode(std::string_view code)
{
    bool quoted = false;
    int bracket = 0;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (quoted) {
            quoted = c != '"';
        } else if (c == '"') {
            quoted = true;
        } else if (c == '[') {
            ++bracket;
        } else if (c == ']') {
            bracket = bracket > 0 ? bracket - 1 : 0;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (bracket == 0) {
            const char l = LowerChar(c);
            if (l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 's') {
                return true;
            }
        }
    }
    return false;
}

// For each cell style (the "s" of a cell), whether it shows a date.
std::vector<bool> dateStyles(const ZipArchive& zip, const std::string& part)
{
    // Excel itself keeps fewer than 65,000 cell styles and a few hundred number formats.
    constexpr std::size_t kMaxStyles = std::size_t{1} << 20;
    std::vector<bool> styles;
    if (part.empty() || !zip.Has(part)) {
        return styles;
    }
    PartReader reader(zip, part);
    Reader& xml = reader.Xml();
    std::map<unsigned, bool> custom;
    std::vector<unsigned> formats; // the number format of each cell style
    bool formatsRead = false;
    bool stylesRead = false;
    std::string_view list; // numFmts or cellXfs, the first of each
    for (Event event = xml.Next(); event != Event::Done; event = xml.Next()) {
        if (event == Event::End && xml.Depth() == 2) {
            list = {};
        }
        if (event != Event::Start || (xml.Depth() == 1 && xml.Name() == "styleSheet")) {
            continue;
        }
        if (xml.Depth() == 2 && xml.Name() == "numFmts" && !formatsRead) {
            formatsRead = true;
            list = "numFmts";
        } else if (xml.Depth() == 2 && xml.Name() == "cellXfs" && !stylesRead) {
            stylesRead = true;
            list = "cellXfs";
        } else if (xml.Depth() == 3 && list == "numFmts" && xml.Name() == "numFmt") {
            custom[static_cast<unsigned>(std::strtoul(xml.Attribute("numFmtId").c_str(), nullptr, 10))] =
                dateFormatCode(xml.Attribute("formatCode"));
            if (custom.size() > kMaxStyles) {
                throw Error(msg::ImportReasonTooManyFormats, {std::to_string(kMaxStyles)});
            }
            xml.Skip();
        } else if (xml.Depth() == 3 && list == "cellXfs" && xml.Name() == "xf") {
            formats.push_back(static_cast<unsigned>(std::strtoul(xml.Attribute("numFmtId").c_str(), nullptr, 10)));
            if (formats.size() > kMaxStyles) {
                throw Error(msg::ImportReasonTooManyStyles, {std::to_string(kMaxStyles)});
            }
            xml.Skip();
        } else {
            xml.Skip();
        }
    }
    for (const unsigned id : formats) {
        const auto c = custom.find(id);
        styles.push_back(c != custom.end() ? c->second : builtInDateFormat(id));
    }
    return styles;
}

// "AB12": column 27, row 12 (column from 0, row from 1); false when it is no such reference.
bool cellReference(std::string_view ref, std::uint64_t& column, std::uint64_t& row)
{
    std::size_t i = 0;
    std::uint64_t col = 0;
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        col = std::min<std::uint64_t>(col * 26 + static_cast<std::uint64_t>(UpperChar(ref[i]) - 'A' + 1),
                                      std::uint64_t{1} << 40);
        ++i;
    }
    std::uint64_t r = 0;
    const auto res = std::from_chars(ref.data() + i, ref.data() + ref.size(), r);
    if (col == 0 || res.ec != std::errc() || res.ptr != ref.data() + ref.size()) {
        return false;
    }
    column = col - 1;
    row = r;
    return true;
}

bool parseDouble(std::string_view text, double& value)
{
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    return res.ec == std::errc() && res.ptr == text.data() + text.size();
}

struct SheetContext {
    const SharedTexts& Strings;
    const std::vector<bool>& DateStyles;
    bool From1904 = false;
};

// A row number as "r" gives it: its leading digits, 0 when it has none.
std::uint64_t rowAttribute(const std::string& text)
{
    std::uint64_t n = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), n);
    return res.ec == std::errc::result_out_of_range ? std::numeric_limits<std::uint64_t>::max() : n;
}

class SheetReader {
public:
    SheetReader(Reader& xml, const SheetContext& context, GridBuilder& grid) : xml_(xml), context_(context), grid_(grid)
    {
    }

    // The rows of the first sheetData of the worksheet.
    void Read()
    {
        bool dataRead = false;
        for (Event event = xml_.Next(); event != Event::Done; event = xml_.Next()) {
            if (event != Event::Start || (xml_.Depth() == 1 && xml_.Name() == "worksheet")) {
                continue;
            }
            if (xml_.Depth() == 2 && xml_.Name() == "sheetData" && !dataRead) {
                dataRead = true;
                rows();
            } else {
                xml_.Skip();
            }
        }
    }

private:
    void rows()
    {
        const std::size_t depth = xml_.Depth();
        for (Event event = xml_.Next(); !(event == Event::End && xml_.Depth() == depth); event = xml_.Next()) {
            if (event != Event::Start) {
                continue;
            }
            if (xml_.Name() != "row") {
                xml_.Skip();
                continue;
            }
            const std::uint64_t given = rowAttribute(xml_.Attribute("r"));
            rowNumber_ = given > 0 ? given : rowNumber_ + 1;
            column_ = 0;
            first_ = true;
            const std::size_t rowDepth = xml_.Depth();
            for (event = xml_.Next(); !(event == Event::End && xml_.Depth() == rowDepth); event = xml_.Next()) {
                if (event == Event::Start && xml_.Name() == "c") {
                    cell();
                } else if (event == Event::Start) {
                    xml_.Skip();
                }
            }
        }
    }

    // From a cell's start to its end.
    void cell()
    {
        std::uint64_t cellRow = rowNumber_;
        const std::string ref = xml_.Attribute("r");
        if (xml_.Has("r")) {
            if (!cellReference(ref, column_, cellRow)) {
                throw Error(msg::ImportReasonBadReference, {ref.substr(0, 40)});
            }
        } else if (!first_) {
            ++column_;
        }
        first_ = false;
        const std::string type = xml_.Attribute("t");
        const std::string style = xml_.Attribute("s");
        // The text of its first "v", or its first inline string "is".
        std::string v;
        std::string inlineText;
        bool inlineTooLong = false;
        bool valueRead = false;
        bool inlineRead = false;
        const std::size_t depth = xml_.Depth();
        for (Event event = xml_.Next(); !(event == Event::End && xml_.Depth() == depth); event = xml_.Next()) {
            if (event != Event::Start) {
                continue;
            }
            if (xml_.Name() == "v" && !valueRead) {
                valueRead = true;
                const std::size_t valueDepth = xml_.Depth();
                for (event = xml_.Next(); !(event == Event::End && xml_.Depth() == valueDepth); event = xml_.Next()) {
                    if (event == Event::Text && xml_.Depth() == valueDepth) {
                        v += xml_.Text();
                        if (v.size() > GridBuilder::kMaxGatheredText) {
                            GridBuilder::CellTooLong(cellRow);
                        }
                    } else if (event == Event::Start) {
                        xml_.Skip();
                    }
                }
            } else if (xml_.Name() == "is" && !inlineRead) {
                inlineRead = true;
                inlineText = stringItem(xml_, inlineTooLong);
            } else {
                xml_.Skip();
            }
        }
        if (type == "inlineStr" && inlineTooLong) {
            GridBuilder::CellTooLong(cellRow);
        }
        bool number = false;
        std::string text = value(type, v, style, std::move(inlineText), cellRow, number);
        grid_.Set(cellRow, column_, std::move(text), number);
    }

    std::string value(const std::string& type, const std::string& v, const std::string& style, std::string inlineText,
                      std::uint64_t row, bool& isNumber) const
    {
        if (type == "inlineStr") {
            return inlineText;
        }
        if (type == "s") {
            std::uint64_t index = 0;
            const auto res = std::from_chars(v.data(), v.data() + v.size(), index);
            if (res.ec != std::errc() || index >= context_.Strings.Size()) {
                throw Error(msg::ImportReasonMissingSharedText, {v.substr(0, 40)});
            }
            if (context_.Strings.TooLong(index)) {
                GridBuilder::CellTooLong(row);
            }
            return context_.Strings.At(index);
        }
        if (type == "b") {
            return v == "1" || v == "true" ? "TRUE" : "FALSE";
        }
        if (type == "str" || type == "e") {
            return cellText(v);
        }
        if (type == "d") {
            return FormatIsoDate(v);
        }
        double number = 0;
        if (v.empty() || !parseDouble(v, number)) {
            return cellText(v);
        }
        const unsigned styleIndex = static_cast<unsigned>(std::strtoul(style.c_str(), nullptr, 10));
        if (styleIndex < context_.DateStyles.size() && context_.DateStyles[styleIndex]) {
            return FormatDateSerial(number, context_.From1904);
        }
        isNumber = true;
        return FormatCellNumber(number);
    }

    Reader& xml_;
    const SheetContext& context_;
    GridBuilder& grid_;
    std::uint64_t rowNumber_ = 0;
    std::uint64_t column_ = 0;
    bool first_ = true;
};

} // namespace

ImportGrid ReadXlsxParts(const ZipArchive& zip)
{
    RelationOfType office("/officeDocument");
    relations(zip, "", [&](const std::string& id, const std::string& type, const std::string& target) {
        office.Offer(id, type, target);
    });
    const std::string workbookPart = office.Target().empty() ? "xl/workbook.xml" : office.Target();
    // The date system and the first sheet's relation.
    std::string from1904;
    std::string sheetId;
    bool sheetFound = false;
    {
        PartReader reader(zip, workbookPart);
        Reader& xml = reader.Xml();
        bool prRead = false;
        bool sheetsRead = false;
        bool inSheets = false;
        for (Event event = xml.Next(); event != Event::Done; event = xml.Next()) {
            if (event == Event::End && xml.Depth() == 2) {
                inSheets = false;
            }
            if (event != Event::Start || (xml.Depth() == 1 && xml.Name() == "workbook")) {
                continue;
            }
            if (xml.Depth() == 2 && xml.Name() == "workbookPr" && !prRead) {
                prRead = true;
                from1904 = xml.Attribute("date1904");
                xml.Skip();
            } else if (xml.Depth() == 2 && xml.Name() == "sheets" && !sheetsRead) {
                sheetsRead = true;
                inSheets = true;
            } else if (xml.Depth() == 3 && inSheets && xml.Name() == "sheet" && !sheetFound) {
                sheetFound = true;
                sheetId = xml.Attribute("id");
                xml.Skip();
            } else {
                xml.Skip();
            }
        }
    }
    if (!sheetFound) {
        throw Error(msg::ImportReasonNoWorksheet);
    }
    RelationOfType strings("/sharedStrings");
    RelationOfType styles("/styles");
    std::string sheetPart;
    bool sheetRelation = false;
    relations(zip, workbookPart, [&](const std::string& id, const std::string& type, const std::string& target) {
        strings.Offer(id, type, target);
        styles.Offer(id, type, target);
        if (id == sheetId) {
            sheetRelation = true;
            sheetPart = target;
        }
    });
    if (!sheetRelation) {
        throw Error(msg::ImportReasonNoSheetPart);
    }
    std::string stringsPart = strings.Target();
    if (stringsPart.empty() && zip.Has("xl/sharedStrings.xml")) {
        stringsPart = "xl/sharedStrings.xml";
    }
    GridBuilder grid;
    SharedTexts texts;
    texts.Read(zip, stringsPart, grid);
    const std::vector<bool> dates = dateStyles(zip, styles.Target());
    const SheetContext context{texts, dates, from1904 == "1" || from1904 == "true"};

    PartReader reader(zip, sheetPart);
    SheetReader sheet(reader.Xml(), context, grid);
    sheet.Read();
    return grid.Take();
}

} // namespace quillane
