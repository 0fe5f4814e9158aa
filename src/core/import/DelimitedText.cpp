#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Text.h"
#include "core/common/messages/ImportMessages.h"
#include "core/import/ImportFile.h"
#include "core/import/SpreadsheetParts.h"

#include <array>

namespace quillane {

namespace {

constexpr std::array<char, 10> kCandidates = {',', ';', '#', '\t', '|', '@', '*', '-', '+', '&'};

bool isCandidate(char c)
{
    for (const char k : kCandidates) {
        if (k == c) {
            return true;
        }
    }
    return false;
}

// How often each candidate occurs outside quoted fields. A quote opens a
// field only at the line's start or after a candidate, so the inch mark of
// 12" Rack quotes nothing.
std::array<int, kCandidates.size()> countCandidates(std::string_view line)
{
    std::array<int, kCandidates.size()> counts{};
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    ++i;
                } else {
                    quoted = false;
                }
            }
            continue;
        }
        if (c == '"' && (i == 0 || isCandidate(line[i - 1]))) {
            quoted = true;
            continue;
        }
        for (std::size_t k = 0; k < kCandidates.size(); ++k) {
            if (kCandidates[k] == c) {
                ++counts[k];
            }
        }
    }
    return counts;
}

std::string_view lineAt(std::string_view text, std::size_t& pos)
{
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n') {
        ++pos;
    }
    const std::string_view line = text.substr(start, pos - start);
    if (pos < text.size() && text[pos] == '\r') {
        ++pos;
    }
    if (pos < text.size() && text[pos] == '\n') {
        ++pos;
    }
    return line;
}

bool validUtf8(std::string_view text, bool& nonAscii)
{
    nonAscii = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        nonAscii = true;
        std::size_t len = 0;
        char32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (i + len > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < len; ++k) {
            const auto cb = static_cast<unsigned char>(text[i + k]);
            if ((cb & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cb & 0x3F);
        }
        const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += len;
    }
    return true;
}

// Converted a piece at a time, so that the text costs no more than its
// Windows-1252 result beside the file's bytes.
std::string utf16ToCp1252(std::string_view bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size() / 2);
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    std::string piece;
    std::size_t i = 0;
    while (i + 1 < bytes.size()) {
        piece.clear();
        while (i + 1 < bytes.size() && piece.size() < 65536) {
            char32_t cp = unit(i);
            i += 2;
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < bytes.size() && unit(i) >= 0xDC00 && unit(i) <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i) - 0xDC00);
                i += 2;
            } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                cp = '?';
            }
            AppendUtf8(piece, cp);
        }
        out += Utf8ToCp1252(piece);
    }
    return out;
}

// The text as Windows-1252, whichever of the encodings a merchant's tools
// write it came in: converted into converted, or bytes as they are.
std::string_view toCp1252(const std::string& bytes, std::string& converted)
{
    const std::string_view view = bytes;
    if (view.substr(0, 3) == "\xEF\xBB\xBF") {
        converted = Utf8ToCp1252(view.substr(3));
        return converted;
    }
    if (view.substr(0, 2) == "\xFF\xFE" || view.substr(0, 2) == "\xFE\xFF") {
        converted = utf16ToCp1252(view.substr(2), view[0] == '\xFE');
        return converted;
    }
    bool nonAscii = false;
    if (validUtf8(view, nonAscii) && nonAscii) {
        converted = Utf8ToCp1252(view);
        return converted;
    }
    return view;
}

class RowParser {
public:
    RowParser(std::string_view text, char separator) : text_(text), separator_(separator) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    std::size_t Line() const { return line_; }

    // The fields of the record that starts here, without the empty ones at
    // its end; a quoted field may run over line ends. count: how many
    // fields it has up to its last filled one; beyond kMaxImportColumns
    // those past the limit are counted, not kept.
    void Next(std::vector<std::string>& fields, std::size_t& count)
    {
        fields.clear();
        count = 0;
        record_ = line_;
        std::size_t seen = 0;
        while (true) {
            std::string value = field();
            ++seen;
            if (!value.empty()) {
                count = seen;
                if (seen <= kMaxImportColumns) {
                    fields.resize(seen - 1);
                    fields.push_back(std::move(value));
                }
            }
            if (pos_ < text_.size() && isSeparator(text_[pos_])) {
                ++pos_;
                continue;
            }
            lineEnd();
            return;
        }
    }

private:
    bool isSeparator(char c) const { return separator_ != '\0' && c == separator_; }
    bool atLineEnd() const { return pos_ >= text_.size() || text_[pos_] == '\r' || text_[pos_] == '\n'; }

    void lineEnd()
    {
        if (pos_ < text_.size() && text_[pos_] == '\r') {
            ++pos_;
        }
        if (pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
        }
        ++line_;
    }

    [[noreturn]] void fieldTooLong() const { throw Error(msg::ImportLineFieldTooLong, {record_, kMaxImportCellText}); }

    std::string field()
    {
        std::string value;
        if (pos_ < text_.size() && text_[pos_] == '"') {
            const std::size_t start = pos_;
            const std::size_t startLine = line_;
            bool tooLong = false;
            if (quoted(value, tooLong)) {
                if (tooLong) {
                    fieldTooLong();
                }
                // Whatever follows the closing quote up to the separator belongs to the field.
                plain(value);
                return value;
            }
            // A quote that never closes quotes nothing: read the field as it
            // stands. Every quote that opens a field after it then closes
            // within its own run of quotes, so this scan to the end is done once.
            pos_ = start;
            line_ = startLine;
            value.clear();
        }
        plain(value);
        return value;
    }

    void plain(std::string& value)
    {
        const std::size_t start = pos_;
        while (!atLineEnd() && !isSeparator(text_[pos_])) {
            ++pos_;
        }
        if (value.size() + (pos_ - start) > kMaxImportCellText) {
            fieldTooLong();
        }
        value.append(text_.substr(start, pos_ - start));
    }

    // A quoted field; false when its quote never closes. Beyond the longest
    // field it reads on to learn whether it closes, keeping no more.
    bool quoted(std::string& value, bool& tooLong)
    {
        ++pos_;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '"') {
                if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                    value += '"';
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return true;
            }
            if (c == '\n' || (c == '\r' && (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '\n'))) {
                ++line_;
            }
            if (value.size() < kMaxImportCellText) {
                value += c;
            } else {
                tooLong = true;
            }
            ++pos_;
        }
        return false;
    }

    std::string_view text_;
    char separator_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
    std::size_t record_ = 1; // the line the record being read starts on
};

} // namespace

char DetectSeparator(std::string_view firstLine, std::string_view secondLine)
{
    const auto first = countCandidates(firstLine);
    const auto second = countCandidates(secondLine);
    int best = -1;
    for (std::size_t k = 0; k < kCandidates.size(); ++k) {
        if (first[k] >= 1 && first[k] == second[k] && (best < 0 || first[k] > first[best])) {
            best = static_cast<int>(k);
        }
    }
    if (best >= 0) {
        return kCandidates[best];
    }
    int most = 0;
    for (std::size_t k = 0; k < kCandidates.size(); ++k) {
        const int n = std::max(first[k], second[k]);
        if (n > most) {
            most = n;
            best = static_cast<int>(k);
        }
    }
    return best >= 0 ? kCandidates[best] : '\0';
}

ImportGrid ParseDelimitedText(std::string_view text)
{
    std::size_t pos = 0;
    const std::string_view first = lineAt(text, pos);
    const std::string_view second = lineAt(text, pos);
    RowParser parser(text, DetectSeparator(first, second));
    ImportGrid grid;
    std::size_t cells = 0;
    std::vector<std::string> fields;
    std::size_t count = 0;
    while (!parser.AtEnd()) {
        const std::size_t row = parser.Line();
        parser.Next(fields, count);
        if (count == 0) {
            continue;
        }
        if (count > kMaxImportColumns) {
            throw Error(msg::ImportLineTooManyFields, {row, count, kMaxImportColumns});
        }
        cells += fields.size() + 1; // a row costs about as much as a cell
        if (cells > kMaxImportCells) {
            throw Error(msg::ImportTooManyCells, {kMaxImportCells});
        }
        const std::size_t width = fields.size();
        if (fields.capacity() > 2 * width) {
            fields.shrink_to_fit(); // a short row after a long one holds no room it does not use
        }
        grid.Rows.push_back(GridRow{row, std::move(fields)});
        // Rows mostly have as many fields as the one before: one allocation for them, not one per doubling.
        fields = {};
        fields.reserve(width);
    }
    return grid;
}

ImportGrid ParseDelimitedText(const std::string& path, const std::string& bytes)
{
    try {
        std::string converted;
        return ParseDelimitedText(toCp1252(bytes, converted));
    } catch (const Error& e) {
        throw Error(msg::ImportCannotReadText, {path, e.Said()});
    }
}

ImportGrid ReadDelimitedText(const std::string& path)
{
    std::string bytes;
    ReadFailure failure;
    if (!TryReadFile(path, bytes, &failure)) {
        throw Error(msg::ImportCannotOpenFile, {path, failure.Reason});
    }
    return ParseDelimitedText(path, bytes);
}

} // namespace quillane
