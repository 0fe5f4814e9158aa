#include "gui/catalog/GroupPanel.h"

#include "core/catalog/GroupOps.h"
#include "core/common/Error.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/CatalogMessages.h"
#include "gui/app/AppState.h"
#include "gui/catalog/GroupTree.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/ObjectNames.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace quillane::gui {

namespace {

constexpr int kOldTextRole = Qt::UserRole + 1;

QString pathOf(const QTreeWidgetItem* node)
{
    if (node == nullptr) {
        return {};
    }
    return node->parent() ? node->parent()->text(0) + QLatin1Char('|') + node->text(0) : node->text(0);
}

QTreeWidgetItem* makeNode(const QString& text)
{
    auto* node = new QTreeWidgetItem(QStringList{text});
    node->setFlags(node->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
    node->setData(0, kOldTextRole, text);
    return node;
}

} // namespace

GroupPanel::GroupPanel(AppState& state, Prompter& prompter, GroupOps& ops, QWidget* parent)
    : QWidget(parent), state_(state), prompter_(prompter), ops_(ops)
{
    setObjectName(QStringLiteral("GroupPanel"));
    heading_ = new QLabel(QStringLiteral("PRODUKTGRUPPE"), this);
    heading_->setObjectName(QStringLiteral("GroupHeading"));
    setHint(heading_, "Produktgruppe");
    helpMark_ = new HelpMark(QStringLiteral("artikelgruppen|groups"), this);
    hauptgruppe_ = new QLineEdit(this);
    hauptgruppe_->setObjectName(QStringLiteral("Hauptgruppe"));
    untergruppe_ = new QLineEdit(this);
    untergruppe_->setObjectName(QStringLiteral("Untergruppe"));
    untergruppe_->setEnabled(false);
    for (QLineEdit* edit : {hauptgruppe_, untergruppe_}) {
        edit->installEventFilter(this);
        // Names with "|" would split into two groups when read back.
        connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString& text) {
            if (text.contains(QLatin1Char('|'))) {
                edit->setText(QString(text).remove(QLatin1Char('|')));
            }
            Q_EMIT statusMessage(toQ(state_.Texts.StatusTexts[status::kEnterCreatesGroup]));
        });
    }

    tree_ = new GroupTree(this);
    tree_->setObjectName(QLatin1String(names::kGroupTree));
    tree_->installEventFilter(this);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* node) {
        if (!drawing_) {
            TreeView1Change(node);
        }
    });
    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node) {
        if (!drawing_) {
            TreeView1Edited(node);
        }
    });
    connect(tree_, &GroupTree::groupDropped, this, &GroupPanel::TreeView1DragDrop);
    connect(tree_, &QWidget::customContextMenuRequested, this, &GroupPanel::PopupMenu1Popup);

    shippingBox_ = new QGroupBox(this);
    shippingBox_->setObjectName(QStringLiteral("ShippingBox"));
    auto* row = new QHBoxLayout(shippingBox_);
    row->setContentsMargins(6, 4, 6, 4);
    auto* label = new QLabel(QStringLiteral("Versandzuschlag:"), shippingBox_);
    label->setObjectName(QStringLiteral("SurchargeLabel"));
    setHint(label, "Versand");
    surcharge_ = new QLineEdit(shippingBox_);
    surcharge_->setObjectName(QLatin1String(names::kSurchargeEdit));
    surcharge_->installEventFilter(this);
    connect(surcharge_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text.contains(QLatin1Char(','))) {
            surcharge_->setText(QString(text).replace(QLatin1Char(','), QLatin1Char('.')));
        }
    });
    auto* currency = new QLabel(QStringLiteral("\u20ac"), shippingBox_);
    currency->setObjectName(QStringLiteral("SurchargeCurrency"));
    setHint(currency, "Geld");
    surchargeButton_ = new QPushButton(QStringLiteral(">>"), shippingBox_);
    surchargeButton_->setObjectName(QStringLiteral("OK"));
    surchargeButton_->setFixedWidth(32);
    connect(surchargeButton_, &QPushButton::clicked, this, &GroupPanel::OKClick);
    row->addWidget(label);
    row->addWidget(surcharge_, 1);
    row->addWidget(currency);
    row->addWidget(surchargeButton_);

    menu_ = new QMenu(this);
    menu_->setObjectName(QLatin1String(names::kGroupMenu));
    renameAction_ = menu_->addAction(QStringLiteral("Umbenennen"));
    renameAction_->setObjectName(QStringLiteral("mUmbenennen"));
    deleteAction_ = menu_->addAction(QStringLiteral("Löschen"));
    deleteAction_->setObjectName(QStringLiteral("mLoeschen"));
    menu_->addSeparator();
    mainGroupAction_ = menu_->addAction(QStringLiteral("Hauptgruppe"));
    mainGroupAction_->setObjectName(QStringLiteral("mHauptgruppe"));
    connect(renameAction_, &QAction::triggered, this, [this] {
        if (QTreeWidgetItem* node = tree_->currentItem()) {
            tree_->editItem(node);
        }
    });
    connect(deleteAction_, &QAction::triggered, this, &GroupPanel::Delete1Click);
    connect(mainGroupAction_, &QAction::triggered, this, &GroupPanel::Hauptgruppe1Click);
}

void GroupPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

void GroupPanel::setTranslationMode(bool on)
{
    translationMode_ = on;
    tree_->setDropsAllowed(!on);
    place();
}

void GroupPanel::place()
{
    const int w = width();
    const int h = height();
    heading_->setGeometry(4, 0, w - 24, 18);
    helpMark_->setGeometry(w - 16, 0, 12, 18);
    hauptgruppe_->setGeometry(4, 20, w - 8, 22);
    untergruppe_->setGeometry(4, 44, w - 8, 22);
    hauptgruppe_->setVisible(!translationMode_);
    untergruppe_->setVisible(!translationMode_);
    shippingBox_->setVisible(!translationMode_);
    if (translationMode_) {
        // The tree covers the entry fields: no groups are added while translating.
        tree_->setGeometry(4, hauptgruppe_->y(), w - 8, std::max(0, h - 32));
    } else {
        tree_->setGeometry(4, 68, w - 8, std::max(0, h - 128));
        shippingBox_->setGeometry(4, h - 53, w - 8, 45);
    }
}

QTreeWidgetItem* GroupPanel::findPath(const QString& path) const
{
    if (path.isEmpty()) {
        return nullptr;
    }
    const QStringList parts = path.split(QLatin1Char('|'));
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* main = tree_->topLevelItem(i);
        if (main->text(0) != parts[0]) {
            continue;
        }
        if (parts.size() == 1) {
            return main;
        }
        for (int k = 0; k < main->childCount(); ++k) {
            if (main->child(k)->text(0) == parts[1]) {
                return main->child(k);
            }
        }
    }
    return nullptr;
}

QString GroupPanel::selectedPath() const
{
    return pathOf(tree_->currentItem());
}

void GroupPanel::ShowGroups(const QString& keepPath)
{
    drawing_ = true;
    tree_->clear();
    for (const auto& [main, value] : state_.Store.GroupMap) {
        QTreeWidgetItem* root = makeNode(toQ(main));
        tree_->addTopLevelItem(root);
        const SplitArray parts = Split('|', value);
        if (parts.size() >= 2) {
            for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
                if (parts[i] != "0") {
                    root->addChild(makeNode(toQ(parts[i])));
                }
            }
        }
    }
    tree_->sortItems(0, Qt::AscendingOrder);
    tree_->expandAll();
    tree_->setCurrentItem(nullptr);
    drawing_ = false;
    Q_EMIT countChanged();
    if (QTreeWidgetItem* keep = findPath(keepPath)) {
        tree_->setCurrentItem(keep);
    } else {
        TreeView1Change(nullptr);
    }
}

void GroupPanel::reset()
{
    drawing_ = true;
    tree_->clear();
    drawing_ = false;
    hauptgruppe_->clear();
    untergruppe_->clear();
    untergruppe_->setEnabled(false);
    surcharge_->clear();
    hauptgruppe_->setFocus();
}

void GroupPanel::afterStructureChange(const QString& keepPath)
{
    // Redrawing chooses the group again, which would pull the focus out of
    // the field the merchant is typing in.
    QWidget* focus = QApplication::focusWidget();
    Q_EMIT structureChanged();
    ShowGroups(keepPath);
    if (focus == hauptgruppe_ || focus == untergruppe_) {
        focus->setFocus();
    }
}

void GroupPanel::AddGroup(bool inSubField)
{
    const std::string main = fromQ(hauptgruppe_->text().trimmed());
    const std::string sub = fromQ(untergruppe_->text().trimmed());
    const QString keep = selectedPath();
    (inSubField ? untergruppe_ : hauptgruppe_)->clear();
    if (ops_.AddGroup(main, sub, inSubField)) {
        afterStructureChange(keep);
    }
}

void GroupPanel::TreeView1Change(QTreeWidgetItem* node)
{
    CatalogStore& store = state_.Store;
    store.SaveGroup();
    if (node == nullptr || node->text(0).isEmpty()) {
        store.CurrentItems.clear();
        store.CurrentGroup = "-1";
        Q_EMIT groupChosen(QString(), false);
        return;
    }
    QPalette pal = untergruppe_->palette();
    if (node->parent() != nullptr) {
        hauptgruppe_->setText(node->parent()->text(0));
        untergruppe_->setText(node->text(0));
        pal.setColor(QPalette::Text, QColor(128, 128, 128));
        untergruppe_->setEnabled(false);
    } else {
        hauptgruppe_->setText(node->text(0));
        pal.setColor(QPalette::Text, Qt::black);
        untergruppe_->setEnabled(true);
    }
    untergruppe_->setPalette(pal);
    const int number = store.GetGroupNum(fromQ(pathOf(node)));
    store.CurrentGroup = std::to_string(number);
    if (node->childCount() > 0) {
        Q_EMIT groupChosen(QString(), false);
    } else {
        store.CurrentItems.clear();
        if (number != -1) {
            store.LoadGroupItems(number);
            showSurcharge(store.CurrentItems.empty() ? std::string() : store.CurrentItems.front().second);
        }
        QString heading = node->text(0);
        heading.replace(QLatin1Char('&'), QStringLiteral("&&"));
        Q_EMIT groupChosen(heading, true);
        Q_EMIT statusMessage(toQ(state_.Texts.StatusTexts[status::kDoubleClickToEdit]));
    }
    tree_->setFocus();
}

void GroupPanel::showSurcharge(const std::string& stored)
{
    surcharge_->setText(toQ(FormatDecimals(2, ParseNumber(stored) * state_.User.Country.Rate[0])));
}

void GroupPanel::TreeView1Edited(QTreeWidgetItem* node)
{
    const QString oldText = node->data(0, kOldTextRole).toString();
    const QString newText = node->text(0).trimmed().remove(QLatin1Char('|'));
    if (newText.isEmpty() || newText == oldText) {
        drawing_ = true;
        node->setText(0, oldText);
        drawing_ = false;
        return;
    }
    QString keep;
    if (node->parent() != nullptr) {
        const QString main = node->parent()->text(0);
        ops_.RenameGroup(fromQ(main), fromQ(oldText), fromQ(newText));
        keep = main + QLatin1Char('|') + newText;
    } else {
        ops_.RenameGroup(fromQ(oldText), std::string(), fromQ(newText));
        keep = newText;
    }
    // A rename may only start after the edit has ended; redraw afterwards.
    QMetaObject::invokeMethod(
        this, [this, keep] { afterStructureChange(keep); }, Qt::QueuedConnection);
}

void GroupPanel::Delete1Click()
{
    QTreeWidgetItem* node = tree_->currentItem();
    if (node == nullptr || translationMode_) {
        return;
    }
    const std::string mainName = fromQ((node->parent() != nullptr ? node->parent() : node)->text(0));
    const std::string subName = node->parent() != nullptr ? fromQ(node->text(0)) : std::string();
    // Items go with their group and no undo brings them back.
    if (const int items = ops_.ItemsIn(mainName, subName); items > 0) {
        const std::string path = subName.empty() ? mainName : mainName + " / " + subName;
        const Message question{msg::GroupDeleteWithItems, {path, items}};
        if (prompter_.Ask("Quillane", state_.Texts.Say(question), Prompter::Buttons::YesNo, Prompter::Icon::Warning) !=
            Prompter::Answer::Yes) {
            return;
        }
    }
    ops_.DeleteGroupNode(mainName, subName);
    afterStructureChange(QString());
}

void GroupPanel::Hauptgruppe1Click()
{
    QTreeWidgetItem* node = tree_->currentItem();
    if (node == nullptr || node->parent() == nullptr || translationMode_) {
        return;
    }
    ops_.MakeMainGroup(fromQ(node->parent()->text(0)), fromQ(node->text(0)));
    afterStructureChange(node->text(0));
}

void GroupPanel::TreeView1DragDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target)
{
    if (translationMode_) {
        return;
    }
    if (target->parent() != nullptr) {
        target = target->parent();
    }
    const QString targetText = target->text(0);
    QString keep;
    if (dragged->parent() != nullptr) {
        ops_.DropGroup(fromQ(dragged->parent()->text(0)), fromQ(dragged->text(0)), fromQ(targetText));
        keep = targetText + QLatin1Char('|') + dragged->text(0);
    } else {
        ops_.DropGroup(fromQ(dragged->text(0)), std::string(), fromQ(targetText));
        keep = dragged->childCount() > 0 || dragged == target ? targetText
                                                              : targetText + QLatin1Char('|') + dragged->text(0);
    }
    QMetaObject::invokeMethod(
        this, [this, keep] { afterStructureChange(keep); }, Qt::QueuedConnection);
}

void GroupPanel::PopupMenu1Popup(const QPoint& pos)
{
    QTreeWidgetItem* node = tree_->itemAt(pos);
    if (node != nullptr) {
        tree_->setCurrentItem(node);
    }
    if (tree_->currentItem() == nullptr) {
        return;
    }
    deleteAction_->setEnabled(!translationMode_);
    mainGroupAction_->setEnabled(!translationMode_ && tree_->currentItem()->parent() != nullptr);
    renameAction_->setEnabled(true);
    menu_->popup(tree_->viewport()->mapToGlobal(pos));
}

void GroupPanel::OKClick()
{
    const QTreeWidgetItem* node = tree_->currentItem();
    if (node == nullptr) {
        prompter_.Tell("Quillane", MessageLines(state_.Texts.MsgBoxTexts[1]));
        return;
    }
    if (node->childCount() > 0) {
        // A main group with sub groups holds no items, so no surcharge either.
        const std::string text = state_.Texts.Notice(
            "SurchargeSubGroups", "The main group \"[GROUP]\" has subgroups and holds no items itself.|"
                                  "Please choose the subgroup the shipping surcharge is meant for.");
        prompter_.Tell("Quillane", MessageLines(ReplaceAll(text, "[GROUP]", fromQ(node->text(0)))));
        return;
    }
    // On an error nothing was stored; the field keeps what was typed.
    guarded(prompter_, [this] { ops_.SetSurcharge(fromQ(surcharge_->text()), state_.User.Country.Rate[0]); });
}

bool GroupPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (enter && (watched == hauptgruppe_ || watched == untergruppe_)) {
        AddGroup(watched == untergruppe_);
        return true;
    }
    if (enter && watched == surcharge_) {
        surchargeButton_->click();
        return true;
    }
    if (key == Qt::Key_Delete && watched == tree_ && !translationMode_ && !tree_->isEditing()) {
        Delete1Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillane::gui
