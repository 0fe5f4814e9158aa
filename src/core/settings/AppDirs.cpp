#include "settings/AppDirs.h"

#include "common/Files.h"

#include <cstdlib>
#include <filesystem>

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

bool SeedProgramDir(const std::string& programDir, const std::string& shippedDataDir)
{
    if (!ForceDirectories(programDir)) {
        return false;
    }
    if (shippedDataDir.empty()) {
        return true;
    }
    std::error_code ec;
    const fs::path from(shippedDataDir);
    for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path target = fs::path(programDir) / fs::relative(it->path(), from);
        std::error_code step;
        if (it->is_directory(step)) {
            fs::create_directories(target, step);
        } else if (!fs::exists(target, step)) {
            fs::create_directories(target.parent_path(), step);
            fs::copy_file(it->path(), target, step);
        }
    }
    return true;
}

} // namespace quillane
