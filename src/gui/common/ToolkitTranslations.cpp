#include "gui/common/ToolkitTranslations.h"

#include "core/i18n/LanguageFile.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace quillane::gui {

namespace {
// The catalogs of the toolkit's modules the program shows texts of.
const char* const kCatalogs[] = {"qtbase_", "qtwebengine_"};
const char* const kObjectName = "quillaneToolkitTranslator";
} // namespace

bool useToolkitLanguage(const std::string& language)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return false;
    }
    const auto loaded = app->findChildren<QTranslator*>(QLatin1String(kObjectName), Qt::FindDirectChildrenOnly);
    for (QTranslator* old : loaded) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    const QString code = QString::fromStdString(LanguageCode(language));
    // English is what the toolkit speaks without a catalog.
    if (code.isEmpty() || code == QLatin1String("en")) {
        return code == QLatin1String("en");
    }
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool any = false;
    for (const char* catalog : kCatalogs) {
        auto* translator = new QTranslator(app);
        translator->setObjectName(QLatin1String(kObjectName));
        if (translator->load(QLatin1String(catalog) + code, folder)) {
            QCoreApplication::installTranslator(translator);
            any = true;
        } else {
            delete translator;
        }
    }
    return any;
}

} // namespace quillane::gui
