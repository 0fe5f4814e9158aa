#include "catalog/PictureList.h"

#include "common/Files.h"
#include "common/IniFile.h"

namespace quillane {

std::string PictureListPath(const std::string& tempDir)
{
    return tempDir + "pictures.ini";
}

void ImportPics(const std::string& tempDir, const std::string& dataDir)
{
    IniFile pictures(PictureListPath(tempDir));
    for (const std::string& name : ListFiles(dataDir, "*.bmp", 1, false, false, false)) {
        pictures.WriteString(name, "1", dataDir + name + ".bmp");
    }
    pictures.UpdateFile();
}

} // namespace quillane
