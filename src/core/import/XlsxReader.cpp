#include "core/common/Error.h"
#include "core/common/Text.h"
#include "core/import/GridBuilder.h"
#include "core/import/SpreadsheetParts.h"
#include "core/import/XmlParts.h"
#include "core/import/ZipArchive.h"

#include <charconv>
#include <cstdint>
#include <map>
#include <vector>

namespace quillane {

namespace {

using xml::Attribute;
using xml::Child;
using xml::Is;

struct Relation {
    std::string Type;
    std::string Target; // a part name in the archive
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

std::map<std::string, Relation> relations(const ZipArchive& zip, const std::string& part)
{
    std::map<std::string, Relation> result;
    const std::string relsPart = folderOf(part) + "_rels/" + part.substr(folderOf(part).size()) + ".rels";
    if (!zip.Has(relsPart)) {
        return result;
    }
    pugi::xml_document doc;
    xml::Parse(doc, zip.Read(relsPart), relsPart);
    for (pugi::xml_node r = Child(doc, "Relationships").first_child(); r; r = r.next_sibling()) {
        if (Is(r, "Relationship")) {
            result[Attribute(r, "Id").value()] =
                Relation{Attribute(r, "Type").value(), resolve(folderOf(part), Attribute(r, "Target").value())};
        }
    }
    return result;
}

bool endsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string targetOfType(const std::map<std::string, Relation>& rels, std::string_view typeEnd)
{
    for (const auto& [id, rel] : rels) {
        if (endsWith(rel.Type, typeEnd)) {
            return rel.Target;
        }
    }
    return {};
}

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

// The text of a shared or inline string: its runs, without the phonetic
// guides of East Asian texts.
std::string stringItem(const pugi::xml_node& item)
{
    std::string text;
    for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
        if (Is(child, "t")) {
            text += child.text().get();
        } else if (Is(child, "r")) {
            text += Child(child, "t").text().get();
        }
    }
    return cellText(text);
}

std::vector<std::string> sharedStrings(const ZipArchive& zip, const std::string& part)
{
    std::vector<std::string> strings;
    if (part.empty() || !zip.Has(part)) {
        return strings;
    }
    pugi::xml_document doc;
    xml::Parse(doc, zip.Read(part), part);
    for (pugi::xml_node si = Child(doc, "sst").first_child(); si; si = si.next_sibling()) {
        if (Is(si, "si")) {
            strings.push_back(stringItem(si));
        }
    }
    return strings;
}

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
    std::vector<bool> styles;
    if (part.empty() || !zip.Has(part)) {
        return styles;
    }
    pugi::xml_document doc;
    xml::Parse(doc, zip.Read(part), part);
    const pugi::xml_node sheet = Child(doc, "styleSheet");
    std::map<unsigned, bool> custom;
    for (pugi::xml_node f = Child(sheet, "numFmts").first_child(); f; f = f.next_sibling()) {
        if (Is(f, "numFmt")) {
            custom[Attribute(f, "numFmtId").as_uint()] = dateFormatCode(Attribute(f, "formatCode").value());
        }
    }
    for (pugi::xml_node xf = Child(sheet, "cellXfs").first_child(); xf; xf = xf.next_sibling()) {
        if (Is(xf, "xf")) {
            const unsigned id = Attribute(xf, "numFmtId").as_uint();
            const auto c = custom.find(id);
            styles.push_back(c != custom.end() ? c->second : builtInDateFormat(id));
        }
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
    const std::vector<std::string>& Strings;
    const std::vector<bool>& DateStyles;
    bool From1904 = false;
};

std::string cellValue(const pugi::xml_node& c, const SheetContext& context)
{
    const std::string_view type = Attribute(c, "t").value();
    const std::string_view v = Child(c, "v").text().get();
    if (type == "inlineStr") {
        return stringItem(Child(c, "is"));
    }
    if (type == "s") {
        std::uint64_t index = 0;
        const auto res = std::from_chars(v.data(), v.data() + v.size(), index);
        if (res.ec != std::errc() || index >= context.Strings.size()) {
            throw Error("a cell names the shared text " + std::string(v) + ", which the file lacks");
        }
        return context.Strings[index];
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
    const unsigned style = Attribute(c, "s").as_uint();
    if (style < context.DateStyles.size() && context.DateStyles[style]) {
        return FormatDateSerial(number, context.From1904);
    }
    return FormatCellNumber(number);
}

} // namespace

ImportGrid ReadXlsxParts(const ZipArchive& zip)
{
    std::string workbookPart = targetOfType(relations(zip, ""), "/officeDocument");
    if (workbookPart.empty()) {
        workbookPart = "xl/workbook.xml";
    }
    pugi::xml_document workbook;
    xml::Parse(workbook, zip.Read(workbookPart), workbookPart);
    const pugi::xml_node root = Child(workbook, "workbook");
    const std::string_view from1904 = Attribute(Child(root, "workbookPr"), "date1904").value();
    pugi::xml_node firstSheet;
    for (pugi::xml_node s = Child(root, "sheets").first_child(); s && !firstSheet; s = s.next_sibling()) {
        if (Is(s, "sheet")) {
            firstSheet = s;
        }
    }
    if (!firstSheet) {
        throw Error("it has no worksheet");
    }
    const auto rels = relations(zip, workbookPart);
    const auto sheetRel = rels.find(Attribute(firstSheet, "id").value());
    if (sheetRel == rels.end()) {
        throw Error("its first worksheet has no part");
    }
    std::string stringsPart = targetOfType(rels, "/sharedStrings");
    if (stringsPart.empty() && zip.Has("xl/sharedStrings.xml")) {
        stringsPart = "xl/sharedStrings.xml";
    }
    const std::vector<std::string> strings = sharedStrings(zip, stringsPart);
    const std::vector<bool> styles = dateStyles(zip, targetOfType(rels, "/styles"));
    const SheetContext context{strings, styles, from1904 == "1" || from1904 == "true"};

    const std::string& sheetPart = sheetRel->second.Target;
    pugi::xml_document sheet;
    xml::Parse(sheet, zip.Read(sheetPart), sheetPart);
    GridBuilder grid;
    std::uint64_t rowNumber = 0;
    for (pugi::xml_node row = Child(Child(Child(sheet, "worksheet"), "sheetData"), "row"); row;
         row = row.next_sibling()) {
        if (!Is(row, "row")) {
            continue;
        }
        const std::uint64_t given = Attribute(row, "r").as_ullong();
        rowNumber = given > 0 ? given : rowNumber + 1;
        std::uint64_t column = 0;
        bool first = true;
        for (pugi::xml_node c = row.first_child(); c; c = c.next_sibling()) {
            if (!Is(c, "c")) {
                continue;
            }
            std::uint64_t cellRow = rowNumber;
            const pugi::xml_attribute ref = Attribute(c, "r");
            if (ref) {
                if (!cellReference(ref.value(), column, cellRow)) {
                    throw Error("a cell of its first worksheet has the reference \"" + std::string(ref.value()) +
                                "\", which names no cell");
                }
            } else if (!first) {
                ++column;
            }
            first = false;
            grid.Set(cellRow, column, cellValue(c, context));
        }
    }
    return grid.Take();
}

} // namespace quillane
