#include "app/CatalogPage.h"

#include "common/Translator.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillane::gui {

namespace {

QLabel* makeLabel(const QString& text, const char* hint, const char* name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromUtf8(name));
    setHint(label, hint);
    return label;
}

QLineEdit* makeEdit(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf8(name));
    return edit;
}

} // namespace

CatalogPage::CatalogPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CatalogPage"));
    setAutoFillBackground(true);

    // Group panel: laid out by hand, because translation mode moves the tree
    // over the entry fields.
    groupPanel_ = new QWidget(this);
    groupPanel_->setObjectName(QStringLiteral("GroupPanel"));
    groupPanel_->setFixedWidth(250);
    groupPanel_->installEventFilter(this);
    groupHeading_ = makeLabel(QStringLiteral("PRODUKTGRUPPE"), "Produktgruppe", "GroupHeading", groupPanel_);
    mainGroupEdit_ = makeEdit("MainGroupEdit", groupPanel_);
    subGroupEdit_ = makeEdit("SubGroupEdit", groupPanel_);
    groupTree_ = new QTreeWidget(groupPanel_);
    groupTree_->setObjectName(QStringLiteral("GroupTree"));
    groupTree_->setHeaderHidden(true);
    // The shipping surcharge of the chosen group.
    shippingBox_ = new QGroupBox(groupPanel_);
    shippingBox_->setObjectName(QStringLiteral("ShippingBox"));
    {
        auto* row = new QHBoxLayout(shippingBox_);
        row->setContentsMargins(6, 4, 6, 4);
        row->addWidget(makeLabel(QStringLiteral("Versand:"), "Versand", "SurchargeLabel", shippingBox_));
        row->addWidget(makeEdit("SurchargeEdit", shippingBox_), 1);
        row->addWidget(makeLabel(QStringLiteral("\u20ac"), "Geld", "SurchargeCurrency", shippingBox_));
    }

    // Item panel.
    itemPanel_ = new QGroupBox(QStringLiteral("Artikeldaten"), this);
    itemPanel_->setObjectName(QStringLiteral("ItemPanel"));
    setHint(itemPanel_, "Artikeldaten");
    auto* entry = new QGridLayout;
    entry->addWidget(makeLabel(QStringLiteral("Bezeichnung:"), "Bezeichnung", "NameLabel", itemPanel_), 0, 0);
    entry->addWidget(makeEdit("NameEdit", itemPanel_), 1, 0);
    entry->addWidget(makeLabel(QStringLiteral("Best.-Nr.:"), "BestNr", "OrderNoLabel", itemPanel_), 0, 1);
    entry->addWidget(makeEdit("OrderNoEdit", itemPanel_), 1, 1);
    priceCaption_ = makeLabel(QStringLiteral("Preis (netto):"), "", "PriceCaption", itemPanel_);
    entry->addWidget(priceCaption_, 0, 2);
    auto* priceRow = new QHBoxLayout;
    priceRow->addWidget(makeEdit("PriceEdit", itemPanel_), 1);
    priceRow->addWidget(makeLabel(QStringLiteral("\u20ac"), "Geld", "PriceCurrency", itemPanel_));
    entry->addLayout(priceRow, 1, 2);
    entry->setColumnStretch(0, 3);
    entry->setColumnStretch(1, 1);
    entry->setColumnStretch(2, 1);

    buttonPanel_ = new QWidget(itemPanel_);
    buttonPanel_->setObjectName(QStringLiteral("ButtonPanel"));
    buttonPanel_->setFixedHeight(34);
    buttonPanel_->installEventFilter(this);
    const struct {
        const char* caption;
        const char* hint;
    } buttons[4] = {{"Hinzufügen", "Hinzufuegen"}, {"Einfügen", "Einfuegen"}, {"Ersetzen", "Ersetzen"},
                    {"Entfernen", "Entfernen"}};
    for (int i = 0; i < 4; ++i) {
        buttons_[i] = new QPushButton(QString::fromUtf8(buttons[i].caption), buttonPanel_);
        buttons_[i]->setObjectName(QString::fromUtf8(buttons[i].hint));
        setHint(buttons_[i], buttons[i].hint);
    }

    itemList_ = new QTreeWidget(itemPanel_);
    itemList_->setObjectName(QStringLiteral("ItemList"));
    itemList_->setColumnCount(5);
    itemList_->setRootIsDecorated(false);
    itemList_->setHeaderLabels({QString(), QString(), QStringLiteral("Bezeichnung"), QStringLiteral("Best.-Nr."),
                                QStringLiteral("Preis")});
    itemList_->header()->setStretchLastSection(false);
    itemList_->header()->setSectionResizeMode(QHeaderView::Fixed);
    itemList_->header()->setMinimumSectionSize(16);
    itemList_->installEventFilter(this);

    details_ = new QTabWidget(itemPanel_);
    details_->setObjectName(QStringLiteral("ItemDetails"));
    details_->setFixedHeight(190);
    auto* descriptionPage = new QWidget;
    setHint(descriptionPage, "Beschreibung");
    {
        auto* l = new QVBoxLayout(descriptionPage);
        auto* memo = new QTextEdit(descriptionPage);
        memo->setObjectName(QStringLiteral("DescriptionMemo"));
        l->addWidget(memo);
    }
    details_->addTab(descriptionPage, QStringLiteral("Beschreibung"));
    auto* picturePage = new QWidget;
    setHint(picturePage, "Bild");
    {
        auto* l = new QHBoxLayout(picturePage);
        pictureBox_ = new QLabel(picturePage);
        pictureBox_->setObjectName(QStringLiteral("PictureBox"));
        pictureBox_->setMinimumSize(160, 120);
        static_cast<QLabel*>(pictureBox_)->setFrameShape(QFrame::StyledPanel);
        l->addWidget(pictureBox_);
        l->addStretch(1);
    }
    details_->addTab(picturePage, QStringLiteral("Bild"));
    discountPage_ = new QWidget;
    discountPage_->setObjectName(QStringLiteral("DiscountPage"));
    setHint(discountPage_, "Discounts");
    discountPageIndex_ = details_->addTab(discountPage_, QStringLiteral("Rabatte && Aktionen"));

    auctionButton_ = new QPushButton(QStringLiteral("Artikel bei eBay versteigern"), itemPanel_);
    auctionButton_->setObjectName(QStringLiteral("AuctionButton"));
    setHint(auctionButton_, "ebay");

    auto* itemLayout = new QVBoxLayout(itemPanel_);
    itemLayout->addLayout(entry);
    itemLayout->addWidget(buttonPanel_);
    itemLayout->addWidget(itemList_, 1);
    itemLayout->addWidget(details_);
    auto* auctionRow = new QHBoxLayout;
    auctionRow->addStretch(1);
    auctionRow->addWidget(auctionButton_);
    itemLayout->addLayout(auctionRow);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(groupPanel_);
    layout->addWidget(itemPanel_, 1);

    FormResize(false);
}

void CatalogPage::FormResize(bool translationMode)
{
    translationMode_ = translationMode;
    placeButtons();

    placeColumns();

    QPalette pal = palette();
    pal.setColor(QPalette::Window, translationMode ? QColor(192, 0, 0) : QColor(192, 192, 192));
    setPalette(pal);
    // Child panels keep the ordinary window colour, so only the page's
    // frame shows the mode.
    itemPanel_->setAutoFillBackground(true);
    itemPanel_->setPalette(QApplication::palette());

    shippingBox_->setVisible(!translationMode);
    pictureBox_->setEnabled(!translationMode);
    details_->setTabVisible(discountPageIndex_, !translationMode);
    auctionButton_->setEnabled(false);
    placeGroupPanel();
}

void CatalogPage::placeGroupPanel()
{
    const int w = groupPanel_->width();
    const int h = groupPanel_->height();
    groupHeading_->setGeometry(4, 0, w - 8, 18);
    mainGroupEdit_->setGeometry(4, 20, w - 8, 22);
    subGroupEdit_->setGeometry(4, 44, w - 8, 22);
    mainGroupEdit_->setVisible(!translationMode_);
    subGroupEdit_->setVisible(!translationMode_);
    if (translationMode_) {
        groupTree_->setGeometry(4, mainGroupEdit_->y(), w - 8, std::max(0, h - 32));
    } else {
        groupTree_->setGeometry(4, 68, w - 8, std::max(0, h - 128));
        shippingBox_->setGeometry(4, h - 53, w - 8, 45);
    }
}

void CatalogPage::placeColumns()
{
    itemList_->setColumnWidth(0, 24);
    itemList_->setColumnWidth(1, 18);
    itemList_->setColumnWidth(2, std::max(0, itemList_->width() - 224));
    itemList_->setColumnWidth(3, 80);
    itemList_->setColumnWidth(4, 80);
}

void CatalogPage::placeButtons()
{
    const int w = buttonPanel_->width();
    const int width = std::max(0, (w - 40) / 4);
    for (int i = 0; i < 4; ++i) {
        buttons_[i]->setGeometry(8 + i * (8 + width), 4, width, 26);
    }
}

bool CatalogPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == groupPanel_) {
            placeGroupPanel();
        } else if (watched == buttonPanel_) {
            placeButtons();
        } else if (watched == itemList_) {
            placeColumns();
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillane::gui
