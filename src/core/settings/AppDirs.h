#pragma once

#include <string>

namespace quillane {

// The application's folders; each ends with "/".
struct TAppDirs {
    std::string ProgramDir;
    std::string TempDir;
    std::string DataDir;
    std::string ShopDir;
    std::string LanguageDir;
};

// ProgramDir from a chosen home folder: TempDir and LanguageDir below it.
TAppDirs MakeAppDirs(const std::string& programDir);

// The program folder: $QUILLANE_HOME when set, else ~/.local/share/quillane/.
std::string DefaultProgramDir();
bool ProgramDirFromEnvironment();

// The folder of shipped data to seed a program folder from: the installed
// data, or the data of the source tree the program was built from.
std::string ShippedDataDir(const std::string& executableDir);

// Picture lists of shipped projects name their files below this word; the
// seeding puts the program folder in its place.
inline constexpr const char* kProgramDirPlaceholder = "%PROGRAMDIR%";

// Copies every shipped file that the program folder lacks; never overwrites
// what is there. Creates the program folder if needed, and makes it the
// owner's only (it holds personal data). False when the program folder
// cannot be created. A build tree ships two folders: the source tree's
// data and what the build rendered (the sample project's pictures); given
// the first, the seeding takes the second as well.
// Copied picture lists get the program folder for the placeholder.
bool SeedProgramDir(const std::string& programDir, const std::string& shippedDataDir);

} // namespace quillane
