#pragma once

#include <string>

namespace quillane {

// A private working folder under the system's temporary folder, removed
// again when the object goes. The object holds a lock on its folder for as
// long as it lives; the lock goes with the process, however it ends. Making
// a new one first removes the folders whose lock nobody holds any more:
// those of runs that were killed or crashed.
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
    int lock_ = -1;
};

} // namespace quillane
