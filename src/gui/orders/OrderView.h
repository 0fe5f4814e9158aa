#pragma once

#include <QGroupBox>

#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QDateEdit;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QTabWidget;
class QWebEngineView;

namespace quillane {
struct InvoiceSetup;
class LanguageFile;
class Order;
class Prompter;
} // namespace quillane

namespace quillane::gui {

struct AppState;

// The order view of the order tab ("invoicedata"): the shown order's
// addresses, confirmation, payment method and remarks, and its invoice in
// the browser, with the invoice number, "Drucken" and "Als PDF speichern".
// Customer values show as plain text wherever they appear.
class OrderView : public QGroupBox {
    Q_OBJECT
public:
    // What the view asks the merchant for besides questions: the print
    // preview, which calls paint for the preview and again with the printer
    // he prints on (false when he closes it without printing), and the file
    // a PDF goes to, starting from a proposed path (empty when he cancels).
    // Dialogs by default.
    struct Choosers {
        std::function<bool(QPrinter&, const std::function<void(QPrinter*)>& paint)> Preview;
        std::function<QString(const QString& proposed)> PdfFile;
    };

    // The caption while no order is shown.
    static constexpr const char* kNoOrderCaption = " ____-____ ";

    OrderView(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    void setChoosers(Choosers choosers) { choosers_ = std::move(choosers); }

    // OrderClick: shows the order of that ID. An empty ID (no entry chosen)
    // resets the invoice page and leaves the view as it is.
    void OrderClick(const std::string& orderId);
    // Back to showing no order.
    void clear();
    const std::string& shownOrder() const { return shown_; }

    // ">>" and Enter in the number field: the invoice shows the number as
    // typed, the page is reloaded, not rebuilt.
    void ReNrEinfuegenClick();
    // "Drucken" and "Als PDF speichern": true when the invoice went out;
    // the shown order is then done and keeps the number it went out with.
    bool DruckenClick();
    bool savePdf();

    // The texts of the interface language (remarks caption, address tabs,
    // the question before a number is used twice).
    void translate(const LanguageFile& file);

    // Created when first needed, so the program starts without a browser engine.
    QWebEngineView* browser();

Q_SIGNALS:
    // The shown order's invoice was printed or saved.
    void invoiced();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildAddressPage(const char* name, bool delivery);
    QWidget* buildSidePanel();
    QHBoxLayout* deliveryRow(QWidget* side);
    // The setup of the shown invoice, with the delivery date when one is set.
    InvoiceSetup invoiceSetup() const;
    // Builds the shown order's invoice anew, as after a change of its delivery date.
    void rebuildInvoice();
    void showConfirmation(bool confirmed);
    void fillAddresses(const Order& order);
    void updateButtons();
    // Shows the whole width of the invoice in a narrow browser.
    void fitInvoice();
    std::string pagePath() const;
    // The number to print with, after the merchant has agreed to use one
    // twice; none when he has not, or when the field is empty.
    std::optional<std::string> numberToUse();
    // Writes renr.js with number and reloads the page; false when it failed.
    bool showNumber(const std::string& number);
    void record(const std::string& number);
    // Asks before an invoice goes out without the seller's details the
    // law asks for; true when they are there or the merchant goes on.
    bool sellerDetailsAgreed();
    // Draws the invoice on printer: a picture for the preview, the page's
    // PDF as it is for printing.
    void paintInvoice(QPrinter* printer);

    AppState& state_;
    Prompter& prompter_;
    Choosers choosers_;
    std::string shown_;
    bool invoiceBuilt_ = false;
    bool printed_ = false;
    std::optional<bool> confirmed_;
    std::string usedTwiceQuestion_;

    QTabWidget* addresses_ = nullptr;
    QLabel* confirmation_ = nullptr;
    QLabel* payment_ = nullptr;
    QCheckBox* delivered_ = nullptr;
    QDateEdit* deliveryDate_ = nullptr;
    QLineEdit* number_ = nullptr;
    QPushButton* insertNumber_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* pdf_ = nullptr;
    QWidget* browserArea_ = nullptr;
    QWebEngineView* browser_ = nullptr;
    QWidget* remarks_ = nullptr;
    QLabel* remarksCaption_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
};

} // namespace quillane::gui
