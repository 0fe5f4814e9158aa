#pragma once

#include <string>
#include <string_view>

struct zip;

namespace quillane {

// A zip archive held in memory, read one entry at a time: the container of
// .xlsx and .ods files.
class ZipArchive {
public:
    // Entries bigger than this, unpacked, are refused: a few kilobytes can
    // unpack to gigabytes.
    static constexpr std::size_t kMaxEntrySize = std::size_t{256} << 20;

    // bytes must outlive the archive. Throws Error(reason) when it is no zip archive.
    explicit ZipArchive(std::string_view bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool Has(const std::string& name) const;
    // The unpacked entry; throws Error(reason) when it is missing, too big or damaged.
    std::string Read(const std::string& name) const;

private:
    zip* archive_ = nullptr;
};

} // namespace quillane
