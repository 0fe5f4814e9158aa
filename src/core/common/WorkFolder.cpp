#include "common/WorkFolder.h"

#include "common/Error.h"
#include "common/Files.h"

#include <cstdlib>
#include <filesystem>

namespace quillane {

WorkFolder::WorkFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quillane-cli-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw Error("Cannot create a working folder in " + std::filesystem::temp_directory_path().string());
    }
    path_ = pattern + "/";
}

WorkFolder::~WorkFolder()
{
    DeleteFolder(path_);
}

} // namespace quillane
