#pragma once

#include "core/catalog/CatalogStore.h"
#include "core/catalog/ItemOps.h"
#include "core/i18n/LanguageFile.h"
#include "core/settings/AppDirs.h"
#include "core/settings/UserData.h"

#include <string>

namespace quillane::gui {

// The state the whole application shares: owned by the application and
// handed to the windows that need it.
struct AppState {
    explicit AppState(const std::string& programDir) : Dirs(MakeAppDirs(programDir)), Store(Dirs.TempDir) {}

    TAppDirs Dirs;
    TUserData User;
    std::string StartupStatus;
    // Used while the status is "setup"; chosen from the system language.
    std::string DefaultCountry = "Ireland";
    TextTables Texts;
    // The language the windows were last translated into.
    std::string InterfaceLanguage = "english";
    bool TranslationMode = false;
    // How prices are typed into the item panel.
    PriceEntry PriceEntryMode = PriceEntry::Net;
    CatalogStore Store;

    bool inSetup() const { return StartupStatus == kSetupStatus; }
};

} // namespace quillane::gui
