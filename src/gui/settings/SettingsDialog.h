#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QWidget;

namespace quillane {
class LanguageFile;
class Prompter;
struct ServedCountry;
struct SettingsForm;
} // namespace quillane

namespace quillane::gui {

class DecoratedLabel;
class RateRow;
struct AppState;

// The settings dialog: the basic settings (served countries and their data,
// internet connection, FTP server) and the company's contact data.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(AppState& state, Prompter& prompter, QWidget* parent = nullptr);

    enum Page { BasicPage = 0, ContactPage = 1 };
    // Shows the dialog on a page; headline empty keeps the current one.
    void showPage(Page page, const QString& headline = QString());
    Page page() const;
    // The headline for the shown page in the interface language now in
    // use; the first-time setup keeps its own.
    void setHeadline(const QString& headline);

    // The computer's dial-up entries, for the provider list.
    void setDialUpEntries(std::vector<std::string> entries) { dialUpEntries_ = std::move(entries); }
    // Fetches the euro rate of a country for the "Abrufen" button: the text
    // for the rate field (empty without a rate), nothing when the request
    // failed and the field keeps its text.
    void setRateDownloader(std::function<std::optional<std::string>(const std::string& country)> download)
    {
        downloadRate_ = std::move(download);
    }

    void FormShow();
    void LoadData();
    // Throws when a file cannot be written or a value is refused.
    void SaveData();

    QString displayedCountry() const { return displayed_; }

Q_SIGNALS:
    // OK or Anwenden saved the settings, or another country became the home
    // country: the main window reads them again.
    void settingsSaved();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildBasicPage();
    QGroupBox* buildCountriesGroup(QWidget* page);
    QGroupBox* buildCountryGroup(QWidget* page);
    QGroupBox* buildConnectionGroup(QWidget* page);
    QGroupBox* buildFtpGroup(QWidget* page);
    QWidget* buildContactPage();
    void RefreshCountryList();
    // The dial-up choice is offered only where the system has an entry to dial.
    void offerDialUp();
    QWidget* dialUpCaption() const;
    void ShowCountryData(const QString& name);
    // Stores the shown country's data; throws Error when it is refused.
    void storeDisplayedCountry();
    // The same, telling the merchant; false when refused.
    bool saveDisplayedCountry();
    void applyEuRule();
    // Asks, then makes the shown country the home country at once.
    void makeHome();
    // The name of a country in the interface language.
    QString countryName(const LanguageFile& file, const ServedCountry& country) const;
    void showConnectionPanel();
    void addCountry();
    void removeCountry();
    void choosePicture(QLineEdit* path);
    void chooseKeyFile();
    // The accepted key follows the host and port typed, unless the merchant
    // typed a key himself.
    void showAcceptedKey();
    void showPreview(QLineEdit* path, QLabel* preview);
    bool apply();
    // The settings as typed, without the country data.
    SettingsForm typedForm() const;
    void layoutForState();
    // The first-time note: what "OK" makes of the shown country, or that
    // without one the setup stays open.
    void showSetupNote();
    QString setupText(const char* key, const char* fallback) const;

    AppState& state_;
    Prompter& prompter_;
    std::vector<std::string> dialUpEntries_;
    std::function<std::optional<std::string>(const std::string&)> downloadRate_;
    QString displayed_;
    bool filling_ = false;

    DecoratedLabel* headline_;
    QLabel* setupNote_;
    QStackedWidget* pages_;
    // Basic page.
    QComboBox* newCountry_;
    QListWidget* served_;
    QPushButton* makeHome_;
    QGroupBox* countryGroup_;
    QComboBox* language_;
    QCheckBox* eu_;
    QLineEdit* vat_;
    RateRow* rates_;
    QLineEdit* currency_;
    QLineEdit* rate_;
    QGroupBox* connectionGroup_;
    QRadioButton* direct_;
    QRadioButton* dialUp_;
    QRadioButton* proxy_;
    QWidget* dialUpPanel_;
    QLabel* noDialUp_ = nullptr;
    QComboBox* provider_;
    QCheckBox* autoConnect_;
    QCheckBox* autoDisconnect_;
    QWidget* proxyPanel_;
    QLineEdit* proxyHost_;
    QLineEdit* proxyPort_;
    QLineEdit* orderService_;
    QGroupBox* ftpGroup_;
    QLineEdit* ftpHost_;
    QLineEdit* ftpPort_;
    QLineEdit* ftpLogin_;
    QLineEdit* ftpPassword_;
    QLineEdit* ftpFolder_;
    QLineEdit* ftpKeyFile_;
    QLineEdit* ftpTrustedKey_;
    bool trustedKeyTyped_ = false;
    // Contact page.
    QLineEdit* contact_[11];
    QPlainTextEdit* directions_;
    QLineEdit* logoPath_;
    QLabel* logoPreview_;
    QLineEdit* sketchPath_;
    QLabel* sketchPreview_;
};

} // namespace quillane::gui
