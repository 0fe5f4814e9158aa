#pragma once

#include <string>
#include <vector>

namespace quillane {

// What the main window keeps between runs, in section Window of the
// settings file: where it stood, the page shown, the projects opened last.
struct WindowMemory {
    bool HasPlace = false;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool Maximized = false;
    std::string Page;
    // Newest first; a project may have gone since.
    std::vector<std::string> RecentProjects;
};

// How many projects the list keeps.
inline constexpr std::size_t kRecentProjects = 5;

WindowMemory ReadWindowMemory(const std::string& programDir);
// Stores place and page; the project list stays as it is. Throws Error when
// the settings file cannot be written.
void WriteWindowPlace(const std::string& programDir, const WindowMemory& memory);
// Puts path first in the project list, once, dropping the oldest beyond
// kRecentProjects. Throws Error when the settings file cannot be written.
void RememberProject(const std::string& programDir, const std::string& path);

} // namespace quillane
