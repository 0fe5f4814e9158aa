#include "core/common/WorkFolder.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/messages/CommonMessages.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillane {

namespace {

constexpr std::string_view kPrefix = "quillane-cli-";

int openFolder(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Removes the working folders of this user whose lock is free: their run
// has ended without removing them.
void removeStaleFolders(const fs::path& temp)
{
    std::error_code ec;
    for (fs::directory_iterator it(temp, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(kPrefix, 0) != 0) {
            continue;
        }
        const std::string path = it->path().string();
        const int fd = openFolder(path);
        if (fd < 0) {
            continue; // not a folder, or not ours to look into
        }
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Holding the lock while removing keeps a new run from taking the
            // folder half removed.
            std::error_code removeEc;
            fs::remove_all(path, removeEc);
        }
        ::close(fd);
    }
}

} // namespace

WorkFolder::WorkFolder()
{
    const fs::path temp = fs::temp_directory_path();
    removeStaleFolders(temp);
    // A run that cleans up at the same moment may take a folder in the
    // instant between its making and its locking; then it is made anew.
    for (int attempt = 0; attempt < 10 && lock_ < 0; ++attempt) {
        std::string pattern = (temp / (std::string(kPrefix) + "XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw Error(msg::WorkFolderCannotCreate, {temp.string(), SystemReason(errno)});
        }
        const int fd = openFolder(pattern);
        struct stat st {};
        if (fd >= 0 && ::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
            path_ = pattern + "/";
            lock_ = fd;
        } else {
            if (fd >= 0) {
                ::close(fd);
            }
            ::rmdir(pattern.c_str());
        }
    }
    if (lock_ < 0) {
        throw Error(msg::WorkFolderCannotLock, {temp.string()});
    }
}

WorkFolder::~WorkFolder()
{
    DeleteFolder(path_);
    ::close(lock_);
}

} // namespace quillane
