#include "generator/Generation.h"

#include "common/Error.h"
#include "common/Files.h"
#include "common/IniFile.h"
#include "common/Text.h"
#include "settings/Country.h"
#include "settings/UserData.h"

#include <algorithm>
#include <filesystem>

namespace quillane {

namespace {

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

} // namespace

bool RunGeneration(const GenerationInput& input)
{
    if (!FileExists(SettingsFilePath(input.ProgramDir))) {
        return false;
    }
    GenerationRun run;
    run.In = input;
    run.LayoutDir = input.ProgramDir + "layouts/" + input.Choices.Layout + "/";
    run.Pictures = readPictureSettings(input.ProgramDir);
    run.Languages = runLanguages(CountryTablePath(input.ProgramDir), input.Choices.Countries);

    // Checked before the earlier shop is deleted, which must survive a run that
    // cannot even start.
    if (input.Choices.Layout.empty() || !DirectoryExists(run.LayoutDir)) {
        throw Error("The layout folder \"" + run.LayoutDir + "\" does not exist.");
    }
    // The shop folder is rebuilt from nothing, so nothing of an earlier run stays.
    DeleteFolder(input.ShopDir);
    for (const char* folder : {"", "database/", "pictures/", "pictures/small/", "pictures/medium/", "pictures/large/",
                               "pictures/xxl/"}) {
        if (!ForceDirectories(input.ShopDir + folder)) {
            throw Error("Cannot create the folder " + input.ShopDir + folder);
        }
    }
    CreateFiles(run);
    run.ShopGroups = SelectShopGroups(input.WorkDir + "shop.tmp");
    CreateCountryScripts(run);
    ReplaceWords(run);
    CreateDatabase(run);
    std::error_code ec;
    std::filesystem::remove(input.ShopDir + "translations.js", ec);
    std::filesystem::remove(input.ShopDir + "descriptions.js", ec);
    return true;
}

} // namespace quillane
