#pragma once

#include "core/import/ImportGrid.h"

#include <string>

namespace quillane {

class ZipArchive;

// The readers of the kinds of spreadsheet, on a file whose kind is known.
// They throw Error with the reason alone; ReadImportFile and its siblings
// put the file's name before it.
ImportGrid ReadXlsFile(const std::string& path);
ImportGrid ReadXlsxParts(const ZipArchive& zip);
ImportGrid ReadOdsParts(const ZipArchive& zip);
// The bytes of a delimited text file, in whichever encoding; errors name the file.
ImportGrid ParseDelimitedText(const std::string& path, const std::string& bytes);

} // namespace quillane
