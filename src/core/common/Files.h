#pragma once

#include <string>
#include <string_view>
#include <vector>

// File and folder helpers. Paths are native paths with "/"; a folder path
// given back by these helpers ends with "/".
namespace quillane {

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates the folder with all missing parents; false when that fails.
bool ForceDirectories(const std::string& path);
std::string IncludeTrailingSlash(std::string path);
std::string ExcludeTrailingSlash(std::string path);
// The file name without folder and extension.
std::string BaseNameWithoutExtension(const std::string& path);

// Reads a whole file; false when it cannot be read.
bool TryReadFile(const std::string& path, std::string& content);
// Reads a whole file or throws an error naming it.
std::string ReadFile(const std::string& path);

// Creates or truncates the file and writes text unchanged; throws when the
// file cannot be written.
void WriteTextFile(const std::string& path, std::string_view text);
// Writes beside the file and renames, so readers never see half a file.
void WriteFileAtomic(const std::string& path, std::string_view content);

// Copies source over target unless the paths are equal; the copy itself
// may fail silently (true is returned all the same).
bool ReplaceFile(const std::string& source, const std::string& target);
// Copies a file, replacing the target; false when that fails.
bool CopyFileTo(const std::string& source, const std::string& target);

// Rewrites the file with CR LF line ends, replacing find (present exactly as
// written) in any letter case; writes to output, or back when output is empty.
bool ReplaceInFile(const std::string& file, std::string_view find, std::string_view replacement,
                   const std::string& output = {});

// Copies the folder source into target, as a sub folder of its own name.
bool CopyFolder(const std::string& source, const std::string& target);
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
