#include "core/catalog/GroupOps.h"

#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/CatalogMessages.h"
#include "core/i18n/LanguageFile.h"

#include <algorithm>
#include <filesystem>

namespace quillane {

GroupOps::GroupOps(CatalogStore& store, Prompter& prompter, std::string mergeQuestion)
    : store_(store), prompter_(prompter), mergeQuestion_(std::move(mergeQuestion))
{
}

GroupOps::Result GroupOps::ChangeGroup(const std::string& oldPath, const std::string& newPath)
{
    const int oldNum = oldPath.empty() ? -1 : store_.GetGroupNum(oldPath);
    const int newNum = store_.GetGroupNum(newPath);
    if (newNum == -1) {
        const SplitArray parts = Split('|', newPath);
        int number = oldNum;
        const int mainNum = store_.GetGroupNum(parts[0]);
        if (parts.size() > 1 && mainNum != -1) {
            if (!store_.IsEmptyGroup(mainNum)) {
                // The main group's items become a sub group of the same name.
                store_.WriteGroupPath(mainNum, parts[0] + "|" + parts[0]);
                if (oldNum == mainNum) {
                    number = -1;
                }
            } else if (number == -1) {
                // The empty main group's number goes to its first sub group.
                number = mainNum;
            } else if (number != mainNum) {
                // A main group with sub groups has no entry of its own; left
                // standing, the empty leaf would hide the group moved under it.
                store_.DeleteGroup(mainNum);
            }
        }
        if (number == -1) {
            number = store_.NewGroupNumber();
        }
        store_.WriteGroupPath(number, newPath);
        return oldNum == -1 ? Result::Created : Result::Renamed;
    }
    if (oldNum == -1 || oldNum == newNum) {
        // The new path exists and no other group moves onto it.
        return Result::Unchanged;
    }
    if (!store_.IsEmptyGroup(newNum)) {
        const auto answer = prompter_.Ask("Merge Groups?", MessageLines(mergeQuestion_), Prompter::Buttons::YesNo,
                                          Prompter::Icon::Question);
        if (answer != Prompter::Answer::Yes) {
            return Result::Declined;
        }
    }
    store_.MergeGroups(oldNum, newNum);
    return Result::Merged;
}

std::vector<std::string> GroupOps::SubGroups(const std::string& mainName) const
{
    std::vector<std::string> subs;
    for (const auto& [main, value] : store_.GroupMap) {
        if (main != mainName) {
            continue;
        }
        const SplitArray parts = Split('|', value);
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            if (parts[i] != "0") {
                subs.push_back(parts[i]);
            }
        }
    }
    return subs;
}

bool GroupOps::AddGroup(const std::string& mainName, const std::string& subName, bool inSubField)
{
    // A group without a name could never be chosen again.
    if (mainName.empty() || (inSubField && subName.empty())) {
        return false;
    }
    // A main group that has sub groups exists without an entry of its own;
    // adding its name again would make a second group of that name.
    const bool mainExists = std::any_of(store_.GroupMap.begin(), store_.GroupMap.end(),
                                        [&](const IniLine& line) { return line.first == mainName; });
    if (!inSubField && mainExists) {
        return false;
    }
    const Result r = inSubField ? ChangeGroup(mainName, mainName + "|" + subName) : ChangeGroup("", mainName);
    store_.NotifyChanged();
    store_.LoadGroups();
    return r != Result::Unchanged;
}

void GroupOps::RenameGroup(const std::string& mainName, const std::string& subName, const std::string& newName)
{
    if (newName.empty()) {
        return;
    }
    if (!subName.empty()) {
        ChangeGroup(mainName + "|" + subName, mainName + "|" + newName);
    } else {
        const std::vector<std::string> subs = SubGroups(mainName);
        if (subs.empty()) {
            ChangeGroup(mainName, newName);
        }
        for (const std::string& c : subs) {
            ChangeGroup(mainName + "|" + c, newName + "|" + c);
        }
    }
    store_.NotifyChanged();
    store_.LoadGroups();
}

void GroupOps::DeleteGroupNode(const std::string& mainName, const std::string& subName)
{
    store_.CurrentItems.clear();
    if (!subName.empty()) {
        const std::vector<std::string> siblings = SubGroups(mainName);
        const int number = store_.GetGroupNum(mainName + "|" + subName);
        if (number >= 0) {
            store_.DeleteGroup(number);
        }
        if (siblings.size() == 1) {
            // The main group stays, as an empty leaf group.
            ChangeGroup("", mainName);
        }
    } else {
        const std::vector<std::string> subs = SubGroups(mainName);
        if (subs.empty()) {
            const int number = store_.GetGroupNum(mainName);
            if (number >= 0) {
                store_.DeleteGroup(number);
            }
        }
        for (const std::string& c : subs) {
            const int number = store_.GetGroupNum(mainName + "|" + c);
            if (number >= 0) {
                store_.DeleteGroup(number);
            }
        }
    }
    store_.NotifyChanged();
    store_.LoadGroups();
}

int GroupOps::ItemsIn(const std::string& mainName, const std::string& subName) const
{
    std::vector<std::string> paths;
    if (!subName.empty()) {
        paths.push_back(mainName + "|" + subName);
    } else {
        for (const std::string& sub : SubGroups(mainName)) {
            paths.push_back(mainName + "|" + sub);
        }
        if (paths.empty()) {
            paths.push_back(mainName);
        }
    }
    const IniFile items(store_.ItemsFile());
    int count = 0;
    for (const std::string& path : paths) {
        const int number = store_.GetGroupNum(path);
        if (number < 0) {
            continue;
        }
        const std::vector<IniLine> lines = std::to_string(number) == store_.CurrentGroup
                                               ? store_.CurrentItems
                                               : items.ReadSectionValues(std::to_string(number));
        for (const IniLine& line : lines) {
            count += line.first != "Versand" ? 1 : 0;
        }
    }
    return count;
}

void GroupOps::MakeMainGroup(const std::string& mainName, const std::string& subName)
{
    if (subName.empty()) {
        return;
    }
    ChangeGroup(mainName + "|" + subName, subName);
    store_.NotifyChanged();
    store_.LoadGroups();
}

void GroupOps::DropGroup(const std::string& mainName, const std::string& subName, const std::string& target)
{
    if (target.empty()) {
        return;
    }
    if (!subName.empty()) {
        ChangeGroup(mainName + "|" + subName, target + "|" + subName);
    } else {
        const std::vector<std::string> subs = SubGroups(mainName);
        if (subs.empty()) {
            if (target != mainName) {
                ChangeGroup(mainName, target + "|" + mainName);
            }
        }
        for (const std::string& c : subs) {
            ChangeGroup(mainName + "|" + c, target + "|" + c);
        }
    }
    store_.NotifyChanged();
    store_.LoadGroups();
}

void GroupOps::SetSurcharge(const std::string& typed, double homeRate)
{
    if (store_.CurrentItems.empty() || store_.CurrentGroup == "-1") {
        return;
    }
    const double rate = homeRate > 0 ? homeRate : 1;
    double amount = 0;
    // Empty is no surcharge.
    const bool amountTyped = TrimBlanks(typed).empty() || TryParseAmount(typed, amount);
    if (!amountTyped || !(amount / rate <= kMaxAmount)) {
        std::string group = store_.CurrentGroup;
        for (const auto& [key, path] : store_.GroupEntries()) {
            if (key == store_.CurrentGroup) {
                group = ReplaceAll(path, "|", " / ");
            }
        }
        if (!amountTyped) {
            throw Error(msg::GroupSurchargeNoAmount, {typed, group, FormatNumber(kMaxAmount)});
        }
        // Typed in a currency worth less than the euro, it may pass the limit once in euro.
        throw Error(msg::GroupSurchargeTooLarge, {typed, group, FormatNumber(kMaxAmount)});
    }
    const std::string value = FormatDecimals(3, amount / rate);
    const int index = store_.IndexOfItem("Versand");
    if (index >= 0) {
        store_.CurrentItems[index].second = value;
    } else {
        store_.CurrentItems.insert(store_.CurrentItems.begin(), IniLine("Versand", value));
    }
    store_.SaveGroup();
    store_.NotifyChanged();
}

void ImportGroups(CatalogStore& store, const std::string& dataDir, const std::string& programDir)
{
    namespace fs = std::filesystem;
    const std::string language = store.CatalogLanguage();
    std::error_code ec;
    fs::remove(store.GroupsFile(), ec);
    IniFile groups(store.GroupsFile());
    {
        // Renames the sections in place, touching nothing else of the file.
        const std::string content = FileExists(store.ItemsFile()) ? ReadFile(store.ItemsFile()) : std::string();
        std::string out;
        out.reserve(content.size() + 64);
        int position = 0;
        std::size_t pos = 0;
        while (pos < content.size()) {
            std::size_t end = content.find('\n', pos);
            end = end == std::string::npos ? content.size() : end + 1;
            const std::string_view line(content.data() + pos, end - pos);
            const std::string trimmedLine = Trim(line);
            const std::string_view trimmed = trimmedLine;
            const std::size_t close = trimmed.find(']');
            if (!trimmed.empty() && trimmed.front() == '[' && close != std::string_view::npos) {
                const std::string name(TrimBlanks(trimmed.substr(1, close - 1)));
                groups.WriteString(language, std::to_string(position), name);
                out += "[" + std::to_string(position) + "]";
                out.append(line.substr(line.find(']') + 1));
                ++position;
            } else {
                out.append(line);
            }
            pos = end;
        }
        if (FileExists(store.ItemsFile())) {
            WriteFileAtomic(store.ItemsFile(), out);
        }
    }
    const std::string languageDir = dataDir + language + "/";
    CreateFolder(languageDir);
    for (const std::string& name : ListFiles(dataDir, "*.txt", 1, false, true, false)) {
        if (CopyFileTo(dataDir + name, languageDir + name)) {
            fs::remove(dataDir + name, ec);
        }
    }
    for (const char* text : {"anfahrt", "service", "profil", "agb"}) {
        const std::string from = programDir + text + ".txt";
        if (FileExists(from) && CopyFileTo(from, programDir + text + "_" + language + ".txt")) {
            fs::remove(from, ec);
        }
    }
    groups.UpdateFile();
}

} // namespace quillane
