#include "gui/orders/PagePrinting.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "gui/common/QtText.h"

#include <QEventLoop>
#include <QPageSize>
#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <functional>
#include <memory>

namespace quillane::gui {

namespace {

// A local page that has not loaded or printed by then never will.
constexpr int kWaitMilliseconds = 60000;

// Starts the work and waits until the function it is handed is called;
// false on time-out or when the object went away meanwhile. The function
// stays safe to call after the wait has given up.
bool waitFor(QObject& object, const std::function<void(const std::function<void()>& finished)>& start)
{
    QEventLoop loop;
    const QPointer<QObject> alive(&object);
    struct State {
        bool Done = false;
        QPointer<QEventLoop> Loop;
    };
    const auto state = std::make_shared<State>();
    state->Loop = &loop;
    QTimer::singleShot(kWaitMilliseconds, &loop, &QEventLoop::quit);
    QObject::connect(&object, &QObject::destroyed, &loop, &QEventLoop::quit);
    start([state] {
        state->Done = true;
        if (state->Loop) {
            state->Loop->quit();
        }
    });
    if (!state->Done) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return state->Done && !alive.isNull();
}

} // namespace

QPageLayout InvoicePageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

bool LoadPage(QWebEnginePage& page, const QUrl& url)
{
    bool ok = false;
    QMetaObject::Connection connection;
    const bool finished = waitFor(page, [&](const std::function<void()>& done) {
        connection = QObject::connect(&page, &QWebEnginePage::loadFinished, [&ok, done](bool success) {
            ok = success;
            done();
        });
        if (url.isEmpty()) {
            page.triggerAction(QWebEnginePage::Reload);
        } else {
            page.load(url);
        }
    });
    QObject::disconnect(connection);
    return finished && ok;
}

bool ReloadPage(QWebEnginePage& page)
{
    return LoadPage(page, QUrl());
}

QByteArray PrintPdf(QWebEnginePage& page)
{
    const auto pdf = std::make_shared<QByteArray>();
    waitFor(page, [&](const std::function<void()>& done) {
        page.printToPdf(
            [pdf, done](const QByteArray& result) {
                *pdf = result;
                done();
            },
            InvoicePageLayout());
    });
    return *pdf;
}

void SavePdf(QWebEnginePage& page, const QString& path)
{
    const QByteArray pdf = PrintPdf(page);
    if (pdf.isEmpty()) {
        throw Error("The page " + fromQ(page.url().toLocalFile()) + " could not be printed as " + fromQ(path) + ".");
    }
    WriteFileAtomic(fromQ(path), std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
}

bool PrintView(QWebEngineView& view, QPrinter& printer)
{
    bool ok = false;
    QMetaObject::Connection connection;
    const bool finished = waitFor(view, [&](const std::function<void()>& done) {
        connection = QObject::connect(&view, &QWebEngineView::printFinished, [&ok, done](bool success) {
            ok = success;
            done();
        });
        view.print(&printer);
    });
    QObject::disconnect(connection);
    return finished && ok;
}

} // namespace quillane::gui
