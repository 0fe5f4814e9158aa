#include "core/settings/WindowMemory.h"

#include "core/common/IniFile.h"
#include "core/settings/UserData.h"

#include <algorithm>

namespace quillane {

namespace {
constexpr std::string_view kWindow = "Window";

std::string projectKey(std::size_t i)
{
    return "Project" + std::to_string(i + 1);
}
} // namespace

WindowMemory ReadWindowMemory(const std::string& programDir)
{
    const IniFile settings(SettingsFilePath(programDir));
    WindowMemory m;
    m.Width = settings.ReadInteger(kWindow, "Width", 0);
    m.Height = settings.ReadInteger(kWindow, "Height", 0);
    m.HasPlace = m.Width > 0 && m.Height > 0;
    m.Left = settings.ReadInteger(kWindow, "Left", 0);
    m.Top = settings.ReadInteger(kWindow, "Top", 0);
    m.Maximized = settings.ReadBool(kWindow, "Maximized", false);
    m.Page = settings.ReadString(kWindow, "Page", "");
    for (std::size_t i = 0; i < kRecentProjects; ++i) {
        const std::string path = settings.ReadString(kWindow, projectKey(i), "");
        if (!path.empty()) {
            m.RecentProjects.push_back(path);
        }
    }
    return m;
}

void WriteWindowPlace(const std::string& programDir, const WindowMemory& memory)
{
    IniFile settings = OpenSettingsFile(programDir);
    settings.WriteInteger(kWindow, "Left", memory.Left);
    settings.WriteInteger(kWindow, "Top", memory.Top);
    settings.WriteInteger(kWindow, "Width", memory.Width);
    settings.WriteInteger(kWindow, "Height", memory.Height);
    settings.WriteBool(kWindow, "Maximized", memory.Maximized);
    settings.WriteString(kWindow, "Page", memory.Page);
    settings.UpdateFile();
}

void RememberProject(const std::string& programDir, const std::string& path)
{
    std::vector<std::string> projects = ReadWindowMemory(programDir).RecentProjects;
    projects.erase(std::remove(projects.begin(), projects.end(), path), projects.end());
    projects.insert(projects.begin(), path);
    projects.resize(std::min(projects.size(), kRecentProjects));
    IniFile settings = OpenSettingsFile(programDir);
    for (std::size_t i = 0; i < kRecentProjects; ++i) {
        if (i < projects.size()) {
            settings.WriteString(kWindow, projectKey(i), projects[i]);
        } else {
            settings.DeleteKey(kWindow, projectKey(i));
        }
    }
    settings.UpdateFile();
}

} // namespace quillane
