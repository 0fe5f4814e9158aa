#include "gui/orders/OrderView.h"

#include "core/common/Files.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/InvoiceMessages.h"
#include "core/i18n/LanguageFile.h"
#include "core/orders/InvoiceNumbers.h"
#include "core/orders/InvoicePage.h"
#include "core/orders/InvoicePdf.h"
#include "core/orders/Order.h"
#include "core/orders/OrderFile.h"
#include "core/settings/RememberedFolders.h"
#include "gui/app/AppState.h"
#include "gui/common/DialogParts.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/ObjectNames.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"
#include "gui/orders/PagePrinting.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <algorithm>
#include <ctime>

namespace quillane::gui {

namespace {

// The address labels: object name (the order's key, "name" for first and
// last name), caption and its translation key.
struct AddressField {
    const char* key;
    const char* caption;
    const char* hint;
};
constexpr AddressField kAddressFields[] = {
    {"company", "Firma:", "Kontakt|company"}, {"name", "Name:", "Kontakt|name"},
    {"street", "Straße:", "Kontakt|street"},  {"zip", "PLZ:", "Kontakt|zip"},
    {"city", "Ort:", "Kontakt|city"},         {"country", "Land:", "Kontakt|country"},
    {"phone", "Telefon:", "Kontakt|phone"},   {"fax", "Fax:", "Kontakt|fax"},
    {"email", "E-Mail:", "Kontakt|email"},
};
// The first column holds the postal address, the second the rest.
constexpr int kAddressRows = 5;

const QColor kConfirmed(0x5B, 0xC4, 0x2F);
const QColor kUnconfirmed(0xE3, 0x28, 0x28);

// Asked before a number goes out a second time; "#" is the number and
// "[ORDER]" the order that has it, "|" a line break.
constexpr const char* kUsedTwiceKey = "25";
constexpr const char* kUsedTwiceDefault =
    "The invoice number # was already used for order [ORDER].|Do you want to use it again?";

// The invoice is a sheet this wide, with the page's margins and a scroll bar.
constexpr double kInvoiceWidth = 700;
constexpr double kSmallestZoom = 0.5;

// Where the invoices are saved, remembered in the settings file.
constexpr const char* kInvoiceFolder = "Invoices";

std::tm today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

QLabel* valueLabel(const QString& name, QWidget* parent)
{
    auto* value = new QLabel(parent);
    value->setObjectName(name);
    // Customer values are text, never markup.
    value->setTextFormat(Qt::PlainText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long value is cut rather than widening the window.
    value->setMinimumWidth(20);
    value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return value;
}

QPushButton* button(const QString& text, const char* name, const char* hint, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    if (hint != nullptr) {
        setHint(b, hint);
    }
    return b;
}

bool previewAndPrint(QPrinter& printer, const std::function<void(QPrinter*)>& paint, QWidget* parent)
{
    QPrintPreviewDialog dialog(&printer, parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, paint);
    return dialog.exec() == QDialog::Accepted;
}

QString choosePdfFile(const QString& proposed, QWidget* parent)
{
    QString path = QFileDialog::getSaveFileName(parent, QString(), proposed, QStringLiteral("PDF (*.pdf)"));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".pdf");
    }
    return path;
}

} // namespace

OrderView::OrderView(AppState& state, Prompter& prompter, QWidget* parent)
    : QGroupBox(QString::fromLatin1(kNoOrderCaption), parent), state_(state), prompter_(prompter),
      usedTwiceQuestion_(kUsedTwiceDefault)
{
    setObjectName(QStringLiteral("invoicedata"));
    choosers_.Preview = [this](QPrinter& printer, const std::function<void(QPrinter*)>& paint) {
        return previewAndPrint(printer, paint, this);
    };
    choosers_.PdfFile = [this](const QString& proposed) { return choosePdfFile(proposed, this); };

    addresses_ = new QTabWidget(this);
    addresses_->setObjectName(QStringLiteral("AddressTabs"));
    addresses_->addTab(buildAddressPage("BillingPage", false), QStringLiteral("Rechnungsanschrift"));
    addresses_->addTab(buildAddressPage("DeliveryPage", true), QStringLiteral("Lieferanschrift"));
    // Never squeezed: the browser gives way.
    addresses_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* top = new QHBoxLayout;
    top->addWidget(addresses_, 1);
    top->addWidget(buildSidePanel());

    browserArea_ = new QWidget(this);
    browserArea_->setObjectName(QStringLiteral("BrowserArea"));
    auto* browserLayout = new QVBoxLayout(browserArea_);
    browserLayout->setContentsMargins(0, 0, 0, 0);
    browserArea_->installEventFilter(this);

    // The remarks pane shows only for an order with remarks; the browser
    // takes its room otherwise.
    remarks_ = new QWidget(this);
    remarks_->setObjectName(QStringLiteral("RemarksPane"));
    remarksCaption_ = new QLabel(QStringLiteral("Bemerkungen:"), remarks_);
    remarksCaption_->setObjectName(QStringLiteral("RemarksCaption"));
    memo_ = new QPlainTextEdit(remarks_);
    memo_->setObjectName(QLatin1String(names::kRemarksMemo));
    memo_->setReadOnly(true);
    memo_->setFixedHeight(64);
    auto* remarksLayout = new QVBoxLayout(remarks_);
    remarksLayout->setContentsMargins(0, 0, 0, 0);
    remarksLayout->setSpacing(2);
    remarksLayout->addWidget(remarksCaption_);
    remarksLayout->addWidget(memo_);
    remarks_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(6);
    layout->addLayout(top);
    layout->addWidget(browserArea_, 1);
    layout->addWidget(remarks_);

    (new HelpMark(QStringLiteral("bestellungseingang|orderview"), this))->keepInCorner();

    connect(number_, &QLineEdit::returnPressed, this, &OrderView::ReNrEinfuegenClick);
    connect(insertNumber_, &QPushButton::clicked, this, &OrderView::ReNrEinfuegenClick);
    connect(print_, &QPushButton::clicked, this, &OrderView::DruckenClick);
    connect(pdf_, &QPushButton::clicked, this, &OrderView::savePdf);
    updateButtons();
}

QWidget* OrderView::buildAddressPage(const char* name, bool delivery)
{
    auto* page = new QWidget;
    page->setObjectName(QLatin1String(name));
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(2);
    int index = 0;
    for (const AddressField& field : kAddressFields) {
        const int row = index % kAddressRows;
        const int column = (index / kAddressRows) * 2;
        ++index;
        grid->addWidget(hintedLabel(QString::fromUtf8(field.caption), field.hint, page), row, column);
        const QString key = QString::fromLatin1(field.key);
        grid->addWidget(valueLabel(delivery ? QStringLiteral("la_") + key : key, page), row, column + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(kAddressRows, 1);
    return page;
}

QWidget* OrderView::buildSidePanel()
{
    auto* side = new QWidget(this);
    side->setObjectName(QStringLiteral("OrderSidePanel"));
    side->setFixedWidth(300);

    confirmation_ = new QLabel(side);
    confirmation_->setObjectName(QLatin1String(names::kConfirmPanel));
    confirmation_->setAlignment(Qt::AlignCenter);
    confirmation_->setTextFormat(Qt::PlainText);
    confirmation_->setMinimumHeight(24);
    confirmation_->setFrameShape(QFrame::Panel);
    confirmation_->setFrameShadow(QFrame::Sunken);
    QFont bold = confirmation_->font();
    bold.setBold(true);
    confirmation_->setFont(bold);

    payment_ = new QLabel(side);
    payment_->setObjectName(QLatin1String(names::kPaymentPanel));
    payment_->setAlignment(Qt::AlignCenter);
    payment_->setTextFormat(Qt::PlainText);
    payment_->setMinimumHeight(24);
    payment_->setFrameShape(QFrame::Panel);
    payment_->setFrameShadow(QFrame::Sunken);

    number_ = lineEdit(names::kInvoiceNumberEdit, side);
    insertNumber_ = button(QStringLiteral(">>"), "ReNrEinfuegen", nullptr, side);
    insertNumber_->setFixedWidth(36);
    insertNumber_->setAutoDefault(false);
    auto* numberRow = new QHBoxLayout;
    numberRow->setSpacing(4);
    numberRow->addWidget(hintedLabel(QStringLiteral("Rechnungsnummer:"), "Rechnungsnummer", side));
    numberRow->addWidget(number_, 1);
    numberRow->addWidget(insertNumber_);

    print_ = button(QStringLiteral("Drucken"), "Drucken", "Drucken", side);
    pdf_ = button(QStringLiteral("Als PDF speichern"), "SavePdf", "SavePdf", side);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(print_, 1);
    buttons->addWidget(pdf_, 1);

    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(confirmation_);
    layout->addWidget(payment_);
    layout->addLayout(deliveryRow(side));
    layout->addStretch(1);
    layout->addLayout(numberRow);
    layout->addLayout(buttons);
    return side;
}

QHBoxLayout* OrderView::deliveryRow(QWidget* side)
{
    // Without a date the invoice says the goods went out on the invoice date.
    delivered_ = new QCheckBox(QStringLiteral("Lieferdatum"), side);
    delivered_->setObjectName(QStringLiteral("Delivered"));
    setHint(delivered_, "Lieferdatum");
    deliveryDate_ = new QDateEdit(QDate::currentDate(), side);
    deliveryDate_->setObjectName(QStringLiteral("DeliveryDate"));
    deliveryDate_->setCalendarPopup(true);
    deliveryDate_->setEnabled(false);
    connect(delivered_, &QCheckBox::toggled, this, [this](bool on) {
        deliveryDate_->setEnabled(on);
        rebuildInvoice();
    });
    connect(deliveryDate_, &QDateEdit::dateChanged, this, [this] {
        if (delivered_->isChecked()) {
            rebuildInvoice();
        }
    });
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(delivered_);
    row->addWidget(deliveryDate_, 1);
    return row;
}

InvoiceSetup OrderView::invoiceSetup() const
{
    InvoiceSetup setup = MakeInvoiceSetup(state_.Dirs, state_.User, today());
    if (delivered_->isChecked()) {
        const QDate date = deliveryDate_->date();
        std::tm day{};
        day.tm_year = date.year() - 1900;
        day.tm_mon = date.month() - 1;
        day.tm_mday = date.day();
        setup.DeliveryDate = day;
    }
    return setup;
}

void OrderView::rebuildInvoice()
{
    if (shown_.empty() || !invoiceBuilt_) {
        return;
    }
    const std::string page = pagePath();
    invoiceBuilt_ = guarded(prompter_, [&] {
        BuildInvoicePage(invoiceSetup(), ReadOrder(state_.Dirs.ProgramDir, shown_), page);
        WriteInvoiceNumberScript(state_.Dirs.TempDir, fromQ(number_->text()));
    });
    updateButtons();
    LoadPage(*browser()->page(), QUrl::fromLocalFile(toQ(page)));
}

QWebEngineView* OrderView::browser()
{
    if (browser_ == nullptr) {
        browser_ = new QWebEngineView(browserArea_);
        browser_->setObjectName(QLatin1String(names::kInvoiceBrowser));
        browserArea_->layout()->addWidget(browser_);
        // The engine sets the zoom anew for every page it loads.
        connect(browser_, &QWebEngineView::loadFinished, this, &OrderView::fitInvoice);
        fitInvoice();
    }
    return browser_;
}

bool OrderView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == browserArea_ && event->type() == QEvent::Resize) {
        fitInvoice();
    }
    return QGroupBox::eventFilter(watched, event);
}

void OrderView::fitInvoice()
{
    if (browser_ != nullptr) {
        browser_->setZoomFactor(std::clamp(browserArea_->width() / kInvoiceWidth, kSmallestZoom, 1.0));
    }
}

std::string OrderView::pagePath() const
{
    return InvoicePagePath(state_.Dirs.TempDir);
}

void OrderView::translate(const LanguageFile& file)
{
    remarksCaption_->setText(toQ(file.GetTranslation("Misc", "Bemerkungen", fromQ(remarksCaption_->text()))) +
                             QLatin1Char(':'));
    const std::vector<std::string>& tabs = state_.Texts.OrderTextParts;
    for (int i = 0; i < addresses_->count() && i < static_cast<int>(tabs.size()); ++i) {
        addresses_->setTabText(i, toQ(tabs[static_cast<std::size_t>(i)]));
    }
    usedTwiceQuestion_ = file.GetTranslation("MsgBox", kUsedTwiceKey, kUsedTwiceDefault);
    if (confirmed_) {
        showConfirmation(*confirmed_);
    }
}

void OrderView::showConfirmation(bool confirmed)
{
    confirmed_ = confirmed;
    const std::vector<std::string>& parts = state_.Texts.ConfirmTextParts;
    const std::size_t piece = confirmed ? 1 : 0;
    confirmation_->setText(piece < parts.size() ? toQ(parts[piece]) : QString());
    QPalette palette = confirmation_->palette();
    palette.setColor(QPalette::Window, confirmed ? kConfirmed : kUnconfirmed);
    palette.setColor(QPalette::WindowText, Qt::white);
    confirmation_->setPalette(palette);
    confirmation_->setAutoFillBackground(true);
}

void OrderView::fillAddresses(const Order& order)
{
    for (const AddressField& field : kAddressFields) {
        const std::string key = field.key;
        const bool name = key == "name";
        findChild<QLabel*>(QString::fromLatin1(field.key))->setText(toQ(name ? order.Name() : order.Value(key)));
        findChild<QLabel*>(QStringLiteral("la_") + QString::fromLatin1(field.key))
            ->setText(toQ(name ? order.DeliveryName() : order.DeliveryValue(key)));
    }
}

void OrderView::OrderClick(const std::string& orderId)
{
    number_->setFocus();
    const std::string page = pagePath();
    guarded(prompter_, [&] {
        static_cast<void>(ForceDirectories(state_.Dirs.TempDir));
        ResetInvoicePage(page);
    });
    if (orderId.empty()) {
        return;
    }
    std::optional<Order> order;
    if (!guarded(prompter_, [&] { order = ReadOrder(state_.Dirs.ProgramDir, orderId); })) {
        return;
    }
    const std::string notice = QueueNotice(state_.Texts.MsgBoxTexts[msgbox::kOrderQueued], *order);
    if (!notice.empty()) {
        prompter_.Tell("Quillane", notice);
    }
    shown_ = order->Id();
    invoiceBuilt_ = false;
    showConfirmation(order->Confirmed());
    setTitle(QLatin1Char(' ') + toQ(shown_) + QLatin1Char(' '));
    fillAddresses(*order);
    const std::string notes = order->Value(orderkey::kNotes);
    memo_->setPlainText(toQ(notes));
    remarks_->setVisible(!notes.empty());
    guarded(prompter_,
            [&] { number_->setText(toQ(ProposedInvoiceNumber(state_.Dirs.ProgramDir, state_.Dirs.DataDir, shown_))); });

    {
        // Each order has its own delivery date; a new one starts without.
        const QSignalBlocker blocker(delivered_);
        delivered_->setChecked(false);
        deliveryDate_->setEnabled(false);
    }
    const InvoiceSetup setup = invoiceSetup();
    invoiceBuilt_ = guarded(prompter_, [&] {
        BuildInvoicePage(setup, *order, page);
        WriteInvoiceNumberScript(state_.Dirs.TempDir, fromQ(number_->text()));
    });
    updateButtons();
    if (invoiceBuilt_) {
        payment_->setText(toQ(PaymentMethodText(setup, order->Value(orderkey::kPayment))));
    } else {
        // The blank page, rather than another customer's invoice under this order's number.
        payment_->clear();
    }
    LoadPage(*browser()->page(), QUrl::fromLocalFile(toQ(page)));
}

void OrderView::clear()
{
    shown_.clear();
    invoiceBuilt_ = false;
    confirmed_.reset();
    setTitle(QString::fromLatin1(kNoOrderCaption));
    for (const AddressField& field : kAddressFields) {
        findChild<QLabel*>(QString::fromLatin1(field.key))->clear();
        findChild<QLabel*>(QStringLiteral("la_") + QString::fromLatin1(field.key))->clear();
    }
    confirmation_->clear();
    confirmation_->setAutoFillBackground(false);
    payment_->clear();
    memo_->clear();
    remarks_->hide();
    const std::string page = pagePath();
    if (guarded(prompter_, [&] { ResetInvoicePage(page); }) && browser_ != nullptr) {
        LoadPage(*browser_->page(), QUrl::fromLocalFile(toQ(page)));
    }
    updateButtons();
}

void OrderView::updateButtons()
{
    // Without an order nothing can be saved; an order whose invoice could
    // not be built has nothing to print.
    pdf_->setEnabled(!shown_.empty() && invoiceBuilt_);
    print_->setEnabled(shown_.empty() || invoiceBuilt_);
}

bool OrderView::showNumber(const std::string& number)
{
    if (!guarded(prompter_, [&] { WriteInvoiceNumberScript(state_.Dirs.TempDir, number); })) {
        return false;
    }
    return ReloadPage(*browser()->page());
}

void OrderView::ReNrEinfuegenClick()
{
    showNumber(fromQ(number_->text()));
}

std::optional<std::string> OrderView::numberToUse()
{
    const std::string number = fromQ(number_->text());
    if (Trim(number).empty()) {
        prompter_.Tell("Quillane", MessageLines(state_.Texts.MsgBoxTexts[msgbox::kEnterInvoiceNumber]));
        number_->setFocus();
        return std::nullopt;
    }
    std::string other;
    if (!guarded(prompter_, [&] { other = OrderWithInvoiceNumber(state_.Dirs.ProgramDir, number, shown_); })) {
        return std::nullopt;
    }
    if (!other.empty()) {
        const std::string question =
            ReplaceAll(ReplaceAll(MessageLines(usedTwiceQuestion_), "#", number), "[ORDER]", other);
        if (prompter_.Ask("Quillane", question, Prompter::Buttons::YesNo, Prompter::Icon::Warning) !=
            Prompter::Answer::Yes) {
            return std::nullopt;
        }
    }
    return number;
}

void OrderView::record(const std::string& number)
{
    if (guarded(prompter_, [&] { RecordInvoice(state_.Dirs.ProgramDir, state_.Dirs.DataDir, shown_, number); })) {
        Q_EMIT invoiced();
    }
}

bool OrderView::sellerDetailsAgreed()
{
    std::vector<Message> missing;
    if (!guarded(prompter_,
                 [&] { missing = MissingSellerDetails(MakeInvoiceSetup(state_.Dirs, state_.User, today())); })) {
        return false;
    }
    if (missing.empty()) {
        return true;
    }
    std::string text;
    for (const Message& message : missing) {
        text += state_.Texts.Say(message) + "\n";
    }
    text += "\n" + state_.Texts.Say({msg::InvoiceWriteAnyway, {}});
    return prompter_.Ask("Quillane", text, Prompter::Buttons::YesNo, Prompter::Icon::Warning) == Prompter::Answer::Yes;
}

void OrderView::paintInvoice(QPrinter* printer)
{
    if (!PrintsForReal(*printer)) {
        PrintView(*browser(), *printer);
        return;
    }
    printed_ = guarded(prompter_, [&] {
        const QByteArray pdf = PrintPdf(*browser()->page());
        if (pdf.isEmpty()) {
            throw Error(msg::InvoiceNotPrinted, {});
        }
        PrintPdfOn(pdf, *printer);
    });
}

bool OrderView::DruckenClick()
{
    std::optional<std::string> number;
    if (!shown_.empty()) {
        if (!invoiceBuilt_ || !sellerDetailsAgreed() || !(number = numberToUse()) || !showNumber(*number)) {
            return false;
        }
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(InvoicePageLayout());
    printer.setDocName(toQ(shown_.empty() ? std::string("Quillane") : InvoicePdfFileName(number.value_or(""), shown_)));
    printed_ = false;
    choosers_.Preview(printer, [this](QPrinter* target) { paintInvoice(target); });
    if (!printed_) {
        return false;
    }
    if (number) {
        record(*number);
    }
    return true;
}

bool OrderView::savePdf()
{
    if (shown_.empty() || !invoiceBuilt_) {
        return false;
    }
    if (!sellerDetailsAgreed()) {
        return false;
    }
    const std::optional<std::string> number = numberToUse();
    if (!number || !showNumber(*number)) {
        return false;
    }
    const std::string programDir = state_.Dirs.ProgramDir;
    const QString folder = toQ(RememberedFolder(programDir, kInvoiceFolder, ShellFolderPath("Personal")));
    const QString path = choosers_.PdfFile(QDir(folder).filePath(toQ(InvoicePdfFileName(*number, shown_))));
    if (path.isEmpty() || !guarded(prompter_, [&] { SavePdf(*browser()->page(), path); })) {
        return false;
    }
    guarded(prompter_, [&] { RememberFolder(programDir, kInvoiceFolder, fromQ(QFileInfo(path).absolutePath())); });
    record(*number);
    return true;
}

} // namespace quillane::gui
