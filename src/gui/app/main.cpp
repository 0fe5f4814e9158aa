#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/settings/AppDirs.h"
#include "core/settings/UserData.h"
#include "gui/app/Application.h"
#include "gui/common/QtText.h"
#include "gui/orders/PrintPdfCommand.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include <unistd.h>

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
        QMessageBox::critical(
            nullptr, QStringLiteral("Quillane"),
            QStringLiteral("The program folder %1 cannot be created.").arg(QString::fromStdString(programDir)));
        return 1;
    }
    try {
        // Running on without them would end with the first save writing over them.
        quillane::CheckUserDataFiles(programDir);
    } catch (const quillane::Error& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillane"), quillane::gui::toQ(e.what()));
        return 1;
    }
    quillane::gui::Application quillaneApp(programDir);
    quillaneApp.start();
    return app.exec();
}
