#pragma once

#include <QWidget>

#include <atomic>
#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;

namespace quillane {
class Prompter;
}

namespace quillane::gui {

struct AppState;

// Below the item list: the pictures, the description in the catalog
// language and the quantity-discount levels of the item last clicked.
// Every edit is stored at once.
class ItemDetailsArea : public QWidget {
    Q_OBJECT
public:
    ItemDetailsArea(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // Fills the area for the item with this order number (ItemGridClick).
    void showItem(const std::string& orderNo);
    // Empties the area: no discounts, no description, no picture, "0/0".
    // A description not stored yet is stored first.
    void clear();
    // Stores a changed description that waits for its moment; called
    // before the item, the project, its folder or the language changes.
    void storeDescription();
    void setTranslationMode(bool on);

    int currentPicture() const { return current_; }
    // The description as shown.
    QString descriptionText() const;
    bool isActive() const { return active_; }
    QLabel* pictureBox() const { return pictureBox_; }

Q_SIGNALS:
    // "Rabattstaffeln festlegen": the shop profile's discount page.
    void discountSetupRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setActive(bool active);
    void updatePictureControls();
    void InitDiscounts();
    void DisplayPic();
    // Decodes the picture off the window's thread and shows it when it is
    // still the one asked for last.
    void showPictureFile(const std::string& path);
    void addPicture();
    void removePicture();
    void primaryClicked();
    void Memo2KeyUp();
    void CheckListBox1Click();

    AppState& state_;
    Prompter& prompter_;
    std::string orderNo_;
    int current_ = 0;
    int count_ = 0;
    bool filling_ = false;
    bool active_ = false;
    bool translationMode_ = false;
    // The description changed since it was last stored.
    bool descriptionChanged_ = false;
    QTimer* storeTimer_;
    QWidget* pictureArea_;
    QLabel* pictureBox_;
    QCheckBox* primary_;
    QLabel* counter_;
    QPushButton* previous_;
    QPushButton* next_;
    QPushButton* add_;
    QPushButton* remove_;
    QTabWidget* pages_;
    QPlainTextEdit* memo_;
    QListWidget* discounts_;
    int discountPage_ = -1;
    // Counts the pictures asked for; shared with the decoding threads so
    // that a decode no longer wanted is skipped and its result dropped.
    std::shared_ptr<std::atomic<quint64>> pictureGeneration_ = std::make_shared<std::atomic<quint64>>(0);
};

} // namespace quillane::gui
