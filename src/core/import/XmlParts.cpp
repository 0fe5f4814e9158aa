#include "core/import/XmlParts.h"

#include "core/common/Error.h"
#include "core/common/Text.h"
#include "core/common/messages/ImportMessages.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace quillane::xml {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::uint64_t nameHash(std::string_view name)
{
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : name) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return h;
}

enum class Step { Found, End, Bad };

// The next attribute of a start tag's rest; Bad when it is malformed.
Step nextAttribute(std::string_view& rest, std::string_view& name, std::string_view& value)
{
    rest = trimmed(rest);
    if (rest.empty()) {
        return Step::End;
    }
    std::size_t i = 0;
    while (i < rest.size() && !isBlank(rest[i]) && rest[i] != '=') {
        ++i;
    }
    name = rest.substr(0, i);
    while (i < rest.size() && isBlank(rest[i])) {
        ++i;
    }
    if (name.empty() || i >= rest.size() || rest[i] != '=') {
        return Step::Bad;
    }
    ++i;
    while (i < rest.size() && isBlank(rest[i])) {
        ++i;
    }
    if (i >= rest.size() || (rest[i] != '"' && rest[i] != '\'')) {
        return Step::Bad;
    }
    const std::size_t close = rest.find(rest[i], i + 1);
    if (close == std::string_view::npos) {
        return Step::Bad;
    }
    value = rest.substr(i + 1, close - i - 1);
    rest.remove_prefix(close + 1);
    return Step::Found;
}

bool namespaceDeclaration(std::string_view name)
{
    return name == "xmlns" || name.substr(0, 6) == "xmlns:";
}

// "&lt;", "&#233;", "&#xE9;": appended to out; false when it is none of these.
bool reference(std::string_view name, std::string& out)
{
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto& [n, c] : kNamed) {
        if (name == n) {
            out += c;
            return true;
        }
    }
    if (name.size() < 2 || name[0] != '#') {
        return false;
    }
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    std::uint32_t code = 0;
    const auto res = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    if (digits.empty() || res.ec != std::errc() || res.ptr != digits.data() + digits.size() || code == 0 ||
        code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return false;
    }
    AppendUtf8(out, code);
    return true;
}

// Resolves references and makes every line end "\n"; in attribute values
// each line end, tab and line feed is a blank, as XML reads them.
std::string_view decode(std::string_view raw, std::string& out, bool attribute)
{
    const auto next = [&](std::size_t from) {
        for (std::size_t i = from; i < raw.size(); ++i) {
            const char c = raw[i];
            if (c == '&' || c == '\r' || (attribute && (c == '\n' || c == '\t'))) {
                return i;
            }
        }
        return std::string_view::npos;
    };
    std::size_t at = next(0);
    if (at == std::string_view::npos) {
        return raw;
    }
    out.clear();
    std::size_t i = 0;
    while (at != std::string_view::npos) {
        out.append(raw.substr(i, at - i));
        i = at + 1;
        const char c = raw[at];
        if (c == '&') {
            const std::size_t semicolon = raw.substr(0, at + 12).find(';', at + 1);
            if (semicolon != std::string_view::npos && reference(raw.substr(at + 1, semicolon - at - 1), out)) {
                i = semicolon + 1;
            } else {
                out += '&';
            }
        } else {
            out += attribute ? ' ' : '\n';
            if (c == '\r' && i < raw.size() && raw[i] == '\n') {
                ++i;
            }
        }
        at = next(i);
    }
    out.append(raw.substr(i));
    return out;
}

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerChar(x) == LowerChar(y); });
}

} // namespace

std::string_view LocalName(std::string_view name)
{
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

Reader::Reader(Source source, std::string part) : source_(std::move(source)), part_(std::move(part)) {}

Reader::Reader(std::string_view text, std::string part)
    : source_([text](char* buffer, std::size_t size) mutable {
          const std::size_t n = std::min(size, text.size());
          std::memcpy(buffer, text.data(), n);
          text.remove_prefix(n);
          return n;
      }),
      part_(std::move(part))
{
}

void Reader::fail(const std::string& reason, std::size_t at) const
{
    throw Error(msg::ImportReasonBadXml, {part_, reason, std::to_string(dropped_ + at)});
}

void Reader::detectEncoding(std::string_view first)
{
    const auto starts = [&](std::string_view bytes) { return first.substr(0, bytes.size()) == bytes; };
    if (starts("\xFF\xFE") || starts(std::string_view("<\0", 2))) {
        encoding_ = Encoding::Utf16Le;
    } else if (starts("\xFE\xFF") || starts(std::string_view("\0<", 2))) {
        encoding_ = Encoding::Utf16Be;
    } else {
        encoding_ = Encoding::Utf8;
        // A declaration as "<?xml version="1.0" encoding="ISO-8859-1"?>".
        if (starts("<?xml")) {
            std::string_view declaration = first.substr(0, first.find("?>"));
            const std::size_t at = declaration.find("encoding");
            if (at != std::string_view::npos) {
                declaration.remove_prefix(at + 8);
                declaration = trimmed(declaration);
                if (!declaration.empty() && declaration.front() == '=') {
                    declaration = trimmed(declaration.substr(1));
                }
                if (!declaration.empty() && (declaration.front() == '"' || declaration.front() == '\'')) {
                    const std::string_view name = declaration.substr(1, declaration.find(declaration.front(), 1) - 1);
                    for (const char* single :
                         {"ISO-8859-1", "ISO8859-1", "latin1", "latin-1", "windows-1252", "cp1252"}) {
                        if (sameLetters(name, single)) {
                            encoding_ = Encoding::SingleByte;
                        }
                    }
                }
            }
        }
    }
}

void Reader::appendDecoded(std::string_view raw)
{
    switch (encoding_) {
    case Encoding::Unknown:
    case Encoding::Utf8:
        buffer_.append(raw);
        return;
    case Encoding::SingleByte:
        buffer_ += Cp1252ToUtf8(raw);
        return;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        break;
    }
    carry_.append(raw);
    const std::string_view data = carry_;
    const bool big = encoding_ == Encoding::Utf16Be;
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(data[i]);
        const auto b = static_cast<unsigned char>(data[i + 1]);
        return static_cast<char32_t>(big ? (a << 8) | b : (b << 8) | a);
    };
    std::size_t i = 0;
    while (i + 1 < data.size()) {
        char32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (i + 3 >= data.size()) {
                break; // its second half comes with the next piece
            }
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                code = 0xFFFD;
            }
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        i += 2;
        AppendUtf8(buffer_, code);
    }
    carry_.erase(0, i);
}

// Appends the next piece of the part to buffer_; false at its end.
bool Reader::more()
{
    while (!end_) {
        if (encoding_ == Encoding::Utf8) {
            const std::size_t old = buffer_.size();
            buffer_.resize(old + kChunk);
            const std::size_t n = source_(buffer_.data() + old, kChunk);
            buffer_.resize(old + n);
            end_ = n == 0;
            if (n > 0) {
                return true;
            }
            break;
        }
        raw_.resize(kChunk);
        std::size_t n = source_(raw_.data(), kChunk);
        end_ = n == 0;
        if (encoding_ == Encoding::Unknown) {
            // The first bytes tell the encoding; a declaration fits in one piece.
            while (n > 0 && n < 512) {
                raw_.resize(n + kChunk);
                const std::size_t next = source_(raw_.data() + n, kChunk);
                end_ = next == 0;
                if (next == 0) {
                    break;
                }
                n += next;
            }
            std::string_view first(raw_.data(), n);
            detectEncoding(first);
            if (first.substr(0, 3) == "\xEF\xBB\xBF") {
                first.remove_prefix(3);
            } else if (first.substr(0, 2) == "\xFF\xFE" || first.substr(0, 2) == "\xFE\xFF") {
                first.remove_prefix(2);
            }
            const std::size_t old = buffer_.size();
            appendDecoded(first);
            if (buffer_.size() > old) {
                return true;
            }
            continue;
        }
        const std::size_t old = buffer_.size();
        appendDecoded(std::string_view(raw_.data(), n));
        if (buffer_.size() > old) {
            return true;
        }
    }
    if (carry_.size() >= 2) {
        carry_.clear();
        AppendUtf8(buffer_, 0xFFFD); // half a character pair at the very end
        return true;
    }
    return false;
}

void Reader::checkLength(std::size_t end) const
{
    if (end - pos_ > kMaxToken) {
        fail("a tag, comment or text longer than " + std::to_string(kMaxToken >> 20) + " MB", pos_);
    }
}

// Where pattern next occurs from from on, reading on as needed; npos when the part ends first.
std::size_t Reader::find(std::string_view pattern, std::size_t from)
{
    while (true) {
        const std::size_t at = buffer_.find(pattern, from);
        if (at != std::string::npos) {
            return at;
        }
        if (buffer_.size() >= pattern.size()) {
            from = std::max(from, buffer_.size() - pattern.size() + 1);
        }
        checkLength(buffer_.size());
        if (!more()) {
            return std::string::npos;
        }
    }
}

Reader::Event Reader::Next()
{
    if (pendingEnd_) {
        pendingEnd_ = false;
        depth_ = open_.size();
        open_.pop_back();
        return Event::End;
    }
    // What was read is let go of once it is half the buffer, so the buffer
    // stays within twice the longest tag or text.
    if (pos_ >= kChunk && pos_ * 2 >= buffer_.size()) {
        buffer_.erase(0, pos_);
        dropped_ += pos_;
        pos_ = 0;
    }
    while (true) {
        if (pos_ >= buffer_.size() && !more()) {
            if (!open_.empty()) {
                fail("the part ends inside an element", pos_);
            }
            if (!sawRoot_) {
                fail("no element", pos_);
            }
            return Event::Done;
        }
        if (buffer_[pos_] != '<') {
            if (text() == Event::Text) {
                return Event::Text;
            }
            continue;
        }
        while (buffer_.size() < pos_ + 9 && more()) {
        }
        const std::string_view head = std::string_view(buffer_).substr(pos_, 9);
        if (head.substr(0, 2) == "<?" || head.substr(0, 4) == "<!--") {
            const bool comment = head[1] == '!';
            const std::size_t at = find(comment ? "-->" : "?>", pos_ + (comment ? 4 : 2));
            if (at == std::string::npos) {
                fail(comment ? "an unclosed comment" : "an unclosed processing instruction", pos_);
            }
            pos_ = at + (comment ? 3 : 2);
            continue;
        }
        if (head == "<![CDATA[") {
            const std::size_t at = find("]]>", pos_ + 9);
            if (at == std::string::npos) {
                fail("an unclosed CDATA section", pos_);
            }
            const std::string_view raw = std::string_view(buffer_).substr(pos_ + 9, at - pos_ - 9);
            pos_ = at + 3;
            if (open_.empty()) {
                continue;
            }
            // Only the line ends are read in a CDATA section, not references.
            text_ = raw;
            if (raw.find('\r') != std::string_view::npos) {
                scratch_.clear();
                for (std::size_t k = 0; k < raw.size(); ++k) {
                    scratch_ += raw[k] == '\r' ? '\n' : raw[k];
                    if (raw[k] == '\r' && k + 1 < raw.size() && raw[k + 1] == '\n') {
                        ++k;
                    }
                }
                text_ = scratch_;
            }
            depth_ = open_.size();
            return Event::Text;
        }
        if (head.substr(0, 2) == "<!") {
            skipDoctype();
            continue;
        }
        if (head.substr(0, 2) == "</") {
            return endTag();
        }
        return startTag();
    }
}

Reader::Event Reader::text()
{
    std::size_t at = find("<", pos_);
    if (at == std::string::npos) {
        at = buffer_.size();
    }
    const std::string_view raw = std::string_view(buffer_).substr(pos_, at - pos_);
    pos_ = at;
    if (open_.empty()) {
        return Event::Done; // blanks around the root element
    }
    text_ = decode(raw, scratch_, false);
    depth_ = open_.size();
    return Event::Text;
}

Reader::Event Reader::startTag()
{
    std::size_t i = pos_ + 1;
    while (true) {
        if (i >= buffer_.size()) {
            checkLength(i);
            if (!more()) {
                fail("the part ends inside a tag", pos_);
            }
            continue;
        }
        const char c = buffer_[i];
        if (c == '>') {
            break;
        }
        if (c == '<') {
            fail("a \"<\" inside a tag", i);
        }
        if (c == '"' || c == '\'') {
            const std::size_t close = find(std::string_view(&c, 1), i + 1);
            if (close == std::string::npos) {
                fail("the part ends inside a tag", pos_);
            }
            i = close;
        }
        ++i;
    }
    std::string_view content = std::string_view(buffer_).substr(pos_ + 1, i - pos_ - 1);
    const bool empty = !content.empty() && content.back() == '/';
    if (empty) {
        content.remove_suffix(1);
    }
    std::size_t nameEnd = 0;
    while (nameEnd < content.size() && !isBlank(content[nameEnd])) {
        ++nameEnd;
    }
    const std::string_view qualified = content.substr(0, nameEnd);
    if (qualified.empty()) {
        fail("a tag without a name", pos_);
    }
    std::string_view rest = content.substr(nameEnd);
    std::string_view attributeName;
    std::string_view value;
    Step step;
    attributes_.clear();
    while ((step = nextAttribute(rest, attributeName, value)) == Step::Found) {
        if (attributes_.size() >= kMaxAttributes) {
            fail("a tag of more than " + std::to_string(kMaxAttributes) + " attributes", pos_);
        }
        if (!namespaceDeclaration(attributeName)) {
            attributes_.push_back(Attr{LocalName(attributeName), value});
        }
    }
    if (step == Step::Bad) {
        fail("a malformed attribute", pos_);
    }
    if (open_.size() >= kMaxDepth) {
        fail("elements nested more than " + std::to_string(kMaxDepth) + " deep", pos_);
    }
    open_.push_back(nameHash(qualified));
    sawRoot_ = true;
    name_ = LocalName(qualified);
    depth_ = open_.size();
    pendingEnd_ = empty;
    pos_ = i + 1;
    return Event::Start;
}

Reader::Event Reader::endTag()
{
    const std::size_t at = find(">", pos_ + 2);
    if (at == std::string::npos) {
        fail("the part ends inside a tag", pos_);
    }
    const std::string_view qualified = trimmed(std::string_view(buffer_).substr(pos_ + 2, at - pos_ - 2));
    if (open_.empty() || open_.back() != nameHash(qualified)) {
        fail("the end tag </" + std::string(qualified.substr(0, 40)) + "> matches no start tag", pos_);
    }
    name_ = LocalName(qualified);
    depth_ = open_.size();
    open_.pop_back();
    pos_ = at + 1;
    return Event::End;
}

// "<!DOCTYPE ...>" with its internal subset in brackets.
void Reader::skipDoctype()
{
    std::size_t i = pos_ + 2;
    int brackets = 0;
    char quote = 0;
    while (true) {
        if (i >= buffer_.size()) {
            checkLength(i);
            if (!more()) {
                fail("the part ends inside a declaration", pos_);
            }
            continue;
        }
        const char c = buffer_[i++];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            brackets = std::max(brackets - 1, 0);
        } else if (c == '>' && brackets == 0) {
            pos_ = i;
            return;
        }
    }
}

std::string Reader::Attribute(std::string_view localName) const
{
    for (const Attr& a : attributes_) {
        if (a.Name == localName) {
            std::string out;
            return std::string(decode(a.Raw, out, true));
        }
    }
    return {};
}

bool Reader::Has(std::string_view localName) const
{
    for (const Attr& a : attributes_) {
        if (a.Name == localName) {
            return true;
        }
    }
    return false;
}

void Reader::Skip()
{
    const std::size_t depth = depth_;
    while (true) {
        const Event event = Next();
        if ((event == Event::End && depth_ == depth) || event == Event::Done) {
            return;
        }
    }
}

} // namespace quillane::xml
