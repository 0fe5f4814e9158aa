// Reads and writes key=value files of 10,000, 100,000 and 1,000,000 keys
// (100 keys a section, every key with a value of its own) and compares the
// time with doing the same by hand in the same run:
// - reading: the file object is built and every key is listed and looked up
//   in another case than it is written; the baselines split the file's lines
//   at "=", once with std::getline and once from one plain read. Each side
//   sums a checksum of the keys and values it got, which must equal the sum
//   of what was written.
// - writing: every key is set and the file saved; the baseline builds the
//   same lines by hand and writes them. The save syncs the file to disk, so
//   it is set against a baseline that does too (write, fsync, rename); the
//   text alone written plainly is set against plain writing of the same bytes.
//   Both files must hold the same bytes.
// The best of a few rounds counts, as other work on the machine slows some.
// The cost per key must not grow with the size of the file.
#include "core/common/IniFile.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A checksum over key=value pairs in file order.
struct Sum {
    std::uint64_t h = 14695981039346656037ull;
    void add(std::string_view s)
    {
        for (const char c : s) {
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        h = (h ^ 0xFFu) * 1099511628211ull; // ends the field, so "ab"+"c" differs from "a"+"bc"
    }
    void pair(std::string_view key, std::string_view value)
    {
        add(key);
        add(value);
    }
};

struct Data {
    std::vector<std::string> sections, sectionLookups; // as written, in another case
    std::vector<std::string> keys, keyLookups, values; // keysPerSection per section, in order
    int keysPerSection = 100;
    std::uint64_t expected = 0;
};

std::string changedCase(std::string s, bool upper)
{
    for (char& c : s) {
        c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                    : std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

Data makeData(int keyCount)
{
    Data d;
    const int sectionCount = keyCount / d.keysPerSection;
    Sum sum;
    for (int s = 0; s < sectionCount; ++s) {
        d.sections.push_back("Group" + std::to_string(s));
        d.sectionLookups.push_back(changedCase(d.sections.back(), s % 2 == 0));
        for (int k = 0; k < d.keysPerSection; ++k) {
            const int item = s * d.keysPerSection + k;
            d.keys.push_back("art" + std::to_string(item));
            d.keyLookups.push_back(changedCase(d.keys.back(), true));
            // Name, price, four fields and a picture, all different per key.
            d.values.push_back("Winterjacke Nr. " + std::to_string(item * 7 % 100003) + " aus Wolle|" +
                               std::to_string(10 + item % 990) + "." + std::to_string(100 + item % 900) + "|" +
                               std::to_string(item % 3) + "|" + std::to_string(item % 5) + "|0|Bilder/jacke-" +
                               std::to_string(item) + ".jpg");
            sum.pair(d.keys.back(), d.values.back());
        }
    }
    d.expected = sum.h;
    return d;
}

bool writeFd(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool writePlain(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool ok = writeFd(fd, text);
    return ::close(fd) == 0 && ok;
}

bool writeSynced(const std::string& path, const std::string& text)
{
    const std::string temp = path + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool ok = writeFd(fd, text) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok && ::rename(temp.c_str(), path.c_str()) == 0;
}

std::string linesByHand(const Data& d)
{
    std::string text;
    for (std::size_t s = 0; s < d.sections.size(); ++s) {
        text += '[';
        text += d.sections[s];
        text += "]\r\n";
        for (std::size_t k = s * d.keysPerSection; k < (s + 1) * d.keysPerSection; ++k) {
            text += d.keys[k];
            text += '=';
            text += d.values[k];
            text += "\r\n";
        }
    }
    return text;
}

void fillIni(quillane::IniFile& ini, const Data& d)
{
    for (std::size_t s = 0; s < d.sections.size(); ++s) {
        for (std::size_t k = s * d.keysPerSection; k < (s + 1) * d.keysPerSection; ++k) {
            ini.WriteString(d.sections[s], d.keys[k], d.values[k]);
        }
    }
}

std::uint64_t readIni(const std::string& path, const Data& d)
{
    const quillane::IniFile ini(path);
    Sum sum;
    for (std::size_t s = 0; s < d.sections.size(); ++s) {
        const std::vector<std::string> keys = ini.ReadSection(d.sectionLookups[s]);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const std::size_t k = s * d.keysPerSection + i;
            sum.pair(keys[i], ini.ReadString(d.sectionLookups[s], k < d.keyLookups.size() ? d.keyLookups[k] : "", ""));
        }
    }
    return sum.h;
}

// One key=value line into the sum; section headers and other lines are skipped.
void sumLine(Sum& sum, std::string_view line)
{
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (line.empty() || line.front() == '[') {
        return;
    }
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) {
        sum.pair(line.substr(0, eq), line.substr(eq + 1));
    }
}

std::uint64_t readGetline(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    Sum sum;
    std::string line;
    while (std::getline(in, line)) {
        sumLine(sum, line);
    }
    return sum.h;
}

std::uint64_t readSplit(const std::string& path)
{
    Sum sum;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    std::string text(static_cast<std::size_t>(std::filesystem::file_size(path)), '\0');
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(done);
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t nl = rest.find('\n');
        sumLine(sum, rest.substr(0, nl));
        rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
    }
    return sum.h;
}

std::uint64_t fileSum(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Sum sum;
    sum.add(bytes);
    return sum.h;
}

struct Times {
    double iniRead = 1e30, getlineRead = 1e30, splitRead = 1e30;
    double iniSave = 1e30, syncedWrite = 1e30; // both sync to disk
    double iniText = 1e30, plainWrite = 1e30;  // neither does
    bool sumsOk = true, bytesOk = true;
};

Times measure(const std::string& dir, int keyCount, int rounds)
{
    const Data d = makeData(keyCount);
    const std::string iniPath = dir + "/ini.ini", handPath = dir + "/hand.ini";
    Times t;
    for (int round = 0; round < rounds; ++round) {
        std::filesystem::remove(iniPath);
        auto start = Clock::now();
        {
            quillane::IniFile ini(iniPath);
            fillIni(ini, d);
            ini.UpdateFile();
        }
        t.iniSave = std::min(t.iniSave, since(start));

        start = Clock::now();
        t.bytesOk = writeSynced(handPath, linesByHand(d)) && t.bytesOk;
        t.syncedWrite = std::min(t.syncedWrite, since(start));
        t.bytesOk = t.bytesOk && fileSum(iniPath) == fileSum(handPath);

        std::filesystem::remove(iniPath);
        start = Clock::now();
        {
            quillane::IniFile ini(iniPath);
            fillIni(ini, d);
            t.bytesOk = writePlain(iniPath, ini.FileText()) && t.bytesOk;
        }
        t.iniText = std::min(t.iniText, since(start));

        start = Clock::now();
        t.bytesOk = writePlain(handPath, linesByHand(d)) && t.bytesOk;
        t.plainWrite = std::min(t.plainWrite, since(start));
        t.bytesOk = t.bytesOk && fileSum(iniPath) == fileSum(handPath);

        start = Clock::now();
        const std::uint64_t iniSum = readIni(iniPath, d);
        t.iniRead = std::min(t.iniRead, since(start));

        start = Clock::now();
        const std::uint64_t getlineSum = readGetline(iniPath);
        t.getlineRead = std::min(t.getlineRead, since(start));

        start = Clock::now();
        const std::uint64_t splitSum = readSplit(iniPath);
        t.splitRead = std::min(t.splitRead, since(start));

        t.sumsOk = t.sumsOk && iniSum == d.expected && getlineSum == d.expected && splitSum == d.expected;
    }
    std::filesystem::remove(iniPath);
    std::filesystem::remove(handPath);
    return t;
}

const char* verdict(bool met)
{
    return met ? "ok" : "MISSED";
}

} // namespace

int main(int argc, char** argv)
{
    const std::string dir =
        argc > 1 ? std::string(argv[1]) : (std::filesystem::temp_directory_path() / "quillane-inifile-bench").string();
    std::filesystem::create_directories(dir);
    constexpr double kMaxRatio = 3.0;
    constexpr double kMaxGrowth = 1.5;

    const int sizes[] = {10000, 100000, 1000000};
    const int rounds[] = {7, 5, 3};
    Times times[3];
    bool correct = true;
    bool goals = true;

    std::printf("ns per key (best of the rounds)\n");
    std::printf("%8s | %9s %9s %9s | %9s %9s | %9s %9s | %s\n", "keys", "read", "getline", "read+split", "save",
                "by hand", "text+write", "by hand", "checks");
    std::printf("%8s | %9s %9s %9s | %9s %9s | %9s %9s |\n", "", "", "", "", "(fsync)", "(fsync)", "(no fsync)",
                "(no fsync)");
    for (int i = 0; i < 3; ++i) {
        const Times& t = times[i] = measure(dir, sizes[i], rounds[i]);
        const double n = sizes[i] / 1e9;
        std::printf("%8d | %9.1f %9.1f %9.1f | %9.1f %9.1f | %9.1f %9.1f | sums %s, bytes %s\n", sizes[i],
                    t.iniRead / n, t.getlineRead / n, t.splitRead / n, t.iniSave / n, t.syncedWrite / n, t.iniText / n,
                    t.plainWrite / n, t.sumsOk ? "equal" : "DIFFER", t.bytesOk ? "equal" : "DIFFER");
        correct = correct && t.sumsOk && t.bytesOk;
    }

    std::printf("\nratios at %d keys (goal <= %.1f)\n", sizes[1], kMaxRatio);
    const Times& mid = times[1];
    const struct {
        const char* what;
        double ratio;
    } ratios[] = {
        {"read / getline", mid.iniRead / mid.getlineRead},
        {"read / read+split", mid.iniRead / mid.splitRead},
        {"save / by hand, both fsync", mid.iniSave / mid.syncedWrite},
        {"text+write / by hand, no fsync", mid.iniText / mid.plainWrite},
    };
    for (const auto& r : ratios) {
        const bool met = r.ratio <= kMaxRatio;
        goals = goals && met;
        std::printf("  %-32s %6.2f  %s\n", r.what, r.ratio, verdict(met));
    }

    std::printf("\ngrowth of the cost per key from %d to %d keys (goal < %.1f)\n", sizes[0], sizes[2], kMaxGrowth);
    const struct {
        const char* what;
        double small, large;
    } growths[] = {
        {"read", times[0].iniRead / sizes[0], times[2].iniRead / sizes[2]},
        {"save (fsync)", times[0].iniSave / sizes[0], times[2].iniSave / sizes[2]},
        {"text+write (no fsync)", times[0].iniText / sizes[0], times[2].iniText / sizes[2]},
    };
    for (const auto& g : growths) {
        const double growth = g.large / g.small;
        const bool met = growth < kMaxGrowth;
        goals = goals && met;
        std::printf("  %-32s %6.2f  %s\n", g.what, growth, verdict(met));
    }

    if (!correct) {
        std::printf("\nwhat was read or written differs from what it should be\n");
        return 1;
    }
    return goals ? 0 : 2;
}
