#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QPrinter>

class QUrl;
class QWebEnginePage;
class QWebEngineView;

// Loading and printing browser pages as one step each: the caller waits in
// a local event loop until the browser has done it. Input to the windows
// waits meanwhile, so no second print starts over the first.
namespace quillane::gui {

// The paper of an invoice: A4 upright without margins; the invoice page
// keeps its margins itself.
QPageLayout InvoicePageLayout();

// Loads url (a reload when it is empty) and waits until the page and its
// scripts have run; false when loading failed or did not end in time.
bool LoadPage(QWebEnginePage& page, const QUrl& url);
bool ReloadPage(QWebEnginePage& page);

// What page shows as PDF on InvoicePageLayout(); empty when the browser
// could not print it.
QByteArray PrintPdf(QWebEnginePage& page);
// Writes PrintPdf(page) to path, written beside and renamed; throws Error
// naming the file when the page cannot be printed or the file not written.
void SavePdf(QWebEnginePage& page, const QString& path);

// Prints what view shows on printer; false when the browser reported an error.
// The browser draws pictures of the pages: for the preview only.
bool PrintView(QWebEngineView& view, QPrinter& printer);

// Whether printer is printing for real, not drawing a preview.
bool PrintsForReal(QPrinter& printer);

// Sends pdf, a page as PrintPdf gave it, to printer as it is: text and
// lines stay what they are, no picture of them goes out. A printer that
// writes a PDF file gets the bytes; any other is handed the file through
// the system's print service with the printer's copies and sides. Throws
// Error naming the printer when it does not take the job.
void PrintPdfOn(const QByteArray& pdf, QPrinter& printer);
// Hands pdf to the system's print service for the printer of that name;
// throws Error naming the printer when it does not take the job.
void SendPdfToPrinter(const QByteArray& pdf, const QString& printerName, int copies, QPrinter::DuplexMode sides);

} // namespace quillane::gui
