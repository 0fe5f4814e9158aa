#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>

namespace quillane {

// What the last uploads to one target sent: per file of the shop (its path
// relative to the shop folder, with "/") the size and SHA-256 it had then.
// The file is a journal: a line per file that arrived, appended and flushed
// at once, so an upload that is stopped or killed keeps what it sent; a
// file about to be sent is first struck off, so a transfer broken half-way
// is sent again next time. A torn or unreadable line is ignored.
class UploadManifest {
public:
    struct Entry {
        std::int64_t Size = 0;
        std::string Sha256; // hex
    };

    // The manifest of target (its display text and user) for shopDir: a file
    // beside the shop folder, named by a digest of the target.
    static std::string PathFor(const std::string& shopDir, const std::string& targetKey);

    // Reads path; a missing or unreadable file gives an empty manifest.
    explicit UploadManifest(std::string path);
    ~UploadManifest();
    UploadManifest(const UploadManifest&) = delete;
    UploadManifest& operator=(const UploadManifest&) = delete;

    // Whether the file was sent with this size and digest.
    bool Unchanged(const std::string& relativePath, const Entry& now) const;
    void Forget(const std::string& relativePath);
    void Sent(const std::string& relativePath, const Entry& entry);
    // Rewrites the journal as one line per file, beside and renamed.
    void Compact();

    std::size_t size() const { return entries_.size(); }

private:
    void append(const std::string& line);

    std::string path_;
    std::unordered_map<std::string, Entry> entries_;
    std::FILE* journal_ = nullptr;
    bool whole_ = false; // the file ends with a whole line after our header
};

// A SHA-256 computed piece by piece, as the bytes go by.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t size);
    // The digest as hex; ends the computation.
    std::string HexDigest();

private:
    void* ctx_;
};

// The SHA-256 of a file's bytes, as hex; throws Error naming the file when
// it cannot be read.
std::string FileSha256(const std::string& path);

} // namespace quillane
