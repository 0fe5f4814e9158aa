#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillane {

struct PictureTask;

// What tells a file's version apart without reading it.
struct FileStamp {
    long long Size = -1; // -1: no such regular file
    long long ModifiedNs = 0;
    unsigned long long Inode = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path);

// The picture sets of the last run, so that a run after a small change does
// not scale every picture again. A set is taken over from the shop in place
// (linked, else copied into the shop being built) only when its source file
// (path, size, time), the picture settings and every file it became are as
// the last run left them; anything else makes the set anew. The list is
// checked, never trusted: a line that does not read is ignored.
class PictureCache {
public:
    // list: the file the sets are kept in; shopDir: the shop in place;
    // buildDir: the shop being built; settings: everything besides the
    // source that decides a picture's bytes.
    PictureCache(std::string list, std::string shopDir, std::string buildDir, std::string settings);

    // Puts the task's files into the build from the last run; false, with
    // nothing put there, when the set has to be made.
    bool Reuse(const PictureTask& task, const FileStamp& source);
    // Notes a set this run made from a source of that stamp.
    void Remember(const PictureTask& task, const FileStamp& source);
    // Writes the list for the next run; called once the new shop is in place.
    // A list that cannot be written only costs the next run time.
    void Save() const;

private:
    struct Entry {
        FileStamp Source;
        std::vector<FileStamp> Outputs; // one per file of the set, in the order of the key
    };
    // Source, how the large picture is made and the set's files relative to the shop.
    std::vector<std::string> keyFields(const PictureTask& task) const;
    void load();
    // outputs: the stamps of the set's files in the build, in the order of the key.
    void note(const std::vector<std::string>& key, const FileStamp& source, const std::vector<FileStamp>& outputs);

    std::string list_, shopDir_, buildDir_, settings_;
    std::unordered_map<std::string, Entry> last_;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_; // of this run
};

} // namespace quillane
