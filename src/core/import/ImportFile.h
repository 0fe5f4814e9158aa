#pragma once

#include "core/import/ImportGrid.h"

#include <string>
#include <string_view>

namespace quillane {

// Reads an import file into a grid: ".xls", ".xlsx" and ".ods" (letter case
// ignored) as spreadsheets, their first worksheet; any other name as
// delimited text, unless it holds a workbook. A file that cannot be read throws one Error naming the
// file and the reason; nothing else is read but regular files of a sane size. A file that would
// fill more cells, longer cells or more text than ImportGrid.h allows is refused with an Error
// naming which, however few bytes it has: repeated rows, shared texts and packed parts count
// as what they unfold to. Empty rows and columns cost nothing, however many are repeated.
ImportGrid ReadImportFile(const std::string& path);

// Delimited text, each line a row. The text may be Windows-1252, UTF-8 (with
// or without a byte-order mark) or UTF-16 with a byte-order mark; it is
// turned into Windows-1252, characters that it cannot hold becoming "?".
// Throws Error("Cannot open file " + path + ": " + reason).
ImportGrid ReadDelimitedText(const std::string& path);

// The same on text already in Windows-1252.
ImportGrid ParseDelimitedText(std::string_view text);

// The separator of a delimited text, found from its first two lines among
// "," ";" "#" TAB "|" "@" "*" "-" "+" "&" (in that order of preference).
// First choice: a candidate that occurs equally often, at least once, in
// both lines, the one occurring most winning. Else the candidate occurring
// most often in either line. Ties go to the earlier candidate; characters
// inside double quotes do not count. '\0' when no candidate occurs at all:
// each line is then a single field.
char DetectSeparator(std::string_view firstLine, std::string_view secondLine);

// Spreadsheets: the first worksheet's cells as texts. The file's content
// decides its kind, so an .xlsx saved under the name .xls is read all the same. Numbers are written
// as the shortest decimal text with ".", dates as "dd.mm.yyyy" (with
// " hh:mm:ss" when the cell holds a time of day as well), booleans as
// "TRUE" or "FALSE". Each throws Error naming the file and the reason.
ImportGrid ReadXls(const std::string& path);  // Excel 97-2003 (BIFF)
ImportGrid ReadXlsx(const std::string& path); // Office Open XML
ImportGrid ReadOds(const std::string& path);  // OpenDocument

} // namespace quillane
