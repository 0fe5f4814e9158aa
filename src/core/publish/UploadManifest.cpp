#include "core/publish/UploadManifest.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Text.h"
#include "core/common/messages/PublishMessages.h"

#include <openssl/evp.h>

#include <charconv>
#include <memory>
#include <utility>

namespace quillane {

namespace {

constexpr std::string_view kHeader = "quillane upload manifest 1\n";

std::string hex(const unsigned char* data, std::size_t size)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

bool isDigest(std::string_view text)
{
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

} // namespace

Sha256::Sha256() : ctx_(EVP_MD_CTX_new())
{
    EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(ctx_), EVP_sha256(), nullptr);
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(ctx_));
}

void Sha256::Update(const void* data, std::size_t size)
{
    EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(ctx_), data, size);
}

std::string Sha256::HexDigest()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(ctx_), digest, &length);
    return hex(digest, length);
}

std::string FileSha256(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw Error(msg::UploadManifestCannotRead, {path});
    }
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> closer(file, &std::fclose);
    Sha256 sha;
    unsigned char buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        sha.Update(buffer, n);
    }
    if (std::ferror(file) != 0) {
        throw Error(msg::UploadManifestCannotRead, {path});
    }
    return sha.HexDigest();
}

std::string UploadManifest::PathFor(const std::string& shopDir, const std::string& targetKey)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(targetKey.data(), targetKey.size(), digest, &length, EVP_sha256(), nullptr);
    return ExcludeTrailingSlash(shopDir) + ".sent-" + hex(digest, 8) + ".txt";
}

UploadManifest::UploadManifest(std::string path) : path_(std::move(path))
{
    std::string text;
    if (!TryReadFile(path_, text) || !text.starts_with(kHeader)) {
        return;
    }
    // A last line torn by a stop would swallow the next one appended.
    whole_ = text.back() == '\n';
    std::size_t pos = kHeader.size();
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            break; // torn by a stop in the middle of a write
        }
        const std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        if (line.starts_with("-\t")) {
            entries_.erase(std::string(line.substr(2)));
            continue;
        }
        // "+ <size> <sha256> <path>", tab-separated; the path comes last as it may hold anything else.
        if (!line.starts_with("+\t")) {
            continue;
        }
        const std::size_t a = 2;
        const std::size_t b = line.find('\t', a);
        if (b == std::string_view::npos) {
            continue;
        }
        const std::size_t c = line.find('\t', b + 1);
        if (c == std::string_view::npos) {
            continue;
        }
        Entry e;
        const auto [ptr, ec] = std::from_chars(line.data() + a, line.data() + b, e.Size);
        const std::string_view digest = line.substr(b + 1, c - b - 1);
        if (ec != std::errc() || ptr != line.data() + b || e.Size < 0 || !isDigest(digest) || c + 1 >= line.size()) {
            continue;
        }
        e.Sha256 = std::string(digest);
        entries_[std::string(line.substr(c + 1))] = std::move(e);
    }
}

UploadManifest::~UploadManifest()
{
    if (journal_ != nullptr) {
        std::fclose(journal_);
    }
}

bool UploadManifest::Unchanged(const std::string& relativePath, const Entry& now) const
{
    const auto it = entries_.find(relativePath);
    return it != entries_.end() && it->second.Size == now.Size && it->second.Sha256 == now.Sha256;
}

void UploadManifest::append(const std::string& line)
{
    if (journal_ == nullptr) {
        // A journal that is not whole, or not ours, starts afresh.
        if (!whole_) {
            Compact();
        }
        journal_ = std::fopen(path_.c_str(), "ab");
        if (journal_ == nullptr) {
            throw Error(msg::UploadManifestCannotWrite, {path_});
        }
    }
    if (std::fwrite(line.data(), 1, line.size(), journal_) != line.size() || std::fflush(journal_) != 0) {
        throw Error(msg::UploadManifestCannotWrite, {path_});
    }
}

void UploadManifest::Forget(const std::string& relativePath)
{
    if (entries_.erase(relativePath) > 0) {
        append("-\t" + relativePath + "\n");
    }
}

void UploadManifest::Sent(const std::string& relativePath, const Entry& entry)
{
    append("+\t" + std::to_string(entry.Size) + "\t" + entry.Sha256 + "\t" + relativePath + "\n");
    entries_[relativePath] = entry;
}

void UploadManifest::Compact()
{
    if (journal_ != nullptr) {
        std::fclose(journal_);
        journal_ = nullptr;
    }
    std::string text(kHeader);
    for (const auto& [path, e] : entries_) {
        text += "+\t" + std::to_string(e.Size) + "\t" + e.Sha256 + "\t" + path + "\n";
    }
    WriteFileAtomic(path_, text);
    whole_ = true;
}

} // namespace quillane
