#include "core/import/ZipArchive.h"

#include "core/common/Error.h"

#include <zip.h>

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
        throw Error("it is no readable zip archive (" + reason + ")");
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

std::string ZipArchive::Read(const std::string& name) const
{
    const zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
    if (index < 0) {
        throw Error("it lacks its part " + name);
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
        (stat.valid & ZIP_STAT_SIZE) == 0) {
        throw Error("its part " + name + " is damaged");
    }
    if (stat.size > kMaxEntrySize) {
        throw Error("its part " + name + " unpacks to more than " + std::to_string(kMaxEntrySize >> 20) +
                    " MB, more than an import takes");
    }
    zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (file == nullptr) {
        throw Error("its part " + name + " cannot be unpacked (" + zip_strerror(archive_) + ")");
    }
    std::string content(static_cast<std::size_t>(stat.size), '\0');
    zip_uint64_t done = 0;
    while (done < stat.size) {
        const zip_int64_t n = zip_fread(file, content.data() + done, stat.size - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<zip_uint64_t>(n);
    }
    // A damaged entry fails its checksum only once it is read to the end.
    char extra = 0;
    const bool clean = done == stat.size && zip_fread(file, &extra, 1) == 0;
    const std::string reason = clean ? std::string() : zip_file_strerror(file);
    zip_fclose(file);
    if (!clean) {
        throw Error("its part " + name + " is damaged (" + reason + ")");
    }
    return content;
}

} // namespace quillane
