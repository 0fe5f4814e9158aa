#include "core/generator/ProductDatabase.h"

#include "core/catalog/CatalogStore.h"
#include "core/catalog/ItemDetails.h"
#include "core/catalog/PictureList.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/GeneratorMessages.h"
#include "core/generator/PictureSets.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <unordered_map>

namespace quillane {

namespace {

constexpr char kPartSeparator = '\xA6';  // between the parts of an item entry
constexpr char kItemSeparator = '|';     // between the item entries of a group
constexpr char kGroupSeparator = '\x86'; // between the items and the shipping surcharge
constexpr const char* kShipping = "Versand";

bool isGroupNumber(const std::string& name)
{
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    std::int32_t number = 0;
    return TryParseInteger(name, number);
}

std::string describeByte(char c)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(c));
    return "\"" + std::string(1, c) + "\" (" + hex + ")";
}

// A value for the group data, which the shop splits at its separators after
// reading it as a single-quoted literal: escaping cannot hide a separator,
// so one is refused; quotes and backslashes are escaped.
std::string dataValue(const std::string& value, const Message& where)
{
    const std::size_t bad = value.find_first_of("|\xA6\x86");
    if (bad != std::string::npos) {
        throw Error(msg::GeneratorSeparatorChar, {where, describeByte(value[bad])});
    }
    return EscapeSingleQuotes(value);
}

// A price or surcharge for the group data; empty reads as 0 in the shop.
std::string amountValue(const std::string& value, const Message& where)
{
    dataValue(value, where);
    return value.empty() ? value : CheckedAmount(value, where);
}

// Each line of the text followed by "<br>"; lines end at CR LF, LF or CR.
std::string htmlLines(const std::string& content)
{
    std::string text;
    for (const std::string& line : SplitLines(content)) {
        text += line;
        text += "<br>";
    }
    return text;
}

void checkLanguage(const std::string& language)
{
    if (language.empty() || language == "." || language == ".." || language.find_first_of("/\\") != std::string::npos) {
        throw Error(msg::GeneratorLanguageFolder, {language});
    }
}

struct Record {
    std::string Key;
    std::string Name; // as stored, for the progress display
    bool Shown = false;
    bool Last = false;
    std::string Entry; // the item entry up to the description flag
    std::string Levels;
    std::size_t Plan = 0;
};

struct ShopGroup {
    std::string Number;
    std::vector<Record> Records;
    std::string Shipping;
};

// Item files are named after the keys: two keys may not share a name, on
// a disk or web server that ignores letter case either.
class FileNames {
public:
    void Claim(const std::string& key, const std::string& group)
    {
        const auto [it, added] = owners_.try_emplace(LowerCase(ItemFileName(key)), key, group);
        if (!added && it->second.first != key) {
            throw Error(msg::GeneratorSharedFiles,
                        {it->second.first, it->second.second, key, group, ItemFileName(key)});
        }
    }

private:
    std::unordered_map<std::string, std::pair<std::string, std::string>> owners_;
};

// The database as read and checked from the working copy. Everything is
// read and checked before the first file is written, so a refused value
// leaves no half-made database behind; the pictures are planned here so
// that they can be made on every core.
struct DatabasePlan {
    std::vector<ShopGroup> Groups;
    std::vector<PicturePlan> Pictures; // one per item key, in the order the keys first appear
    long long ItemCount = 0;           // every item record of the working copy, for the progress
};

// The same item again (in another group): its pictures are made once, and
// its main picture of the later record wins, as it would when written one
// after the other.
void mergeMainPicture(PicturePlan& first, const PicturePlan& again)
{
    if (again.MainTask < 0) {
        return;
    }
    // The double-size files go with the normal ones, or a sharp screen would
    // show the earlier main picture.
    if (first.MainTask >= 0) {
        PictureTask& old = first.Tasks[first.MainTask];
        old.MediumFile.clear();
        old.SmallFile.clear();
        old.Medium2xFile.clear();
        old.Small2xFile.clear();
    }
    first.MainTask = again.MainTask;
    PictureTask& main = first.Tasks[again.MainTask];
    const PictureTask& from = again.Tasks[again.MainTask];
    main.MediumFile = from.MediumFile;
    main.SmallFile = from.SmallFile;
    main.Medium2xFile = from.Medium2xFile;
    main.Small2xFile = from.Small2xFile;
}

class DatabasePlanner {
public:
    explicit DatabasePlanner(const GenerationRun& run)
        : run_(run), items_(run.In.WorkDir + "shop.tmp"), pictureList_(PictureListPath(run.In.WorkDir)),
          groupNames_(OpenGroupsFile(run.In.WorkDir))
    {
    }

    DatabasePlan Plan()
    {
        for (const std::string& section : items_.ReadSections()) {
            for (const auto& entry : items_.ReadSectionValues(section)) {
                plan_.ItemCount += SameText(entry.first, kShipping) ? 0 : 1;
            }
        }
        for (const std::string& number : run_.ShopGroups) {
            plan_.Groups.push_back(planGroup(number));
        }
        return std::move(plan_);
    }

private:
    // Messages name a group as the merchant knows it, not only by its number.
    std::string groupLabel(const std::string& number) const
    {
        const std::string name = groupNames_.ReadString(run_.In.Home.Language, number, "");
        return name.empty() ? number : number + " (" + name + ")";
    }

    ShopGroup planGroup(const std::string& number)
    {
        ShopGroup group;
        group.Number = number;
        bool hasShipping = false;
        for (const auto& [key, value] : items_.ReadSectionValues(number)) {
            if (SameText(key, kShipping)) {
                if (!hasShipping) {
                    group.Shipping = amountValue(value, Message{msg::GeneratorGroupShipping, {groupLabel(number)}});
                    hasShipping = true;
                }
                continue;
            }
            group.Records.push_back(planRecord(number, key, CatalogStore::SplitItem(value)));
        }
        if (!group.Records.empty()) {
            group.Records.back().Last = true;
        }
        return group;
    }

    Record planRecord(const std::string& number, const std::string& key, const ItemFields& fields)
    {
        Record record;
        record.Key = key;
        record.Name = fields.Name;
        record.Shown = fields.Shown != "0";
        if (!record.Shown) {
            return record;
        }
        const std::string group = groupLabel(number);
        // Names the item and which of its fields is wrong.
        const auto item = [&](MessageKey field) {
            return Message{msg::GeneratorItemPart, {key, fields.Name, group, Message{field, {}}}};
        };
        record.Entry = dataValue(fields.Name, item(msg::GeneratorItemName));
        record.Entry += kPartSeparator;
        // It names the item's files, and a file name ends at a NUL.
        if (HasControlChar(key)) {
            throw Error(msg::GeneratorItemControlChar, {key, fields.Name, group});
        }
        record.Entry += dataValue(key, item(msg::GeneratorItemOrderNumber));
        record.Entry += kPartSeparator;
        record.Entry += amountValue(fields.Price, item(msg::GeneratorItemPrice));
        record.Entry += kPartSeparator;
        record.Levels = dataValue(fields.Discounts, item(msg::GeneratorItemDiscounts));
        fileNames_.Claim(key, number);
        PicturePlan pictures = PlanPictures(run_, pictureList_, key, fields.Picture);
        const auto [known, added] = planOfKey_.try_emplace(key, plan_.Pictures.size());
        if (added) {
            plan_.Pictures.push_back(std::move(pictures));
        } else {
            mergeMainPicture(plan_.Pictures[known->second], pictures);
        }
        record.Plan = known->second;
        return record;
    }

    const GenerationRun& run_;
    const IniFile items_;
    const IniFile pictureList_;
    const IniFile groupNames_;
    FileNames fileNames_;
    std::unordered_map<std::string, std::size_t> planOfKey_;
    DatabasePlan plan_;
};

// The database is written as a few scripts of about this size each, not
// one per group: a browser asks for them all at once, and on a connection
// of one request at a time every request costs a round trip.
constexpr std::size_t kDatabaseScriptBytes = 64 * 1024;

// The part of a database script that hands group n's data to the shop and
// moves the progress bar to the size of the data so far.
std::string groupScript(const std::string& data, long long sizeSoFar, std::size_t n)
{
    return "gd = '" + data + "'; pl(" + std::to_string(sizeSoFar) + "); parent.CreateItemList(gd, " +
           std::to_string(n) + "); ";
}

// The end of database script n: it loads the next one, the last one the
// categories page.
std::string scriptEnd(std::size_t n, bool last)
{
    if (!last) {
        return "d.writeln('<script src=\\\"database/db_" + std::to_string(n + 1) + ".js\\\"><\\/script>');";
    }
    return "location.href = 'categories.html';";
}

// The description script template, with the line ends every copy gets.
std::string descriptionTemplate(const GenerationRun& run)
{
    std::string text;
    for (const std::string& line : SplitLines(ReadFile(run.In.ShopDir + "descriptions.js"))) {
        text += line;
        text += "\r\n";
    }
    return text;
}

// CreateDescription with the template read once for the whole run and the
// folders made: per item only its texts are read and its scripts written.
std::string writeDescriptions(const GenerationRun& run, const std::string& itemKey, const std::string& templateText)
{
    const std::string& dataDir = run.In.DataDir;
    const std::string& home = run.In.Home.Language;
    const std::string name = ItemFileName(itemKey);
    std::string flag = "0";
    std::string text;
    for (const std::string& language : run.Languages) {
        checkLanguage(language);
        std::string source = DescriptionPath(dataDir, language, itemKey);
        bool exists = FileExists(source);
        if (!exists) {
            source = DescriptionPath(dataDir, home, itemKey);
            exists = FileExists(source);
        }
        // Without a text of its own a language keeps the text of the one before.
        if (exists) {
            text = htmlLines(ReadFile(source));
            flag = "1";
        }
        const std::string script =
            "p.text['" + EscapeSingleQuotes(itemKey) + "']='" + TidyHtmlText(EscapeSingleQuotes(text)) + "';";
        WriteTextFile(run.In.ShopDir + "countries/languages/" + language + "/descriptions/" + name + ".js",
                      ReplaceAll(templateText, "[DESCRIPTION]", script));
    }
    return flag;
}

// Writes the planned database, with the pictures made on pictureThreads
// threads while the group data is put together.
void writeDatabase(GenerationRun& run, DatabasePlan& plan, int pictureThreads)
{
    std::vector<PictureTask> tasks;
    std::vector<std::size_t> planEnd;
    for (PicturePlan& pictures : plan.Pictures) {
        for (PictureTask& task : pictures.Tasks) {
            tasks.push_back(std::move(task));
        }
        planEnd.push_back(tasks.size());
    }
    CreatePictureFolders(run);
    const std::string databaseFolder = run.In.ShopDir + "database/";
    CreateFolder(databaseFolder);
    PictureWorkers workers(run, std::move(tasks), pictureThreads);
    std::optional<std::string> descriptionScript; // read with the first description

    const ProgressSink& progress = run.In.Progress;
    long long size = 0;
    std::string script;      // the database script being filled
    std::size_t scripts = 0; // database scripts written
    long long handled = 0;
    int percent = 0;
    for (std::size_t n = 0; n < plan.Groups.size(); ++n) {
        const ShopGroup& group = plan.Groups[n];
        std::string data;
        for (const Record& record : group.Records) {
            if (record.Shown) {
                workers.WaitFor(planEnd[record.Plan]);
                data += record.Entry;
                if (!descriptionScript) {
                    for (const std::string& language : run.Languages) {
                        checkLanguage(language);
                        CreateFolder(run.In.ShopDir + "countries/languages/" + language + "/descriptions/");
                    }
                    descriptionScript = descriptionTemplate(run);
                }
                data += writeDescriptions(run, record.Key, *descriptionScript);
                data += std::to_string(plan.Pictures[record.Plan].Count);
                data += kPartSeparator;
                data += record.Levels;
                if (!record.Last) {
                    data += kItemSeparator;
                }
                percent = ProgressPercent(handled, plan.ItemCount);
            }
            if (progress) {
                progress(percent, record.Name);
            }
            ++handled;
        }
        data += kGroupSeparator;
        data += group.Shipping;
        size += static_cast<long long>(data.size());
        script += groupScript(data, size, n);
        const bool last = n + 1 == plan.Groups.size();
        if (last || script.size() >= kDatabaseScriptBytes) {
            script += scriptEnd(scripts, last);
            WriteTextFile(databaseFolder + "db_" + std::to_string(scripts) + ".js", script);
            script.clear();
            ++scripts;
        }
    }
    ReplaceInFile(run.In.ShopDir + "var_init.js", "[DBSIZE]", std::to_string(size));
    ReplaceInFile(run.In.ShopDir + "var_init.js", "[DBSCRIPTS]", std::to_string(scripts));
    run.DatabaseSize = size;
    if (progress) {
        progress(100, {});
    }
}

} // namespace

int ProgressPercent(long long handled, long long total)
{
    if (total <= 0) {
        return 0;
    }
    const long long scaled = handled * 100;
    long long percent = scaled / total;
    const long long twice = 2 * (scaled % total);
    if (twice > total || (twice == total && percent % 2 != 0)) {
        ++percent;
    }
    return static_cast<int>(percent);
}

std::vector<std::string> SelectShopGroups(const std::string& itemsFile)
{
    const IniFile items(itemsFile);
    std::vector<std::string> groups;
    for (const std::string& section : items.ReadSections()) {
        if (!isGroupNumber(section)) {
            continue;
        }
        for (const auto& [key, value] : items.ReadSectionValues(section)) {
            if (!SameText(key, kShipping) && CatalogStore::SplitItem(value).Shown != "0") {
                groups.push_back(section);
                break;
            }
        }
    }
    return groups;
}

std::string CreateDescription(const GenerationRun& run, const std::string& itemKey)
{
    for (const std::string& language : run.Languages) {
        checkLanguage(language);
        CreateFolder(run.In.ShopDir + "countries/languages/" + language + "/descriptions/");
    }
    return writeDescriptions(run, itemKey, descriptionTemplate(run));
}

void CreateDatabase(GenerationRun& run, int pictureThreads)
{
    DatabasePlan plan = DatabasePlanner(run).Plan();
    writeDatabase(run, plan, pictureThreads);
}

} // namespace quillane
