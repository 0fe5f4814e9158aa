#include "app/Application.h"
#include "common/Files.h"
#include "settings/AppDirs.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const std::string programDir = quillane::DefaultProgramDir();
    const std::string shipped =
        quillane::ShippedDataDir(QCoreApplication::applicationDirPath().toStdString());
    if (!quillane::SeedProgramDir(programDir, shipped)) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillane"),
                              QStringLiteral("The program folder %1 cannot be created.")
                                  .arg(QString::fromStdString(programDir)));
        return 1;
    }
    quillane::gui::Application quillaneApp(programDir);
    quillaneApp.start();
    return app.exec();
}
