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

// Copies every shipped file that the program folder lacks; never overwrites
// what is there. Creates the program folder if needed. False when the
// program folder cannot be created.
bool SeedProgramDir(const std::string& programDir, const std::string& shippedDataDir);

} // namespace quillane
