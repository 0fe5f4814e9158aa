#include "core/common/IniFile.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Text.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillane {

namespace {

// A value as readers see it: trimmed, a matching pair of quotes removed, cut.
std::string cookedValue(std::string_view raw)
{
    std::string_view v = TrimBlanks(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    if (v.size() > IniFile::kMaxValueLength) {
        v = v.substr(0, IniFile::kMaxValueLength);
    }
    return std::string(v);
}

// Names and values may not carry line breaks into the file, or one write
// would turn into several keys.
std::string oneLine(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

bool writeAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::size_t IniFile::NameHash::operator()(std::string_view name) const noexcept
{
    std::size_t h = 14695981039346656037ull;
    for (char c : name) {
        h = (h ^ static_cast<unsigned char>(UpperChar(c))) * 1099511628211ull;
    }
    return h;
}

bool IniFile::NameEqual::operator()(std::string_view a, std::string_view b) const noexcept
{
    return SameText(a, b);
}

IniFile::IniFile(std::string path) : path_(std::move(path))
{
    std::string text;
    ReadFailure failure;
    if (TryReadFile(path_, text, &failure)) {
        parse(text);
    } else if (!failure.Missing && !DirectoryExists(path_)) {
        // Reading it as empty would let the next write replace what it holds.
        // A folder holds nothing to lose, and no write can replace it.
        throw Error(ReadErrorText(path_, failure));
    }
}

IniFile::~IniFile() = default;
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;

void IniFile::parse(std::string_view text)
{
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::string_view trimmed = TrimBlanks(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            if (close != std::string_view::npos) {
                // Repeated headers continue the section they name first.
                current = &sectionFor(TrimBlanks(trimmed.substr(1, close - 1)));
                continue;
            }
            // A header without "]" is kept as it stands but names nothing.
        }
        const std::size_t eq = line.find('=');
        Entry entry;
        if (eq != std::string_view::npos && !TrimBlanks(line.substr(0, eq)).empty()) {
            entry.key = std::string(TrimBlanks(line.substr(0, eq)));
            entry.value = std::string(line.substr(eq + 1));
        } else {
            entry.value = std::string(line);
        }
        if (current == nullptr) {
            leadingLines_.push_back(std::string(line));
            continue;
        }
        if (!entry.key.empty()) {
            // The first of duplicate keys is the one readers see.
            current->index.try_emplace(entry.key, current->entries.size());
        }
        current->entries.push_back(std::move(entry));
    }
    modified_ = false;
}

IniFile::Section* IniFile::findSection(std::string_view name)
{
    const auto it = sectionIndex_.find(name);
    return it == sectionIndex_.end() ? nullptr : sections_[it->second].get();
}

const IniFile::Section* IniFile::findSection(std::string_view name) const
{
    const auto it = sectionIndex_.find(name);
    return it == sectionIndex_.end() ? nullptr : sections_[it->second].get();
}

IniFile::Section& IniFile::sectionFor(std::string_view name)
{
    if (Section* s = findSection(name)) {
        return *s;
    }
    auto section = std::make_unique<Section>();
    section->name = oneLine(name);
    sectionIndex_.emplace(std::string(name), sections_.size());
    sections_.push_back(std::move(section));
    return *sections_.back();
}

const IniFile::Entry* IniFile::findEntry(std::string_view section, std::string_view key) const
{
    const Section* s = findSection(section);
    if (s == nullptr) {
        return nullptr;
    }
    const auto it = s->index.find(TrimBlanks(key));
    return it == s->index.end() ? nullptr : &s->entries[it->second];
}

bool IniFile::SectionExists(std::string_view section) const
{
    return findSection(section) != nullptr;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const
{
    return findEntry(section, key) != nullptr;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const
{
    const Entry* e = findEntry(section, key);
    return e == nullptr ? std::string(def) : cookedValue(e->value);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const
{
    const Entry* e = findEntry(section, key);
    std::int32_t value = def;
    if (e == nullptr || !TryParseInteger(cookedValue(e->value), value)) {
        return def;
    }
    return value;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double IniFile::ReadFloat(std::string_view section, std::string_view key, double def) const
{
    const Entry* e = findEntry(section, key);
    double value = def;
    if (e == nullptr || !TryParseDecimal(cookedValue(e->value), value)) {
        return def;
    }
    return value;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    Section& s = sectionFor(section);
    const std::string cleanKey = oneLine(TrimBlanks(key));
    const auto it = s.index.find(cleanKey);
    if (it != s.index.end()) {
        s.entries[it->second].value = oneLine(value);
    } else {
        s.index.emplace(cleanKey, s.entries.size());
        s.entries.push_back(Entry{cleanKey, oneLine(value)});
    }
    modified_ = true;
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::WriteFloat(std::string_view section, std::string_view key, double value)
{
    WriteString(section, key, FormatNumber(value));
}

void IniFile::EraseSection(std::string_view section)
{
    const auto it = sectionIndex_.find(section);
    if (it == sectionIndex_.end()) {
        return;
    }
    sections_[it->second]->erased = true;
    sectionIndex_.erase(it);
    modified_ = true;
}

void IniFile::DeleteKey(std::string_view section, std::string_view key)
{
    Section* s = findSection(section);
    if (s == nullptr) {
        return;
    }
    const std::string_view wanted = TrimBlanks(key);
    const auto it = s->index.find(wanted);
    if (it == s->index.end()) {
        return;
    }
    const std::size_t erasedAt = it->second;
    s->entries[erasedAt].erased = true;
    s->index.erase(it);
    // A later duplicate of the key now becomes the visible one.
    for (std::size_t i = erasedAt + 1; i < s->entries.size(); ++i) {
        const Entry& e = s->entries[i];
        if (!e.erased && !e.key.empty() && SameText(e.key, wanted)) {
            s->index.emplace(e.key, i);
            break;
        }
    }
    modified_ = true;
}

std::vector<std::string> IniFile::ReadSections() const
{
    std::vector<std::string> names;
    for (const auto& s : sections_) {
        if (!s->erased) {
            names.push_back(s->name);
        }
    }
    return names;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const
{
    std::vector<std::string> keys;
    if (const Section* s = findSection(section)) {
        for (const Entry& e : s->entries) {
            if (!e.erased && !e.key.empty()) {
                keys.push_back(e.key);
            }
        }
    }
    return keys;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionValues(std::string_view section) const
{
    std::vector<std::pair<std::string, std::string>> values;
    if (const Section* s = findSection(section)) {
        for (const Entry& e : s->entries) {
            if (!e.erased && !e.key.empty()) {
                values.emplace_back(e.key, cookedValue(e.value));
            }
        }
    }
    return values;
}

void IniFile::UpdateFile()
{
    std::string text;
    for (const std::string& line : leadingLines_) {
        text += line;
        text += "\r\n";
    }
    for (const auto& s : sections_) {
        if (s->erased) {
            continue;
        }
        text += '[';
        text += s->name;
        text += "]\r\n";
        for (const Entry& e : s->entries) {
            if (e.erased) {
                continue;
            }
            if (!e.key.empty()) {
                text += e.key;
                text += '=';
            }
            text += e.value;
            text += "\r\n";
        }
    }

    const FileAccess access = ownerOnly_ ? FileAccess::OwnerOnly : FileAccess::Kept;
    if (TryWriteFileAtomic(path_, text, access)) {
        modified_ = false;
        return;
    }
    // The folder may refuse new files while the file itself is writable.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, ownerOnly_ ? 0600 : 0666);
    if (fd < 0) {
        throw Error("Unable to write to " + path_);
    }
    const bool ok = (!ownerOnly_ || ::fchmod(fd, 0600) == 0) && writeAll(fd, text);
    ::close(fd);
    if (!ok) {
        throw Error("Unable to write to " + path_);
    }
    modified_ = false;
}

} // namespace quillane

namespace quillane {

std::vector<std::string> StringsFromIniSection(const std::string& file, std::string_view section)
{
    const IniFile ini(file);
    const std::size_t count = ini.ReadSection(section).size();
    std::vector<std::string> lines;
    lines.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        lines.push_back(ini.ReadString(section, std::to_string(i), ""));
    }
    return lines;
}

} // namespace quillane
