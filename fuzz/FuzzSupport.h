#pragma once

// Shared by the fuzz targets: a scratch folder of the process's own, and the
// way an input is cut into several files.

#include "core/common/Error.h"
#include "core/import/ImportFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace quillane::fuzz {

// One folder per process, made on first use and emptied by each run that asks
// for it clean; ends with a separator, as the core's folders do.
inline const std::string& ScratchDir()
{
    static const std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillane-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return pattern + "/";
    }();
    return dir;
}

inline std::string CleanScratch(const std::string& sub = "run/")
{
    const std::string dir = ScratchDir() + sub;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir, ec);
    return dir;
}

inline void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The parts of an input made of several files, cut at each separator line.
inline constexpr std::string_view kPartSeparator = "\n--8<--\n";

inline std::vector<std::string_view> SplitParts(std::string_view data, std::size_t maxParts)
{
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < maxParts) {
        const std::size_t at = data.find(kPartSeparator);
        if (at == std::string_view::npos) {
            break;
        }
        parts.push_back(data.substr(0, at));
        data.remove_prefix(at + kPartSeparator.size());
    }
    parts.push_back(data);
    return parts;
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// An import file of one type read through its own reader, and through the
// reader that picks the type by the file's name.
template <typename Reader>
void ReadImportBoth(const std::uint8_t* data, std::size_t size, const std::string& extension, Reader read)
{
    const std::string path = CleanScratch() + "import" + extension;
    WriteBytes(path, AsText(data, size));
    try {
        read(path);
    } catch (const Error&) {
    }
    try {
        const ImportGrid grid = ReadImportFile(path);
        grid.ColumnLetters();
    } catch (const Error&) {
    }
}

} // namespace quillane::fuzz
