#include "gui/listing/AuctionPanel.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "gui/app/AppState.h"
#include "gui/common/DialogParts.h"
#include "gui/common/HelpMark.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

namespace quillane::gui {

namespace {

QPushButton* button(const QString& text, const char* hint, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromUtf8(name));
    setHint(b, hint);
    return b;
}

QComboBox* selector(const char* name, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromUtf8(name));
    combo->setMinimumWidth(160);
    return combo;
}

} // namespace

AuctionPanel::AuctionPanel(AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent), state_(state), prompter_(prompter)
{
    setObjectName(QStringLiteral("eBayPanel"));

    itemCaption_ = new QLabel(this);
    itemCaption_->setObjectName(QStringLiteral("ItemCaption"));
    itemCaption_->setTextFormat(Qt::PlainText);
    QFont bold = itemCaption_->font();
    bold.setBold(true);
    itemCaption_->setFont(bold);

    shopUrl_ = lineEdit("Edit1", this);
    shopUrl_->setText(QStringLiteral("http://"));
    additional_ = new QPlainTextEdit(this);
    additional_->setObjectName(QStringLiteral("Memo1"));
    additional_->setFixedHeight(64);
    contact_ = new QCheckBox(QStringLiteral("Kontaktinformationen ver\u00f6ffentlichen"), this);
    contact_->setObjectName(QStringLiteral("CheckBox2"));
    setHint(contact_, "kontakinfo");

    auto* fees = new QGroupBox(QStringLiteral("Geb\u00fchren"), this);
    fees->setObjectName(QStringLiteral("FeesGroup"));
    setHint(fees, "Fees");
    fee_ = selector("ComboBox1", fees);
    shipping_ = selector("ComboBox2", fees);
    auto* feeGrid = new QGridLayout(fees);
    feeGrid->addWidget(hintedLabel(QStringLiteral("eBay:"), "ebayfee", fees), 0, 0);
    feeGrid->addWidget(fee_, 0, 1);
    feeGrid->addWidget(hintedLabel(QStringLiteral("Versand:"), "Versand", fees), 1, 0);
    feeGrid->addWidget(shipping_, 1, 1);

    QPushButton* list = button(QStringLiteral("Artikel einstellen >>"), "sell", "Button5", this);
    QPushButton* copy = button(QStringLiteral("Beschreibung kopieren"), "copydesc", "CopyDescription", this);
    QPushButton* save = button(QStringLiteral("Beschreibung speichern\u2026"), "savedesc", "SaveDescription", this);
    connect(list, &QPushButton::clicked, this, &AuctionPanel::Button5Click);
    connect(copy, &QPushButton::clicked, this, &AuctionPanel::copyDescription);
    connect(save, &QPushButton::clicked, this, &AuctionPanel::saveDescription);

    auto* texts = new QGridLayout;
    texts->addWidget(itemCaption_, 0, 0, 1, 2);
    texts->addWidget(hintedLabel(QStringLiteral("Shopadresse:"), "ShopURL", this), 1, 0);
    texts->addWidget(shopUrl_, 1, 1);
    texts->addWidget(hintedLabel(QStringLiteral("Zusatzbeschreibung:"), "Additional", this), 2, 0, Qt::AlignTop);
    texts->addWidget(additional_, 2, 1);
    texts->addWidget(contact_, 3, 0, 1, 2);
    texts->setColumnStretch(1, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(list);
    buttons->addWidget(copy);
    buttons->addWidget(save);
    buttons->addStretch(1);

    auto* help = new HelpMark(QStringLiteral("auktion|ebay"), this);
    auto* helpColumn = new QVBoxLayout;
    helpColumn->addWidget(help);
    helpColumn->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addLayout(texts, 1);
    layout->addWidget(fees, 0, Qt::AlignTop);
    layout->addLayout(buttons);
    layout->addLayout(helpColumn);

    chooseSaveFile = [this] {
        return QFileDialog::getSaveFileName(this, QString(), QString(), QStringLiteral("HTML (*.html *.htm)"));
    };
}

void AuctionPanel::open(const AuctionItem& item)
{
    item_ = item;
    itemCaption_->setText(toQ(item.OrderNo) + QStringLiteral(" \u2013 ") + toQ(item.Name));
    const std::vector<std::string>& combo = state_.Texts.ComboTexts;
    for (QComboBox* box : {fee_, shipping_}) {
        box->clear();
        box->addItem(toQ(combo[4]));
        box->addItem(toQ(combo[5]));
    }
    const AuctionChoices c = LoadAuctionChoices(state_.Dirs.ProgramDir, state_.Dirs.DataDir, item.OrderNo, combo[4]);
    shopUrl_->setText(toQ(c.ShopURL));
    fee_->setCurrentText(toQ(c.eBayFee));
    shipping_->setCurrentText(toQ(c.Shipping));
    contact_->setChecked(c.Contact);
    QStringList lines;
    for (const std::string& line : c.Additional) {
        lines << toQ(line);
    }
    additional_->setPlainText(lines.join(QLatin1Char('\n')));
}

AuctionChoices AuctionPanel::choices() const
{
    AuctionChoices c;
    c.ShopURL = fromQ(shopUrl_->text());
    c.eBayFee = fromQ(fee_->currentText());
    c.Shipping = fromQ(shipping_->currentText());
    c.Contact = contact_->isChecked();
    const QString text = additional_->toPlainText();
    if (!text.isEmpty()) {
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            c.Additional.push_back(fromQ(line));
        }
    }
    return c;
}

AuctionSetup AuctionPanel::setup() const
{
    AuctionSetup s;
    s.ProgramDir = state_.Dirs.ProgramDir;
    s.TempDir = state_.Dirs.TempDir;
    s.DataDir = state_.Dirs.DataDir;
    s.EbayTexts = state_.Texts.EbayTexts;
    const TextTables& texts = state_.Texts;
    s.Say = [&texts](const Message& message) { return texts.Say(message); };
    return s;
}

std::string AuctionPanel::description() const
{
    AuctionChoices c = choices();
    c.ShopURL = CompleteShopUrl(c.ShopURL);
    return CreateItemDescription(setup(), item_, c);
}

QString AuctionPanel::formScript() const
{
    AuctionChoices c = choices();
    c.ShopURL = CompleteShopUrl(c.ShopURL);
    if (ShopUrlMissing(c.ShopURL)) {
        return {};
    }
    try {
        return toQ(ListingFormScript(MakeListingFormValues(setup(), item_, c)));
    } catch (const Error&) {
        // The merchant hears of a refused address when listing; a page
        // loading meanwhile is left alone.
        return {};
    }
}

std::optional<AuctionChoices> AuctionPanel::storeChoices()
{
    AuctionChoices c = choices();
    try {
        const bool saved = SaveAuctionChoices(state_.Dirs.ProgramDir, state_.Dirs.DataDir, item_.OrderNo, c);
        shopUrl_->setText(toQ(c.ShopURL));
        if (!saved) {
            prompter_.Tell("Quillane", MissingShopUrlNotice(state_.Texts));
            return std::nullopt;
        }
    } catch (const std::exception& e) {
        prompter_.TellError(MessageOf(e));
        return std::nullopt;
    }
    return c;
}

void AuctionPanel::Button5Click()
{
    if (!storeChoices()) {
        return;
    }
    Q_EMIT listingPageRequested(QUrl(toQ(ListingPageAddress(state_.Dirs.ProgramDir, state_.User.Country))));
}

std::optional<std::string> AuctionPanel::descriptionOrNotice()
{
    const std::optional<AuctionChoices> c = storeChoices();
    if (!c) {
        return std::nullopt;
    }
    try {
        return CreateItemDescription(setup(), item_, *c);
    } catch (const std::exception& e) {
        prompter_.TellError(MessageOf(e));
        return std::nullopt;
    }
}

void AuctionPanel::copyDescription()
{
    const std::optional<std::string> html = descriptionOrNotice();
    if (!html) {
        return;
    }
    auto* data = new QMimeData;
    data->setHtml(toQ(*html));
    data->setText(toQ(*html));
    QApplication::clipboard()->setMimeData(data);
}

void AuctionPanel::saveDescription()
{
    const std::optional<std::string> html = descriptionOrNotice();
    if (!html) {
        return;
    }
    QString file = chooseSaveFile ? chooseSaveFile() : QString();
    if (file.isEmpty()) {
        return;
    }
    if (!file.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive) &&
        !file.endsWith(QStringLiteral(".htm"), Qt::CaseInsensitive)) {
        file += QStringLiteral(".html");
    }
    try {
        WriteTextFile(file.toStdString(), *html);
    } catch (const std::exception& e) {
        prompter_.TellError(MessageOf(e));
        return;
    }
    Q_EMIT previewRequested(file);
}

} // namespace quillane::gui
