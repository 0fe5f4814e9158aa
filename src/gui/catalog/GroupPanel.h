#pragma once

#include <QGroupBox>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidgetItem;

namespace quillane {
class GroupOps;
class Prompter;
} // namespace quillane

namespace quillane::gui {

class GroupTree;
struct AppState;

// The left side of the catalog page: the group entry fields, the group
// tree and the shipping surcharge of the chosen group.
class GroupPanel : public QWidget {
    Q_OBJECT
public:
    GroupPanel(AppState& state, Prompter& prompter, GroupOps& ops, QWidget* parent = nullptr);

    // Draws the tree from the group map and chooses the group of that path
    // again if it still exists.
    void ShowGroups(const QString& keepPath = QString());
    // The path of the chosen node ("Food|Bread"), or empty.
    QString selectedPath() const;
    // Nothing chosen; used by a new project.
    void reset();
    void setTranslationMode(bool on);
    // Shows the stored surcharge of the shown group in the home currency.
    void showSurcharge(const std::string& stored);

    GroupTree* tree() const { return tree_; }
    QLineEdit* mainGroupEdit() const { return hauptgruppe_; }
    QLineEdit* subGroupEdit() const { return untergruppe_; }
    QWidget* shippingBox() const { return shippingBox_; }

Q_SIGNALS:
    // A leaf group was chosen (its number may be -1), or a main group with
    // sub groups (leaf false), or nothing.
    void groupChosen(const QString& heading, bool leaf);
    void statusMessage(const QString& text);
    // The group structure changed; the item panel must let go of its group.
    void structureChanged();
    void countChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();
    void AddGroup(bool inSubField);
    void TreeView1Change(QTreeWidgetItem* node);
    void TreeView1Edited(QTreeWidgetItem* node);
    void Delete1Click();
    void Hauptgruppe1Click();
    void TreeView1DragDrop(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
    void PopupMenu1Popup(const QPoint& pos);
    void OKClick();
    void afterStructureChange(const QString& keepPath);
    QTreeWidgetItem* findPath(const QString& path) const;

    AppState& state_;
    Prompter& prompter_;
    GroupOps& ops_;
    bool translationMode_ = false;
    bool drawing_ = false;
    QString editingOldText_;
    QLabel* heading_;
    QLabel* helpMark_;
    QLineEdit* hauptgruppe_;
    QLineEdit* untergruppe_;
    GroupTree* tree_;
    QGroupBox* shippingBox_;
    QLineEdit* surcharge_;
    QPushButton* surchargeButton_;
    QMenu* menu_;
    QAction* renameAction_;
    QAction* deleteAction_;
    QAction* mainGroupAction_;
};

} // namespace quillane::gui
