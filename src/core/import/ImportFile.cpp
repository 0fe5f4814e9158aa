#include "core/import/ImportFile.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Text.h"
#include "core/common/messages/ImportMessages.h"
#include "core/import/SpreadsheetParts.h"
#include "core/import/ZipArchive.h"

#include <functional>

namespace quillane {

namespace {

enum class Kind { Xls, Xlsx, Ods, Text };

Kind kindByName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return Kind::Text;
    }
    const std::string extension = LowerCase(path.substr(dot + 1));
    if (extension == "xls") {
        return Kind::Xls;
    }
    if (extension == "xlsx") {
        return Kind::Xlsx;
    }
    if (extension == "ods") {
        return Kind::Ods;
    }
    return Kind::Text;
}

[[noreturn]] void fail(const std::string& path, const MessageArg& reason)
{
    throw Error(msg::ImportCannotReadSpreadsheet, {path, reason});
}

std::string readWhole(const std::string& path)
{
    std::string bytes;
    ReadFailure failure;
    if (!TryReadFile(path, bytes, &failure)) {
        fail(path, failure.Reason);
    }
    return bytes;
}

bool spreadsheetBytes(const std::string& bytes)
{
    return bytes.compare(0, 4, "\xD0\xCF\x11\xE0") == 0 || bytes.compare(0, 4, "PK\x03\x04") == 0;
}

// bytes: the whole file, read first, so that only a regular file of a sane
// size reaches a reader.
ImportGrid readSpreadsheet(const std::string& path, const std::string& bytes, Kind named)
{
    try {
        // Files are often named for another kind than they are: the content decides.
        if (bytes.compare(0, 4, "\xD0\xCF\x11\xE0") == 0) {
            return ReadXlsFile(path);
        }
        if (bytes.compare(0, 4, "PK\x03\x04") == 0) {
            const ZipArchive zip(bytes);
            if (zip.Has("content.xml") && !zip.Has("[Content_Types].xml")) {
                return ReadOdsParts(zip);
            }
            if (zip.Has("[Content_Types].xml")) {
                return ReadXlsxParts(zip);
            }
            throw Error(msg::ImportReasonZipNotWorkbook);
        }
        const MessageKey kinds[] = {msg::ImportKindXls, msg::ImportKindXlsx, msg::ImportKindOds,
                                    msg::ImportKindSpreadsheet};
        throw Error(msg::ImportReasonNotSpreadsheet, {Message{kinds[static_cast<int>(named)], {}}});
    } catch (const Error& e) {
        fail(path, e.Said());
    }
}

} // namespace

ImportGrid ReadImportFile(const std::string& path)
{
    const Kind kind = kindByName(path);
    if (kind != Kind::Text) {
        return readSpreadsheet(path, readWhole(path), kind);
    }
    std::string bytes;
    ReadFailure failure;
    if (!TryReadFile(path, bytes, &failure)) {
        throw Error(msg::ImportCannotOpenFile, {path, failure.Reason});
    }
    // A workbook under another name would read as lines of binary garbage.
    if (spreadsheetBytes(bytes)) {
        return readSpreadsheet(path, bytes, kind);
    }
    return ParseDelimitedText(path, bytes);
}

ImportGrid ReadXls(const std::string& path)
{
    return readSpreadsheet(path, readWhole(path), Kind::Xls);
}

ImportGrid ReadXlsx(const std::string& path)
{
    return readSpreadsheet(path, readWhole(path), Kind::Xlsx);
}

ImportGrid ReadOds(const std::string& path)
{
    return readSpreadsheet(path, readWhole(path), Kind::Ods);
}

} // namespace quillane
