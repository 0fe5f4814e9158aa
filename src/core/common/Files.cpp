#include "common/Files.h"

#include "common/Error.h"
#include "common/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace quillane {

namespace {

std::string platformReason()
{
    return std::strerror(errno);
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

bool TryReadFile(const std::string& path, std::string& content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in || DirectoryExists(path)) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        return false;
    }
    content = std::move(buffer).str();
    return true;
}

std::string ReadFile(const std::string& path)
{
    std::string content;
    if (!TryReadFile(path, content)) {
        throw Error("Cannot open file \"" + path + "\". " + platformReason());
    }
    return content;
}

void WriteTextFile(const std::string& path, std::string_view text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw Error("Cannot create file \"" + path + "\". " + platformReason());
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        throw Error("Cannot write file \"" + path + "\". " + platformReason());
    }
}

void WriteFileAtomic(const std::string& path, std::string_view content)
{
    const std::string temp = path + ".~new";
    WriteTextFile(temp, content);
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        throw Error("Cannot write file \"" + path + "\". " + ec.message());
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
    CopyFileTo(source, target);
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
