// Import files made to take the readers' memory, stack or time: each is
// read in a child process that may take 512 MB more than it starts with and
// is stopped after ten seconds, so a reader that grows or recurses with the
// file fails the test instead of the machine.
#include "ImportFixtures.h"
#include "InChild.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/import/ImportFile.h"
#include "core/import/XmlParts.h"

#include <gtest/gtest.h>

#include <pthread.h>

using namespace quillane;
using quillane::test::gridLines;
using quillane::test::InChild;
using quillane::test::TempDir;
using quillane::test::writeSpreadsheet;

namespace {

using Lines = std::vector<std::string>;

// A piece of a zip part: a text, or a text repeated.
struct Piece {
    std::string Text;
    std::size_t Times = 1;
};
using Part = std::vector<Piece>;

std::string json(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// A zip archive of these parts, written deflated by the fixture script.
std::string writeZip(const TempDir& dir, const std::string& name,
                     const std::vector<std::pair<std::string, Part>>& parts)
{
    std::string layout = "{";
    for (const auto& [partName, pieces] : parts) {
        layout += (layout.size() > 1 ? ",\n" : "") + json(partName) + ": [";
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            layout += (i > 0 ? ", " : "") + std::string("[") + json(pieces[i].Text) + ", " +
                      std::to_string(pieces[i].Times) + "]";
        }
        layout += "]";
    }
    return writeSpreadsheet(dir, "zip", name, layout + "}");
}

// An .ods whose first table holds these pieces.
std::string writeOds(const TempDir& dir, const std::string& name, Part table)
{
    table.insert(table.begin(),
                 Piece{"<office:document-content xmlns:office='urn:oasis:names:tc:opendocument:xmlns:office:1.0' "
                       "xmlns:table='urn:oasis:names:tc:opendocument:xmlns:table:1.0' "
                       "xmlns:text='urn:oasis:names:tc:opendocument:xmlns:text:1.0'>"
                       "<office:body><office:spreadsheet><table:table table:name='S'>"});
    table.push_back({"</table:table></office:spreadsheet></office:body></office:document-content>"});
    return writeZip(dir, name, {{"content.xml", table}});
}

// An .xlsx whose first sheet's sheetData holds these pieces, with these shared texts.
std::string writeXlsx(const TempDir& dir, const std::string& name, Part rows, Part strings = {})
{
    const std::string ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    rows.insert(rows.begin(), Piece{"<worksheet><sheetData>"});
    rows.push_back({"</sheetData></worksheet>"});
    strings.insert(strings.begin(), Piece{"<sst>"});
    strings.push_back({"</sst>"});
    return writeZip(
        dir, name,
        {{"[Content_Types].xml", {{"<Types/>"}}},
         {"_rels/.rels",
          {{"<Relationships><Relationship Id='r1' Type='" + ns +
            "/officeDocument' Target='xl/workbook.xml'/></Relationships>"}}},
         {"xl/workbook.xml", {{"<workbook xmlns:r='" + ns + "'><sheets><sheet r:id='r1'/></sheets></workbook>"}}},
         {"xl/_rels/workbook.xml.rels",
          {{"<Relationships><Relationship Id='r1' Type='" + ns +
            "/worksheet' Target='sheet.xml'/><Relationship Id='r2' Type='" + ns +
            "/sharedStrings' Target='strings.xml'/></Relationships>"}}},
         {"xl/sheet.xml", rows},
         {"xl/strings.xml", strings}});
}

// The grid's lines, or "error: " and the reason.
std::string readLines(const std::function<ImportGrid()>& read)
{
    try {
        std::string out;
        for (const std::string& line : gridLines(read())) {
            out += line + "\n";
        }
        return out;
    } catch (const Error& e) {
        return std::string("error: ") + e.what();
    }
}

// body on a thread of a 1 MB stack, as a reader that recurses once per
// level of nesting overruns it.
std::string onSmallStack(const std::function<std::string()>& body)
{
    struct Call {
        const std::function<std::string()>* Body;
        std::string Result;
    } call{&body, {}};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, std::size_t{1} << 20);
    pthread_t thread;
    const int started = pthread_create(
        &thread, &attributes,
        [](void* argument) -> void* {
            auto* c = static_cast<Call*>(argument);
            c->Result = (*c->Body)();
            return nullptr;
        },
        &call);
    pthread_attr_destroy(&attributes);
    if (started != 0) {
        return "no thread";
    }
    pthread_join(thread, nullptr);
    return call.Result;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string repeated(const std::string& text, std::size_t times)
{
    std::string out;
    out.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

} // namespace

TEST(ImportBounds, DeeplyNestedElementsAreReadWithoutRecursion)
{
    TempDir dir;
    const std::size_t depth = 100'000;
    const std::string ods = writeOds(dir, "nested.ods",
                                     {{"<table:table-row><table:table-cell><text:p>"},
                                      {"<text:span>", depth},
                                      {"deep"},
                                      {"</text:span>", depth},
                                      {"</text:p></table:table-cell></table:table-row>"}});
    const std::string groups = writeOds(dir, "groups.ods",
                                        {{"<table:table-row-group>", depth},
                                         {"<table:table-row><table:table-cell office:value-type='string' "
                                          "office:string-value='deep'/></table:table-row>"},
                                         {"</table:table-row-group>", depth}});
    const std::string xlsx = writeXlsx(
        dir, "nested.xlsx",
        {{"<row r='1'><c t='inlineStr'><is><t>deep</t>"}, {"<x>", depth}, {"</x>", depth}, {"</is></c></row>"}});
    for (const std::string& path : {ods, groups, xlsx}) {
        const std::string result =
            InChild([&] { return onSmallStack([&] { return readLines([&] { return ReadImportFile(path); }); }); });
        EXPECT_EQ(result, "1: deep\n") << path;
    }
}

TEST(ImportBounds, AmplifyingFilesAreRefusedNamingWhatIsTooLarge)
{
    TempDir dir;
    Part farCells;
    for (int r = 1; r <= 400; ++r) {
        farCells.push_back({"<row><c r='XFD" + std::to_string(r) + "' t='inlineStr'><is><t>x</t></is></c></row>"});
    }
    const struct {
        const char* what;
        std::string path;
        const char* reason;
    } cases[] = {
        {"a kilobyte of blanks in a cell repeated over every column of a million rows (485 bytes unpacking to 5 GB)",
         writeOds(dir, "repeats.ods",
                  {{"<table:table-row table:number-rows-repeated='1000000'>"},
                   {"<table:table-cell table:number-columns-repeated='16384'><text:p><text:s text:c='1000'/>"
                    "</text:p></table:table-cell>"},
                   {"</table:table-row>"}}),
         "cells hold more than 256 MB of text"},
        {"twenty million blanks in one cell from runs of 1024",
         writeOds(dir, "blanks.ods",
                  {{"<table:table-row/><table:table-row><table:table-cell><text:p>"},
                   {"<text:s text:c='1024'/>", 20000},
                   {"</text:p></table:table-cell></table:table-row>"}}),
         "a cell of row 2 holds more than 1000000 characters"},
        {"a shared text of a million characters in 5000 cells",
         writeXlsx(dir, "shared.xlsx", {{"<row r='1'>"}, {"<c t='s'><v>0</v></c>", 5000}, {"</row>"}},
                   {{"<si><t>"}, {"a", 1'000'000}, {"</t></si>"}}),
         "cells hold more than 256 MB of text"},
        {"a shared text longer than a cell may hold",
         writeXlsx(dir, "long-shared.xlsx", {{"<row r='12'><c t='s'><v>1</v></c></row>"}},
                   {{"<si><t>short</t></si><si><t>"}, {"a", 1'000'001}, {"</t></si>"}}),
         "a cell of row 12 holds more than 1000000 characters"},
        {"an inline text of 40 million characters",
         writeXlsx(dir, "inline.xlsx",
                   {{"<row r='3'><c t='inlineStr'><is><t>"}, {"a", 40'000'000}, {"</t></is></c></row>"}}),
         "longer than 32 MB"},
        {"an inline text of two million characters",
         writeXlsx(dir, "inline-runs.xlsx",
                   {{"<row r='3'><c t='inlineStr'><is>"}, {"<r><t>aaaaaaaaaa</t></r>", 200'000}, {"</is></c></row>"}}),
         "a cell of row 3 holds more than 1000000 characters"},
        {"a cell in the last column of each of 400 rows", writeXlsx(dir, "far.xlsx", farCells),
         "fills more than 5000000 cells"},
    };
    for (const auto& c : cases) {
        const std::string result = InChild([&] { return readLines([&] { return ReadImportFile(c.path); }); });
        EXPECT_TRUE(contains(result, c.path) && contains(result, c.reason)) << c.what << ": " << result;
    }
}

// Parts of hundreds of megabytes from kilobytes of file, and rows out of
// order, read as any other file.
TEST(ImportBounds, PartsUnpackingToMuchAreReadPieceByPiece)
{
    TempDir dir;
    const std::size_t many = 16'000'000; // 64 MB of empty elements, a tree of a gigabyte
    const struct {
        const char* what;
        std::string path;
        std::string lines;
    } cases[] = {
        {"an .ods table of many empty elements",
         writeOds(dir, "elements.ods",
                  {{"<table:table-row><table:table-cell office:value-type='string'><text:p>x"},
                   {"<a/>", many},
                   {"</text:p></table:table-cell></table:table-row>"}}),
         "1: x\n"},
        {"an .xlsx row of many empty elements",
         writeXlsx(dir, "elements.xlsx",
                   {{"<row r='1'><c t='inlineStr'><is><t>x</t></is></c>"}, {"<a/>", many}, {"</row>"}}),
         "1: x\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InChild([&] { return readLines([&] { return ReadImportFile(c.path); }); }), c.lines) << c.what;
    }

    // Rows listed backwards cost no time per row for moving the others; a
    // row met twice keeps the cells of both, the later winning.
    const std::size_t rows = 100'000;
    Part backwards;
    for (std::size_t r = rows; r >= 1; --r) {
        backwards.push_back({"<row r='" + std::to_string(r) + "'><c t='inlineStr'><is><t>" + std::to_string(r) +
                             "</t></is></c></row>"});
    }
    backwards.push_back({"<row r='2'><c r='A2'><v>7</v></c><c r='C2'><v>9</v></c></row>"});
    const std::string path = writeXlsx(dir, "backwards.xlsx", backwards);
    const std::string result = InChild([&] {
        const ImportGrid grid = ReadImportFile(path);
        return std::to_string(grid.Rows.size()) + " " + gridLines(grid)[0] + " " + gridLines(grid)[1] + " " +
               gridLines(grid).back();
    });
    EXPECT_EQ(result, "100000 1: 1 2: 7||9 100000: 100000");
}

TEST(ImportBounds, DelimitedTextTakesNoMoreThanItsFilledFields)
{
    TempDir dir;
    const std::string longField(1'000'001, 'a');
    const struct {
        const char* what;
        std::string text;
        std::string result;
    } cases[] = {
        {"twenty million separators before a last field", "a;b\n" + std::string(20'000'000, ';') + "x\n",
         "error: Cannot read FILE: Line 2 has 20000001 fields; an import file may have 16384 columns at most."},
        {"twenty million separators after the last field", "a;b\nx" + std::string(20'000'000, ';') + "\n",
         "1: a|b\n2: x\n"},
        {"a field longer than a cell may hold", "a;b\nc;d\n" + longField + ";e\n",
         "error: Cannot read FILE: Line 3 has a field of more than 1000000 characters, more than an import takes."},
        {"a quoted one over lines", "a;b\nc;\"\n" + longField + "\";e\n",
         "error: Cannot read FILE: Line 2 has a field of more than 1000000 characters, more than an import takes."},
        {"an unclosed quote before a long line reads as it stands", "a;b\n\"c;d\n" + longField.substr(1) + ";e\n",
         "1: a|b\n2: \"c|d\n3: " + longField.substr(1) + "|e\n"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.write("file.csv", c.text);
        std::string result = InChild([&] { return readLines([&] { return ReadImportFile(path); }); });
        const std::size_t at = result.find(path);
        if (at != std::string::npos) {
            result.replace(at, path.size(), "FILE");
        }
        EXPECT_EQ(result, c.result) << c.what;
    }
}

TEST(ImportBounds, RealSizedWorkbooksAreReadWhole)
{
    TempDir dir;
    // 50,000 rows of five columns, as the benchmark's catalog.
    std::string cells = "[[\"Gruppe\", \"Name\", \"Nr\", \"Preis\", \"Text\"]";
    for (int i = 0; i < 50'000; ++i) {
        cells += ",\n[\"Main" + std::to_string(i / 500) + "\", \"Artikel " + std::to_string(i) + "\", \"N" +
                 std::to_string(i) + "\", " + std::to_string(i % 200) + ".5, \"Beschreibung " +
                 std::string(static_cast<std::size_t>(i % 90), 'x') + "\"]";
    }
    cells += "]";
    for (const char* kind : {"xlsx", "ods"}) {
        const std::string path = writeSpreadsheet(dir, kind, std::string("big.") + kind, cells);
        const ImportGrid grid = ReadImportFile(path);
        ASSERT_EQ(grid.Rows.size(), 50'001u) << kind;
        EXPECT_EQ(gridLines(ImportGrid{{grid.Rows.back()}}),
                  Lines{"50001: Main99|Artikel 49999|N49999|199.5|Beschreibung " + std::string(49'999 % 90, 'x')})
            << kind;
    }
}

namespace {

// The reader's events as a line of text: "<a x=1>", "text", "</a>".
std::string events(xml::Reader& reader, const std::vector<std::string>& attributes)
{
    std::string out;
    for (xml::Reader::Event e = reader.Next(); e != xml::Reader::Event::Done; e = reader.Next()) {
        if (e == xml::Reader::Event::Start) {
            out += "<" + std::string(reader.Name()) + std::to_string(reader.Depth());
            for (const std::string& a : attributes) {
                if (reader.Has(a)) {
                    out += " " + a + "=" + reader.Attribute(a);
                }
            }
            out += ">";
        } else if (e == xml::Reader::Event::End) {
            out += "</" + std::string(reader.Name()) + ">";
        } else {
            out += "[" + std::string(reader.Text()) + "]";
        }
    }
    return out;
}

} // namespace

TEST(XmlReader, ReadsTheEventsOfAPartInAnyPieces)
{
    const struct {
        const char* what;
        std::string xml;
        std::string events;
    } cases[] = {
        {"references, CDATA, comments and instructions",
         "<?xml version='1.0'?><!DOCTYPE a [<!ENTITY e '>'>]><a x='1&amp;2' y=\"&#65;&#x42;&bogus;\">t&lt;&gt;&quot;"
         "&apos;<![CDATA[<c>&amp;]]><!-- <b> --><?pi <b>?><b/></a>",
         "<a1 x=1&2 y=AB&bogus;>[t<>\"'][<c>&amp;]<b2></b></a>"},
        {"prefixes, and a namespace declaration is no attribute", "<p:a xmlns:x='u' p:x='1'><p:b\n x = '2' /></p:a>",
         "<a1 x=1><b2 x=2></b></a>"},
        {"line ends in texts and attributes", "<a x='1\r\n2\t3\n4'>a\r\nb\rc</a>", "<a1 x=1 2 3 4>[a\nb\nc]</a>"},
        {"a byte-order mark and blanks around the root", "\xEF\xBB\xBF \n<a>\xC3\xA9</a>\n ", "<a1>[\xC3\xA9]</a>"},
        {"ISO-8859-1 as declared", "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a x='\xE9'>\xE9\x80</a>",
         "<a1 x=\xC3\xA9>[\xC3\xA9\xE2\x82\xAC]</a>"},
        {"UTF-16 with its mark, a character pair among it",
         "\xFF\xFE" + repeated(std::string(" \0", 2), 300) +
             std::string("<\0a\0>\0\xE9\0=\xD8\x00\xDE<\0/\0a\0>\0", 20),
         "<a1>[\xC3\xA9\xF0\x9F\x98\x80]</a>"},
        {"UTF-16 big-endian without a mark", std::string("\0<\0a\0/\0>", 8), "<a1></a>"},
    };
    for (const auto& c : cases) {
        xml::Reader whole(c.xml, "part.xml");
        EXPECT_EQ(events(whole, {"x", "y"}), c.events) << c.what;
        // The same one byte at a time: every tag, text and character cut somewhere.
        std::size_t at = 0;
        xml::Reader bytes(
            [&](char* buffer, std::size_t size) {
                if (at >= c.xml.size() || size == 0) {
                    return std::size_t{0};
                }
                buffer[0] = c.xml[at++];
                return std::size_t{1};
            },
            "part.xml");
        EXPECT_EQ(events(bytes, {"x", "y"}), c.events) << c.what << " (one byte at a time)";
    }
}

TEST(XmlReader, RefusesWhatIsNoWellFormedXml)
{
    const struct {
        std::string xml;
        const char* reason;
    } cases[] = {
        {"", "no element"},
        {"text", "no element"},
        {"<a><b></a>", "</a> matches no start tag"},
        {"<a>", "ends inside an element"},
        {"<a x=1/>", "malformed attribute"},
        {"<a x='1/>", "ends inside a tag"},
        {"<a><!-- x</a>", "unclosed comment"},
        {"<a><![CDATA[x</a>", "unclosed CDATA"},
        {"<a><</a>", "\"<\" inside a tag"},
        {"<a>" + repeated("<b>", xml::Reader::kMaxDepth), "nested more than 1000000 deep"},
        {"<a" + repeated(" x='1'", xml::Reader::kMaxAttributes + 1) + "/>", "more than 4096 attributes"},
        {"<a><!--" + std::string(xml::Reader::kMaxToken + (1 << 20), ' ') + "--></a>", "longer than 32 MB"},
    };
    for (const auto& c : cases) {
        std::string message = "(no error)";
        try {
            xml::Reader reader(c.xml, "part.xml");
            while (reader.Next() != xml::Reader::Event::Done) {
            }
        } catch (const Error& e) {
            message = e.what();
        }
        EXPECT_TRUE(contains(message, "its part part.xml is no well-formed XML (") && contains(message, c.reason))
            << c.xml.substr(0, 30) << ": " << message;
    }
}
