#include "gui/orders/PrintPdfCommand.h"

#include "core/common/Error.h"
#include "gui/common/QtText.h"
#include "gui/orders/PagePrinting.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <cstdio>
#include <cstring>

namespace quillane::gui {

namespace {

// The engine's notes (no sandbox, no GPU ...) are no concern of the
// caller, which reads the one line of an error.
void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

int fail(const QString& message)
{
    std::fprintf(stderr, "quillane: %s\n", message.toLocal8Bit().constData());
    return 1;
}

} // namespace

bool PrintPdfCommand::Requested(int argc, char** argv)
{
    return argc > 1 && std::strcmp(argv[1], kFlag) == 0;
}

int PrintPdfCommand::Main(int argc, char** argv)
{
    // Nothing is shown: no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(quiet);
    const QGuiApplication app(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 4) {
        return fail(QStringLiteral("usage: quillane %1 PAGE.html OUT.pdf").arg(QLatin1String(kFlag)));
    }
    const QFileInfo in(arguments[2]);
    const QString out = QFileInfo(arguments[3]).absoluteFilePath();
    if (!in.isFile()) {
        return fail(QStringLiteral("the page %1 does not exist").arg(arguments[2]));
    }
    // Off the record: printing leaves no cache or cookies behind.
    QWebEngineProfile profile;
    QWebEnginePage page(&profile);
    if (!LoadPage(page, QUrl::fromLocalFile(in.absoluteFilePath()))) {
        return fail(QStringLiteral("the page %1 could not be loaded").arg(in.absoluteFilePath()));
    }
    try {
        SavePdf(page, out);
    } catch (const Error& e) {
        return fail(toQ(e.what()));
    }
    return 0;
}

} // namespace quillane::gui
