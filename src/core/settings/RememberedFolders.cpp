#include "core/settings/RememberedFolders.h"

#include "core/common/IniFile.h"
#include "core/settings/UserData.h"

namespace quillane {

namespace {
constexpr std::string_view kFolders = "Folders";
}

std::string RememberedFolder(const std::string& programDir, std::string_view purpose, const std::string& fallback)
{
    const std::string folder = IniFile(SettingsFilePath(programDir)).ReadString(kFolders, purpose, "");
    return folder.empty() ? fallback : folder;
}

void RememberFolder(const std::string& programDir, std::string_view purpose, const std::string& folder)
{
    IniFile settings = OpenSettingsFile(programDir);
    settings.WriteString(kFolders, purpose, folder);
    settings.UpdateFile();
}

} // namespace quillane
