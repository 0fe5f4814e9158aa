#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Resources.h"
#include "core/common/messages/GeneratorMessages.h"
#include "core/generator/Generation.h"
#include "core/generator/TemplateSubstitution.h"
#include "core/imaging/Picture.h"
#include "core/settings/CompanyProfile.h"

#include <filesystem>
#include <utility>

namespace quillane {

namespace {

// The embedded templates and the names they get in the shop, in the order
// they are written. A layout file of the same name replaces one.
constexpr std::pair<std::string_view, std::string_view> kTemplates[] = {
    {"QUILLANE", "quillane.js"},
    {"PAGES", "pages.js"},
    {"VARINIT", "var_init.js"},
    {"TRANSLATIONS", "translations.js"},
    {"DESCRIPTIONS", "descriptions.js"},
    {"MENUCNFG", "menucnfg.js"},
    {"TRNSLATOR", "translator.js"},
    {"LOADER", "preloader.html"},
    {"LOADBAR", "loadbar.gif"},
    {"MIE", "mie.gif"},
    {"QLB", "qlb.gif"},
    {"HTACCESS", ".htaccess"},
};

// Only pages named exactly ".html" get the marker comments; a layout may
// keep .htm or .HTML pages as they are.
bool isLayoutPage(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && name.compare(dot, std::string::npos, ".html") == 0;
}

// The company logo or directions sketch fitted into its box; a path that
// names no file is skipped, the pages then show no picture.
void writeCompanyPicture(const std::string& source, const std::string& target, int width, int height, int quality)
{
    if (source.empty() || !FileExists(source)) {
        return;
    }
    Picture picture;
    LoadPicture(source, picture);
    if (picture.Empty()) {
        // A path without extension reads as an embedded name and loads nothing.
        throw Error(msg::GeneratorCompanyPicture, {source});
    }
    SaveScaledJpeg(picture, target, width, height, quality);
}

void checkLayoutFolder(const GenerationRun& run)
{
    namespace fs = std::filesystem;
    const fs::path layouts = fs::path(IncludeTrailingSlash(run.In.ProgramDir) + "layouts/").lexically_normal();
    if (run.LayoutDir.empty() || fs::path(IncludeTrailingSlash(run.LayoutDir)).lexically_normal() == layouts) {
        throw Error(msg::GeneratorNoLayoutChosen, {layouts.string()});
    }
    if (!DirectoryExists(run.LayoutDir)) {
        throw Error(msg::GeneratorNoLayoutFolder, {run.LayoutDir});
    }
}

} // namespace

void CreateFiles(GenerationRun& run)
{
    checkLayoutFolder(run);
    const std::string shopDir = IncludeTrailingSlash(run.In.ShopDir);
    const std::string layoutDir = IncludeTrailingSlash(run.LayoutDir);
    const CompanyProfile company = ReadCompanyProfile(IncludeTrailingSlash(run.In.ProgramDir));

    for (const auto& [resource, name] : kTemplates) {
        ResourceToFile(resource, shopDir + std::string(name));
    }
    for (const std::string& name : ListFiles(layoutDir, "*.*", 1, false, true, false)) {
        const std::string target = shopDir + name;
        if (!CopyFileTo(layoutDir + name, target)) {
            throw Error(msg::GeneratorCannotCopyLayout, {layoutDir + name, target});
        }
        if (isLayoutPage(name)) {
            ReplaceMarkerComments(target);
        }
    }
    writeCompanyPicture(company.Logo, shopDir + "logo.jpg", 140, 80, run.Pictures.Quality);
    writeCompanyPicture(company.Sketch, shopDir + "anfahrt.jpg", 350, 700, run.Pictures.Quality);
}

} // namespace quillane
