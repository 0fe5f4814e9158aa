// Writes and reads back a key=value file of 100,000 keys in 1,000 sections
// and compares the time per key with plain line reading of the same file.
#include "common/IniFile.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using Clock = std::chrono::steady_clock;

static double seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

int main(int argc, char** argv)
{
    const int sections = 1000;
    const int keysPerSection = 100;
    const int keys = sections * keysPerSection;
    const std::string path = (argc > 1 ? std::string(argv[1])
                                       : (std::filesystem::temp_directory_path() / "quillane-bench.ini").string());

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
    // Baseline: read the same file line by line and split at "=".
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

    const double write = seconds(t0, t1), read = seconds(t1, t2), base = seconds(t2, t3);
    std::printf("keys: %d in %d sections (checksum %zu/%zu)\n", keys, sections, found, baselineBytes);
    std::printf("write: %.3f us/key\n", write / keys * 1e6);
    std::printf("read:  %.3f us/key\n", read / keys * 1e6);
    std::printf("baseline line reading: %.3f us/key\n", base / keys * 1e6);
    std::printf("ratio write/baseline: %.1f  read/baseline: %.1f\n", write / base, read / base);
    return found == baselineBytes ? 0 : 1;
}
