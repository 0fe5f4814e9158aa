#include "gui/settings/SettingsDialog.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/SettingsMessages.h"
#include "core/i18n/LanguageFile.h"
#include "core/imaging/Picture.h"
#include "core/settings/Country.h"
#include "core/settings/RememberedFolders.h"
#include "core/settings/SettingsForm.h"
#include "gui/app/AppState.h"
#include "gui/common/DecoratedLabel.h"
#include "gui/common/DialogParts.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/Pictures.h"
#include "gui/common/QtText.h"
#include "gui/common/RateRow.h"
#include "gui/common/Translator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quillane::gui {

namespace {

QLabel* label(const QString& text, const char* hint, QWidget* parent)
{
    return hintedLabel(text, hint, parent);
}

QGroupBox* group(const QString& title, const char* hint, const char* name, const char* help, QWidget* parent)
{
    return helpGroup(title, hint, name, help, parent);
}

const struct {
    const char* caption;
    const char* hint;
    const char* name;
} kContactFields[11] = {
    {"Firma:", "Kontakt|company", "Firma"},   {"Name:", "Kontakt|name", "Name"},
    {"Straße:", "Kontakt|street", "Strasse"}, {"PLZ:", "Kontakt|zip", "PLZ"},
    {"Ort:", "Kontakt|city", "Ort"},          {"Land:", "Kontakt|country", "Land"},
    {"E-Mail:", "Kontakt|email", "EMail"},    {"Homepage:", "Kontakt|homepage", "Homepage"},
    {"Telefon:", "Kontakt|phone", "Telefon"}, {"Fax:", "Kontakt|fax", "FAX"},
    {"Mobil:", "Kontakt|mobil", "Mobil"},
};

} // namespace

SettingsDialog::SettingsDialog(AppState& state, Prompter& prompter, QWidget* parent)
    : QDialog(parent), state_(state), prompter_(prompter)
{
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    setHint(this, "Actions|mEinstellungen");

    headline_ = new DecoratedLabel(QStringLiteral("EINSTELLUNGEN"), this);
    headline_->setObjectName(QStringLiteral("Headline"));
    QFont f = headline_->font();
    f.setPointSize(f.pointSize() + 3);
    f.setBold(true);
    headline_->setFont(f);
    headline_->setStyleSheet(QStringLiteral("color: #1d3557;"));

    setupNote_ = new QLabel(this);
    setupNote_->setObjectName(QStringLiteral("SetupNote"));
    setupNote_->setWordWrap(true);
    setupNote_->setStyleSheet(QStringLiteral("background: #fff4d6; color: #5a3a00; padding: 4px;"));
    setupNote_->hide();

    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("SettingsPages"));
    pages_->addWidget(buildBasicPage());
    pages_->addWidget(buildContactPage());

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    setHint(ok, "OK");
    ok->setDefault(true);
    auto* applyButton = new QPushButton(QStringLiteral("Anwenden"), this);
    applyButton->setObjectName(QStringLiteral("ApplyButton"));
    setHint(applyButton, "Anwenden");
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    setHint(cancel, "Abbrechen");
    connect(ok, &QPushButton::clicked, this, [this] {
        const bool setup = state_.inSetup();
        if (apply()) {
            accept();
            if (setup && state_.inSetup()) {
                prompter_.Tell("Quillane", fromQ(setupText("setup_nocountry", nullptr)));
            }
        }
    });
    connect(applyButton, &QPushButton::clicked, this, [this] {
        if (apply()) {
            LoadData();
        }
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(applyButton);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headline_);
    layout->addWidget(setupNote_);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);
}

QWidget* SettingsDialog::buildBasicPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("BasicPage"));
    QGroupBox* countries = buildCountriesGroup(page);
    countryGroup_ = buildCountryGroup(page);
    connectionGroup_ = buildConnectionGroup(page);
    ftpGroup_ = buildFtpGroup(page);
    auto* layout = new QGridLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(countries, 0, 0, 2, 1);
    layout->addWidget(countryGroup_, 0, 1);
    layout->addWidget(connectionGroup_, 1, 1);
    layout->addWidget(ftpGroup_, 2, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    return page;
}

// The countries served, and the list to add one from.
QGroupBox* SettingsDialog::buildCountriesGroup(QWidget* page)
{
    auto* countries = group(QStringLiteral("Länder"), "Countries", "CountriesGroup", "einstellungen|countries", page);
    newCountry_ = new QComboBox(countries);
    newCountry_->setObjectName(QStringLiteral("NewCountry"));
    newCountry_->setEditable(true);
    newCountry_->setInsertPolicy(QComboBox::NoInsert);
    auto* add = new QPushButton(QStringLiteral("v"), countries);
    add->setObjectName(QStringLiteral("AddCountry"));
    add->setFixedWidth(28);
    served_ = new QListWidget(countries);
    served_->setObjectName(QStringLiteral("ServedCountries"));
    served_->setIconSize(QSize(24, 16));
    served_->installEventFilter(this);
    // Looking at a country changes nothing; this button alone moves the home.
    makeHome_ = new QPushButton(QStringLiteral("Als Heimatland festlegen"), countries);
    makeHome_->setObjectName(QStringLiteral("MakeHome"));
    setHint(makeHome_, "MakeHome");
    auto* cl = new QGridLayout(countries);
    cl->addWidget(label(QStringLiteral("Neues Land hinzufügen:"), "newcountry", countries), 0, 0, 1, 2);
    cl->addWidget(newCountry_, 1, 0);
    cl->addWidget(add, 1, 1);
    cl->addWidget(served_, 2, 0, 1, 2);
    cl->addWidget(makeHome_, 3, 0, 1, 2);
    connect(add, &QPushButton::clicked, this, &SettingsDialog::addCountry);
    connect(makeHome_, &QPushButton::clicked, this, &SettingsDialog::makeHome);
    connect(served_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (filling_ || row < 0) {
            return;
        }
        if (!saveDisplayedCountry()) {
            // The shown country stays, with what was typed, to be put right.
            filling_ = true;
            for (int i = 0; i < served_->count(); ++i) {
                if (served_->item(i)->data(Qt::UserRole).toString() == displayed_) {
                    served_->setCurrentRow(i);
                }
            }
            filling_ = false;
            return;
        }
        ShowCountryData(served_->item(row)->data(Qt::UserRole).toString());
    });
    return countries;
}

// The data of the displayed country.
QGroupBox* SettingsDialog::buildCountryGroup(QWidget* page)
{
    auto* country = group(QString(), nullptr, "CountryGroup", "einstellungen|countrysettings", page);
    language_ = new QComboBox(country);
    language_->setObjectName(QStringLiteral("Language"));
    auto* languageDownload = new QPushButton(QStringLiteral("Abrufen"), country);
    languageDownload->setObjectName(QStringLiteral("LanguageDownload"));
    setHint(languageDownload, "Abrufen");
    languageDownload->setEnabled(false);
    eu_ = new QCheckBox(QStringLiteral("Mitgliedsstaat der Europäischen Union"), country);
    eu_->setObjectName(QStringLiteral("EU"));
    setHint(eu_, "euland");
    vat_ = lineEdit("VAT", country, 70);
    rates_ = new RateRow({"Currency", "EuroRate", "RateDownload"}, QStringLiteral("1 \u20ac  =>"), country);
    rates_->addCaption(label(QStringLiteral("Währung:"), "Waehrung", rates_));
    currency_ = rates_->currency();
    rate_ = rates_->rate();
    auto* cg = new QGridLayout(country);
    cg->addWidget(label(QStringLiteral("Sprache:"), "Sprache", country), 0, 0);
    cg->addWidget(language_, 0, 1);
    cg->addWidget(languageDownload, 0, 2);
    cg->addWidget(label(QStringLiteral("MwSt:"), "Rechnung|vat", country), 0, 3);
    cg->addWidget(vat_, 0, 4);
    cg->addWidget(new QLabel(QStringLiteral("%"), country), 0, 5);
    cg->addWidget(eu_, 1, 0, 1, 6);
    cg->addWidget(rates_, 2, 0, 1, 6);
    connect(eu_, &QCheckBox::toggled, this, &SettingsDialog::applyEuRule);
    connect(rates_->downloadButton(), &QPushButton::clicked, this, [this] {
        if (downloadRate_ && !displayed_.isEmpty()) {
            // The rate reaches the table only when the country is saved.
            rates_->downloadRate(downloadRate_, displayed_, !eu_->isChecked());
        }
    });
    (new EnterMovesFocus([this] { focusNextChild(); }, this))->watch({newCountry_, language_, currency_, rate_, vat_});
    commaToPoint(vat_);
    return country;
}

// How the computer reaches the internet.
QGroupBox* SettingsDialog::buildConnectionGroup(QWidget* page)
{
    auto* connection =
        group(QStringLiteral("Internetverbindung"), "Connection", "ConnectionGroup", "einstellungen|internet", page);
    direct_ = new QRadioButton(QStringLiteral("Direktverbindung"), connection);
    direct_->setObjectName(QStringLiteral("Direct"));
    dialUp_ = new QRadioButton(QStringLiteral("Wählverbindung"), connection);
    dialUp_->setObjectName(QStringLiteral("DialUp"));
    proxy_ = new QRadioButton(QStringLiteral("Proxyverbindung"), connection);
    proxy_->setObjectName(QStringLiteral("Proxy"));
    auto* choices = new QGridLayout;
    const struct {
        QRadioButton* button;
        const char* captionHint;
        const char* description;
        const char* descriptionHint;
    } kinds[3] = {{direct_, "con_direct", "(Standleitung, Kabel, ...)", "direct_desc"},
                  {dialUp_, "con_dialup", "(Modem, ISDN, DSL, ...)", "dialup_desc"},
                  {proxy_, "con_proxy", "(Netzwerk, ...)", "proxy_desc"}};
    choices->setColumnStretch(2, 1);
    for (int i = 0; i < 3; ++i) {
        // Radio buttons keep their text; the labels beside them translate.
        auto* caption = label(kinds[i].button->text(), kinds[i].captionHint, connection);
        kinds[i].button->setText(QString());
        kinds[i].button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        caption->setBuddy(kinds[i].button);
        choices->addWidget(kinds[i].button, i, 0);
        choices->addWidget(caption, i, 1);
        choices->addWidget(label(QString::fromUtf8(kinds[i].description), kinds[i].descriptionHint, connection), i, 2);
        connect(kinds[i].button, &QRadioButton::toggled, this, &SettingsDialog::showConnectionPanel);
    }
    dialUpPanel_ = new QWidget(connection);
    provider_ = new QComboBox(dialUpPanel_);
    provider_->setObjectName(QStringLiteral("Provider"));
    provider_->setEditable(true);
    autoConnect_ = new QCheckBox(QStringLiteral("autom. verbinden"), dialUpPanel_);
    autoConnect_->setObjectName(QStringLiteral("AutoConnect"));
    setHint(autoConnect_, "autocon");
    autoDisconnect_ = new QCheckBox(QStringLiteral("autom. trennen"), dialUpPanel_);
    autoDisconnect_->setObjectName(QStringLiteral("AutoDisconnect"));
    setHint(autoDisconnect_, "autodc");
    auto* dl = new QGridLayout(dialUpPanel_);
    dl->setContentsMargins(0, 0, 0, 0);
    dl->addWidget(label(QStringLiteral("Anbieter:"), "Anbieter", dialUpPanel_), 0, 0);
    dl->addWidget(provider_, 0, 1);
    dl->addWidget(autoConnect_, 1, 1);
    dl->addWidget(autoDisconnect_, 2, 1);
    // Shown in place of the provider list where the system has no dial-up entry.
    noDialUp_ = new QLabel(dialUpPanel_);
    noDialUp_->setObjectName(QStringLiteral("NoDialUp"));
    noDialUp_->setWordWrap(true);
    noDialUp_->hide();
    dl->addWidget(noDialUp_, 3, 0, 1, 2);
    proxyPanel_ = new QWidget(connection);
    proxyHost_ = lineEdit("ProxyHost", proxyPanel_);
    proxyPort_ = lineEdit("ProxyPort", proxyPanel_, 70);
    auto* pl = new QGridLayout(proxyPanel_);
    pl->setContentsMargins(0, 0, 0, 0);
    pl->addWidget(label(QStringLiteral("Proxyserver:"), "Proxyserver", proxyPanel_), 0, 0, 1, 2);
    pl->addWidget(label(QStringLiteral("Host:"), "Host", proxyPanel_), 1, 0);
    pl->addWidget(proxyHost_, 1, 1);
    pl->addWidget(label(QStringLiteral("Port:"), "Port", proxyPanel_), 2, 0);
    pl->addWidget(proxyPort_, 2, 1);
    // Where the shop sends its orders and the program fetches them.
    orderService_ = lineEdit("OrderService", connection);
    orderService_->setPlaceholderText(QStringLiteral("https://..."));
    auto* orderServiceLabel = label(QStringLiteral("Bestellservice:"), "orderservice", connection);
    orderServiceLabel->setBuddy(orderService_);
    auto* ways = new QHBoxLayout;
    ways->addLayout(choices);
    ways->addWidget(dialUpPanel_, 1);
    ways->addWidget(proxyPanel_, 1);
    auto* service = new QHBoxLayout;
    service->addWidget(orderServiceLabel);
    service->addWidget(orderService_, 1);
    auto* conn = new QVBoxLayout(connection);
    conn->addLayout(ways);
    conn->addLayout(service);
    return connection;
}

// Where the shop is published.
QGroupBox* SettingsDialog::buildFtpGroup(QWidget* page)
{
    auto* ftp = group(QStringLiteral("FTP-Server"), "ftpserver", "FtpGroup", "einstellungen|internet", page);
    ftpHost_ = lineEdit("FtpHost", ftp);
    ftpPort_ = lineEdit("FtpPort", ftp, 70);
    ftpLogin_ = lineEdit("FtpLogin", ftp);
    ftpPassword_ = lineEdit("FtpPassword", ftp);
    ftpPassword_->setEchoMode(QLineEdit::Password);
    ftpFolder_ = lineEdit("FtpFolder", ftp);
    ftpKeyFile_ = lineEdit("FtpKeyFile", ftp);
    auto* chooseKey = new QPushButton(QStringLiteral("..."), ftp);
    chooseKey->setObjectName(QStringLiteral("FtpKeyFileChoose"));
    chooseKey->setFixedWidth(28);
    ftpTrustedKey_ = lineEdit("FtpTrustedKey", ftp);
    ftpTrustedKey_->setPlaceholderText(QStringLiteral("SHA256:... / sha256//..."));
    auto* keyFileRow = new QHBoxLayout;
    keyFileRow->addWidget(ftpKeyFile_, 1);
    keyFileRow->addWidget(chooseKey);
    auto* fl = new QGridLayout(ftp);
    fl->addWidget(label(QStringLiteral("Host:"), "Host", ftp), 0, 0);
    fl->addWidget(ftpHost_, 0, 1);
    fl->addWidget(label(QStringLiteral("Port:"), "Port", ftp), 0, 2);
    fl->addWidget(ftpPort_, 0, 3);
    fl->addWidget(label(QStringLiteral("Login:"), "Login", ftp), 1, 0);
    fl->addWidget(ftpLogin_, 1, 1);
    fl->addWidget(label(QStringLiteral("Passwort:"), "Passwort", ftp), 1, 2);
    fl->addWidget(ftpPassword_, 1, 3);
    fl->addWidget(label(QStringLiteral("Ordner:"), "Folder", ftp), 2, 0);
    fl->addWidget(ftpFolder_, 2, 1, 1, 3);
    fl->addWidget(label(QStringLiteral("Schlüsseldatei:"), "keyfile", ftp), 3, 0);
    fl->addLayout(keyFileRow, 3, 1, 1, 3);
    fl->addWidget(label(QStringLiteral("Akzeptierter Schlüssel:"), "trustedkey", ftp), 4, 0);
    fl->addWidget(ftpTrustedKey_, 4, 1, 1, 3);
    connect(chooseKey, &QPushButton::clicked, this, &SettingsDialog::chooseKeyFile);
    connect(ftpHost_, &QLineEdit::textChanged, this, &SettingsDialog::showAcceptedKey);
    connect(ftpPort_, &QLineEdit::textChanged, this, &SettingsDialog::showAcceptedKey);
    connect(ftpTrustedKey_, &QLineEdit::textEdited, this, [this] { trustedKeyTyped_ = true; });
    return ftp;
}

QWidget* SettingsDialog::buildContactPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ContactPage"));
    auto* contact = new QGroupBox(page);
    auto* form = new QFormLayout(contact);
    for (int i = 0; i < 11; ++i) {
        contact_[i] = lineEdit(kContactFields[i].name, contact);
        form->addRow(label(QString::fromUtf8(kContactFields[i].caption), kContactFields[i].hint, contact), contact_[i]);
    }
    auto* directionsGroup = new QGroupBox(QStringLiteral("Anfahrtsbeschreibung"), page);
    setHint(directionsGroup, "Anfahrt");
    directions_ = new QPlainTextEdit(directionsGroup);
    directions_->setObjectName(QStringLiteral("Directions"));
    (new QVBoxLayout(directionsGroup))->addWidget(directions_);

    auto pictureGroup = [this, page](const QString& title, const char* hint, QLineEdit*& path, QLabel*& preview,
                                     const char* name) {
        auto* g = new QGroupBox(title, page);
        setHint(g, hint);
        preview = new QLabel(g);
        preview->setObjectName(QString::fromUtf8(name) + QStringLiteral("Preview"));
        preview->setFixedSize(140, 80);
        preview->setAlignment(Qt::AlignCenter);
        preview->setFrameShape(QFrame::StyledPanel);
        path = lineEdit(name, g);
        auto* choose = new QPushButton(QStringLiteral("..."), g);
        choose->setFixedWidth(28);
        auto* l = new QGridLayout(g);
        l->addWidget(preview, 0, 0, 1, 2);
        l->addWidget(path, 1, 0);
        l->addWidget(choose, 1, 1);
        QLineEdit* field = path;
        QLabel* box = preview;
        connect(choose, &QPushButton::clicked, this, [this, field] { choosePicture(field); });
        connect(field, &QLineEdit::textChanged, this, [this, field, box] { showPreview(field, box); });
        return g;
    };
    QGroupBox* logo = pictureGroup(QStringLiteral("Firmenlogo"), "flogo", logoPath_, logoPreview_, "Logo");
    QGroupBox* sketch =
        pictureGroup(QStringLiteral("Anfahrtsskizze"), "askizze", sketchPath_, sketchPreview_, "Sketch");

    auto* right = new QVBoxLayout;
    right->addWidget(directionsGroup, 1);
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(logo);
    pictures->addWidget(sketch);
    right->addLayout(pictures);
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    // The contact fields grow with the dialog as the directions do.
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    layout->addWidget(contact, 2);
    layout->addLayout(right, 3);
    return page;
}

void SettingsDialog::showPage(Page page, const QString& headline)
{
    if (!headline.isEmpty()) {
        headline_->setText(headline);
    }
    pages_->setCurrentIndex(page);
    if (isVisible()) {
        FormShow();
    }
    show();
    raise();
    activateWindow();
}

SettingsDialog::Page SettingsDialog::page() const
{
    return static_cast<Page>(pages_->currentIndex());
}

void SettingsDialog::setHeadline(const QString& headline)
{
    headline_->setText(state_.inSetup() ? toQ(state_.Texts.Notice("FirstSetup", "FIRST TIME SETUP")) : headline);
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void SettingsDialog::layoutForState()
{
    const bool setup = state_.inSetup();
    if (setup) {
        headline_->setText(toQ(state_.Texts.Notice("FirstSetup", "FIRST TIME SETUP")));
    }
    ftpGroup_->setVisible(!setup);
    rates_->setVisible(!setup);
    // In the setup "OK" makes the shown country the home country.
    makeHome_->setVisible(!setup);
    showSetupNote();
    // The designed size, or what the countries and fields need when that is more.
    resize((setup ? QSize(520, 308) : QSize(520, 433)).expandedTo(sizeHint()).expandedTo(minimumSizeHint()));
}

QString SettingsDialog::setupText(const char* key, const char* fallback) const
{
    const LanguageFile file(state_.Dirs.LanguageDir, state_.Store.CatalogLanguage());
    const std::string german = fallback != nullptr ? fallback
                                                   : "F\xFC"
                                                     "gen Sie zuerst Ihr Land hinzu. Ohne Land bleibt die "
                                                     "Ersteinrichtung offen: \x84OK\x93 speichert nur die Verbindung.";
    return toQ(file.GetTranslation("Misc", key, german));
}

void SettingsDialog::showSetupNote()
{
    if (!state_.inSetup()) {
        setupNote_->hide();
        return;
    }
    setupNote_->setText(displayed_.isEmpty()
                            ? setupText("setup_nocountry", nullptr)
                            : setupText("setup_ok", "\x84OK\x93 macht # zu Ihrem Heimatland und schlie\xDF"
                                                    "t die Ersteinrichtung ab.")
                                  .replace(QLatin1Char('#'), displayed_));
    setupNote_->show();
}

void SettingsDialog::FormShow()
{
    filling_ = true;
    language_->clear();
    logoPreview_->clear();
    sketchPreview_->clear();
    filling_ = false;
    displayed_.clear();
    RefreshCountryList();
    layoutForState();
    provider_->clear();
    for (const std::string& entry : dialUpEntries_) {
        provider_->addItem(toQ(entry));
    }
    offerDialUp();
    LoadData();
}

void SettingsDialog::RefreshCountryList()
{
    const std::string table = CountryTablePath(state_.Dirs.ProgramDir);
    const CountryLists lists = quillane::RefreshCountryList(table, state_.User.Country.Name, state_.InterfaceLanguage);
    filling_ = true;
    served_->clear();
    newCountry_->clear();
    const QString keepLanguage = language_->currentText();
    language_->clear();
    QStringList languages;
    for (const std::string& l : lists.Languages) {
        languages << toQ(l);
    }
    languages.sort();
    language_->addItems(languages);
    language_->setCurrentText(keepLanguage);
    const LanguageFile names(state_.Dirs.LanguageDir, state_.InterfaceLanguage);
    for (const ServedCountry& c : lists.Served) {
        auto* item = new QListWidgetItem(countryName(names, c), served_);
        item->setData(Qt::UserRole, toQ(c.Name));
        setFlagIcon(item, state_.Dirs.ProgramDir, c.FlagIndex);
        if (c.Name == state_.User.Country.Name) {
            QFont home = item->font();
            home.setBold(true);
            item->setFont(home);
        }
    }
    for (const std::string& name : lists.NotServed) {
        newCountry_->addItem(countryName(names, {name, name, -1}), toQ(name));
    }
    newCountry_->model()->sort(0);
    newCountry_->setCurrentText(QString());
    filling_ = false;
    // Every served country shows whole, without a scroll bar across the list.
    served_->setMinimumWidth(std::max(180, served_->sizeHintForColumn(0) + 2 * served_->frameWidth() +
                                               served_->verticalScrollBar()->sizeHint().width() + 4));
    if (!lists.Served.empty()) {
        filling_ = true;
        served_->setCurrentRow(lists.HomeIndex);
        filling_ = false;
        ShowCountryData(served_->item(lists.HomeIndex)->data(Qt::UserRole).toString());
    } else {
        // No country to show: the country fields stay empty.
        displayed_.clear();
        countryGroup_->setTitle(QString());
        showSetupNote();
        filling_ = true;
        language_->setCurrentIndex(-1);
        for (QLineEdit* e : {currency_, rate_, vat_}) {
            e->clear();
        }
        eu_->setChecked(false);
        filling_ = false;
    }
}

void SettingsDialog::ShowCountryData(const QString& name)
{
    const CountryFields f = quillane::ShowCountryData(CountryTablePath(state_.Dirs.ProgramDir), fromQ(name));
    displayed_ = name;
    filling_ = true;
    if (language_->findText(toQ(f.Language)) < 0) {
        language_->addItem(toQ(f.Language));
    }
    currency_->setText(toQ(f.Currency));
    rate_->setText(toQ(f.EuroRate));
    vat_->setText(toQ(f.VAT));
    eu_->setChecked(f.EU);
    filling_ = false;
    language_->setCurrentText(toQ(f.Language));
    applyEuRule();
    countryGroup_->setTitle(name);
    showSetupNote();
    if (QListWidgetItem* item = served_->currentItem()) {
        countryGroup_->setTitle(item->text());
        countryGroup_->setWindowIcon(item->icon());
    }
    makeHome_->setEnabled(fromQ(name) != state_.User.Country.Name);
}

bool SettingsDialog::saveDisplayedCountry()
{
    return guarded(prompter_, [this] { storeDisplayedCountry(); });
}

void SettingsDialog::storeDisplayedCountry()
{
    if (displayed_.isEmpty()) {
        return;
    }
    CountryFields f;
    f.Language = fromQ(language_->currentText());
    f.Currency = fromQ(currency_->text());
    f.EuroRate = fromQ(rate_->text());
    f.VAT = fromQ(vat_->text());
    f.EU = eu_->isChecked();
    UpdateCountryData(CountryTablePath(state_.Dirs.ProgramDir), fromQ(displayed_), f);
}

void SettingsDialog::applyEuRule()
{
    const bool enabled = !eu_->isChecked();
    for (QWidget* w : rates_->findChildren<QWidget*>()) {
        w->setEnabled(enabled);
    }
}

void SettingsDialog::makeHome()
{
    const std::string name = fromQ(displayed_);
    if (name.empty() || name == state_.User.Country.Name || !saveDisplayedCountry()) {
        return;
    }
    const Message question{msg::HomeCountryAsk,
                           {fromQ(countryGroup_->title()), fromQ(currency_->text()), fromQ(language_->currentText())}};
    if (prompter_.Ask("Quillane", state_.Texts.Say(question), Prompter::Buttons::YesNo, Prompter::Icon::Question) !=
        Prompter::Answer::Yes) {
        return;
    }
    if (!guarded(prompter_, [&] { SetHomeCountry(state_.Dirs.ProgramDir, name); })) {
        return;
    }
    Q_EMIT settingsSaved();
    RefreshCountryList();
    for (int i = 0; i < served_->count(); ++i) {
        if (served_->item(i)->data(Qt::UserRole).toString() == toQ(name)) {
            served_->setCurrentRow(i);
        }
    }
}

QString SettingsDialog::countryName(const LanguageFile& file, const ServedCountry& country) const
{
    return toQ(file.GetTranslation("Countries", country.Name, country.Label));
}

void SettingsDialog::offerDialUp()
{
    // A dial-up choice without an entry to dial would answer every network
    // operation with a silent no.
    const bool available = !dialUpEntries_.empty();
    const QString why =
        available
            ? QString()
            : toQ(MessageLines(state_.Texts.Notice("NoDialUp", "No dial-up connection is set up on this computer.|"
                                                               "Please choose the direct or the proxy connection.")));
    dialUp_->setEnabled(available);
    dialUp_->setToolTip(why);
    if (QWidget* caption = dialUpCaption()) {
        caption->setEnabled(available);
        caption->setToolTip(why);
    }
    noDialUp_->setText(why);
    noDialUp_->setVisible(!available);
    for (QWidget* w : {static_cast<QWidget*>(provider_), static_cast<QWidget*>(autoConnect_),
                       static_cast<QWidget*>(autoDisconnect_)}) {
        w->setEnabled(available);
    }
}

QWidget* SettingsDialog::dialUpCaption() const
{
    for (QLabel* l : dialUp_->parentWidget()->findChildren<QLabel*>()) {
        if (l->buddy() == dialUp_) {
            return l;
        }
    }
    return nullptr;
}

void SettingsDialog::showConnectionPanel()
{
    dialUpPanel_->setVisible(dialUp_->isChecked());
    proxyPanel_->setVisible(proxy_->isChecked());
}

void SettingsDialog::addCountry()
{
    // The list names countries in the interface language; the table by their own name.
    QString name = newCountry_->currentText().trimmed();
    if (const int index = newCountry_->findText(name, Qt::MatchFixedString); index >= 0) {
        name = newCountry_->itemData(index).toString();
    }
    if (name.isEmpty() || !saveDisplayedCountry()) {
        return;
    }
    guarded(prompter_, [&] { AddServedCountry(CountryTablePath(state_.Dirs.ProgramDir), fromQ(name)); });
    RefreshCountryList();
}

void SettingsDialog::removeCountry()
{
    if (displayed_.isEmpty()) {
        return;
    }
    guarded(prompter_, [this] { RemoveServedCountry(CountryTablePath(state_.Dirs.ProgramDir), fromQ(displayed_)); });
    displayed_.clear();
    RefreshCountryList();
}

void SettingsDialog::LoadData()
{
    const SettingsForm form = LoadSettingsForm(state_.Dirs.ProgramDir, state_.Store.CatalogLanguage(),
                                               state_.User.Country.Language, state_.inSetup(), !dialUpEntries_.empty());
    directions_->setPlainText(toQ(form.Directions));
    (form.Connection == ConnectionKind::DialUp  ? dialUp_
     : form.Connection == ConnectionKind::Proxy ? proxy_
                                                : direct_)
        ->setChecked(true);
    showConnectionPanel();
    provider_->setCurrentText(toQ(form.Provider));
    proxyHost_->setText(toQ(form.ProxyHost));
    proxyPort_->setText(toQ(form.ProxyPort));
    autoConnect_->setChecked(form.AutoConnect);
    autoDisconnect_->setChecked(form.AutoDisconnect);
    orderService_->setText(toQ(form.OrderService));
    filling_ = true;
    ftpHost_->setText(toQ(form.FtpHost));
    ftpPort_->setText(toQ(form.FtpPort));
    filling_ = false;
    ftpLogin_->setText(toQ(form.FtpLogin));
    ftpPassword_->setText(toQ(form.FtpPassword));
    ftpFolder_->setText(toQ(form.FtpFolder));
    ftpKeyFile_->setText(toQ(form.FtpKeyFile));
    ftpTrustedKey_->setText(toQ(form.FtpTrustedKey));
    trustedKeyTyped_ = false;
    for (int i = 0; i < 11; ++i) {
        contact_[i]->setText(toQ(form.Company.Contact[i]));
    }
    logoPath_->setText(toQ(form.Company.Logo));
    sketchPath_->setText(toQ(form.Company.Sketch));
}

SettingsForm SettingsDialog::typedForm() const
{
    SettingsForm form;
    form.Connection = dialUp_->isChecked()  ? ConnectionKind::DialUp
                      : proxy_->isChecked() ? ConnectionKind::Proxy
                                            : ConnectionKind::Direct;
    form.Provider = fromQ(provider_->currentText());
    form.ProxyHost = fromQ(proxyHost_->text());
    form.ProxyPort = fromQ(proxyPort_->text());
    form.AutoConnect = autoConnect_->isChecked();
    form.AutoDisconnect = autoDisconnect_->isChecked();
    form.OrderService = fromQ(orderService_->text());
    form.FtpHost = fromQ(ftpHost_->text());
    form.FtpPort = fromQ(ftpPort_->text());
    form.FtpLogin = fromQ(ftpLogin_->text());
    form.FtpPassword = fromQ(ftpPassword_->text());
    form.FtpFolder = fromQ(ftpFolder_->text());
    form.FtpKeyFile = fromQ(ftpKeyFile_->text());
    form.FtpTrustedKey = fromQ(ftpTrustedKey_->text().trimmed());
    for (int i = 0; i < 11; ++i) {
        form.Company.Contact[i] = fromQ(contact_[i]->text());
    }
    form.Company.Logo = fromQ(logoPath_->text());
    form.Company.Sketch = fromQ(sketchPath_->text());
    form.Directions = fromQ(directions_->toPlainText());
    return form;
}

void SettingsDialog::SaveData()
{
    // A refused country stops the saving before anything is written.
    storeDisplayedCountry();
    // Only the first setup takes the shown country for the home country.
    SaveSettingsForm(state_.Dirs.ProgramDir, typedForm(), state_.Store.CatalogLanguage(),
                     state_.inSetup() ? fromQ(displayed_) : std::string());
}

bool SettingsDialog::apply()
{
    // A server the upload would refuse is put right before anything is saved.
    if (!guarded(prompter_, [this] { CheckFtpServer(typedForm()); })) {
        pages_->setCurrentIndex(BasicPage);
        ftpHost_->setFocus();
        ftpHost_->selectAll();
        return false;
    }
    if (!guarded(prompter_, [this] { CheckOrderService(typedForm()); })) {
        pages_->setCurrentIndex(BasicPage);
        orderService_->setFocus();
        orderService_->selectAll();
        return false;
    }
    if (!guarded(prompter_, [this] { SaveData(); })) {
        return false;
    }
    Q_EMIT settingsSaved();
    return true;
}

void SettingsDialog::choosePicture(QLineEdit* path)
{
    QStringList patterns;
    for (const std::string& extension : PictureExtensions()) {
        patterns << QStringLiteral("*.") + toQ(extension);
    }
    const std::string folder = RememberedFolder(state_.Dirs.ProgramDir, "Pictures", ShellFolderPath("My Pictures"));
    const QString file = QFileDialog::getOpenFileName(
        this, QString(), toQ(folder), QStringLiteral("Bilder (%1)").arg(patterns.join(QLatin1Char(' '))));
    if (!file.isEmpty()) {
        path->setText(file);
        guarded(prompter_,
                [&] { RememberFolder(state_.Dirs.ProgramDir, "Pictures", fromQ(QFileInfo(file).absolutePath())); });
    }
}

void SettingsDialog::chooseKeyFile()
{
    QString start = ftpKeyFile_->text().isEmpty() ? QDir::homePath() + QStringLiteral("/.ssh")
                                                  : QFileInfo(ftpKeyFile_->text()).absolutePath();
    // A folder that is not there would leave the dialog wherever the system puts it.
    if (!QFileInfo(start).isDir()) {
        start = QDir::homePath();
    }
    const QString file = QFileDialog::getOpenFileName(this, QString(), start, QString(), nullptr,
                                                      QFileDialog::DontResolveSymlinks | QFileDialog::ReadOnly);
    if (!file.isEmpty()) {
        ftpKeyFile_->setText(file);
    }
}

void SettingsDialog::showAcceptedKey()
{
    if (filling_ || trustedKeyTyped_) {
        return;
    }
    SettingsForm server;
    server.FtpHost = fromQ(ftpHost_->text());
    server.FtpPort = fromQ(ftpPort_->text());
    ftpTrustedKey_->setText(toQ(AcceptedServerKey(state_.Dirs.ProgramDir, server)));
}

void SettingsDialog::showPreview(QLineEdit* path, QLabel* preview)
{
    const std::string file = fromQ(path->text());
    if (file.empty() || !FileExists(file)) {
        return; // the preview stays as it was
    }
    try {
        preview->setPixmap(
            loadPixmap(file).scaled(preview->size() - QSize(4, 4), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    } catch (const Error&) {
        // A file that is no picture leaves the preview as it was; the path is kept.
    }
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == served_ && key == Qt::Key_Delete) {
            removeCountry();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quillane::gui
