#pragma once

#include "core/listing/AuctionListing.h"

#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QUrl;

namespace quillane {
class Prompter;
}

namespace quillane::gui {

struct AppState;

// The auction panel above the browser page: the merchant's choices for
// listing one item, the button that opens the home country's listing page,
// and the description to copy or save for marketplaces that take HTML.
class AuctionPanel : public QWidget {
    Q_OBJECT
public:
    AuctionPanel(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // Names the item, fills the selectors and loads the stored choices for it (Button1Click).
    void open(const AuctionItem& item);
    // The script that fills the listing forms of a loaded page; empty when
    // the shop address is missing or refused.
    QString formScript() const;
    // The description as the choices shown make it; throws Error.
    std::string description() const;

    // Where "Beschreibung speichern…" writes; a file dialog unless a test sets it.
    std::function<QString()> chooseSaveFile;

Q_SIGNALS:
    void listingPageRequested(const QUrl& url);
    void previewRequested(const QString& file);

private:
    void Button5Click();
    void copyDescription();
    void saveDescription();
    AuctionChoices choices() const;
    AuctionSetup setup() const;
    // Stores the choices shown, so the next listing starts from them; nothing
    // after telling the merchant why when the address is missing or refused.
    std::optional<AuctionChoices> storeChoices();
    // The description, or nothing after telling the merchant why.
    std::optional<std::string> descriptionOrNotice();

    AppState& state_;
    Prompter& prompter_;
    AuctionItem item_;
    QLabel* itemCaption_;        // which item is being listed
    QLineEdit* shopUrl_;         // Edit1
    QPlainTextEdit* additional_; // Memo1
    QCheckBox* contact_;         // CheckBox2
    QComboBox* fee_;             // ComboBox1
    QComboBox* shipping_;        // ComboBox2
};

} // namespace quillane::gui
