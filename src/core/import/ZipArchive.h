#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct zip;
struct zip_file;

namespace quillane {

// A zip archive held in memory, read one entry at a time: the container of
// .xlsx and .ods files.
class ZipArchive {
public:
    // Entries bigger than this, unpacked, are refused: a few kilobytes can
    // unpack to gigabytes, and even read piece by piece that takes long.
    static constexpr std::size_t kMaxEntrySize = std::size_t{256} << 20;

    // An entry being unpacked, piece by piece, so that its size costs no memory.
    class Entry {
    public:
        Entry(Entry&& other) noexcept;
        Entry& operator=(Entry&&) = delete;
        ~Entry();

        // Unpacks up to size more bytes into buffer; 0 at the entry's end.
        // Throws Error(reason) when the entry is damaged or holds more than
        // the archive said.
        std::size_t Read(char* buffer, std::size_t size);

    private:
        friend class ZipArchive;
        Entry(zip_file* file, std::string name, std::uint64_t size);

        zip_file* file_;
        std::string name_;
        std::uint64_t size_;
        std::uint64_t done_ = 0;
    };

    // bytes must outlive the archive. Throws Error(reason) when it is no zip archive.
    explicit ZipArchive(std::string_view bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool Has(const std::string& name) const;
    // Throws Error(reason) when the entry is missing, too big or cannot be unpacked.
    Entry Open(const std::string& name) const;

private:
    zip* archive_ = nullptr;
};

} // namespace quillane
