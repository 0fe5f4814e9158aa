#include "core/common/IniFile.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Text.h"
#include "core/common/messages/CommonMessages.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
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

namespace {

// Upper case of every byte, looked up once per file rather than per character.
const unsigned char* upperTable()
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (std::size_t i = 0; i < t.size(); ++i) {
            t[i] = static_cast<unsigned char>(UpperChar(static_cast<char>(i)));
        }
        return t;
    }();
    return table.data();
}

std::size_t nameHash(std::string_view name)
{
    const unsigned char* upper = upperTable();
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : name) {
        h = (h ^ upper[static_cast<unsigned char>(c)]) * 1099511628211ull;
    }
    return static_cast<std::size_t>(h ^ (h >> 32));
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    const unsigned char* upper = upperTable();
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && upper[static_cast<unsigned char>(a[i])] != upper[static_cast<unsigned char>(b[i])]) {
            return false;
        }
    }
    return true;
}

bool hasLineBreak(std::string_view s)
{
    // Two memchr passes are far quicker than one find_first_of over a set.
    return !s.empty() &&
           (std::memchr(s.data(), '\n', s.size()) != nullptr || std::memchr(s.data(), '\r', s.size()) != nullptr);
}

} // namespace

template <class Matches> std::uint32_t IniFile::NameTable::find(std::size_t hash, const Matches& matches) const
{
    if (slots_.empty()) {
        return kNone;
    }
    const std::size_t mask = slots_.size() - 1;
    const auto shortHash = static_cast<std::uint32_t>(hash);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.item == kEmpty) {
            return kNone;
        }
        if (slot.item != kErased && slot.hash == shortHash && matches(slot.item)) {
            return slot.item;
        }
    }
}

void IniFile::NameTable::insert(std::size_t hash, std::uint32_t item)
{
    // At most three quarters filled, so that a search always meets an empty slot.
    if ((filled_ + 1) * 4 > slots_.size() * 3) {
        rebuild(live_ + 1);
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].item != kEmpty && slots_[i].item != kErased) {
        i = (i + 1) & mask;
    }
    if (slots_[i].item == kEmpty) {
        ++filled_;
    }
    slots_[i] = Slot{static_cast<std::uint32_t>(hash), item};
    ++live_;
}

template <class Matches> void IniFile::NameTable::erase(std::size_t hash, const Matches& matches)
{
    if (slots_.empty()) {
        return;
    }
    const std::size_t mask = slots_.size() - 1;
    const auto shortHash = static_cast<std::uint32_t>(hash);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.item == kEmpty) {
            return;
        }
        if (slot.item != kErased && slot.hash == shortHash && matches(slot.item)) {
            slot.item = kErased;
            --live_;
            return;
        }
    }
}

void IniFile::NameTable::reserve(std::size_t count)
{
    if (count * 4 > slots_.size() * 3) {
        rebuild(count);
    }
}

void IniFile::NameTable::clear()
{
    slots_ = {};
    filled_ = 0;
    live_ = 0;
}

void IniFile::NameTable::rebuild(std::size_t count)
{
    // Twice the room the items need; erased slots are dropped on the way.
    std::size_t size = 16;
    while (size < count * 2) {
        size *= 2;
    }
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(size, Slot{});
    filled_ = 0;
    const std::size_t mask = size - 1;
    for (const Slot& slot : old) {
        if (slot.item == kEmpty || slot.item == kErased) {
            continue;
        }
        std::size_t i = slot.hash & mask;
        while (slots_[i].item != kEmpty) {
            i = (i + 1) & mask;
        }
        slots_[i] = slot;
        ++filled_;
    }
}

std::string_view IniFile::TextStore::add(std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    if (text.size() > room_) {
        constexpr std::size_t kChunk = 64 * 1024;
        room_ = std::max(kChunk, text.size());
        // Not zeroed first: every byte handed out is written below.
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(room_));
        chunkUsed_ = 0;
    }
    char* out = chunks_.back().get() + chunkUsed_;
    std::memcpy(out, text.data(), text.size());
    // A line break would end the line early; rare, so looked for only once.
    if (hasLineBreak(text)) {
        std::replace_if(
            out, out + text.size(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    }
    chunkUsed_ += text.size();
    room_ -= text.size();
    size_ += text.size();
    return {out, text.size()};
}

IniFile::IniFile(std::string path) : path_(std::move(path)), text_(std::make_unique<std::string>())
{
    ReadFailure failure;
    if (TryReadFile(path_, *text_, &failure)) {
        parse(*text_);
    } else if (!failure.Missing && !DirectoryExists(path_)) {
        // Reading it as empty would let the next write replace what it holds.
        // A folder holds nothing to lose, and no write can replace it.
        throw Error(ReadError(path_, failure));
    }
}

IniFile::~IniFile() = default;
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;

void IniFile::parse(std::string_view text)
{
    // The lines first, into one list sized once; then each section's table
    // of keys, sized once from the count of its keys.
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    entries_.reserve(lines);
    std::vector<std::uint32_t> keyCounts;
    std::uint32_t current = kNone;
    const char* pos = text.data();
    const char* const end = pos + text.size();
    while (pos < end) {
        const auto* lineEnd = static_cast<const char*>(std::memchr(pos, '\n', static_cast<std::size_t>(end - pos)));
        if (lineEnd == nullptr) {
            lineEnd = end;
        }
        std::string_view line(pos, static_cast<std::size_t>(lineEnd - pos));
        pos = lineEnd == end ? end : lineEnd + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::string_view trimmed = TrimBlanks(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            if (close != std::string_view::npos) {
                // Repeated headers continue the section they name first.
                current = sectionFor(TrimBlanks(trimmed.substr(1, close - 1)));
                keyCounts.resize(sections_.size());
                continue;
            }
            // A header without "]" is kept as it stands but names nothing.
        }
        if (current == kNone) {
            leadingLines_.push_back(line);
            continue;
        }
        Entry entry;
        const std::size_t eq = line.find('=');
        const std::string_view key = eq == std::string_view::npos ? std::string_view() : TrimBlanks(line.substr(0, eq));
        if (!key.empty()) {
            entry.key = key;
            entry.value = line.substr(eq + 1);
            ++keyCounts[current];
        } else {
            entry.value = line;
        }
        append(current, entry);
    }
    for (std::size_t s = 0; s < sections_.size(); ++s) {
        sections_[s].index.reserve(keyCounts[s]);
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (e.key.empty()) {
            continue;
        }
        // The first of duplicate keys is the one readers see.
        Section& s = sections_[e.section];
        const std::size_t hash = nameHash(e.key);
        if (findKey(e.section, e.key, hash) == kNone) {
            s.index.insert(hash, static_cast<std::uint32_t>(i));
        } else {
            ++s.hiddenDuplicates;
        }
    }
    modified_ = false;
}

void IniFile::append(std::uint32_t section, const Entry& entry)
{
    const auto at = static_cast<std::uint32_t>(entries_.size());
    entries_.push_back(entry);
    entries_.back().section = section;
    Section& s = sections_[section];
    if (s.last == kNone) {
        s.first = at;
    } else {
        entries_[s.last].next = at;
    }
    s.last = at;
}

std::uint32_t IniFile::findSection(std::string_view name) const
{
    return sectionIndex_.find(nameHash(name), [&](std::uint32_t i) { return sameName(sections_[i].name, name); });
}

std::uint32_t IniFile::sectionFor(std::string_view name)
{
    if (lastWritten_ != kNone && !sections_[lastWritten_].erased && sameName(sections_[lastWritten_].name, name)) {
        return lastWritten_;
    }
    const std::size_t hash = nameHash(name);
    const std::uint32_t found =
        sectionIndex_.find(hash, [&](std::uint32_t i) { return sameName(sections_[i].name, name); });
    if (found != kNone) {
        return lastWritten_ = found;
    }
    const auto at = static_cast<std::uint32_t>(sections_.size());
    sections_.emplace_back().name = std::string(name);
    sectionIndex_.insert(hash, at);
    return lastWritten_ = at;
}

std::uint32_t IniFile::findKey(std::uint32_t section, std::string_view key, std::size_t hash) const
{
    return sections_[section].index.find(hash, [&](std::uint32_t i) { return sameName(entries_[i].key, key); });
}

const IniFile::Entry* IniFile::findEntry(std::string_view section, std::string_view key) const
{
    const std::uint32_t at = findSection(section);
    if (at == kNone) {
        return nullptr;
    }
    key = TrimBlanks(key);
    const std::uint32_t i = findKey(at, key, nameHash(key));
    return i == kNone ? nullptr : &entries_[i];
}

bool IniFile::inFileText(std::string_view text) const
{
    const std::less<const char*> before;
    return !before(text.data(), text_->data()) && before(text.data(), text_->data() + text_->size());
}

void IniFile::dropReplaced(std::size_t bytes)
{
    replacedBytes_ += bytes;
    // Values written over and over would otherwise pile up; once most of what
    // was written is no longer used, what is still used moves to a fresh store.
    constexpr std::size_t kSlack = 1 << 20;
    if (replacedBytes_ < kSlack || replacedBytes_ * 2 < written_.size()) {
        return;
    }
    TextStore fresh;
    for (Entry& e : entries_) {
        if (e.erased) {
            continue;
        }
        if (!e.key.empty() && !inFileText(e.key)) {
            e.key = fresh.add(e.key);
        }
        if (!e.value.empty() && !inFileText(e.value)) {
            e.value = fresh.add(e.value);
        }
    }
    written_ = std::move(fresh);
    replacedBytes_ = 0;
}

bool IniFile::SectionExists(std::string_view section) const
{
    return findSection(section) != kNone;
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
    const std::uint32_t at = sectionFor(section);
    key = TrimBlanks(key);
    std::string cleaned;
    if (hasLineBreak(key)) {
        cleaned = oneLine(key);
        key = cleaned;
    }
    const std::size_t hash = nameHash(key);
    const std::uint32_t i = findKey(at, key, hash);
    modified_ = true;
    if (i != kNone) {
        Entry& e = entries_[i];
        const std::string_view old = e.value;
        e.value = written_.add(value);
        if (!inFileText(old)) {
            dropReplaced(old.size());
        }
        return;
    }
    sections_[at].index.insert(hash, static_cast<std::uint32_t>(entries_.size()));
    Entry e;
    e.key = written_.add(key);
    e.value = written_.add(value);
    append(at, e);
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

std::size_t IniFile::erase(Entry& e)
{
    const std::size_t freed = (inFileText(e.key) ? 0 : e.key.size()) + (inFileText(e.value) ? 0 : e.value.size());
    e.key = {};
    e.value = {};
    e.erased = true;
    return freed;
}

void IniFile::EraseSection(std::string_view section)
{
    const std::uint32_t at = findSection(section);
    if (at == kNone) {
        return;
    }
    sectionIndex_.erase(nameHash(section), [at](std::uint32_t i) { return i == at; });
    Section& s = sections_[at];
    std::size_t freed = 0;
    for (std::uint32_t i = s.first; i != kNone; i = entries_[i].next) {
        freed += erase(entries_[i]);
    }
    s.index.clear();
    s.erased = true;
    s.first = s.last = kNone;
    s.hiddenDuplicates = 0;
    modified_ = true;
    dropReplaced(freed);
}

void IniFile::DeleteKey(std::string_view section, std::string_view key)
{
    const std::uint32_t at = findSection(section);
    if (at == kNone) {
        return;
    }
    const std::string_view wanted = TrimBlanks(key);
    const std::size_t hash = nameHash(wanted);
    const std::uint32_t erasedAt = findKey(at, wanted, hash);
    if (erasedAt == kNone) {
        return;
    }
    Section& s = sections_[at];
    s.index.erase(hash, [erasedAt](std::uint32_t i) { return i == erasedAt; });
    // A later duplicate of the key now becomes the visible one.
    if (s.hiddenDuplicates > 0) {
        for (std::uint32_t i = entries_[erasedAt].next; i != kNone; i = entries_[i].next) {
            const Entry& e = entries_[i];
            if (!e.erased && !e.key.empty() && sameName(e.key, wanted)) {
                s.index.insert(hash, i);
                --s.hiddenDuplicates;
                break;
            }
        }
    }
    const std::size_t freed = erase(entries_[erasedAt]);
    modified_ = true;
    dropReplaced(freed);
}

std::vector<std::string> IniFile::ReadSections() const
{
    std::vector<std::string> names;
    for (const Section& s : sections_) {
        if (!s.erased) {
            names.push_back(oneLine(s.name));
        }
    }
    return names;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const
{
    std::vector<std::string> keys;
    const std::uint32_t at = findSection(section);
    if (at != kNone) {
        for (std::uint32_t i = sections_[at].first; i != kNone; i = entries_[i].next) {
            const Entry& e = entries_[i];
            if (!e.erased && !e.key.empty()) {
                keys.emplace_back(e.key);
            }
        }
    }
    return keys;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionValues(std::string_view section) const
{
    std::vector<std::pair<std::string, std::string>> values;
    const std::uint32_t at = findSection(section);
    if (at != kNone) {
        for (std::uint32_t i = sections_[at].first; i != kNone; i = entries_[i].next) {
            const Entry& e = entries_[i];
            if (!e.erased && !e.key.empty()) {
                values.emplace_back(e.key, cookedValue(e.value));
            }
        }
    }
    return values;
}

std::string IniFile::FileText() const
{
    // Sized first, so that the text is built without moving it around.
    std::size_t size = 0;
    for (const std::string_view line : leadingLines_) {
        size += line.size() + 2;
    }
    for (const Section& s : sections_) {
        if (!s.erased) {
            size += s.name.size() + 4;
        }
    }
    for (const Entry& e : entries_) {
        if (!e.erased) {
            size += e.key.size() + 1 + e.value.size() + 2;
        }
    }
    std::string text;
    text.reserve(size);
    for (const std::string_view line : leadingLines_) {
        text += line;
        text += "\r\n";
    }
    for (const Section& s : sections_) {
        if (s.erased) {
            continue;
        }
        text += '[';
        text += oneLine(s.name);
        text += "]\r\n";
        for (std::uint32_t i = s.first; i != kNone; i = entries_[i].next) {
            const Entry& e = entries_[i];
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
    return text;
}

void IniFile::UpdateFile()
{
    const std::string text = FileText();
    const FileAccess access = ownerOnly_ ? FileAccess::OwnerOnly : FileAccess::Kept;
    if (TryWriteFileAtomic(path_, text, access)) {
        modified_ = false;
        return;
    }
    // The folder may refuse new files while the file itself is writable.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, ownerOnly_ ? 0600 : 0666);
    if (fd < 0) {
        throw Error(msg::IniCannotWrite, {path_});
    }
    const bool ok = (!ownerOnly_ || ::fchmod(fd, 0600) == 0) && writeAll(fd, text);
    ::close(fd);
    if (!ok) {
        throw Error(msg::IniCannotWrite, {path_});
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
