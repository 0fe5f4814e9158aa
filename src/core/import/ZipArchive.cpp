#include "core/import/ZipArchive.h"

#include "core/common/Error.h"
#include "core/common/messages/ImportMessages.h"

#include <zip.h>

#include <algorithm>

namespace quillane {

ZipArchive::ZipArchive(std::string_view bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source != nullptr) {
        archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (archive_ == nullptr) {
            zip_source_free(source);
        }
    }
    if (archive_ == nullptr) {
        const std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw Error(msg::ImportReasonBadZip, {reason});
    }
    zip_error_fini(&error);
}

ZipArchive::~ZipArchive()
{
    if (archive_ != nullptr) {
        zip_discard(archive_);
    }
}

bool ZipArchive::Has(const std::string& name) const
{
    return zip_name_locate(archive_, name.c_str(), 0) >= 0;
}

ZipArchive::Entry ZipArchive::Open(const std::string& name) const
{
    const zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
    if (index < 0) {
        throw Error(msg::ImportReasonMissingPart, {name});
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
        (stat.valid & ZIP_STAT_SIZE) == 0) {
        throw Error(msg::ImportReasonDamagedPart, {name});
    }
    if (stat.size > kMaxEntrySize) {
        throw Error(msg::ImportReasonPartTooBig, {name, std::to_string(kMaxEntrySize >> 20)});
    }
    zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (file == nullptr) {
        throw Error(msg::ImportReasonPartNotUnpacked, {name, zip_strerror(archive_)});
    }
    return Entry(file, name, stat.size);
}

ZipArchive::Entry::Entry(zip_file* file, std::string name, std::uint64_t size)
    : file_(file), name_(std::move(name)), size_(size)
{
}

ZipArchive::Entry::Entry(Entry&& other) noexcept
    : file_(other.file_), name_(std::move(other.name_)), size_(other.size_), done_(other.done_)
{
    other.file_ = nullptr;
}

ZipArchive::Entry::~Entry()
{
    if (file_ != nullptr) {
        zip_fclose(file_);
    }
}

std::size_t ZipArchive::Entry::Read(char* buffer, std::size_t size)
{
    if (file_ == nullptr || size == 0) {
        return 0;
    }
    // Never more than the archive said: what a damaged or crafted entry
    // inflates to beyond that is never unpacked.
    const zip_uint64_t want = std::min<zip_uint64_t>(size, size_ - done_);
    if (want == 0) {
        // A damaged entry fails its checksum only once it is read to its end.
        char extra = 0;
        const zip_int64_t n = zip_fread(file_, &extra, 1);
        const std::string reason = n > 0 ? "it holds more than the archive says" : zip_file_strerror(file_);
        zip_fclose(file_);
        file_ = nullptr;
        if (n != 0) {
            throw Error(msg::ImportReasonPartDamagedWhy, {name_, reason});
        }
        return 0;
    }
    const zip_int64_t n = zip_fread(file_, buffer, want);
    if (n <= 0) {
        const std::string reason = n < 0 ? zip_file_strerror(file_) : "it ends early";
        throw Error(msg::ImportReasonPartDamagedWhy, {name_, reason});
    }
    done_ += static_cast<zip_uint64_t>(n);
    return static_cast<std::size_t>(n);
}

} // namespace quillane
