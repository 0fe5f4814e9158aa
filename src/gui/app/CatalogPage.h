#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace quillane::gui {

// The page "Artikelverwaltung": the group tree on the left, the item
// entry, the item list and the item details on the right.
class CatalogPage : public QWidget {
    Q_OBJECT
public:
    explicit CatalogPage(QWidget* parent = nullptr);

    // Lays the page out for normal or translation mode (FormResize).
    void FormResize(bool translationMode);

    QWidget* groupPanel() const { return groupPanel_; }
    QTreeWidget* groupTree() const { return groupTree_; }
    QTreeWidget* itemList() const { return itemList_; }
    QGroupBox* itemPanel() const { return itemPanel_; }
    QGroupBox* shippingBox() const { return shippingBox_; }
    QLabel* priceCaption() const { return priceCaption_; }
    QWidget* buttonPanel() const { return buttonPanel_; }
    QTabWidget* details() const { return details_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeGroupPanel();
    void placeButtons();
    void placeColumns();

    bool translationMode_ = false;
    QWidget* groupPanel_;
    QLabel* groupHeading_;
    QLineEdit* mainGroupEdit_;
    QLineEdit* subGroupEdit_;
    QTreeWidget* groupTree_;
    QGroupBox* shippingBox_;
    QGroupBox* itemPanel_;
    QLabel* priceCaption_;
    QWidget* buttonPanel_;
    QPushButton* buttons_[4];
    QTreeWidget* itemList_;
    QTabWidget* details_;
    QWidget* pictureBox_;
    QWidget* discountPage_;
    int discountPageIndex_ = -1;
    QPushButton* auctionButton_;
};

} // namespace quillane::gui
