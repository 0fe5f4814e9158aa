#include "gui/settings/ShopProfileDialog.h"

#include "gui/app/AppState.h"
#include "gui/common/ClickableLabel.h"
#include "gui/common/DecoratedLabel.h"
#include "gui/common/DialogParts.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/Pictures.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

#include <tuple>

namespace quillane::gui {

namespace {

QLabel* caption(const QString& text, const char* hint, QWidget* parent)
{
    return hintedLabel(text, hint, parent);
}

QLineEdit* edit(const char* name, QWidget* parent, int width = 0)
{
    QLineEdit* e = lineEdit(name, parent);
    if (width > 0) {
        e->setFixedWidth(width);
    }
    return e;
}

// Only what the shop can read as a number gets in: digits with "," or "."
// for amounts (the program reads both), "." for rates, which the shop's
// script reads as they are typed.
void acceptOnly(QLineEdit* e, const char* pattern)
{
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(QString::fromUtf8(pattern)), e));
}
constexpr const char* kAmountPattern = "\\d{0,9}([.,]\\d{0,3})?";
constexpr const char* kQuantityPattern = "\\d{0,9}";
constexpr const char* kRatePattern = "\\d{0,3}(\\.\\d{0,2})?";
constexpr const char* kDaysPattern = "\\d{0,4}";
// Leading zeros of the next invoice number set the width of all numbers.
constexpr const char* kInvoiceNumberPattern = "\\d{0,18}";

QGroupBox* group(const QString& title, const char* hint, const char* name, const char* help, QWidget* parent)
{
    return helpGroup(title, hint, name, help, parent);
}

HelpMark* mark(const char* keyword, QWidget* parent)
{
    return new HelpMark(QString::fromUtf8(keyword), parent);
}

ClickableLabel* pictureButton(const char* resource, const char* name, QWidget* parent)
{
    auto* b = new ClickableLabel(parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setPixmap(embeddedPixmap(resource));
    b->setFixedSize(18, 18);
    b->setAlignment(Qt::AlignCenter);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

QColor qColour(ColorValue value)
{
    value = PlainColour(value);
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

ColorValue colourValue(const QColor& c)
{
    return static_cast<ColorValue>(c.red()) | (static_cast<ColorValue>(c.green()) << 8) |
           (static_cast<ColorValue>(c.blue()) << 16);
}

void paint(QWidget* w, ColorValue font, ColorValue background)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, qColour(font));
    pal.setColor(QPalette::Window, qColour(background));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

struct PreviewSpec {
    const char* caption;
    const char* hint;
    const char* name;
};
// In the order of LayoutElement.
constexpr PreviewSpec kPreview[kLayoutElementCount] = {
    {"DOKUMENT", "Dokument", "preview_document"},
    {"KOPF", "Kopf", "preview_head"},
    {"ÜBERSCHRIFT", "Ueberschrift", "preview_heading"},
    {"TABELLE", "Tabelle", "preview_table"},
    {"VERWEIS", "Verweis", "preview_link"},
};

struct TextSpec {
    const char* caption;
    const char* hint;
};
// In the order of kShopTextNames.
constexpr TextSpec kTextPages[kShopTextNames.size()] = {
    {"Begrüßung", "set_shop_texts_intro"}, {"Service", "set_shop_texts_service"},
    {"AGB", "set_shop_texts_gtc"},         {"Über uns", "set_shop_texts_about"},
    {"FAQ", "set_shop_texts_faq"},         {"Impressum", "set_shop_texts_impressum"},
};

} // namespace

ShopProfileDialog::ShopProfileDialog(AppState& state, Prompter& prompter, QWidget* parent)
    : QDialog(parent), state_(state), prompter_(prompter)
{
    setObjectName(QStringLiteral("ShopProfileDialog"));
    setWindowTitle(QStringLiteral("Projekteigenschaften"));
    setHint(this, "ProjectProperties");
    setModal(false);

    auto* headline = new DecoratedLabel(QStringLiteral("PROJEKTEIGENSCHAFTEN"), this);
    headline->setObjectName(QStringLiteral("Headline"));
    setHint(headline, "properties");
    QFont f = headline->font();
    f.setPointSize(f.pointSize() + 3);
    f.setBold(true);
    headline->setFont(f);
    headline->setStyleSheet(QStringLiteral("color: #1d3557;"));

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("ShopProfilePages"));
    const struct {
        QWidget* page;
        const char* caption;
        const char* hint;
        const char* name;
    } pages[] = {
        {buildInvoicePage(), "Rechnungserstellung", "set_shop_invoice", "InvoicePage"},
        {buildDiscountPage(), "Rabattstaffeln", "set_shop_discount", "DiscountPage"},
        {buildLayoutPage(), "Gestaltung", "set_shop_layout", "LayoutPage"},
        {buildTextPage(), "Texte", "set_shop_texts", "TextPage"},
    };
    for (const auto& p : pages) {
        p.page->setObjectName(QString::fromUtf8(p.name));
        setHint(p.page, p.hint);
        pages_->addTab(p.page, QString::fromUtf8(p.caption));
    }

    // Enter moves on inside the dialog; only a click or Space on "OK" saves.
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    setHint(ok, "OK");
    ok->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    setHint(cancel, "Abbrechen");
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &ShopProfileDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    layout->addWidget(headline);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);

    resize(600, 500);
}

ShopProfileDialog::~ShopProfileDialog() = default;

QWidget* ShopProfileDialog::buildInvoicePage()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(3, 1);

    auto unitOf = [this, page](QLineEdit* field) {
        auto* unit = caption(QStringLiteral("EUR"), "Geld", page);
        homeCurrency_ << unit;
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(field);
        row->addWidget(unit);
        row->addStretch(1);
        return row;
    };

    // Shipping
    freeDelivery_ = edit("freedelivery", page, 100);
    freeDelivery_->setAlignment(Qt::AlignRight);
    acceptOnly(freeDelivery_, kAmountPattern);
    packing_ = edit("packing", page, 100);
    packing_->setAlignment(Qt::AlignRight);
    acceptOnly(packing_, kAmountPattern);
    grid->addWidget(caption(QStringLiteral("Freihauslieferung:"), "Freihaus", page), 0, 0);
    grid->addLayout(unitOf(freeDelivery_), 0, 1, 1, 3);
    grid->addWidget(mark("eigenschaften|versand", page), 0, 4, Qt::AlignTop | Qt::AlignRight);
    grid->addWidget(caption(QStringLiteral("Verpackungspauschale:"), "verpackung", page), 1, 0);
    grid->addLayout(unitOf(packing_), 1, 1, 1, 3);
    grid->setRowMinimumHeight(2, 10);

    // Invoice
    paymentTerm_ = edit("paymentterm", page, 50);
    paymentTerm_->setAlignment(Qt::AlignRight);
    acceptOnly(paymentTerm_, kDaysPattern);
    auto* termRow = new QHBoxLayout;
    termRow->setSpacing(6);
    termRow->addWidget(paymentTerm_);
    termRow->addWidget(caption(QStringLiteral("Tage"), "Tage", page));
    termRow->addStretch(1);
    header_ = new QCheckBox(QStringLiteral("Kopfzeile mit Firmenanschrift"), page);
    header_->setObjectName(QStringLiteral("header"));
    setHint(header_, "Labels|header");
    footer_ = new QCheckBox(QStringLiteral("Fußzeile mit Bankverbindung"), page);
    footer_->setObjectName(QStringLiteral("footer"));
    setHint(footer_, "Labels|footer");
    grid->addWidget(caption(QStringLiteral("Zahlungsfrist:"), "Frist", page), 3, 0);
    grid->addLayout(termRow, 3, 1, 1, 3);
    grid->addWidget(mark("eigenschaften|rechnung", page), 3, 4, Qt::AlignTop | Qt::AlignRight);
    grid->addWidget(header_, 4, 1, 1, 3);
    grid->addWidget(footer_, 5, 1, 1, 3);
    grid->setRowMinimumHeight(6, 10);

    // Tax
    taxNumber_ = edit("taxnumber", page, 220);
    taxId_ = edit("taxid", page, 220);
    grid->addWidget(caption(QStringLiteral("Steuernummer:"), "Rechnung|taxnum", page), 7, 0);
    grid->addWidget(taxNumber_, 7, 1, 1, 3, Qt::AlignLeft);
    grid->addWidget(mark("eigenschaften|steuer", page), 7, 4, Qt::AlignTop | Qt::AlignRight);
    grid->addWidget(caption(QStringLiteral("Umsatzsteuer ID:"), "Rechnung|taxid", page), 8, 0);
    grid->addWidget(taxId_, 8, 1, 1, 3, Qt::AlignLeft);
    // Which rate the shop charges; the items follow the order of the hint's keys.
    vatMode_ = new QComboBox(page);
    vatMode_->setObjectName(QStringLiteral("vatmode"));
    vatMode_->addItem(QStringLiteral("Satz des Heimatlandes"));
    vatMode_->addItem(QStringLiteral("Satz des Lieferlandes in der EU, steuerfrei außerhalb der EU"));
    setHint(vatMode_, "Labels|vat_home|vat_dest");
    grid->addWidget(caption(QStringLiteral("Umsatzsteuer:"), "UStModus", page), 9, 0);
    grid->addWidget(vatMode_, 9, 1, 1, 3, Qt::AlignLeft);
    grid->setRowMinimumHeight(10, 10);

    // Invoice numbers: the order view proposes prefix + next number.
    invoicePrefix_ = edit("invoiceprefix", page, 160);
    invoiceNext_ = edit("invoicenext", page, 160);
    invoiceNext_->setAlignment(Qt::AlignRight);
    acceptOnly(invoiceNext_, kInvoiceNumberPattern);
    grid->addWidget(caption(QStringLiteral("Präfix der Rechnungsnummern:"), "ReNrPrefix", page), 11, 0);
    grid->addWidget(invoicePrefix_, 11, 1, 1, 3, Qt::AlignLeft);
    grid->addWidget(caption(QStringLiteral("Nächste Rechnungsnummer:"), "ReNrNext", page), 12, 0);
    grid->addWidget(invoiceNext_, 12, 1, 1, 3, Qt::AlignLeft);

    // Bank, the invoice footer's other half
    auto* bankGroup =
        group(QStringLiteral("Bankverbindung"), "bankverbindung", "BankGroup", "eigenschaften|bank", page);
    bank_ = edit("bank", bankGroup);
    bankCode_ = edit("blz", bankGroup, 160);
    account_ = edit("kto", bankGroup, 220);
    auto* bankGrid = new QGridLayout(bankGroup);
    bankGrid->setHorizontalSpacing(8);
    bankGrid->addWidget(caption(QStringLiteral("Kreditinstitut:"), "Rechnung|bank", bankGroup), 0, 0);
    bankGrid->addWidget(bank_, 0, 1);
    bankGrid->addWidget(caption(QStringLiteral("Bankleitzahl:"), "Rechnung|blz", bankGroup), 1, 0);
    bankGrid->addWidget(bankCode_, 1, 1, Qt::AlignLeft);
    bankGrid->addWidget(caption(QStringLiteral("Kontonummer:"), "Rechnung|kto", bankGroup), 2, 0);
    bankGrid->addWidget(account_, 2, 1, Qt::AlignLeft);
    // For transfers from abroad and the thank-you page of payment in advance.
    iban_ = edit("iban", bankGroup, 260);
    bic_ = edit("bic", bankGroup, 160);
    bankGrid->addWidget(caption(QStringLiteral("IBAN:"), "Rechnung|iban", bankGroup), 3, 0);
    bankGrid->addWidget(iban_, 3, 1, Qt::AlignLeft);
    bankGrid->addWidget(caption(QStringLiteral("BIC:"), "Rechnung|bic", bankGroup), 4, 0);
    bankGrid->addWidget(bic_, 4, 1, Qt::AlignLeft);
    bankGrid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(14);
    layout->addLayout(grid);
    layout->addWidget(bankGroup);
    layout->addStretch(1);
    return page;
}

QGroupBox* ShopProfileDialog::buildLevelGroup(LevelControls& c, bool price, QWidget* parent)
{
    QGroupBox* g = price ? group(QStringLiteral("Preisrabatt"), "Rechnung|pdiscount", "PriceDiscountGroup",
                                 "eigenschaften|prabatt", parent)
                         : group(QStringLiteral("Mengenrabatt"), "Rechnung|qdiscount", "QuantityDiscountGroup",
                                 "eigenschaften|mrabatt", parent);
    const char* prefix = price ? "pd_" : "qd_";
    auto name = [prefix](const char* rest) { return QString::fromUtf8(prefix) + QString::fromUtf8(rest); };

    c.level = new QComboBox(g);
    c.level->setObjectName(name("level"));
    c.level->setEditable(true);
    c.level->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would turn a new name "ab 1" into an existing "ab 10".
    c.level->setCompleter(nullptr);
    c.level->setMinimumWidth(160);
    c.amount = edit(price ? "pd_price" : "qd_quantity", g, 100);
    c.amount->setAlignment(Qt::AlignRight);
    acceptOnly(c.amount, price ? kAmountPattern : kQuantityPattern);
    c.rate = edit(price ? "pd_rate" : "qd_rate", g, 60);
    c.rate->setAlignment(Qt::AlignRight);
    acceptOnly(c.rate, kRatePattern);
    ClickableLabel* plus = pictureButton("PLUS", price ? "pd_save" : "qd_save", g);
    ClickableLabel* minus = pictureButton("MINUS", price ? "pd_delete" : "qd_delete", g);

    auto* levelRow = new QHBoxLayout;
    levelRow->setSpacing(4);
    levelRow->addWidget(c.level, 1);
    levelRow->addSpacing(4);
    levelRow->addWidget(plus);
    levelRow->addWidget(minus);
    auto* amountRow = new QHBoxLayout;
    amountRow->setSpacing(6);
    amountRow->addWidget(c.amount);
    if (price) {
        // Price levels are kept in euro whatever the home currency.
        amountRow->addWidget(new QLabel(QStringLiteral("EUR"), g));
    }
    amountRow->addStretch(1);
    auto* rateRow = new QHBoxLayout;
    rateRow->setSpacing(6);
    rateRow->addWidget(c.rate);
    rateRow->addWidget(new QLabel(QStringLiteral("%"), g));
    rateRow->addStretch(1);

    auto* grid = new QGridLayout(g);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    grid->setContentsMargins(12, 16, 12, 12);
    grid->addWidget(caption(QStringLiteral("Staffel:"), "Staffel", g), 0, 0);
    grid->addLayout(levelRow, 0, 1);
    grid->addWidget(price ? caption(QStringLiteral("Rechnungsbetrag:"), "Rechnung|amount", g)
                          : caption(QStringLiteral("Menge:"), "Rechnung|quantity", g),
                    1, 0);
    grid->addLayout(amountRow, 1, 1);
    grid->addWidget(caption(QStringLiteral("Rabatt:"), "Rabatt", g), 2, 0);
    grid->addLayout(rateRow, 2, 1);
    grid->setColumnStretch(1, 1);
    // Both tables line their fields up under each other.
    grid->setColumnMinimumWidth(0, fontMetrics().horizontalAdvance(QStringLiteral("Rechnungsbetrag:")) + 8);

    for (QWidget* w :
         {static_cast<QWidget*>(c.level), static_cast<QWidget*>(c.amount), static_cast<QWidget*>(c.rate)}) {
        w->installEventFilter(this);
    }
    connect(c.level, &QComboBox::activated, this, [this, &c](int index) { chooseLevel(c, index); });
    connect(plus, &ClickableLabel::clicked, this, [this, &c] { saveLevel(c); });
    connect(minus, &ClickableLabel::clicked, this, [this, &c] { deleteLevel(c); });
    return g;
}

QWidget* ShopProfileDialog::buildDiscountPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(14);
    layout->addWidget(buildLevelGroup(quantity_, false, page));
    layout->addWidget(buildLevelGroup(price_, true, page));
    layout->addStretch(1);
    return page;
}

QWidget* ShopProfileDialog::buildLayoutPage()
{
    auto* page = new QWidget;

    // The preview: the document with the link on it, and a panel with head,
    // heading and table, the way a shop page stacks them.
    auto* previewGroup = group(QStringLiteral("VORSCHAU"), "Vorschau", "PreviewGroup", "eigenschaften|vorschau", page);
    for (int e = 0; e < kLayoutElementCount; ++e) {
        auto* l = new ClickableLabel(QString::fromUtf8(kPreview[e].caption));
        l->setObjectName(QString::fromUtf8(kPreview[e].name));
        setHint(l, kPreview[e].hint);
        l->setCursor(Qt::PointingHandCursor);
        l->setMargin(6);
        preview_[e] = l;
        connect(l, &ClickableLabel::clicked, this, [this, e] { chooseElement(e); });
    }
    ClickableLabel* document = preview_[static_cast<int>(LayoutElement::Document)];
    document->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    document->setFrameStyle(QFrame::Box | QFrame::Plain);
    document->setMinimumSize(250, 250);
    preview_[static_cast<int>(LayoutElement::Head)]->setMinimumHeight(44);
    preview_[static_cast<int>(LayoutElement::Table)]->setMinimumHeight(80);
    preview_[static_cast<int>(LayoutElement::Table)]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* panel = new QWidget(document);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    panelLayout->addWidget(preview_[static_cast<int>(LayoutElement::Head)]);
    panelLayout->addWidget(preview_[static_cast<int>(LayoutElement::Heading)]);
    panelLayout->addWidget(preview_[static_cast<int>(LayoutElement::Table)], 1);
    auto* documentLayout = new QVBoxLayout(document);
    documentLayout->setContentsMargins(16, 36, 16, 16);
    documentLayout->setSpacing(10);
    documentLayout->addWidget(panel, 1);
    documentLayout->addWidget(preview_[static_cast<int>(LayoutElement::Link)], 0, Qt::AlignLeft);
    auto* previewLayout = new QVBoxLayout(previewGroup);
    previewLayout->setContentsMargins(12, 16, 12, 12);
    previewLayout->addWidget(document);

    auto* general = group(QStringLiteral("ALLGEMEIN"), "Allgemein", "GeneralGroup", "eigenschaften|schriftart", page);
    font_ = new QComboBox(general);
    font_->setObjectName(QStringLiteral("shop_font"));
    // Editable, so that a stored font this system lacks still shows and stays.
    font_->setEditable(true);
    font_->setInsertPolicy(QComboBox::NoInsert);
    font_->setMinimumContentsLength(14);
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->setContentsMargins(12, 16, 12, 12);
    generalLayout->addWidget(caption(QStringLiteral("Schriftart:"), "SArt", general));
    generalLayout->addWidget(font_);
    connect(font_, &QComboBox::currentTextChanged, this, [this](const QString& family) {
        editor_.Layout.Font = fromQ(family);
        applyPreview();
    });

    element_ = group(QStringLiteral("ELEMENT"), "Element", "ElementGroup", "eigenschaften|farben", page);
    auto swatch = [this](const char* name, bool background) {
        auto* s = new ClickableLabel(element_);
        s->setObjectName(QString::fromUtf8(name));
        s->setFixedSize(44, 22);
        s->setFrameStyle(QFrame::Box | QFrame::Plain);
        s->setCursor(Qt::PointingHandCursor);
        connect(s, &ClickableLabel::clicked, this, [this, background] { chooseColour(background); });
        return s;
    };
    fontSwatch_ = swatch("el_fontcolor", false);
    backgroundSwatch_ = swatch("el_bgcolor", true);
    fontHex_ = new QLabel(element_);
    fontHex_->setObjectName(QStringLiteral("el_fontcolor_hex"));
    fontHex_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    backgroundHex_ = new QLabel(element_);
    backgroundHex_->setObjectName(QStringLiteral("el_bgcolor_hex"));
    backgroundHex_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* elementGrid = new QGridLayout(element_);
    elementGrid->setContentsMargins(12, 16, 12, 12);
    elementGrid->setHorizontalSpacing(8);
    elementGrid->setVerticalSpacing(4);
    elementGrid->addWidget(caption(QStringLiteral("Schriftfarbe:"), "SFarbe", element_), 0, 0, 1, 2);
    elementGrid->addWidget(fontSwatch_, 1, 0);
    elementGrid->addWidget(fontHex_, 1, 1);
    elementGrid->setRowMinimumHeight(2, 6);
    elementGrid->addWidget(caption(QStringLiteral("Hintergrundfarbe:"), "HFarbe", element_), 3, 0, 1, 2);
    elementGrid->addWidget(backgroundSwatch_, 4, 0);
    elementGrid->addWidget(backgroundHex_, 4, 1);
    elementGrid->setColumnStretch(1, 1);

    auto* side = new QVBoxLayout;
    side->setSpacing(14);
    side->addWidget(general);
    side->addWidget(element_);
    side->addStretch(1);
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(14);
    layout->addWidget(previewGroup, 1);
    layout->addLayout(side);
    return page;
}

QWidget* ShopProfileDialog::buildTextPage()
{
    auto* page = new QWidget;
    auto* tabs = new QTabWidget(page);
    tabs->setObjectName(QStringLiteral("TextPages"));
    for (std::size_t i = 0; i < kShopTextNames.size(); ++i) {
        auto* memo = new QPlainTextEdit;
        memo->setObjectName(QStringLiteral("text_") + toQ(kShopTextNames[i]));
        setHint(memo, kTextPages[i].hint);
        tabs->addTab(memo, QString::fromUtf8(kTextPages[i].caption));
        texts_[i] = memo;
    }
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(tabs);
    return page;
}

void ShopProfileDialog::showPage(Page page)
{
    // Opening an open dialog again keeps what has been typed so far.
    if (!isVisible()) {
        loadData();
    }
    pages_->setCurrentIndex(page);
    show();
    raise();
    activateWindow();
}

void ShopProfileDialog::followDataFolder()
{
    dataDir_ = state_.Dirs.DataDir;
}

void ShopProfileDialog::loadData()
{
    dataDir_ = state_.Dirs.DataDir;
    catalogLanguage_ = state_.Store.CatalogLanguage();
    homeLanguage_ = state_.User.Country.Language;
    homeRate_ = state_.User.Country.Rate[0];
    editor_.Load(dataDir_, catalogLanguage_, homeLanguage_, homeRate_);
    showData();
}

void ShopProfileDialog::showData()
{
    freeDelivery_->setText(toQ(editor_.FreeDelivery));
    packing_->setText(toQ(editor_.Packing));
    paymentTerm_->setText(toQ(editor_.PaymentTerm));
    header_->setChecked(editor_.Header);
    footer_->setChecked(editor_.Footer);
    taxNumber_->setText(toQ(editor_.TaxNumber));
    taxId_->setText(toQ(editor_.VatId));
    bank_->setText(toQ(editor_.Bank));
    bankCode_->setText(toQ(editor_.BankCode));
    account_->setText(toQ(editor_.Account));
    iban_->setText(toQ(editor_.Iban));
    bic_->setText(toQ(editor_.Bic));
    vatMode_->setCurrentIndex(editor_.VatByDestination ? 1 : 0);
    invoicePrefix_->setText(toQ(editor_.InvoicePrefix));
    invoiceNext_->setText(toQ(editor_.InvoiceNext));
    for (QLabel* unit : homeCurrency_) {
        unit->setText(toQ(state_.User.Country.Currency[0]));
    }

    showLevels(quantity_, 0);
    showLevels(price_, 0);

    const QString family = toQ(editor_.Layout.Font);
    {
        const QSignalBlocker block(font_);
        font_->clear();
        font_->addItems(QFontDatabase::families());
        font_->setCurrentText(family);
    }
    if (currentElement_ >= 0) {
        element_->setTitle(elementTitle_);
    }
    currentElement_ = -1;
    showElementColours();
    applyPreview();

    for (std::size_t i = 0; i < texts_.size(); ++i) {
        texts_[i]->setPlainText(toQ(editor_.Texts[i]));
    }
}

void ShopProfileDialog::readControls()
{
    editor_.FreeDelivery = fromQ(freeDelivery_->text());
    editor_.Packing = fromQ(packing_->text());
    editor_.PaymentTerm = fromQ(paymentTerm_->text());
    editor_.Header = header_->isChecked();
    editor_.Footer = footer_->isChecked();
    editor_.TaxNumber = fromQ(taxNumber_->text());
    editor_.VatId = fromQ(taxId_->text());
    editor_.Bank = fromQ(bank_->text());
    editor_.BankCode = fromQ(bankCode_->text());
    editor_.Account = fromQ(account_->text());
    editor_.Iban = fromQ(iban_->text());
    editor_.Bic = fromQ(bic_->text());
    editor_.VatByDestination = vatMode_->currentIndex() == 1;
    editor_.InvoicePrefix = fromQ(invoicePrefix_->text());
    editor_.InvoiceNext = fromQ(invoiceNext_->text());
    editor_.Layout.Font = fromQ(font_->currentText());
    for (std::size_t i = 0; i < texts_.size(); ++i) {
        editor_.Texts[i] = fromQ(texts_[i]->toPlainText());
    }
}

void ShopProfileDialog::accept()
{
    readControls();
    if (!guarded(prompter_, [this] { editor_.Save(dataDir_, catalogLanguage_, homeLanguage_, homeRate_); })) {
        return;
    }
    QDialog::accept();
}

// Discount levels. Saving or deleting a level refreshes only its own table,
// so that what is typed on the other pages stays until "OK" or "Abbrechen".

void ShopProfileDialog::showLevels(LevelControls& c, int position)
{
    {
        const QSignalBlocker block(c.level);
        c.level->clear();
        for (const auto& level : editor_.Levels(c.table)) {
            c.level->addItem(toQ(level.first));
        }
        c.level->setCurrentIndex(position < c.level->count() ? position : -1);
        if (c.level->currentIndex() < 0) {
            c.level->setEditText(QString());
        }
    }
    // The fields show the shown level, so that leaving a field never stores
    // empty values over it.
    chooseLevel(c, c.level->currentIndex());
}

void ShopProfileDialog::chooseLevel(LevelControls& c, int position)
{
    const ShopProfileEditor::LevelFields fields = editor_.FieldsOf(c.table, position);
    c.amount->setText(toQ(fields.Amount));
    c.rate->setText(toQ(fields.Rate));
}

void ShopProfileDialog::saveLevel(LevelControls& c)
{
    guarded(prompter_, [&] {
        const int position =
            editor_.SaveLevel(c.table, fromQ(c.level->currentText()), fromQ(c.amount->text()), fromQ(c.rate->text()));
        if (position >= 0) {
            showLevels(c, position);
        }
    });
}

void ShopProfileDialog::leaveLevelBox(LevelControls& c)
{
    const std::string name = fromQ(c.level->currentText());
    if (editor_.FindLevel(c.table, name) >= 0) {
        return;
    }
    saveLevel(c);
    if (c.table == DiscountTable::Price && editor_.FindLevel(c.table, name) >= 0) {
        // A new price level starts from empty fields for its own values.
        c.amount->clear();
        c.rate->clear();
    }
}

void ShopProfileDialog::deleteLevel(LevelControls& c)
{
    if (const std::optional<int> next = editor_.DeleteLevel(c.table, fromQ(c.level->currentText()))) {
        showLevels(c, *next);
    }
}

ShopProfileDialog::LevelControls* ShopProfileDialog::controlsOf(QObject* watched)
{
    for (LevelControls* c : {&quantity_, &price_}) {
        if (watched == c->level || watched == c->amount || watched == c->rate) {
            return c;
        }
    }
    return nullptr;
}

bool ShopProfileDialog::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusOut: {
        // Only a move to another control of the dialog counts as leaving:
        // not the level list popping up, nor another window coming to front.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) {
            break;
        }
        if (LevelControls* c = controlsOf(watched)) {
            if (watched == c->level) {
                leaveLevelBox(*c);
            } else {
                saveLevel(*c);
            }
        }
        break;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        LevelControls* c = controlsOf(watched);
        if (c != nullptr && watched == c->level && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            saveLevel(*c);
            focusNextChild();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

// Layout

void ShopProfileDialog::chooseElement(int element)
{
    if (currentElement_ < 0) {
        elementTitle_ = element_->title();
    }
    currentElement_ = element;
    element_->setTitle(preview_[element]->text());
    showElementColours();
}

void ShopProfileDialog::showElementColours()
{
    const bool chosen = currentElement_ >= 0;
    for (auto [swatch, hex, background] :
         {std::tuple{fontSwatch_, fontHex_, false}, std::tuple{backgroundSwatch_, backgroundHex_, true}}) {
        if (!chosen) {
            swatch->setAutoFillBackground(false);
            swatch->setPalette(QPalette());
            hex->clear();
            continue;
        }
        const ElementColours& colours = editor_.Layout.Elements[currentElement_];
        const ColorValue value = background ? colours.Background : colours.Font;
        paint(swatch, value, value);
        // A border of its own, so that a white swatch shows on a white dialog.
        QPalette framed = swatch->palette();
        framed.setColor(QPalette::WindowText, QColor(0x60, 0x60, 0x60));
        swatch->setPalette(framed);
        hex->setText(QLatin1Char('#') + toQ(ColorToHtml(value)));
    }
}

void ShopProfileDialog::chooseColour(bool background)
{
    if (currentElement_ < 0) {
        return;
    }
    ElementColours& colours = editor_.Layout.Elements[currentElement_];
    ColorValue& value = background ? colours.Background : colours.Font;
    QColorDialog dialog(qColour(value), this);
    dialog.setObjectName(QStringLiteral("ColourDialog"));
    // The same dialog on every desktop.
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    value = colourValue(dialog.selectedColor());
    showElementColours();
    applyPreview();
}

void ShopProfileDialog::applyPreview()
{
    const QString family = toQ(editor_.Layout.Font);
    for (int e = 0; e < kLayoutElementCount; ++e) {
        ClickableLabel* l = preview_[e];
        const ElementColours& colours = editor_.Layout.Elements[e];
        paint(l, colours.Font, colours.Background);
        QFont f = font();
        f.setFamily(family);
        f.setBold(e != static_cast<int>(LayoutElement::Link));
        f.setUnderline(e == static_cast<int>(LayoutElement::Link));
        l->setFont(f);
    }
}

} // namespace quillane::gui
