#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillane::xml {

// Element and attribute names without their namespace prefix: generators
// pick prefixes as they like ("x:c", "c").
std::string_view LocalName(std::string_view name);

// Gives up to size bytes of a part into buffer; 0 at its end.
using Source = std::function<std::size_t(char* buffer, std::size_t size)>;

// Reads an XML part of a spreadsheet event by event, as it is unpacked,
// without building a tree of it: what it holds at a time is one tag or text
// and a number per open element, however large or deeply nested the part is.
// UTF-8, UTF-16 and parts declared as ISO-8859-1 or Windows-1252 come out as
// UTF-8. Errors throw Error("its part NAME is no well-formed XML (...)").
class Reader {
public:
    enum class Event { Start, End, Text, Done };

    // A tag, comment or text longer than this is refused; no cell holds so much.
    static constexpr std::size_t kMaxToken = std::size_t{32} << 20;
    static constexpr std::size_t kMaxDepth = 1'000'000;
    static constexpr std::size_t kMaxAttributes = 4096;

    Reader(Source source, std::string part);
    // A part already in memory; text must outlive the reader.
    Reader(std::string_view text, std::string part);

    // The next start tag, end tag or text; an empty element gives Start and
    // End. Comments, processing instructions and the document type are
    // passed over. Done once the part has ended, well-formed.
    Event Next();

    // Start, End: the element's name without its prefix.
    std::string_view Name() const { return name_; }
    // Start: the attribute's value with its references resolved; empty when missing.
    std::string Attribute(std::string_view localName) const;
    bool Has(std::string_view localName) const;
    // Text (and CDATA sections): the characters with references resolved.
    std::string_view Text() const { return text_; }
    // Start, End: the element's depth, the root's being 1; Text: its parent's.
    std::size_t Depth() const { return depth_; }
    // After Start: reads on to the element's End, passing over what it holds.
    void Skip();

private:
    enum class Encoding { Unknown, Utf8, SingleByte, Utf16Le, Utf16Be };

    bool more();
    void detectEncoding(std::string_view first);
    void appendDecoded(std::string_view raw);
    [[noreturn]] void fail(const std::string& reason, std::size_t at) const;
    std::size_t find(std::string_view pattern, std::size_t from);
    void checkLength(std::size_t end) const;
    Event startTag();
    Event endTag();
    void skipDoctype();
    Event text();

    Source source_;
    std::string part_;
    std::string raw_;    // the last piece from source_
    std::string carry_;  // UTF-16 bytes of a character cut at a piece's end
    std::string buffer_; // decoded text from pos_ on is unread
    std::size_t pos_ = 0;
    std::size_t dropped_ = 0; // bytes dropped from the front of buffer_
    bool end_ = false;
    Encoding encoding_ = Encoding::Unknown;

    std::vector<std::uint64_t> open_; // a hash of each open element's name
    bool pendingEnd_ = false;
    bool sawRoot_ = false;
    std::string_view name_;
    struct Attr {
        std::string_view Name;
        std::string_view Raw; // as written, references unresolved
    };
    std::vector<Attr> attributes_; // of the last start tag
    std::string_view text_;
    std::string scratch_;
    std::size_t depth_ = 0;
};

} // namespace quillane::xml
