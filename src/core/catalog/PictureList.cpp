#include "core/catalog/PictureList.h"

#include "core/common/Files.h"
#include "core/common/IniFile.h"

namespace quillane {

std::string PictureListPath(const std::string& tempDir)
{
    return tempDir + "pictures.ini";
}

PictureList::PictureList(std::string tempDir) : path_(PictureListPath(tempDir)) {}

std::vector<std::string> PictureList::Pictures(const std::string& orderNo) const
{
    const IniFile ini(path_);
    const std::size_t count = ini.ReadSection(orderNo).size();
    std::vector<std::string> paths;
    for (std::size_t i = 1; i <= count; ++i) {
        paths.push_back(ini.ReadString(orderNo, std::to_string(i), ""));
    }
    return paths;
}

int PictureList::Count(const std::string& orderNo) const
{
    return static_cast<int>(IniFile(path_).ReadSection(orderNo).size());
}

int PictureList::Add(const std::string& orderNo, const std::string& path)
{
    IniFile ini(path_);
    const int number = static_cast<int>(ini.ReadSection(orderNo).size()) + 1;
    ini.WriteString(orderNo, std::to_string(number), path);
    ini.UpdateFile();
    return number;
}

void PictureList::Remove(const std::string& orderNo, int k)
{
    IniFile ini(path_);
    const int n = static_cast<int>(ini.ReadSection(orderNo).size());
    if (k < 1 || k > n) {
        return;
    }
    for (int i = k; i < n; ++i) {
        ini.WriteString(orderNo, std::to_string(i), ini.ReadString(orderNo, std::to_string(i + 1), ""));
    }
    ini.DeleteKey(orderNo, std::to_string(n));
    ini.UpdateFile();
}

void ImportPics(const std::string& tempDir, const std::string& dataDir)
{
    IniFile pictures(PictureListPath(tempDir));
    // The file's own name, so that "4711.BMP" is found on a case-sensitive disk.
    for (const std::string& name : ListFiles(dataDir, "*.bmp", 1, false, true, false)) {
        pictures.WriteString(BaseNameWithoutExtension(name), "1", dataDir + name);
    }
    pictures.UpdateFile();
}

} // namespace quillane
