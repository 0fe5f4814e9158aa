#include "core/settings/RememberedFolders.h"

#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/settings/UserData.h"

#include <cstdlib>

namespace quillane {

namespace {
constexpr std::string_view kFolders = "Folders";
}

std::string RememberedFolder(const std::string& programDir, std::string_view purpose, const std::string& fallback)
{
    std::string folder = IniFile(SettingsFilePath(programDir)).ReadString(kFolders, purpose, "");
    if (folder.empty() || !DirectoryExists(folder)) {
        folder = fallback;
    }
    // A dialog opened at the root of the disk leaves the merchant lost.
    if (folder.empty() || folder == "/" || !DirectoryExists(folder)) {
        const char* home = std::getenv("HOME");
        if (home != nullptr && DirectoryExists(home)) {
            folder = home;
        }
    }
    return folder;
}

void RememberFolder(const std::string& programDir, std::string_view purpose, const std::string& folder)
{
    IniFile settings = OpenSettingsFile(programDir);
    settings.WriteString(kFolders, purpose, folder);
    settings.UpdateFile();
}

} // namespace quillane
