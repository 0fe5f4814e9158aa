#include "gui/catalog/ItemPanel.h"

#include "core/catalog/ItemOps.h"
#include "core/common/Error.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/CatalogMessages.h"
#include "gui/app/AppState.h"
#include "gui/catalog/ItemDetailsArea.h"
#include "gui/catalog/ItemGrid.h"
#include "gui/common/ClickableLabel.h"
#include "gui/common/DialogParts.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/ObjectNames.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
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

QString doubledAmpersands(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

ItemPanel::ItemPanel(AppState& state, Prompter& prompter, ItemOps& ops, QWidget* parent)
    : QGroupBox(QStringLiteral("ARTIKELDATEN"), parent), state_(state), prompter_(prompter), ops_(ops)
{
    setObjectName(QStringLiteral("ItemPanel"));
    setHint(this, "Artikeldaten");

    QGridLayout* entry = buildEntry();
    buildButtonPanel();
    buildGrid();
    buildMenu();
    details_ = new ItemDetailsArea(state_, prompter_, this);
    details_->setFixedHeight(200);
    connect(details_, &ItemDetailsArea::discountSetupRequested, this, &ItemPanel::discountSetupRequested);

    auctionButton_ = new QPushButton(QStringLiteral("Artikel bei eBay versteigern"), this);
    auctionButton_->setObjectName(QStringLiteral("AuctionButton"));
    setHint(auctionButton_, "ebay");
    auctionButton_->setEnabled(false);
    connect(auctionButton_, &QPushButton::clicked, this, &ItemPanel::Button1Click);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entry);
    layout->addWidget(buttonPanel_);
    layout->addWidget(grid_, 1);
    layout->addWidget(details_);
    auto* auctionRow = new QHBoxLayout;
    auctionRow->addStretch(1);
    auctionRow->addWidget(auctionButton_);
    layout->addLayout(auctionRow);

    reset();
}

// The fields an item is entered in: name, order number and price.
QGridLayout* ItemPanel::buildEntry()
{
    auto* entry = new QGridLayout;
    entry->addWidget(makeLabel(QStringLiteral("Bezeichnung:"), "Bezeichnung", "NameLabel", this), 0, 0);
    name_ = lineEdit("Bezeichnung", this);
    entry->addWidget(name_, 1, 0);
    entry->addWidget(makeLabel(QStringLiteral("Best.-Nr.:"), "BestNr", "OrderNoLabel", this), 0, 1);
    orderNo_ = lineEdit("BestNr", this);
    entry->addWidget(orderNo_, 1, 1);
    priceLabel_ = new ClickableLabel(QStringLiteral("Nettopreis:"), this);
    priceLabel_->setObjectName(QStringLiteral("PriceCaption"));
    priceLabel_->setCursor(Qt::PointingHandCursor);
    connect(priceLabel_, &ClickableLabel::clicked, this, &ItemPanel::PreisClick);
    entry->addWidget(priceLabel_, 0, 2);
    auto* priceRow = new QHBoxLayout;
    price_ = lineEdit("Preis", this);
    priceRow->addWidget(price_, 1);
    priceRow->addWidget(makeLabel(QStringLiteral("\u20ac"), "Geld", "PriceCurrency", this));
    entry->addLayout(priceRow, 1, 2);
    entry->addWidget(new HelpMark(QStringLiteral("artikeleingabe|input"), this), 1, 3);
    entry->setColumnStretch(0, 3);
    entry->setColumnStretch(1, 1);
    entry->setColumnStretch(2, 1);
    watchEntry();
    return entry;
}

// Keys and typed characters of the entry fields.
void ItemPanel::watchEntry()
{
    for (QLineEdit* edit : {name_, orderNo_, price_}) {
        edit->installEventFilter(this);
    }
    for (QLineEdit* edit : {name_, orderNo_}) {
        // A "'" would break the shop's scripts; it becomes a double quote.
        connect(edit, &QLineEdit::textEdited, this, [edit](const QString& text) {
            if (text.contains(QLatin1Char('\'')) || text.contains(QLatin1Char('|'))) {
                const int cursor = edit->cursorPosition();
                edit->setText(QString(text).replace(QLatin1Char('\''), QLatin1Char('"')).remove(QLatin1Char('|')));
                edit->setCursorPosition(std::min(cursor, static_cast<int>(edit->text().size())));
            }
        });
    }
}

// Add, insert, replace and remove, placed over the grid's columns.
void ItemPanel::buildButtonPanel()
{
    buttonPanel_ = new QWidget(this);
    buttonPanel_->setObjectName(QStringLiteral("ButtonPanel"));
    buttonPanel_->setFixedHeight(34);
    buttonPanel_->installEventFilter(this);
    const struct {
        const char* caption;
        const char* hint;
    } buttons[4] = {
        {"Hinzufügen", "Hinzufuegen"}, {"Einfügen", "Einfuegen"}, {"Ersetzen", "Ersetzen"}, {"Entfernen", "Entfernen"}};
    for (int i = 0; i < 4; ++i) {
        buttons_[i] = new QPushButton(QString::fromUtf8(buttons[i].caption), buttonPanel_);
        buttons_[i]->setObjectName(QString::fromUtf8(buttons[i].hint));
        setHint(buttons_[i], buttons[i].hint);
    }
    connect(buttons_[0], &QPushButton::clicked, this, &ItemPanel::HinzufuegenClick);
    connect(buttons_[1], &QPushButton::clicked, this, &ItemPanel::EinfuegenClick);
    connect(buttons_[2], &QPushButton::clicked, this, &ItemPanel::ErsetzenClick);
    connect(buttons_[3], &QPushButton::clicked, this, &ItemPanel::EntfernenClick);
}

void ItemPanel::buildGrid()
{
    grid_ = new ItemGrid(this);
    grid_->setObjectName(QStringLiteral("ItemGrid"));
    grid_->setHeaderLabels(
        {QString(), QString(), QStringLiteral("Bezeichnung"), QStringLiteral("Best.-Nr."), QStringLiteral("Preis")});
    grid_->installEventFilter(this);
    connect(grid_, &QTreeWidget::itemDoubleClicked, this, [this] { ItemGridDblClick(); });
    connect(grid_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* row) {
        if (!filling_ && row != nullptr) {
            ItemGridClick(grid_->indexOfTopLevelItem(row) + 1);
        }
    });
    connect(grid_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* row, int column) {
        if (!filling_ && column == 1) {
            itemgridCheckBoxClick(row);
        }
    });
    connect(grid_, &ItemGrid::rowMoved, this, &ItemPanel::ItemGridRowMoved);
    connect(grid_, &QWidget::customContextMenuRequested, this, &ItemPanel::PopupMenu2Popup);
}

// The grid's context menu: move an item up, down or to another group.
void ItemPanel::buildMenu()
{
    menu_ = new QMenu(this);
    menu_->setObjectName(QLatin1String(names::kItemMenu));
    QAction* up = menu_->addAction(QStringLiteral("Nach oben verschieben"));
    up->setObjectName(QStringLiteral("mMoveUp"));
    moveMenu_ = menu_->addMenu(QStringLiteral("in andere Gruppe verlegen"));
    moveMenu_->menuAction()->setObjectName(QStringLiteral("mMoveToGroup"));
    QAction* down = menu_->addAction(QStringLiteral("Nach unten verschieben"));
    down->setObjectName(QStringLiteral("mMoveDown"));
    connect(up, &QAction::triggered, this, [this] { ItemGridRowMoved(selectedRow_, selectedRow_ - 1); });
    connect(down, &QAction::triggered, this, [this] { ItemGridRowMoved(selectedRow_, selectedRow_ + 1); });
}

void ItemPanel::setActive(bool active)
{
    active_ = active;
    // The help marks stay usable: a merchant may wonder why the panel is idle.
    const auto children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (qobject_cast<HelpMark*>(child) == nullptr) {
            child->setEnabled(active);
        }
    }
    if (active) {
        auctionButton_->setEnabled(false);
    }
}

QLabel* ItemPanel::priceCaption() const
{
    return priceLabel_;
}

void ItemPanel::setStandardHeading(const QString& heading)
{
    standardHeading_ = heading;
}

void ItemPanel::reset()
{
    setTitle(standardHeading_);
    ClearFields();
    ClearDetails(true);
    setActive(false);
}

void ItemPanel::setTranslationMode(bool on)
{
    details_->setTranslationMode(on);
    auctionButton_->setEnabled(details_->isActive());
}

void ItemPanel::updatePriceCaption()
{
    priceLabel_->setText(toQ(state_.Texts.PriceCaptions[state_.PriceEntryMode == PriceEntry::Gross ? 0 : 1]));
}

void ItemPanel::PreisClick()
{
    state_.PriceEntryMode = state_.PriceEntryMode == PriceEntry::Net ? PriceEntry::Gross : PriceEntry::Net;
    updatePriceCaption();
    Q_EMIT priceEntryModeChanged();
}

void ItemPanel::showChosenGroup(const QString& heading, bool leaf)
{
    ClearFields();
    if (!leaf) {
        ClearDetails(true);
        setActive(false);
        return;
    }
    selectedRow_ = 1;
    setActive(true);
    setTitle(heading);
    if (state_.Store.CurrentGroup != "-1") {
        ShowGroup(Sender::Tree);
    } else {
        ClearDetails(true);
    }
}

void ItemPanel::ClearFields()
{
    name_->clear();
    orderNo_->clear();
    price_->clear();
    Q_EMIT countChanged();
}

void ItemPanel::ClearDetails(bool reset)
{
    if (reset) {
        filling_ = true;
        grid_->clear();
        filling_ = false;
    }
    details_->clear();
    auctionButton_->setEnabled(false);
}

void ItemPanel::ShowGroup(Sender sender)
{
    ClearDetails(true);
    if (sender != Sender::Tree) {
        // The item operations have stored the group and marked the change.
        if (sender == Sender::Button) {
            ClearFields();
            name_->setFocus();
        }
    }
    const int rows = ops_.RowCount();
    if (rows == 0) {
        return;
    }
    filling_ = true;
    for (int n = 1; n <= rows; ++n) {
        const auto& line = state_.Store.CurrentItems[n];
        const ItemFields fields = CatalogStore::SplitItem(line.second);
        auto* row = new QTreeWidgetItem(grid_);
        row->setText(0, QString::number(n) + QLatin1Char('.'));
        row->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        row->setFlags((row->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsDragEnabled) & ~Qt::ItemIsDropEnabled);
        row->setCheckState(1, fields.Shown != "0" ? Qt::Checked : Qt::Unchecked);
        row->setText(2, toQ(fields.Name));
        row->setText(3, toQ(line.first));
        row->setText(4, toQ(ops_.DisplayPrice(n)));
        row->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
    }
    selectedRow_ = std::clamp(selectedRow_, 1, rows);
    grid_->setCurrentItem(grid_->topLevelItem(selectedRow_ - 1));
    filling_ = false;
    ItemGridClick(selectedRow_);
    Q_EMIT statusMessage(toQ(state_.Texts.StatusTexts[status::kDoubleClickToEdit]));
}

void ItemPanel::ItemGridClick(int row)
{
    selectedRow_ = row;
    state_.Store.CurrentItemKey = ops_.OrderNoAt(row);
    details_->showItem(state_.Store.CurrentItemKey);
    auctionButton_->setEnabled(details_->isActive());
}

void ItemPanel::Button1Click()
{
    const int index = state_.Store.IndexOfItem(state_.Store.CurrentItemKey);
    if (index < 0) {
        return;
    }
    const ItemFields fields = CatalogStore::SplitItem(state_.Store.CurrentItems[index].second);
    AuctionItem item;
    item.OrderNo = state_.Store.CurrentItemKey;
    item.Name = fields.Name;
    item.Price = fields.Price;
    const QString text = details_->descriptionText();
    if (!text.isEmpty()) {
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            item.Description.push_back(fromQ(line));
        }
    }
    Q_EMIT auctionRequested(item);
}

void ItemPanel::tellMissingFields()
{
    // Named by the captions the merchant sees above the fields.
    const std::pair<QLineEdit*, QLabel*> fields[] = {
        {name_, findChild<QLabel*>(QStringLiteral("NameLabel"))},
        {orderNo_, findChild<QLabel*>(QStringLiteral("OrderNoLabel"))},
        {price_, priceLabel_},
    };
    QStringList missing;
    QLineEdit* first = nullptr;
    for (const auto& [field, caption] : fields) {
        if (field->text().trimmed().isEmpty()) {
            missing << caption->text().remove(QLatin1Char('&')).remove(QLatin1Char(':')).trimmed();
            first = first != nullptr ? first : field;
        }
    }
    if (first == nullptr) {
        return;
    }
    prompter_.TellError(Message{msg::ItemFieldsMissing, {fromQ(missing.join(QStringLiteral(", ")))}});
    first->setFocus();
}

bool ItemPanel::enterItem(const std::function<ItemOps::Result()>& operation, const std::string& orderNo)
{
    // The description belongs to the item as it was before the change.
    details_->storeDescription();
    // On an error nothing was stored; the fields keep what was typed.
    bool entered = false;
    guarded(prompter_, [&] { entered = report(static_cast<int>(operation()), orderNo); });
    return entered;
}

bool ItemPanel::report(int result, const std::string& orderNo)
{
    switch (static_cast<ItemOps::Result>(result)) {
    case ItemOps::Result::Done:
        return true;
    case ItemOps::Result::MissingField:
        tellMissingFields();
        return false;
    case ItemOps::Result::DuplicateOrderNo: {
        std::string text = state_.Texts.MsgBoxTexts[msgbox::kOrderNoTaken];
        if (text.empty()) {
            text = "This order number is taken.";
        }
        prompter_.Tell("Quillane", text + "\n\"" + orderNo + "\"");
        return false;
    }
    default:
        return false;
    }
}

void ItemPanel::HinzufuegenClick()
{
    const std::string orderNo = fromQ(orderNo_->text().trimmed());
    const std::string name = fromQ(name_->text());
    const std::string price = fromQ(price_->text());
    if (enterItem([&] { return ops_.Add(name, orderNo, price, state_.PriceEntryMode); }, orderNo)) {
        ShowGroup(Sender::Button);
    }
}

void ItemPanel::EinfuegenClick()
{
    const std::string orderNo = fromQ(orderNo_->text().trimmed());
    const std::string name = fromQ(name_->text());
    const std::string price = fromQ(price_->text());
    if (enterItem([&] { return ops_.Insert(selectedRow_, name, orderNo, price, state_.PriceEntryMode); }, orderNo)) {
        ShowGroup(Sender::Button);
    }
}

void ItemPanel::ErsetzenClick()
{
    const std::string orderNo = fromQ(orderNo_->text().trimmed());
    const std::string name = fromQ(name_->text());
    const std::string price = fromQ(price_->text());
    if (enterItem(
            [&] {
                return ops_.Replace(selectedRow_, name, orderNo, price, state_.PriceEntryMode, state_.Dirs.DataDir,
                                    languages_);
            },
            orderNo)) {
        ShowGroup(Sender::Button);
    }
}

void ItemPanel::EntfernenClick()
{
    details_->storeDescription();
    if (ops_.Remove(selectedRow_) == ItemOps::Result::Done) {
        ShowGroup(Sender::Button);
    }
}

void ItemPanel::ItemGridDblClick()
{
    const int row = selectedRow_;
    if (row < 1 || row > ops_.RowCount()) {
        return;
    }
    const auto& line = state_.Store.CurrentItems[row];
    name_->setText(toQ(CatalogStore::SplitItem(line.second).Name));
    orderNo_->setText(toQ(line.first));
    const std::string shown = ops_.DisplayPrice(row);
    price_->setText(toQ(shown.substr(0, shown.find(' '))));
    Q_EMIT statusMessage(toQ(state_.Texts.StatusTexts[status::kChangeAndReplace]));
}

void ItemPanel::itemgridCheckBoxClick(QTreeWidgetItem* row)
{
    const int n = grid_->indexOfTopLevelItem(row) + 1;
    ops_.SetPublished(n, row->checkState(1) == Qt::Checked);
}

void ItemPanel::ItemGridRowMoved(int from, int to)
{
    details_->storeDescription();
    if (ops_.Move(from, to) == ItemOps::Result::Done) {
        selectedRow_ = to;
        QMetaObject::invokeMethod(
            this, [this] { ShowGroup(Sender::Other); }, Qt::QueuedConnection);
    }
}

void ItemPanel::PopupMenu2Popup(const QPoint& pos)
{
    if (QTreeWidgetItem* row = grid_->itemAt(pos)) {
        grid_->setCurrentItem(row);
    }
    if (ops_.RowCount() == 0) {
        return;
    }
    moveMenu_->clear();
    for (const auto& [main, value] : state_.Store.GroupMap) {
        const SplitArray subs = Split('|', value);
        const QString mainName = toQ(main);
        if (subs.size() < 2) {
            QAction* target = moveMenu_->addAction(doubledAmpersands(mainName));
            connect(target, &QAction::triggered, this, [this, mainName] { moveToGroup(mainName); });
            continue;
        }
        QMenu* sub = moveMenu_->addMenu(doubledAmpersands(mainName));
        for (std::size_t i = 0; i + 1 < subs.size(); ++i) {
            const QString path = mainName + QLatin1Char('|') + toQ(subs[i]);
            QAction* target = sub->addAction(doubledAmpersands(toQ(subs[i])));
            connect(target, &QAction::triggered, this, [this, path] { moveToGroup(path); });
        }
    }
    menu_->popup(grid_->viewport()->mapToGlobal(pos));
}

void ItemPanel::moveToGroup(const QString& path)
{
    const std::string orderNo = ops_.OrderNoAt(selectedRow_);
    switch (ops_.MoveToGroup(selectedRow_, fromQ(path))) {
    case ItemOps::Result::Done:
        ShowGroup(Sender::Other);
        break;
    case ItemOps::Result::DuplicateOrderNo: {
        // The target keeps its own item of that number; moving would overwrite it.
        const std::string text = MessageLines(state_.Texts.Notice(
            "OrderNoInGroup", "The item number \"#\" is already used in the product group \"[GROUP]\".|"
                              "The item stays where it is."));
        prompter_.Tell("Quillane",
                       ReplaceAll(ReplaceAll(text, "#", orderNo), "[GROUP]", ReplaceAll(fromQ(path), "|", " / ")));
        break;
    }
    default:
        break;
    }
}

void ItemPanel::placeButtons()
{
    const int w = buttonPanel_->width();
    const int width = std::max(0, (w - 40) / 4);
    for (int i = 0; i < 4; ++i) {
        buttons_[i]->setGeometry(8 + i * (8 + width), 4, width, 26);
    }
}

void ItemPanel::placeColumns()
{
    grid_->setColumnWidth(0, 24);
    grid_->setColumnWidth(1, 18);
    grid_->setColumnWidth(2, std::max(0, grid_->width() - 224));
    grid_->setColumnWidth(3, 80);
    grid_->setColumnWidth(4, 80);
}

bool ItemPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == buttonPanel_) {
            placeButtons();
        } else if (watched == grid_) {
            placeColumns();
        }
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (enter && watched == price_) {
            buttons_[0]->click();
            return true;
        }
        if (enter && (watched == name_ || watched == orderNo_)) {
            focusNextChild();
            return true;
        }
        if (key == Qt::Key_Delete && watched == grid_) {
            EntfernenClick();
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

} // namespace quillane::gui
