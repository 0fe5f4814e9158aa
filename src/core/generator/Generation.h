#pragma once

#include "core/common/IniFile.h"
#include "core/settings/Country.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace quillane {

class PictureCache;

// The merchant's choices for a run, as the generation dialog shows them.
struct GenerationChoices {
    std::string ItemsStd = "10"; // items per page, standard view
    std::string ItemsPro = "5";  // preview view
    std::string ItemsDtl = "3";  // detail view
    int PriceDisplay = 0;        // 0 net, 1 gross
    std::string Layout;          // a folder of layouts/ in the program folder
    int DefaultView = 1;         // 0 detail, 1 preview, 2 standard
    bool Xxl = false;            // also extra-large pictures
    // The checked countries in list order (the home country among them).
    std::vector<std::string> Countries;
};

// Limits of the generated pictures, from section Pictures of quillane.ini.
struct PictureSettings {
    int MaxWidth = 200;
    int MaxHeight = 400;
    int Quality = 75;
    bool Optimize = true;
};

// Told for every item handled: the percentage and the item's name field.
using ProgressSink = std::function<void(int percent, const std::string& itemName)>;

// Everything a run reads, passed in so that the window, the command-line
// tool and tests run it on any folders.
struct GenerationInput {
    std::string ProgramDir;  // quillane.ini, countries.dat, userprofil.ini, layouts/
    std::string LanguageDir; // the language files
    std::string WorkDir;     // the working copy: shop.tmp, groups.ini, pictures.ini
    std::string DataDir;     // the project's data: shopprofil.ini, descriptions, shop texts
    std::string ShopDir;     // replaced by the new shop once all of it is written
    TCountry Home;           // the home country as read at start-up
    std::string UserId;      // the order-service account
    GenerationChoices Choices;
    std::tm RunDate{}; // the day the shop says it was made; the caller reads the clock
    ProgressSink Progress;
    // Every picture size but the extra large also at twice its size; off
    // only where the time it costs is measured.
    bool DoublePictures = true;
};

// The state of one run, handed from step to step.
struct GenerationRun {
    GenerationInput In;
    PictureSettings Pictures;
    std::string LayoutDir;               // ProgramDir + "layouts/" + layout + "/"
    std::vector<std::string> Languages;  // the run languages, sorted, each once
    std::vector<std::string> ShopGroups; // section names of the shop groups, in group-index order
    long long DatabaseSize = 0;          // [DBSIZE]
    PictureCache* Cache = nullptr;       // the sets of the last run, when there is a shop to take them from
};

// Refuses, before anything is written, a run that could only build a broken
// shop: a program not set up, no usable country table or home country, or
// countries that are not served. Throws an error that names what is wrong.
// A missing quillane.ini is left to RunGeneration, which stops without a word.
void CheckGenerationInput(const GenerationInput& input);

// The group names of the working copy, workDir + "groups.ini"; a missing
// file has none. Throws an error naming the file when something is there
// that cannot be read (a folder, a FIFO, a file too large, no permission):
// read as empty, it would give a shop whose groups have no names.
IniFile OpenGroupsFile(const std::string& workDir);

// The whole run in its fixed order. The shop is built beside ShopDir and
// replaces it only when the run succeeded, so a refused or interrupted run
// leaves the earlier shop. Returns false without writing anything when
// quillane.ini is missing; throws an error naming the file that failed.
bool RunGeneration(const GenerationInput& input);

// The steps, in the order the run calls them.
void CreateFiles(GenerationRun& run); // templates, layout, logo and sketch
std::vector<std::string> SelectShopGroups(const std::string& itemsFile);
void CreateCountryScripts(GenerationRun& run); // words, menu, discounts, country scripts, country list
void ReplaceWords(GenerationRun& run);         // the placeholders of the pages and scripts, shop texts
// Database, descriptions, pictures, [DBSIZE]. The pictures are made on pictureThreads threads (0: two per
// core, 1: the caller's thread only); the files written are the same for every number.
void CreateDatabase(GenerationRun& run, int pictureThreads = 0);
// The picture set of one item; returns the number of pictures written.
int CreatePictures(GenerationRun& run, const std::string& itemKey, const std::string& mainPicture);

} // namespace quillane
