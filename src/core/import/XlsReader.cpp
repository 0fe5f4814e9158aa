#include "core/common/Error.h"
#include "core/common/Text.h"
#include "core/common/messages/ImportMessages.h"
#include "core/import/GridBuilder.h"
#include "core/import/SpreadsheetParts.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <freexl.h>
#include <fstream>
#include <new>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUILLANE_HUGE_SHADOW 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define QUILLANE_HUGE_SHADOW 1
#endif
#endif

namespace quillane {

namespace {

Message freexlReason(int code)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND:
        return Message{msg::ImportReasonXlsCannotOpen, {}};
    case FREEXL_INSUFFICIENT_MEMORY:
        return Message{msg::ImportReasonXlsMemory, {}};
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
        return Message{msg::ImportReasonNotXls, {}};
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return Message{msg::ImportReasonNoWorkbook, {}};
    case FREEXL_UNSUPPORTED_CHARSET:
    case FREEXL_INVALID_CHARACTER:
        return Message{msg::ImportReasonCharset, {}};
    default:
        return Message{msg::ImportReasonXlsError, {code}};
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

namespace {

ImportGrid readInProcess(const std::string& path)
{
    XlsHandle xls;
    int rc = freexl_open(path.c_str(), &xls.handle);
    if (rc != FREEXL_OK) {
        throw Error(freexlReason(rc));
    }
    unsigned int info = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED) {
        throw Error(msg::ImportReasonPassword);
    }
    if (freexl_get_info(xls.handle, FREEXL_BIFF_SHEET_COUNT, &info) != FREEXL_OK || info == 0) {
        throw Error(msg::ImportReasonNoWorksheet);
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
            bool number = false;
            switch (cell.type) {
            case FREEXL_CELL_INT:
                text = std::to_string(cell.value.int_value);
                number = true;
                break;
            case FREEXL_CELL_DOUBLE:
                text = FormatCellNumber(cell.value.double_value);
                number = true;
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
            grid.Set(r + 1, c, std::move(text), number);
        }
    }
    return grid.Take();
}

// The child's answer: 'G' and the grid, or 'E' and the reason: its key and
// its values, each ended by a NUL. A cell's length carries whether it is a number.
constexpr std::uint64_t kNumberCell = std::uint64_t{1} << 63;

std::string encodeReason(const Message& reason)
{
    std::string out = "E" + std::string(reason.Key.Name) + '\0';
    for (const MessageArg& arg : reason.Args) {
        // A value that is a message of its own travels as its English text.
        out += (arg.Nested() != nullptr ? EnglishText(*arg.Nested()) : arg.Text()) + '\0';
    }
    return out;
}

Message decodeReason(std::string_view in)
{
    std::vector<std::string> parts;
    for (std::size_t end = in.find('\0'); end != std::string_view::npos; end = in.find('\0')) {
        parts.emplace_back(in.substr(0, end));
        in.remove_prefix(end + 1);
    }
    Message reason{msg::ImportReasonXlsStopped, {}};
    for (const MessageKey& key : AllMessages()) {
        if (!parts.empty() && key.Name == parts.front()) {
            reason.Key = key;
            reason.Args.assign(parts.begin() + 1, parts.end());
        }
    }
    return reason;
}
void putNumber(std::string& out, std::uint64_t n)
{
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
}

bool takeNumber(std::string_view& in, std::uint64_t& n)
{
    if (in.size() < sizeof n) {
        return false;
    }
    std::memcpy(&n, in.data(), sizeof n);
    in.remove_prefix(sizeof n);
    return true;
}

std::string encodeGrid(const ImportGrid& grid)
{
    std::string out = "G";
    putNumber(out, grid.Rows.size());
    for (const GridRow& row : grid.Rows) {
        putNumber(out, row.Row);
        putNumber(out, row.Cells.size());
        for (std::size_t c = 0; c < row.Cells.size(); ++c) {
            putNumber(out, row.Cells[c].size() | (row.Number(c) ? kNumberCell : 0));
            out += row.Cells[c];
        }
    }
    return out;
}

// The most the child's answer can be: its grid is bounded as any other.
constexpr std::size_t kMaxAnswer = 1 + 8 + kMaxImportCells * 3 * 8 + kMaxImportText;

// FreeXL allocates its tables from counts in the file; the child may take
// this much memory beyond what it starts with, so that a file claiming more
// fails its own read and nothing else. Sanitizers reserve terabytes of
// address space up front, which no limit can tell from the reader's own.
void limitChildMemory()
{
#ifndef QUILLANE_HUGE_SHADOW
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t room = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (rlim_t{2} << 30);
    const rlimit limit{room, room};
    ::setrlimit(RLIMIT_AS, &limit);
#endif
}

bool decodeGrid(std::string_view in, ImportGrid& grid)
{
    std::uint64_t rows = 0;
    if (!takeNumber(in, rows)) {
        return false;
    }
    for (std::uint64_t r = 0; r < rows; ++r) {
        GridRow row;
        std::uint64_t number = 0;
        std::uint64_t cells = 0;
        if (!takeNumber(in, number) || !takeNumber(in, cells) || cells > in.size()) {
            return false;
        }
        row.Row = static_cast<std::size_t>(number);
        for (std::uint64_t c = 0; c < cells; ++c) {
            std::uint64_t length = 0;
            if (!takeNumber(in, length)) {
                return false;
            }
            if ((length & kNumberCell) != 0) {
                row.Numbers.resize(static_cast<std::size_t>(c) + 1);
                row.Numbers.back() = true;
                length &= ~kNumberCell;
            }
            if (length > in.size()) {
                return false;
            }
            row.Cells.emplace_back(in.substr(0, static_cast<std::size_t>(length)));
            in.remove_prefix(static_cast<std::size_t>(length));
        }
        grid.Rows.push_back(std::move(row));
    }
    return in.empty();
}

void writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

// FreeXL reads past its buffers on some damaged files and can bring the
// whole program down; it reads in a child process, so such a file only
// fails its import.
ImportGrid ReadXlsFile(const std::string& path)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        throw Error(msg::ImportReasonXlsNoStart);
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw Error(msg::ImportReasonXlsNoStart);
    }
    if (child == 0) {
        ::close(fds[0]);
        limitChildMemory();
        std::string answer;
        try {
            answer = encodeGrid(readInProcess(path));
        } catch (const std::bad_alloc&) {
            answer = encodeReason(Message{msg::ImportReasonXlsMoreMemory, {}});
        } catch (const std::exception& e) {
            answer = encodeReason(MessageOf(e));
        }
        writeAll(fds[1], answer);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string answer;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        answer.append(buffer, static_cast<std::size_t>(n));
        if (answer.size() > kMaxAnswer) {
            // No grid within the bounds is that big: the child has gone astray.
            ::kill(child, SIGKILL);
            answer.clear();
            break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const bool finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (finished && !answer.empty() && answer.front() == 'E') {
        throw Error(decodeReason(std::string_view(answer).substr(1)));
    }
    ImportGrid grid;
    if (!finished || answer.empty() || answer.front() != 'G' || !decodeGrid(std::string_view(answer).substr(1), grid)) {
        throw Error(msg::ImportReasonXlsStopped);
    }
    return grid;
}

} // namespace quillane
