#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillane {

// The program's one form of settings and data file: sections in square
// brackets with key=value lines, names matched without regard to case, the
// order of sections and keys kept. The file is read whole on construction;
// changes stay in memory until UpdateFile writes the whole file at once.
// Lines are kept as views into the text read, and lookups go through hash
// tables, so reading costs about as much as splitting the file into lines
// and the cost per key does not grow with the size of the file.
class IniFile {
public:
    // Values are cut to this length when read.
    static constexpr std::size_t kMaxValueLength = 2047;

    // Reads path if it exists; a missing file or a folder reads as empty.
    // Throws Error naming the file when something else is there that cannot
    // be read (a FIFO, a device, a file beyond kMaxFileSize, no permission),
    // so that no write replaces what it holds.
    explicit IniFile(std::string path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;
    IniFile(IniFile&&) noexcept;
    IniFile& operator=(IniFile&&) noexcept;

    const std::string& FileName() const { return path_; }

    // Writes the file readable by its owner only, also when it is there
    // already with a wider mode (it holds passwords or personal data).
    void SetOwnerOnly(bool ownerOnly) { ownerOnly_ = ownerOnly; }

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    double ReadFloat(std::string_view section, std::string_view key, double def) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void WriteFloat(std::string_view section, std::string_view key, double value);

    void EraseSection(std::string_view section);
    void DeleteKey(std::string_view section, std::string_view key);

    // Section names in file order.
    std::vector<std::string> ReadSections() const;
    // Key names of a section in file order.
    std::vector<std::string> ReadSection(std::string_view section) const;
    // Key and value pairs of a section in file order, values as ReadString gives them.
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;

    bool Modified() const { return modified_; }

    // The whole file as UpdateFile writes it.
    std::string FileText() const;

    // Writes the file beside and renames it over the old one, so a failed
    // write never leaves half a file. Throws Error("Unable to write to <path>").
    void UpdateFile();

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF; // no such item

    // Open addressing over item numbers; what an item is called stays with
    // the item, so the table holds only hashes and numbers.
    class NameTable {
    public:
        // The item with this hash for which matches(item) holds, or kNone.
        template <class Matches> std::uint32_t find(std::size_t hash, const Matches& matches) const;
        void insert(std::size_t hash, std::uint32_t item);
        template <class Matches> void erase(std::size_t hash, const Matches& matches);
        // Room for count items without growing.
        void reserve(std::size_t count);
        void clear();

    private:
        struct Slot {
            std::uint32_t hash = 0;
            std::uint32_t item = kEmpty; // kEmpty, kErased or the item
        };
        static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
        static constexpr std::uint32_t kErased = 0xFFFFFFFE;
        void rebuild(std::size_t count);

        std::vector<Slot> slots_;
        std::size_t filled_ = 0; // items and erased slots
        std::size_t live_ = 0;   // items
    };

    // A line of a section. The lines of all sections share one list, each
    // section chaining its own in file order, so that reading a file makes
    // no allocation per line. Each section has a table of its own keys,
    // which a lookup of a section's keys in a row finds in the cache.
    struct Entry {
        std::string_view key;   // empty for a line that is not key=value
        std::string_view value; // raw value text, or the whole line when key is empty
        std::uint32_t next = kNone;
        std::uint32_t section = kNone;
        bool erased = false;
    };
    struct Section {
        std::string name; // as it stands in the header or was asked for
        std::uint32_t first = kNone;
        std::uint32_t last = kNone;
        NameTable index;                  // key -> entry, the first of duplicates
        std::size_t hiddenDuplicates = 0; // entries another of the same key hides
        bool erased = false;
    };

    // Text written in memory: chunks that never move, so views into them stay valid.
    class TextStore {
    public:
        // A copy of text, line breaks turned into blanks.
        std::string_view add(std::string_view text);
        std::size_t size() const { return size_; }

    private:
        std::vector<std::unique_ptr<char[]>> chunks_;
        std::size_t chunkUsed_ = 0; // of the last chunk
        std::size_t room_ = 0;      // left in the last chunk
        std::size_t size_ = 0;      // in all chunks
    };

    std::uint32_t findSection(std::string_view name) const;
    std::uint32_t sectionFor(std::string_view name);
    std::uint32_t findKey(std::uint32_t section, std::string_view key, std::size_t hash) const;
    const Entry* findEntry(std::string_view section, std::string_view key) const;
    void append(std::uint32_t section, const Entry& entry);
    // Marks e erased; gives the bytes of written text it no longer uses.
    std::size_t erase(Entry& e);
    void parse(std::string_view text);
    bool inFileText(std::string_view text) const;
    void dropReplaced(std::size_t bytes);

    std::string path_;
    std::unique_ptr<std::string> text_; // the file as read; entries point into it
    TextStore written_;
    std::size_t replacedBytes_ = 0; // of written_, no longer pointed to
    std::vector<Section> sections_;
    NameTable sectionIndex_;            // name -> section
    std::uint32_t lastWritten_ = kNone; // the section written last: keys mostly come section by section
    std::vector<Entry> entries_;
    std::vector<std::string_view> leadingLines_; // lines before the first section
    bool modified_ = false;
    bool ownerOnly_ = false;
};

} // namespace quillane

namespace quillane {

// The values of a section whose keys are numbered 0, 1, 2...: as many lines
// as the section has entries, line i the value of key i (empty if missing).
std::vector<std::string> StringsFromIniSection(const std::string& file, std::string_view section);

} // namespace quillane
