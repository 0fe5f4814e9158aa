// The sectioned key=value file: read every way the program reads it, change
// it, write it back and read that again.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const std::string path = fuzz::CleanScratch() + "settings.ini";
    fuzz::WriteBytes(path, fuzz::AsText(data, size));
    try {
        IniFile ini(path);
        for (const std::string& section : ini.ReadSections()) {
            for (const std::string& key : ini.ReadSection(section)) {
                ini.ReadString(section, key, "");
                ini.ReadInteger(section, key, 0);
                ini.ReadFloat(section, key, 0);
                ini.ReadBool(section, key, false);
            }
            ini.ReadSectionValues(section);
        }
        const auto sections = ini.ReadSections();
        if (!sections.empty()) {
            ini.WriteString(sections.front(), "Added", "value");
            ini.DeleteKey(sections.back(), "Added");
            ini.EraseSection(sections.back());
        }
        ini.WriteInteger("Fuzz", "Count", 7);
        ini.UpdateFile();
        IniFile again(path);
        again.ReadSections();
    } catch (const Error&) {
    }
    return 0;
}
