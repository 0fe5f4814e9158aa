#pragma once

#include "core/catalog/ItemOps.h"
#include "core/listing/AuctionListing.h"

#include <QGroupBox>

#include <functional>
#include <string>
#include <vector>

class QAction;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTreeWidgetItem;

namespace quillane {
class Prompter;
}

namespace quillane::gui {

class ClickableLabel;
class ItemDetailsArea;
class ItemGrid;
struct AppState;

// The right side of the catalog page: the item entry fields, the four
// item buttons, the item list of the chosen group and the item details.
class ItemPanel : public QGroupBox {
    Q_OBJECT
public:
    ItemPanel(AppState& state, Prompter& prompter, ItemOps& ops, QWidget* parent = nullptr);

    // The tree chose a group: a leaf (shown at once) or a main group with
    // sub groups (nothing to show).
    void showChosenGroup(const QString& heading, bool leaf);
    enum class Sender { Tree, Button, Other };
    void ShowGroup(Sender sender);
    void ClearFields();
    void ClearDetails(bool reset);
    // Back to the standard heading, panel disabled; used by a new project.
    void reset();
    void setStandardHeading(const QString& heading);
    void setTranslationMode(bool on);
    // Follows the price entry mode.
    void updatePriceCaption();
    // The catalog languages whose descriptions follow a changed order number.
    void setLanguages(const std::vector<std::string>& languages) { languages_ = languages; }

    ItemGrid* grid() const { return grid_; }
    QWidget* buttonPanel() const { return buttonPanel_; }
    ItemDetailsArea* details() const { return details_; }
    QLabel* priceCaption() const;
    int selectedRow() const { return selectedRow_; }
    // A leaf group is chosen: the entry, list and details take input.
    bool isActive() const { return active_; }

Q_SIGNALS:
    void statusMessage(const QString& text);
    void discountSetupRequested();
    void countChanged();
    // The price caption was clicked: the entry mode changed.
    void priceEntryModeChanged();
    // "Artikel bei eBay versteigern" for the chosen item.
    void auctionRequested(const quillane::AuctionItem& item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // "in andere Gruppe verlegen": a refusal says why.
    void moveToGroup(const QString& path);
    QGridLayout* buildEntry();
    void watchEntry();
    void buildButtonPanel();
    void buildGrid();
    void buildMenu();
    void HinzufuegenClick();
    void EinfuegenClick();
    void ErsetzenClick();
    void EntfernenClick();
    void ItemGridDblClick();
    void ItemGridClick(int row);
    void itemgridCheckBoxClick(QTreeWidgetItem* row);
    void ItemGridRowMoved(int from, int to);
    void PopupMenu2Popup(const QPoint& pos);
    void PreisClick();
    void Button1Click();
    void placeButtons();
    void placeColumns();
    // Tells the merchant why an item was not taken; true when it was.
    bool report(int result, const std::string& orderNo);
    // Runs an entry of the fields (add, insert, replace) and reports it.
    // Names the empty entry fields and puts the cursor into the first.
    void tellMissingFields();
    bool enterItem(const std::function<ItemOps::Result()>& operation, const std::string& orderNo);

    AppState& state_;
    Prompter& prompter_;
    ItemOps& ops_;
    QString standardHeading_ = QStringLiteral("ARTIKELDATEN");
    void setActive(bool active);

    bool filling_ = false;
    bool active_ = false;
    int selectedRow_ = 1;
    std::vector<std::string> languages_;
    QLineEdit* name_;
    QLineEdit* orderNo_;
    QLineEdit* price_;
    ClickableLabel* priceLabel_;
    QWidget* buttonPanel_;
    QPushButton* buttons_[4];
    ItemGrid* grid_;
    QMenu* menu_;
    QMenu* moveMenu_;
    ItemDetailsArea* details_;
    QPushButton* auctionButton_;
};

} // namespace quillane::gui
