#pragma once

#include <string>

namespace quillane {

// A private working folder under the system's temporary folder, removed
// again when the object goes.
class WorkFolder {
public:
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // Ends with "/".
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace quillane
