#include "core/settings/AppDirs.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Text.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace quillane {

TAppDirs MakeAppDirs(const std::string& programDir)
{
    TAppDirs dirs;
    dirs.ProgramDir = IncludeTrailingSlash(programDir);
    dirs.TempDir = dirs.ProgramDir + "temp/";
    dirs.LanguageDir = dirs.ProgramDir + "sprache/";
    return dirs;
}

bool ProgramDirFromEnvironment()
{
    const char* home = std::getenv("QUILLANE_HOME");
    return home != nullptr && *home != '\0';
}

std::string DefaultProgramDir()
{
    if (ProgramDirFromEnvironment()) {
        return IncludeTrailingSlash(std::getenv("QUILLANE_HOME"));
    }
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && *dataHome != '\0') {
        return IncludeTrailingSlash(dataHome) + "quillane/";
    }
    const char* home = std::getenv("HOME");
    return IncludeTrailingSlash(home != nullptr ? home : "/tmp") + ".local/share/quillane/";
}

std::string ShippedDataDir(const std::string& executableDir)
{
    const std::string candidates[] = {
        IncludeTrailingSlash(executableDir) + "../share/quillane/data/",
#ifdef QUILLANE_SOURCE_DATA_DIR
        IncludeTrailingSlash(QUILLANE_SOURCE_DATA_DIR),
#endif
    };
    for (const std::string& dir : candidates) {
        if (FileExists(dir + "countries.dat")) {
            return dir;
        }
    }
    return {};
}

namespace {

// The folders to seed from: the one given and, when that is the source
// tree's data of this build, what the build rendered (the sample pictures).
std::vector<std::string> SeedSources(const std::string& shippedDataDir)
{
    std::vector<std::string> sources{IncludeTrailingSlash(shippedDataDir)};
#if defined(QUILLANE_SOURCE_DATA_DIR) && defined(QUILLANE_GENERATED_DATA_DIR)
    if (sources.front() == IncludeTrailingSlash(QUILLANE_SOURCE_DATA_DIR)) {
        sources.push_back(IncludeTrailingSlash(QUILLANE_GENERATED_DATA_DIR));
    }
#endif
    return sources;
}

// The program folder holds passwords, addresses and bank data: it is made
// for its owner only, and an existing one of an earlier version is made so.
bool ForcePrivateDirectory(const std::string& path)
{
    const std::string dir = ExcludeTrailingSlash(path);
    std::error_code ec;
    fs::create_directories(fs::path(dir).parent_path(), ec);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    if (st.st_uid == ::geteuid() && (st.st_mode & 077) != 0) {
        ::chmod(dir.c_str(), st.st_mode & 0700);
    }
    return true;
}

// Copies one shipped file; a picture list gets the program folder in its
// paths. Like every seeding step it fails silently: the program still starts.
void SeedFile(const fs::path& source, const fs::path& target, const std::string& programDir)
{
    std::error_code ec;
    if (!SameText(source.filename().string(), "pictures.ini")) {
        fs::copy_file(source, target, ec);
        return;
    }
    std::string content;
    if (!TryReadFile(source.string(), content)) {
        return;
    }
    try {
        WriteFileAtomic(target.string(), ReplaceAll(content, kProgramDirPlaceholder, programDir, true));
    } catch (const Error&) {
    }
}

// The help pages are the program's own, not the merchant's: the pages of a
// newer version replace those an earlier one seeded.
bool renewed(const fs::path& relative, const fs::path& source, const fs::path& target)
{
    if (relative.empty() || !SameText(relative.begin()->string(), "hilfe")) {
        return false;
    }
    std::string shipped;
    std::string seeded;
    return TryReadFile(source.string(), shipped) && TryReadFile(target.string(), seeded) && shipped != seeded;
}

} // namespace

bool SeedProgramDir(const std::string& programDir, const std::string& shippedDataDir)
{
    if (!ForcePrivateDirectory(programDir)) {
        return false;
    }
    if (shippedDataDir.empty()) {
        return true;
    }
    for (const std::string& source : SeedSources(shippedDataDir)) {
        std::error_code ec;
        const fs::path from(source);
        for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::path relative = fs::relative(it->path(), from);
            const fs::path target = fs::path(programDir) / relative;
            std::error_code step;
            if (it->is_directory(step)) {
                fs::create_directories(target, step);
            } else if (!fs::exists(target, step)) {
                fs::create_directories(target.parent_path(), step);
                SeedFile(it->path(), target, IncludeTrailingSlash(programDir));
            } else if (renewed(relative, it->path(), target)) {
                fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, step);
            }
        }
    }
    return true;
}

} // namespace quillane
