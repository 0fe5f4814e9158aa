// Writes and reads back a key=value file of 100,000 keys in 1,000 sections
// and compares the time per key with plain line reading of the same file in
// the same run. A run at a tenth of the size shows that the cost per key
// does not grow with the file.
#include "core/common/IniFile.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

struct Result {
    double write, read, baseline;
    bool consistent;
};

Result run(const std::string& path, int sections, int keysPerSection)
{
    auto t0 = Clock::now();
    {
        quillane::IniFile ini(path);
        for (int s = 0; s < sections; ++s) {
            const std::string section = "Group" + std::to_string(s);
            for (int k = 0; k < keysPerSection; ++k) {
                ini.WriteString(section, "Item" + std::to_string(k), "Name|12.50|1|0|1|x");
            }
        }
        ini.UpdateFile();
    }
    auto t1 = Clock::now();
    std::size_t found = 0;
    {
        const quillane::IniFile ini(path);
        for (int s = 0; s < sections; ++s) {
            const std::string section = "group" + std::to_string(s);
            for (int k = 0; k < keysPerSection; ++k) {
                found += ini.ReadString(section, "ITEM" + std::to_string(k), "").size();
            }
        }
    }
    auto t2 = Clock::now();
    // Baseline: read the same file line by line and take the text after "=".
    std::size_t baselineBytes = 0;
    {
        std::ifstream in(path, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const auto eq = line.find('=');
            if (eq != std::string::npos) {
                baselineBytes += line.size() - eq - 1;
            }
        }
    }
    auto t3 = Clock::now();
    std::filesystem::remove(path);
    return {seconds(t0, t1), seconds(t1, t2), seconds(t2, t3), found == baselineBytes};
}

} // namespace

int main(int argc, char** argv)
{
    const std::string path =
        argc > 1 ? std::string(argv[1]) : (std::filesystem::temp_directory_path() / "quillane-bench.ini").string();
    bool ok = true;
    std::printf("%8s %9s %14s %14s %14s %12s %12s\n", "keys", "sections", "write us/key", "read us/key", "lines us/key",
                "write/lines", "read/lines");
    for (const int sections : {100, 1000}) {
        const int keys = sections * 100;
        const Result r = run(path, sections, 100);
        ok = ok && r.consistent;
        std::printf("%8d %9d %14.3f %14.3f %14.3f %12.1f %12.1f\n", keys, sections, r.write / keys * 1e6,
                    r.read / keys * 1e6, r.baseline / keys * 1e6, r.write / r.baseline, r.read / r.baseline);
    }
    return ok ? 0 : 1;
}
