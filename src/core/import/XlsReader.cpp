#include "core/common/Error.h"
#include "core/common/Text.h"
#include "core/import/GridBuilder.h"
#include "core/import/SpreadsheetParts.h"

#include <freexl.h>

namespace quillane {

namespace {

std::string freexlReason(int code)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND:
        return "it cannot be opened";
    case FREEXL_INSUFFICIENT_MEMORY:
        return "there is not enough memory to read it";
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
        return "it is no Excel 97-2003 workbook";
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return "it holds no workbook";
    case FREEXL_UNSUPPORTED_CHARSET:
    case FREEXL_INVALID_CHARACTER:
        return "its texts are in a character set that cannot be read";
    default:
        return "it is damaged (error " + std::to_string(code) + " of the .xls reader)";
    }
}

class XlsHandle {
public:
    ~XlsHandle()
    {
        // FreeXL wants its handle closed even when opening failed.
        if (handle != nullptr) {
            freexl_close(handle);
        }
    }
    const void* handle = nullptr;
};

} // namespace

ImportGrid ReadXlsFile(const std::string& path)
{
    XlsHandle xls;
    int rc = freexl_open(path.c_str(), &xls.handle);
    if (rc != FREEXL_OK) {
        throw Error(freexlReason(rc));
    }
    unsigned int info = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED) {
        throw Error("it is protected by a password");
    }
    if (freexl_get_info(xls.handle, FREEXL_BIFF_SHEET_COUNT, &info) != FREEXL_OK || info == 0) {
        throw Error("it has no worksheet");
    }
    rc = freexl_select_active_worksheet(xls.handle, 0);
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (rc == FREEXL_OK) {
        rc = freexl_worksheet_dimensions(xls.handle, &rows, &columns);
    }
    if (rc != FREEXL_OK) {
        throw Error(freexlReason(rc));
    }
    GridBuilder grid;
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue cell;
            rc = freexl_get_cell_value(xls.handle, r, c, &cell);
            if (rc != FREEXL_OK) {
                throw Error(freexlReason(rc));
            }
            std::string text;
            switch (cell.type) {
            case FREEXL_CELL_INT:
                text = std::to_string(cell.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                text = FormatCellNumber(cell.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
                text = Utf8ToCp1252(cell.value.text_value != nullptr ? cell.value.text_value : "");
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
                text = FormatIsoDate(cell.value.text_value != nullptr ? cell.value.text_value : "");
                break;
            case FREEXL_CELL_TIME:
                text = cell.value.text_value != nullptr ? cell.value.text_value : "";
                break;
            default:
                break;
            }
            grid.Set(r + 1, c, std::move(text));
        }
    }
    return grid.Take();
}

} // namespace quillane
