#include "gui/orders/PagePrinting.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/messages/InvoiceMessages.h"
#include "gui/common/QtText.h"

#include <QPaintEngine>
#include <QTemporaryDir>

#include <QEventLoop>
#include <QPageSize>
#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <dlfcn.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// The print service's call that prints a file, looked up when first
// needed: the program runs and saves PDFs without it.
struct CupsOption {
    char* name;
    char* value;
};
using PrintFileCall = int (*)(const char*, const char*, const char*, int, CupsOption*);
using LastErrorCall = const char* (*)();

void* cupsLibrary()
{
    static void* const library = ::dlopen("libcups.so.2", RTLD_NOW | RTLD_LOCAL);
    return library;
}

std::string cupsError()
{
    void* library = cupsLibrary();
    const auto last =
        library == nullptr ? nullptr : reinterpret_cast<LastErrorCall>(::dlsym(library, "cupsLastErrorString"));
    const char* text = last == nullptr ? nullptr : last();
    return text == nullptr ? std::string("no print service") : std::string(text);
}

} // namespace

QPageLayout InvoicePageLayout()
{
    // None: the page keeps its margins itself, so that the address sits in
    // the envelope window whatever prints it.
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
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
        throw Error(msg::InvoicePageNotPrinted, {fromQ(page.url().toLocalFile()), fromQ(path)});
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

bool PrintsForReal(QPrinter& printer)
{
    // A preview draws on an engine of its own; printing and PDF output draw PDF.
    const QPaintEngine* engine = printer.paintEngine();
    return engine != nullptr && engine->type() == QPaintEngine::Pdf;
}

void PrintPdfOn(const QByteArray& pdf, QPrinter& printer)
{
    const std::string_view bytes(pdf.constData(), static_cast<std::size_t>(pdf.size()));
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        WriteFileAtomic(fromQ(printer.outputFileName()), bytes);
        return;
    }
    SendPdfToPrinter(pdf, printer.printerName(), printer.copyCount(), printer.duplex());
}

void SendPdfToPrinter(const QByteArray& pdf, const QString& printerName, int copies, QPrinter::DuplexMode sides)
{
    void* library = cupsLibrary();
    const auto printFile =
        library == nullptr ? nullptr : reinterpret_cast<PrintFileCall>(::dlsym(library, "cupsPrintFile"));
    const std::string name = fromQ(printerName);
    if (printFile == nullptr) {
        throw Error(msg::InvoicePrinterRefused, {name, cupsError()});
    }
    std::vector<std::pair<std::string, std::string>> values{{"copies", std::to_string(std::max(copies, 1))}};
    if (sides == QPrinter::DuplexLongSide || sides == QPrinter::DuplexAuto) {
        values.emplace_back("sides", "two-sided-long-edge");
    } else if (sides == QPrinter::DuplexShortSide) {
        values.emplace_back("sides", "two-sided-short-edge");
    }
    std::vector<CupsOption> options;
    for (auto& [key, value] : values) {
        options.push_back({key.data(), value.data()});
    }
    // The print service has read the file when the call returns.
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("invoice.pdf"));
    WriteFileAtomic(fromQ(file), std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())),
                    FileAccess::OwnerOnly);
    const std::string path = fromQ(file);
    const std::string title = "Quillane";
    if (printFile(name.c_str(), path.c_str(), title.c_str(), static_cast<int>(options.size()), options.data()) == 0) {
        throw Error(msg::InvoicePrinterRefused, {name, cupsError()});
    }
}

} // namespace quillane::gui
