#include "core/common/Files.h"

#include "core/common/Error.h"
#include "core/common/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillane {

namespace {

Message platformReason()
{
    return SystemReason(errno);
}

} // namespace

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool DirectoryExists(const std::string& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool ForceDirectories(const std::string& path)
{
    std::error_code ec;
    fs::create_directories(ExcludeTrailingSlash(path), ec);
    return DirectoryExists(path);
}

void CreateFolder(const std::string& path)
{
    if (!ForceDirectories(path)) {
        throw Error(msg::FileCannotCreateFolder, {path});
    }
}

std::string IncludeTrailingSlash(std::string path)
{
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return path;
}

std::string ExcludeTrailingSlash(std::string path)
{
    if (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string BaseNameWithoutExtension(const std::string& path)
{
    std::string name = path.substr(path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.resize(dot);
    }
    return name;
}

void CheckFolderName(const MessageArg& what, const std::string& name)
{
    bool bad = name.empty() || name == "." || name == "..";
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || c == '\'' || c == '"' || c == '|' || u < 0x20 || u == 0x7F) {
            bad = true;
        }
    }
    if (bad) {
        throw Error(msg::FileNoFolderName, {what, name});
    }
}

bool TryReadFile(const std::string& path, std::string& content, ReadFailure* failure)
{
    ReadFailure local;
    ReadFailure& why = failure != nullptr ? *failure : local;
    why = ReadFailure{};
    auto refuse = [&why](Message reason) {
        why.Reason = EnglishText(reason);
        why.Why = std::move(reason);
        return false;
    };
    // The type is looked at before the file is opened: opening a FIFO that
    // nobody writes to would wait for ever.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        why.Missing = errno == ENOENT || errno == ENOTDIR;
        return refuse(platformReason());
    }
    if (!S_ISREG(st.st_mode)) {
        return refuse(Message{S_ISDIR(st.st_mode) ? msg::FileReasonFolder : msg::FileReasonNotRegular, {}});
    }
    const Message tooBig{msg::FileReasonTooLarge, {static_cast<long long>(kMaxFileSize >> 20)}};
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxFileSize) {
        return refuse(tooBig);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return refuse(platformReason());
    }
    // The name may have been given to something else since the look.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(Message{msg::FileReasonNotRegular, {}});
    }
    std::string data;
    data.resize(std::min<std::uintmax_t>(static_cast<std::uintmax_t>(st.st_size), kMaxFileSize) + 1);
    std::size_t done = 0;
    for (;;) {
        if (done == data.size()) {
            if (done > kMaxFileSize) {
                ::close(fd);
                return refuse(tooBig); // it grew while it was read
            }
            data.resize(std::min<std::size_t>(data.size() * 2, kMaxFileSize + 1));
        }
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            Message reason = platformReason();
            ::close(fd);
            return refuse(reason);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.resize(done);
    content = std::move(data);
    return true;
}

Message SystemReason(int error)
{
    switch (error) {
    case ENOENT:
        return {msg::FileReasonMissing, {}};
    case EACCES:
        return {msg::FileReasonDenied, {}};
    case ENOSPC:
        return {msg::FileReasonDiskFull, {}};
    case EROFS:
        return {msg::FileReasonReadOnly, {}};
    default:
        return {msg::FileReasonSystem, {std::strerror(error)}};
    }
}

Message ReadError(const std::string& path, const ReadFailure& failure)
{
    return {msg::FileCannotRead, {path, failure.Why}};
}

std::string ReadFile(const std::string& path)
{
    std::string content;
    ReadFailure failure;
    if (!TryReadFile(path, content, &failure)) {
        throw Error(ReadError(path, failure));
    }
    return content;
}

void WriteTextFile(const std::string& path, std::string_view text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw Error(msg::FileCannotCreate, {path, platformReason()});
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        throw Error(msg::FileCannotWrite, {path, platformReason()});
    }
}

namespace {

bool writeAll(int fd, std::string_view data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool TryWriteFileAtomic(const std::string& path, std::string_view content, FileAccess access, Message* reason)
{
    const std::string temp = path + ".~new";
    // A leftover of a run that died here, or anything else under that name,
    // is never written through.
    ::unlink(temp.c_str());
    const mode_t createMode = access == FileAccess::OwnerOnly ? 0600 : 0666;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, createMode);
    if (fd < 0) {
        if (reason != nullptr) {
            *reason = platformReason();
        }
        return false;
    }
    bool ok = true;
    struct stat st {};
    if (access == FileAccess::OwnerOnly) {
        // Exactly 0600 whatever the umask, before a byte is written.
        ok = ::fchmod(fd, 0600) == 0;
    } else if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ok = ::fchmod(fd, st.st_mode & 0777) == 0;
    }
    ok = ok && writeAll(fd, content) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (ok) {
        // The rename itself reaches the disk only with its folder; a folder
        // that cannot be synced (some network file systems) is no failure.
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    if (!ok) {
        ::unlink(temp.c_str());
        if (reason != nullptr) {
            *reason = SystemReason(error);
        }
    }
    return ok;
}

void WriteFileAtomic(const std::string& path, std::string_view content, FileAccess access)
{
    Message reason{msg::FileReasonSystem, {}};
    if (!TryWriteFileAtomic(path, content, access, &reason)) {
        throw Error(msg::FileCannotWrite, {path, reason});
    }
}

bool CopyFileTo(const std::string& source, const std::string& target)
{
    std::error_code ec;
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
    return !ec;
}

bool ReplaceFile(const std::string& source, const std::string& target)
{
    if (source == target) {
        return false;
    }
    std::error_code ec;
    fs::remove(target, ec);
    // Callers only replace what is worth having; a failed copy leaves no target.
    static_cast<void>(CopyFileTo(source, target));
    return true;
}

bool ReplaceInFile(const std::string& file, std::string_view find, std::string_view replacement,
                   const std::string& output)
{
    const std::string content = ReadFile(file);
    std::string text;
    text.reserve(content.size() + content.size() / 16);
    // Every line gets CR LF, the last one too.
    for (const std::string& line : SplitLines(content)) {
        text += line;
        text += "\r\n";
    }
    std::string pattern = "*";
    pattern.append(find);
    pattern += '*';
    const bool found = !find.empty() && MatchWildcard(text, pattern);
    if (found) {
        text = ReplaceAll(text, find, replacement);
    }
    WriteTextFile(output.empty() ? file : output, text);
    return found;
}

bool CopyFolder(const std::string& source, const std::string& target)
{
    std::string src = source;
    if (src.size() > 1 && src.back() == '/') {
        src.pop_back();
    }
    std::error_code ec;
    if (!fs::is_directory(src, ec)) {
        return false;
    }
    const fs::path destination = fs::path(ExcludeTrailingSlash(target)) / fs::path(src).filename();
    fs::create_directories(destination, ec);
    if (ec) {
        return false;
    }
    fs::copy(src, destination, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    return !ec;
}

bool DeleteFolder(const std::string& directory)
{
    std::string dir = directory;
    if (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(dir, ec))) {
        return false;
    }
    fs::remove_all(dir, ec);
    return !ec;
}

bool MatchFileMask(std::string_view name, std::string_view mask)
{
    if (mask == "*.*" || mask == "*") {
        return true;
    }
    // Greedy matcher with one back-track point, enough for "*" and "?".
    std::size_t n = 0, m = 0, starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || UpperChar(mask[m]) == UpperChar(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM != std::string_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') {
        ++m;
    }
    // "name.*" also matches a name without extension, as on the desktop.
    if (m + 2 == mask.size() && mask[m] == '.' && mask[m + 1] == '*') {
        return true;
    }
    return m == mask.size();
}

std::vector<std::string> ListFiles(const std::string& directory, std::string_view mask, int mode, bool recurse,
                                   bool withExtension, bool withSize)
{
    const std::string dir = IncludeTrailingSlash(directory);
    std::vector<std::string> result;
    std::vector<fs::directory_entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        entries.push_back(*it);
    }
    // A stable order, so that lists and uploads come out the same each time.
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        if (!MatchFileMask(name, mask)) {
            continue;
        }
        const std::string stem = BaseNameWithoutExtension(name);
        const std::string prefix = recurse ? dir : std::string();
        std::error_code typeEc;
        if (entry.is_directory(typeEc)) {
            if (name.front() == '.') {
                continue;
            }
            if (recurse) {
                auto sub = ListFiles(dir + name, mask, mode, recurse, withExtension, withSize);
                result.insert(result.end(), sub.begin(), sub.end());
            } else if (mode > 1) {
                result.push_back(stem);
            }
            continue;
        }
        if (mode == 2) {
            continue;
        }
        std::string line = prefix + stem;
        if (withExtension) {
            line += name.substr(stem.size());
        }
        if (withSize) {
            std::error_code sizeEc;
            const auto size = entry.file_size(sizeEc);
            line += '|';
            line += std::to_string(sizeEc ? 0 : size);
        }
        result.push_back(std::move(line));
    }
    return result;
}

namespace {

// Reads XDG_<NAME>_DIR from the user's user-dirs.dirs, with $HOME expanded.
std::string xdgUserDir(const std::string& key, const std::string& home)
{
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::string config = configHome && *configHome ? std::string(configHome) : home + "/.config";
    std::string content;
    if (!TryReadFile(config + "/user-dirs.dirs", content)) {
        return {};
    }
    for (const std::string& raw : Split('\n', content)) {
        const std::string line = Trim(raw);
        if (line.rfind(key + "=", 0) != 0) {
            continue;
        }
        std::string value = StripDoubleQuotes(line.substr(key.size() + 1));
        if (value.rfind("$HOME", 0) == 0) {
            value = home + value.substr(5);
        }
        return value;
    }
    return {};
}

} // namespace

std::string ShellFolderPath(std::string_view name)
{
    const char* homeEnv = std::getenv("HOME");
    const std::string home = ExcludeTrailingSlash(homeEnv ? homeEnv : "");
    std::string key;
    std::string fallback;
    if (SameText(name, "My Pictures")) {
        key = "XDG_PICTURES_DIR";
        fallback = "Pictures";
    } else if (SameText(name, "Personal")) {
        key = "XDG_DOCUMENTS_DIR";
        fallback = "Documents";
    } else {
        return "/";
    }
    if (home.empty()) {
        return "/";
    }
    std::string path = xdgUserDir(key, home);
    if (path.empty()) {
        path = home + "/" + fallback;
    }
    return DirectoryExists(path) ? path : "/";
}

} // namespace quillane
