#pragma once

#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillane::gui {

// A country's currency and its euro rate in one row: the currency field, "1 €
// =", the rate field, the currency again, and the "Abrufen" button that fetches
// the rate.
class RateRow : public QWidget {
public:
    // Object names of the row's fields, as the dialogs' tests find them.
    struct Names {
        const char* currency;
        const char* rate;
        const char* download;
    };
    // The text for the rate field (empty without a rate), nothing when the
    // request failed.
    using Downloader = std::function<std::optional<std::string>(const std::string& country)>;

    RateRow(const Names& names, const QString& equals, QWidget* parent);

    // Puts caption in front of the currency field.
    void addCaption(QLabel* caption);
    // Enables or disables the fields and the button (the captions stay).
    void setFieldsEnabled(bool enabled);
    // Fills the rate field with what download finds for country; the button
    // waits meanwhile and is usable afterwards only when usableAfter says so.
    void downloadRate(const Downloader& download, const QString& country, bool usableAfter);

    QLineEdit* currency() const { return currency_; }
    QLineEdit* rate() const { return rate_; }
    QPushButton* downloadButton() const { return download_; }

private:
    QHBoxLayout* layout_;
    QLineEdit* currency_;
    QLineEdit* rate_;
    QLabel* rateCurrency_;
    QPushButton* download_;
};

} // namespace quillane::gui
