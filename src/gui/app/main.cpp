#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/messages/OrdersMessages.h"
#include "core/i18n/LanguageFile.h"
#include "core/settings/AppDirs.h"
#include "core/settings/UserData.h"
#include "gui/app/Application.h"
#include "gui/common/QtText.h"
#include "gui/orders/PrintPdfCommand.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include <unistd.h>

namespace {

// Said before any setting is read: in German on a German system, from the
// language files that ship with the program.
void tellStartFailure(const std::string& shipped, const quillane::Message& message)
{
    const bool german = quillane::DefaultCountryFor(quillane::SystemLanguageName()) == "Germany";
    const quillane::LanguageFile file(shipped + "sprache/", german ? "deutsch" : "english");
    const quillane::TextTables texts = quillane::LoadTextTables(file);
    QMessageBox::critical(nullptr, QStringLiteral("Quillane"), quillane::gui::toQ(texts.Say(message)));
}

} // namespace

int main(int argc, char** argv)
{
    // The embedded browser refuses to start as root inside its sandbox.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (quillane::gui::PrintPdfCommand::Requested(argc, argv)) {
        return quillane::gui::PrintPdfCommand::Main(argc, argv);
    }
    QApplication app(argc, argv);
    // The installed menu entry and its icon (desktop/); nothing shows where they are not installed.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillane"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quillane")));
    const std::string programDir = quillane::DefaultProgramDir();
    const std::string shipped = quillane::ShippedDataDir(QCoreApplication::applicationDirPath().toStdString());
    if (!quillane::SeedProgramDir(programDir, shipped)) {
        tellStartFailure(shipped, quillane::Message{quillane::msg::FirstStartProgramDirNotCreated, {programDir}});
        return 1;
    }
    try {
        // Running on without them would end with the first save writing over them.
        quillane::CheckUserDataFiles(programDir);
    } catch (const quillane::Error& e) {
        tellStartFailure(shipped, e.Said());
        return 1;
    }
    quillane::gui::Application quillaneApp(programDir);
    quillaneApp.start();
    return app.exec();
}
