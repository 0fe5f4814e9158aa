#pragma once

#include "core/settings/ShopProfile.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

namespace quillane {
class Prompter;
}

namespace quillane::gui {

struct AppState;
class ClickableLabel;

// "PROJEKTEIGENSCHAFTEN": the shop profile of the open project, its invoice
// data, discount levels, layout and shop texts. Not modal; the file changes
// only on "OK".
class ShopProfileDialog : public QDialog {
    Q_OBJECT
public:
    enum Page { InvoicePage = 0, DiscountPage = 1, LayoutPage = 2, TextPage = 3 };

    ShopProfileDialog(AppState& state, Prompter& prompter, QWidget* parent = nullptr);
    ~ShopProfileDialog() override;

    // Loads the profile of the current data folder (unless the dialog is
    // already open) and shows the dialog in front with that page.
    void showPage(Page page);
    // The open project's data folder moved (Save As): "OK" saves there.
    void followDataFolder();

public Q_SLOTS:
    // Saves and closes; on an error the dialog stays open with its entries.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls of one discount table.
    struct LevelControls {
        DiscountTable table;
        QComboBox* level = nullptr;
        QLineEdit* amount = nullptr; // quantity or invoice amount
        QLineEdit* rate = nullptr;
    };

    QWidget* buildInvoicePage();
    QWidget* buildDiscountPage();
    QGroupBox* buildLevelGroup(LevelControls& controls, bool price, QWidget* parent);
    QWidget* buildLayoutPage();
    QWidget* buildTextPage();

    void loadData();
    void showData();
    void readControls();

    void showLevels(LevelControls& controls, int position);
    void chooseLevel(LevelControls& controls, int position);
    void saveLevel(LevelControls& controls);
    void leaveLevelBox(LevelControls& controls);
    void deleteLevel(LevelControls& controls);
    LevelControls* controlsOf(QObject* watched);

    void chooseElement(int element);
    void chooseColour(bool background);
    void showElementColours();
    void applyPreview();

    AppState& state_;
    Prompter& prompter_;
    ShopProfileEditor editor_;
    // Where the shown profile came from: "OK" saves there even when the
    // project or the catalog language has changed meanwhile.
    std::string dataDir_;
    std::string catalogLanguage_;
    std::string homeLanguage_;
    double homeRate_ = 1;

    QTabWidget* pages_ = nullptr;
    QLineEdit* freeDelivery_ = nullptr;
    QLineEdit* packing_ = nullptr;
    QLineEdit* paymentTerm_ = nullptr;
    QCheckBox* header_ = nullptr;
    QCheckBox* footer_ = nullptr;
    QLineEdit* taxNumber_ = nullptr;
    QLineEdit* taxId_ = nullptr;
    QLineEdit* bank_ = nullptr;
    QLineEdit* bankCode_ = nullptr;
    QLineEdit* account_ = nullptr;
    QLineEdit* iban_ = nullptr;
    QLineEdit* bic_ = nullptr;
    QComboBox* vatMode_ = nullptr;
    QLineEdit* invoicePrefix_ = nullptr;
    QLineEdit* invoiceNext_ = nullptr;
    QList<QLabel*> homeCurrency_;

    LevelControls quantity_{DiscountTable::Quantity};
    LevelControls price_{DiscountTable::Price};

    std::array<ClickableLabel*, kLayoutElementCount> preview_{};
    QComboBox* font_ = nullptr;
    QGroupBox* element_ = nullptr;
    ClickableLabel* fontSwatch_ = nullptr;
    ClickableLabel* backgroundSwatch_ = nullptr;
    QLabel* fontHex_ = nullptr;
    QLabel* backgroundHex_ = nullptr;
    int currentElement_ = -1;
    QString elementTitle_; // the group's own caption while no element is chosen

    std::array<QPlainTextEdit*, kShopTextNames.size()> texts_{};
};

} // namespace quillane::gui
