#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace quillane {
class Prompter;
struct DestinationCountry;
struct GenerationChoices;
} // namespace quillane

namespace quillane::gui {

struct AppState;
class RateRow;

// The generation dialog: the shop settings, the destination countries with
// their language, currency, shipping and payment, and the run itself.
class GenerationDialog : public QDialog {
    Q_OBJECT
public:
    GenerationDialog(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    // Fetches the euro rate of a country's currency for "DOWNLOAD"; nothing
    // when the request failed and the field keeps its text.
    void setRateDownloader(std::function<std::optional<std::string>(const std::string& country)> download)
    {
        downloadRate_ = std::move(download);
    }

    void FormShow();
    // "Shop Erstellen": false when nothing was generated.
    bool createShop();
    // "Schließen": saves and closes; false when a field stops it.
    bool closeAndSave();

Q_SIGNALS:
    // "Shop Ansehen": show the generated shop.
    void viewShopRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QGroupBox* buildSettingsGroup();
    QGroupBox* buildShippingGroup();
    QGroupBox* buildCountryPanel(QWidget* parent);
    QWidget* buildPaymentDetails(QWidget* parent);
    QHBoxLayout* buildRunRow();
    void buildCountryList(const std::vector<std::string>& checked);
    void selectCountry(int row);
    void showCountry(const QString& name);
    // False, with the merchant told why and the field to mend focused, when
    // the panel holds a rate or fee that cannot be stored.
    bool saveCountry();
    void applyEuRule();
    GenerationChoices currentChoices() const;
    std::vector<std::string> checkedCountries() const;

    AppState& state_;
    Prompter& prompter_;
    std::function<std::optional<std::string>(const std::string&)> downloadRate_;
    QString current_;
    int currentRow_ = -1;
    bool filling_ = false;

    QLineEdit* itemsStd_;
    QLineEdit* itemsPro_;
    QLineEdit* itemsDtl_;
    QComboBox* prices_;
    QComboBox* layout_;
    QComboBox* view_;
    QCheckBox* xxl_;
    QListWidget* countries_;
    QGroupBox* countryPanel_;
    QComboBox* language_;
    QCheckBox* eu_;
    RateRow* rates_;
    QLineEdit* currency_;
    QLineEdit* rate_;
    QLineEdit* shipping_;
    QListWidget* payments_;
    QStackedWidget* paymentDetails_;
    QLineEdit* codFee_;
    QProgressBar* progress_;
    QLabel* status_;
    QPushButton* create_;
    QPushButton* viewShop_;
    QLabel* noLayout_;
};

} // namespace quillane::gui
