#pragma once

#include "core/common/Message.h"
#include "core/common/messages/CommonMessages.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// File and folder helpers. Paths are native paths with "/"; a folder path
// given back by these helpers ends with "/".
namespace quillane {

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates the folder with all missing parents; false when that fails.
[[nodiscard]] bool ForceDirectories(const std::string& path);
// The same, throwing an error that names the folder when it fails.
void CreateFolder(const std::string& path);
std::string IncludeTrailingSlash(std::string path);
std::string ExcludeTrailingSlash(std::string path);
// The file name without folder and extension.
std::string BaseNameWithoutExtension(const std::string& path);

// Throws unless name can be a folder of the shop: not empty, not "." or
// "..", and without "/", "\", quotes, "|" or control characters. what says
// what the name is ("The shop language") for the message.
void CheckFolderName(const MessageArg& what, const std::string& name);

// Every file is read whole, and only a regular file of at most this size:
// a FIFO would block the read for ever, a device never end it. No file of
// the program comes near the limit (the working copy of a catalog of
// 100,000 items is some 20 MB), so a bigger one is a mistake.
inline constexpr std::uintmax_t kMaxFileSize = std::uintmax_t{256} << 20;

// Why a file was not read.
struct ReadFailure {
    bool Missing = false;                   // there is no file at the path at all
    std::string Reason;                     // in English: "No such file or directory", "it is not a regular file"
    Message Why{msg::FileReasonSystem, {}}; // the same for the merchant, in the interface language
};

// The reason a system call failed with this errno value, for a message:
// the usual ones in the interface language, others as the system says them.
Message SystemReason(int error);

// Reads a whole file; false when it cannot be read, and then failure (when
// given) says why. content is left alone then.
[[nodiscard]] bool TryReadFile(const std::string& path, std::string& content, ReadFailure* failure = nullptr);
// Reads a whole file or throws an error naming it and the reason.
std::string ReadFile(const std::string& path);
// The one-line message of a failed read.
Message ReadError(const std::string& path, const ReadFailure& failure);

// Creates or truncates the file and writes text unchanged; throws when the
// file cannot be written.
void WriteTextFile(const std::string& path, std::string_view text);

// Who may read a file the program replaces.
enum class FileAccess {
    Kept,      // a file that is there keeps its mode; a new one gets the usual one
    OwnerOnly, // 0600 from the moment it is created: it holds passwords or personal data
};
// Writes beside the file and renames, so readers never see half a file.
// Throws an error naming the file when it cannot be written.
void WriteFileAtomic(const std::string& path, std::string_view content, FileAccess access = FileAccess::Kept);
// The same without throwing: false, and the file as it was, when it fails;
// reason (when given) says why.
[[nodiscard]] bool TryWriteFileAtomic(const std::string& path, std::string_view content, FileAccess access,
                                      Message* reason = nullptr);

// Copies source over target unless the paths are equal; the copy itself
// may fail silently (true is returned all the same).
bool ReplaceFile(const std::string& source, const std::string& target);
// Copies a file, replacing the target; false when that fails.
[[nodiscard]] bool CopyFileTo(const std::string& source, const std::string& target);

// Rewrites the file with CR LF line ends, replacing find (present exactly as
// written) in any letter case; writes to output, or back when output is empty.
bool ReplaceInFile(const std::string& file, std::string_view find, std::string_view replacement,
                   const std::string& output = {});

// Copies the folder source into target, as a sub folder of its own name.
[[nodiscard]] bool CopyFolder(const std::string& source, const std::string& target);
bool DeleteFolder(const std::string& directory);

enum class ListMode { Files = 1, Folders = 2, FilesAndFolders = 3 };
std::vector<std::string> ListFiles(const std::string& directory, std::string_view mask, int mode, bool recurse,
                                   bool withExtension, bool withSize);
// Windows-style file mask ("*", "?", "*.*" for all), without regard to case.
bool MatchFileMask(std::string_view name, std::string_view mask);

// "My Pictures" and "Personal": the user's pictures and documents folders;
// "/" when the folder does not exist.
std::string ShellFolderPath(std::string_view name);

} // namespace quillane
