// An import file read through the import's reader for its type, and through
// the reader that picks the type by the file's name.

#include "FuzzSupport.h"
#include "core/common/Error.h"
#include "core/import/ImportFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const std::string path = fuzz::CleanScratch() + "import.xls";
    fuzz::WriteBytes(path, fuzz::AsText(data, size));
    try {
        ReadXls(path);
    } catch (const Error&) {
    }
    try {
        const ImportGrid grid = ReadImportFile(path);
        grid.ColumnLetters();
    } catch (const Error&) {
    }
    return 0;
}
