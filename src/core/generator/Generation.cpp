#include "core/generator/Generation.h"

#include "core/generator/PictureCache.h"
#include "core/generator/PictureSets.h"
#include "core/generator/ShopSwap.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Text.h"
#include "core/common/messages/GeneratorMessages.h"
#include "core/settings/Country.h"
#include "core/settings/UserData.h"

#include <algorithm>
#include <filesystem>
#include <optional>

namespace quillane {

namespace {

// The message with every text in it, nested ones too, naming to in place of
// from. Messages nest only as deep as the program wraps its own causes.
Message withFolderReplaced(const Message& message, const std::string& from, const std::string& to)
{
    Message result{message.Key, {}};
    for (const MessageArg& arg : message.Args) {
        if (const Message* nested = arg.Nested()) {
            result.Args.emplace_back(withFolderReplaced(*nested, from, to));
        } else {
            result.Args.emplace_back(ReplaceAll(arg.Text(), from, to, true));
        }
    }
    return result;
}

PictureSettings readPictureSettings(const std::string& programDir)
{
    const IniFile ini(SettingsFilePath(programDir));
    PictureSettings p;
    p.MaxWidth = ini.ReadInteger("Pictures", "maxWidth", p.MaxWidth);
    p.MaxHeight = ini.ReadInteger("Pictures", "MaxHeight", p.MaxHeight);
    p.Quality = ini.ReadInteger("Pictures", "Quality", p.Quality);
    p.Optimize = ini.ReadBool("Pictures", "Optimize", p.Optimize);
    return p;
}

// The shop languages of the checked countries, sorted, each once.
std::vector<std::string> runLanguages(const std::string& countryTable, const std::vector<std::string>& countries)
{
    const IniFile table(countryTable);
    std::vector<std::string> languages;
    for (const std::string& country : countries) {
        const std::string first = Split(',', table.ReadString(country, "LanguageDefault", "english"))[0];
        std::string language = LowerCase(table.ReadString(country, "LanguageSelected", first));
        if (language.empty()) {
            language = LowerCase(first);
        }
        if (std::find(languages.begin(), languages.end(), language) == languages.end()) {
            languages.push_back(language);
        }
    }
    std::sort(languages.begin(), languages.end());
    return languages;
}

// The steps in their order, writing into run.In.ShopDir.
void runSteps(GenerationRun& run)
{
    const std::string& shopDir = run.In.ShopDir;
    for (const char* folder : {"database/", "pictures/", "pictures/small/", "pictures/medium/", "pictures/large/",
                               "pictures/xxl/", "pictures/small_2x/", "pictures/medium_2x/", "pictures/large_2x/"}) {
        CreateFolder(shopDir + folder);
    }
    CreateFiles(run);
    run.ShopGroups = SelectShopGroups(run.In.WorkDir + "shop.tmp");
    CreateCountryScripts(run);
    ReplaceWords(run);
    CreateDatabase(run);
    std::error_code ec;
    std::filesystem::remove(shopDir + "translations.js", ec);
    std::filesystem::remove(shopDir + "descriptions.js", ec);
}

} // namespace

void CheckGenerationInput(const GenerationInput& input)
{
    const std::string settings = SettingsFilePath(input.ProgramDir);
    if (!FileExists(settings)) {
        return;
    }
    // Without a home country the shop would have no prices, VAT or words of
    // its own; the start-up status says whether the settings name one.
    TUserData stored;
    if (!ReadUserData(input.ProgramDir, input.Home.Name, stored).empty()) {
        throw Error(msg::GeneratorNoHomeCountry, {settings});
    }
    const std::string table = CountryTablePath(input.ProgramDir);
    if (!FileExists(table)) {
        throw Error(msg::GeneratorNoCountryTable, {table});
    }
    const std::vector<std::string> served = ServedCountries(table);
    if (served.empty()) {
        throw Error(msg::GeneratorNoServedCountry, {table});
    }
    const std::vector<std::string> all = AllCountries(table);
    if (std::find(all.begin(), all.end(), input.Home.Name) == all.end()) {
        throw Error(msg::GeneratorHomeNotInTable, {input.Home.Name, settings, table});
    }
    if (std::find(served.begin(), served.end(), input.Home.Name) == served.end()) {
        throw Error(msg::GeneratorHomeNotServed, {input.Home.Name, table});
    }
    const std::vector<std::string>& run = input.Choices.Countries;
    if (std::find(run.begin(), run.end(), input.Home.Name) == run.end()) {
        throw Error(msg::GeneratorHomeNotChosen, {input.Home.Name});
    }
    for (const std::string& country : run) {
        if (std::find(served.begin(), served.end(), country) == served.end()) {
            throw Error(msg::GeneratorCountryNotServed, {country, table});
        }
    }
}

IniFile OpenGroupsFile(const std::string& workDir)
{
    const std::string path = IncludeTrailingSlash(workDir) + "groups.ini";
    // IniFile reads a folder as empty; here that would lose every group's name.
    if (DirectoryExists(path)) {
        ReadFailure failure;
        failure.Why = Message{msg::FileReasonFolder, {}};
        throw Error(ReadError(path, failure));
    }
    return IniFile(path);
}

bool RunGeneration(const GenerationInput& input)
{
    if (!FileExists(SettingsFilePath(input.ProgramDir))) {
        return false;
    }
    CheckGenerationInput(input);
    // Before anything is written.
    OpenGroupsFile(input.WorkDir);
    GenerationRun run;
    run.In = input;
    run.LayoutDir = input.ProgramDir + "layouts/" + input.Choices.Layout + "/";
    run.Pictures = readPictureSettings(input.ProgramDir);
    run.Languages = runLanguages(CountryTablePath(input.ProgramDir), input.Choices.Countries);
    if (input.Choices.Layout.empty() || !DirectoryExists(run.LayoutDir)) {
        throw Error(msg::GeneratorNoLayoutFolder, {run.LayoutDir});
    }

    ShopBuild build(input.ShopDir);
    run.In.ShopDir = build.Folder();
    // Kept with the project's data and not in the shop, which is published.
    std::optional<PictureCache> cache;
    if (!input.DataDir.empty()) {
        cache.emplace(input.DataDir + "pictures.sets", IncludeTrailingSlash(input.ShopDir), build.Folder(),
                      PictureSettingsFingerprint(run));
        run.Cache = &*cache;
    }
    try {
        runSteps(run);
    } catch (const Error& e) {
        // The merchant knows the shop folder; the build folder is gone again.
        throw Error(withFolderReplaced(e.Said(), build.Folder(), IncludeTrailingSlash(input.ShopDir)));
    }
    build.PutInPlace();
    if (cache) {
        cache->Save();
    }
    return true;
}

} // namespace quillane
