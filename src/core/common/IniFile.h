#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillane {

// The program's one form of settings and data file: sections in square
// brackets with key=value lines, names matched without regard to case, the
// order of sections and keys kept. The file is read whole on construction;
// changes stay in memory until UpdateFile writes the whole file at once.
// Lookups go through hash maps, so the cost per key does not grow with the
// size of the file.
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

    // Writes the file beside and renames it over the old one, so a failed
    // write never leaves half a file. Throws Error("Unable to write to <path>").
    void UpdateFile();

private:
    // Hashing and comparing names without regard to case, without copies.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept;
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };
    using NameIndex = std::unordered_map<std::string, std::size_t, NameHash, NameEqual>;

    struct Entry {
        std::string key;   // empty for a line that is not key=value
        std::string value; // raw value text, or the whole line when key is empty
        bool erased = false;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
        NameIndex index; // key -> entry
        bool erased = false;
    };

    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;
    Section& sectionFor(std::string_view name);
    const Entry* findEntry(std::string_view section, std::string_view key) const;
    void parse(std::string_view text);

    std::string path_;
    std::vector<std::unique_ptr<Section>> sections_;
    NameIndex sectionIndex_;                // name -> section
    std::vector<std::string> leadingLines_; // lines before the first section
    bool modified_ = false;
    bool ownerOnly_ = false;
};

} // namespace quillane

namespace quillane {

// The values of a section whose keys are numbered 0, 1, 2...: as many lines
// as the section has entries, line i the value of key i (empty if missing).
std::vector<std::string> StringsFromIniSection(const std::string& file, std::string_view section);

} // namespace quillane
