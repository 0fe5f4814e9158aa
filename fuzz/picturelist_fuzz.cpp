// The picture list of a project, read as the item pages read it and changed
// as they change it.

#include "FuzzSupport.h"
#include "core/catalog/PictureList.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const std::string tempDir = fuzz::CleanScratch();
    fuzz::WriteBytes(PictureListPath(tempDir), fuzz::AsText(data, size));
    try {
        PictureList list(tempDir);
        const std::vector<std::string> orderNos = IniFile(PictureListPath(tempDir)).ReadSections();
        for (const std::string& orderNo : orderNos) {
            list.Pictures(orderNo);
            list.Count(orderNo);
        }
        if (!orderNos.empty()) {
            list.Add(orderNos.front(), tempDir + "new.jpg");
            list.Remove(orderNos.front(), 1);
            list.Pictures(orderNos.front());
        }
    } catch (const Error&) {
    }
    return 0;
}
