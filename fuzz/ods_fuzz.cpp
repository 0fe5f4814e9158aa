// An import file read through the import's reader for its type, and through
// the reader that picks the type by the file's name.

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quillane::fuzz::ReadImportBoth(data, size, ".ods", [](const std::string& path) { quillane::ReadOds(path); });
    return 0;
}
