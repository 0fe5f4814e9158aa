#include "ImportFixtures.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/Text.h"
#include "core/import/ImportFile.h"
#include "core/import/ImportGrid.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <sys/stat.h>

using namespace quillane;
using quillane::test::gridLines;
using quillane::test::TempDir;
using quillane::test::writeSpreadsheet;

namespace {

using Lines = std::vector<std::string>;

std::string errorOf(const std::function<void()>& read)
{
    try {
        read();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(ImportGrid, NamesColumnsByLettersPastZ)
{
    const std::pair<std::size_t, const char*> cases[] = {
        {0, "A"}, {25, "Z"}, {26, "AA"}, {27, "AB"}, {51, "AZ"}, {52, "BA"}, {701, "ZZ"}, {702, "AAA"}, {16383, "XFD"}};
    for (const auto& [column, letters] : cases) {
        EXPECT_EQ(ColumnLetter(column), letters);
        EXPECT_EQ(ColumnIndex(letters), column) << letters;
        EXPECT_EQ(ColumnIndex(LowerCase(letters)), column) << letters;
    }
    ImportGrid grid;
    grid.Rows.push_back(GridRow{1, std::vector<std::string>(28, "x")});
    EXPECT_EQ(grid.ColumnLetters().back(), "AB");
    for (const char* bad : {"", " ", "A1", "1", "\xC4", "A-B", "XFE", "ZZZZZZZZZZZZZZ"}) {
        EXPECT_THROW(ColumnIndex(bad), Error) << bad;
    }
}

TEST(DelimitedText, FindsTheSeparatorFromTheFirstTwoLines)
{
    const struct {
        const char* first;
        const char* second;
        char separator;
    } cases[] = {
        {"a;b;c", "1;2;3", ';'},
        {"a,b;c", "1,2;3", ','},         // both once in each line: the earlier candidate
        {"a;b;c,d", "1;2;3,4", ';'},     // both in each line: the one occurring more
        {"a;b;c", "1,2", ';'},           // none equal: the most frequent in either line
        {"a,b", "1;2;3", ';'},           //
        {"a|b", "1#2", '#'},             // none equal, a tie: the earlier candidate
        {"\"a,b\";c", "\"d,e\";f", ';'}, // separators inside quotes do not count
        {"\"a \"\",\"\" b\";c", "x;y", ';'},
        {"12\" Rack;5", "Shelf;6", ';'}, // an inch mark quotes nothing
        {"a\tb", "c\td", '\t'},
        {"Name", "Shirt", '\0'}, // no candidate: one column
        {"a-b&c", "", '-'},      // a single line
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectSeparator(c.first, c.second), c.separator) << c.first << " / " << c.second;
    }
}

TEST(DelimitedText, SplitsLinesIntoRowsAndFields)
{
    const struct {
        const char* what;
        const char* text;
        Lines rows;
    } cases[] = {
        {"three columns", "a;b;c\r\n1;2;3\r\n", {"1: a|b|c", "2: 1|2|3"}},
        {"quoted separators and doubled quotes",
         "\"say \"\"hi\"\";now\";2\n\"\";x\n",
         {"1: say \"hi\";now|2", "2: |x"}},
        {"a quoted field over two lines keeps its line break and the row numbers follow the file",
         "Shirts;\"Polo\nblue\";P1\nHats;Cap;H1\n",
         {"1: Shirts|Polo\nblue|P1", "3: Hats|Cap|H1"}},
        {"a quote that never closes quotes nothing", "\"a;b\nc;d\n", {"1: \"a|b", "2: c|d"}},
        {"empty lines and trailing empty fields are left out; CR alone ends a line",
         "a;b;;\n\n;;\rc;d",
         {"1: a|b", "4: c|d"}},
        {"one column", "Name\nShirt\n", {"1: Name", "2: Shirt"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gridLines(ParseDelimitedText(c.text)), c.rows) << c.what;
    }
}

TEST(DelimitedText, ReadsWindows1252AndUtf8AndUtf16)
{
    TempDir dir;
    const struct {
        const char* what;
        std::string bytes;
        std::string cell;
    } cases[] = {
        {"Windows-1252 stays as it is", "M\xFCtze \x80;1\n", "M\xFCtze \x80"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBFM\xC3\xBCtze \xE2\x82\xAC;1\n", "M\xFCtze \x80"},
        {"UTF-8 without one", "M\xC3\xBCtze \xE2\x82\xAC;1\n", "M\xFCtze \x80"},
        {"characters Windows-1252 lacks become ?",
         "\xD0\x96"
         "ar \xF0\x9F\x98\x80;1\n",
         "?ar ?"},
        {"UTF-16 with its byte-order mark",
         std::string("\xFF\xFEM\0\xFC\0t\0;\0"
                     "1\0\n\0",
                     14),
         "M\xFCt"},
        {"plain ASCII", "Cap;1\n", "Cap"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.write("items.csv", c.bytes);
        const ImportGrid grid = ReadImportFile(path);
        ASSERT_EQ(grid.Rows.size(), 1u) << c.what;
        EXPECT_EQ(grid.Rows[0].Cells, (Lines{c.cell, "1"})) << c.what;
    }
}

// The same sheet written by each kind of spreadsheet gives the same grid,
// column A in column 0 and only the first worksheet read.
TEST(SpreadsheetReaders, ReadTheFirstWorksheetIntoTheSameGrid)
{
    TempDir dir;
    const std::string cells = R"([
        ["Gruppe", "Name", "Nr", "Preis"],
        ["Shirts", "Polo \u00e4\u20ac", 1234, 12.5],
        [],
        [null, "Cap", "C-1", 0.1, {"date": "2024-03-05"}],
        ["Hats", "  blanks kept  ", 1e20, -3]
    ])";
    const Lines expected = {"1: Gruppe|Name|Nr|Preis", "2: Shirts|Polo \xE4\x80|1234|12.5",
                            "4: |Cap|C-1|0.1|05.03.2024", "5: Hats|  blanks kept  |100000000000000000000|-3"};
    // The worksheet's numbers ("#") are told from its texts and dates ("."): their "." is a decimal point.
    const auto numbers = [](const ImportGrid& grid) {
        Lines marks;
        for (const GridRow& row : grid.Rows) {
            std::string mark;
            for (std::size_t c = 0; c < row.Cells.size(); ++c) {
                mark += row.Number(c) ? '#' : '.';
            }
            marks.push_back(mark);
        }
        return marks;
    };
    for (const char* kind : {"xls", "xlsx", "ods"}) {
        const std::string path = writeSpreadsheet(dir, kind, std::string("items.") + kind, cells);
        const ImportGrid grid = ReadImportFile(path);
        EXPECT_EQ(gridLines(grid), expected) << kind;
        EXPECT_EQ(numbers(grid), (Lines{"....", "..##", "...#.", "..##"})) << kind;
    }
    // A spreadsheet's name in any letter case; a workbook under another kind's name or a text name.
    for (const auto& [kind, name] : {std::pair{"xls", "DATA.XLS"}, {"xlsx", "saved-as.xls"}, {"ods", "export.txt"}}) {
        const std::string path = writeSpreadsheet(dir, kind, name, cells);
        EXPECT_EQ(gridLines(ReadImportFile(path)), expected) << name;
    }
}

TEST(SpreadsheetReaders, ReadBooleansErrorsAndInlineTexts)
{
    TempDir dir;
    const std::string xlsx = writeSpreadsheet(dir, "xlsx", "cells.xlsx",
                                              R"([[true, false, {"error": "#DIV/0!"}, {"inline": " a_x000D_b "}]])");
    EXPECT_EQ(gridLines(ReadXlsx(xlsx)), (Lines{"1: TRUE|FALSE|#DIV/0!| a\rb "}));
    const std::string ods =
        writeSpreadsheet(dir, "ods", "cells.ods", R"([[true, false, "two  blanks", "two\nlines"]])");
    EXPECT_EQ(gridLines(ReadOds(ods)), (Lines{"1: TRUE|FALSE|two  blanks|two\nlines"}));
}

TEST(SpreadsheetReaders, RepeatedOdsRowsAndColumnsCostNoMemoryWhenEmpty)
{
    TempDir dir;
    // As spreadsheet programs end a sheet: a million empty rows of a thousand empty cells.
    const std::string path = writeSpreadsheet(dir, "ods", "repeats.ods", R"([
        [{"value": "x", "repeat": 3}, {"value": null, "repeat": 1000}, "end"],
        {"repeat": 2, "cells": ["twice"]},
        {"repeat": 1048000, "cells": [{"value": null, "repeat": 1024}]},
        ["last"],
        {"repeat": 1048576, "cells": [{"value": null, "repeat": 16384}]}
    ])");
    const auto start = std::chrono::steady_clock::now();
    const ImportGrid grid = ReadOds(path);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ASSERT_EQ(grid.Rows.size(), 4u);
    EXPECT_EQ(grid.Rows[0].Cells.size(), 1004u);
    EXPECT_EQ(grid.Rows[0].Cells[2], "x");
    EXPECT_EQ(grid.Rows[0].Cells[1003], "end");
    EXPECT_EQ(gridLines(ImportGrid{{grid.Rows[1], grid.Rows[2], grid.Rows[3]}}),
              (Lines{"2: twice", "3: twice", "1048004: last"}));

    // A filled row repeated past all reason is refused, not held.
    const std::string absurd =
        writeSpreadsheet(dir, "ods", "absurd.ods", R"([{"repeat": 100000000, "cells": ["x", "y", "z"]}])");
    const std::string message = errorOf([&] { ReadOds(absurd); });
    EXPECT_TRUE(contains(message, absurd) && contains(message, "cells")) << message;
}

TEST(ImportFiles, AFileThatCannotBeReadGivesOneErrorNamingItAndWhy)
{
    TempDir dir;
    const std::string noZip = dir.write("broken.xlsx", "PK\x03\x04 but nothing more");
    std::string zipWithout;
    {
        // A zip archive that is no workbook.
        zipWithout = writeSpreadsheet(dir, "ods", "other.xlsx", "[[1]]");
    }
    const std::string text = dir.write("notes.xls", "Name;Price\nCap;1\n");
    const std::string fifo = dir.file("pipe.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* what;
        std::string path;
        const char* reason;
    } cases[] = {
        {"a missing text file", dir.file("missing.csv"), "Cannot open file "},
        {"a missing spreadsheet", dir.file("missing.xls"), "No such file"},
        {"a FIFO", fifo, "regular"},
        {"a damaged zip", noZip, "zip"},
        {"an .xls that is text", text, "not an Excel 97-2003 workbook"},
        {"an .xls of the right signature but damaged", dir.write("damaged.xls", "\xD0\xCF\x11\xE0garbage"), "damaged"},
    };
    for (const auto& c : cases) {
        const std::string message = errorOf([&] { ReadImportFile(c.path); });
        EXPECT_TRUE(contains(message, c.path)) << c.what << ": " << message;
        EXPECT_TRUE(contains(message, c.reason)) << c.what << ": " << message;
    }
}
