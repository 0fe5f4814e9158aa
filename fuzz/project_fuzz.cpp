// A project file with its data folder, opened as the command-line tool opens
// it, then its groups, items, descriptions and shop profile read. Parts: the
// .shp file, groups.ini, pictures.ini, shopprofil.ini and the description of
// item "A1".

#include "FuzzSupport.h"
#include "core/catalog/CatalogStore.h"
#include "core/catalog/ItemDetails.h"
#include "core/catalog/Project.h"
#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "core/common/Prompter.h"
#include "core/i18n/LanguageFile.h"
#include "core/settings/AppDirs.h"
#include "core/settings/ShopProfile.h"

#include <filesystem>

namespace {

class QuietPrompter : public quillane::Prompter {
public:
    Answer Ask(const std::string&, const std::string&, Buttons, Icon) override { return Answer::No; }
    void Tell(const std::string&, const std::string&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillane;
    const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), 5);
    const std::string programDir = fuzz::CleanScratch("program/");
    const std::string tempDir = fuzz::CleanScratch("work/");
    const std::string dataDir = programDir + "Projekte/Shop/daten/";
    std::filesystem::create_directories(dataDir + "english");
    const char* names[] = {"", "groups.ini", "pictures.ini", "shopprofil.ini", "english/A1.txt"};
    fuzz::WriteBytes(programDir + "Projekte/Shop.shp", parts[0]);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        fuzz::WriteBytes(dataDir + names[i], parts[i]);
    }
    try {
        TAppDirs dirs = MakeAppDirs(programDir);
        dirs.TempDir = tempDir;
        CatalogStore store(tempDir);
        store.SetLanguages("english", "english");
        QuietPrompter quiet;
        const TextTables tables;
        Project project(dirs, store, quiet, tables);
        project.Open(programDir + "Projekte/Shop.shp");
        store.LoadGroups();
        for (int group = 0; group < 64; ++group) {
            if (!store.IsEmptyGroup(group)) {
                store.LoadGroupItems(group);
                for (const IniLine& item : store.CurrentItems) {
                    CatalogStore::SplitItem(item.second);
                    ReadDescription(dirs.DataDir, "english", "english", item.first);
                }
            }
        }
        DiscountLevels(dirs.DataDir);
        const IniFile profile = OpenShopProfile(dirs.DataDir);
        ReadShopLayout(profile, GeneratorLayoutDefaults());
    } catch (const Error&) {
    }
    return 0;
}
