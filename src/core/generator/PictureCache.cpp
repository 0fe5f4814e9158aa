#include "core/generator/PictureCache.h"

#include "core/common/Files.h"
#include "core/generator/PictureSets.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quillane {

namespace {

constexpr const char* kListHead = "quillane picture sets 1";
constexpr std::size_t kKeyFields = 9; // source, large mode, seven files

bool plainField(const std::string& text)
{
    return text.find_first_of("\t\r\n") == std::string::npos;
}

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

template <typename Number> bool readNumber(const std::string& text, Number& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

std::string join(const std::vector<std::string>& fields)
{
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        text += (i == 0 ? "" : "\t") + fields[i];
    }
    return text;
}

std::string stampText(const FileStamp& s)
{
    return std::to_string(s.Size) + "\t" + std::to_string(s.ModifiedNs) + "\t" + std::to_string(s.Inode);
}

bool readStamp(const std::vector<std::string>& fields, std::size_t at, FileStamp& s)
{
    return at + 3 <= fields.size() && readNumber(fields[at], s.Size) && s.Size >= 0 &&
           readNumber(fields[at + 1], s.ModifiedNs) && readNumber(fields[at + 2], s.Inode);
}

void removeFiles(const std::vector<std::string>& files)
{
    for (const std::string& file : files) {
        std::error_code ec;
        std::filesystem::remove(file, ec);
    }
}

} // namespace

FileStamp StampOf(const std::string& path)
{
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        stamp.Size = static_cast<long long>(st.st_size);
        stamp.ModifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
        stamp.Inode = static_cast<unsigned long long>(st.st_ino);
    }
    return stamp;
}

PictureCache::PictureCache(std::string list, std::string shopDir, std::string buildDir, std::string settings)
    : list_(std::move(list)), shopDir_(std::move(shopDir)), buildDir_(std::move(buildDir)),
      settings_(std::move(settings))
{
    load();
}

void PictureCache::load()
{
    std::string text;
    if (!DirectoryExists(shopDir_) || !TryReadFile(list_, text)) {
        return;
    }
    std::size_t start = 0;
    bool headRead = false;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            break; // a last line without its end was cut short
        }
        const std::vector<std::string> fields = splitTabs(text.substr(start, end - start));
        start = end + 1;
        if (!headRead) {
            // Another shop folder, other settings or another program: none of it holds.
            if (fields != std::vector<std::string>{kListHead, settings_, shopDir_}) {
                return;
            }
            headRead = true;
            continue;
        }
        if (fields.size() < kKeyFields + 3) {
            continue;
        }
        Entry entry;
        bool ok = readStamp(fields, kKeyFields, entry.Source);
        std::size_t at = kKeyFields + 3;
        for (std::size_t role = 2; ok && role < kKeyFields; ++role) {
            if (fields[role].empty()) {
                continue;
            }
            FileStamp output;
            ok = readStamp(fields, at, output);
            entry.Outputs.push_back(output);
            at += 3;
        }
        if (ok && at == fields.size() && !entry.Outputs.empty()) {
            last_[join({fields.begin(), fields.begin() + kKeyFields})] = std::move(entry);
        }
    }
}

std::vector<std::string> PictureCache::keyFields(const PictureTask& task) const
{
    std::vector<std::string> fields = {task.Source, task.CopyLarge ? "copy" : "scale"};
    for (const std::string* file : {&task.XxlFile, &task.LargeFile, &task.MediumFile, &task.SmallFile,
                                    &task.Large2xFile, &task.Medium2xFile, &task.Small2xFile}) {
        // Every file of a task lies in the build; one elsewhere is never taken over.
        if (!file->empty() && !file->starts_with(buildDir_)) {
            return {};
        }
        fields.push_back(file->empty() ? std::string() : file->substr(buildDir_.size()));
    }
    return fields;
}

bool PictureCache::Reuse(const PictureTask& task, const FileStamp& source)
{
    const std::vector<std::string> key = keyFields(task);
    if (key.empty() || source.Size < 0) {
        return false;
    }
    const auto found = last_.find(join(key));
    if (found == last_.end() || !(found->second.Source == source)) {
        return false;
    }
    std::vector<std::string> olds;
    std::vector<std::string> news;
    for (std::size_t role = 2; role < kKeyFields; ++role) {
        if (!key[role].empty()) {
            olds.push_back(shopDir_ + key[role]);
            news.push_back(buildDir_ + key[role]);
        }
    }
    for (std::size_t i = 0; i < olds.size(); ++i) {
        if (!(StampOf(olds[i]) == found->second.Outputs[i])) {
            return false;
        }
    }
    std::vector<std::string> made;
    std::vector<bool> linked;
    for (std::size_t i = 0; i < olds.size(); ++i) {
        // A link costs no copy; across file systems the bytes are copied.
        linked.push_back(::link(olds[i].c_str(), news[i].c_str()) == 0);
        if (!linked.back()) {
            std::error_code ec;
            if (!std::filesystem::copy_file(olds[i], news[i], ec)) {
                removeFiles(made);
                return false;
            }
        }
        made.push_back(news[i]);
    }
    // A file changed while it was linked is made anew; the links are gone
    // first, so that no picture is written through them into the shop in place.
    std::vector<FileStamp> stamps;
    for (std::size_t i = 0; i < news.size(); ++i) {
        stamps.push_back(StampOf(news[i]));
        if (linked[i] && !(stamps.back() == found->second.Outputs[i])) {
            removeFiles(made);
            return false;
        }
    }
    note(key, source, stamps);
    return true;
}

void PictureCache::Remember(const PictureTask& task, const FileStamp& source)
{
    const std::vector<std::string> key = keyFields(task);
    if (key.empty() || source.Size < 0) {
        return;
    }
    std::vector<FileStamp> stamps;
    for (std::size_t role = 2; role < kKeyFields; ++role) {
        if (!key[role].empty()) {
            stamps.push_back(StampOf(buildDir_ + key[role]));
        }
    }
    note(key, source, stamps);
}

void PictureCache::note(const std::vector<std::string>& key, const FileStamp& source,
                        const std::vector<FileStamp>& outputs)
{
    if (!std::all_of(key.begin(), key.end(), plainField)) {
        return;
    }
    std::string line = join(key) + "\t" + stampText(source);
    for (const FileStamp& output : outputs) {
        if (output.Size < 0) {
            return;
        }
        line += "\t" + stampText(output);
    }
    const std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
}

void PictureCache::Save() const
{
    if (!plainField(shopDir_) || !plainField(settings_)) {
        return;
    }
    std::vector<std::string> lines;
    {
        const std::lock_guard lock(mutex_);
        lines = lines_;
    }
    // The order the workers finished in is of no meaning.
    std::sort(lines.begin(), lines.end());
    std::string text = std::string(kListHead) + "\t" + settings_ + "\t" + shopDir_ + "\n";
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    // Beside and renamed, but not flushed to the disk: waiting for that
    // would cost more than a lost list, which only makes the sets anew.
    const std::string beside = list_ + ".~new";
    try {
        WriteTextFile(beside, text);
        std::filesystem::rename(beside, list_);
    } catch (const std::exception&) {
        std::error_code ec;
        std::filesystem::remove(beside, ec);
    }
}

} // namespace quillane
