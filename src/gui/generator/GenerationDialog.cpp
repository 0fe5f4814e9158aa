#include "gui/generator/GenerationDialog.h"

#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/GeneratorMessages.h"
#include "core/generator/Generation.h"
#include "core/generator/GenerationSetup.h"
#include "core/i18n/LanguageFile.h"
#include "core/settings/Country.h"
#include "gui/app/AppState.h"
#include "gui/common/BackgroundTask.h"
#include "gui/common/DialogParts.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/ObjectNames.h"
#include "gui/common/QtText.h"
#include "gui/common/RateRow.h"
#include "gui/common/Translator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <ctime>

namespace quillane::gui {

namespace {

QLabel* label(const QString& text, const char* hint, QWidget* parent)
{
    return hintedLabel(text, hint, parent);
}

// The day the run is dated: the local calendar day.
std::tm today()
{
    const QDate date = QDate::currentDate();
    std::tm t{};
    t.tm_mday = date.day();
    t.tm_mon = date.month() - 1;
    t.tm_year = date.year() - 1900;
    return t;
}

} // namespace

GenerationDialog::GenerationDialog(AppState& state, Prompter& prompter, QWidget* parent)
    : QDialog(parent), state_(state), prompter_(prompter)
{
    setObjectName(QStringLiteral("GenerationDialog"));
    setWindowTitle(QStringLiteral("Shop erstellen"));
    setHint(this, "Actions|mShopErstellen");
    QGroupBox* settings = buildSettingsGroup();
    QGroupBox* shipping = buildShippingGroup();
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("Progress"));
    progress_->setRange(0, 100);
    QHBoxLayout* buttons = buildRunRow();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(settings);
    layout->addWidget(shipping, 1);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
    resize(640, 620);

    for (QLineEdit* e : {itemsStd_, itemsPro_, itemsDtl_, currency_, shipping_, codFee_}) {
        commaToPoint(e);
    }
    (new EnterMovesFocus([this] { focusNextChild(); }, this))
        ->watch({itemsStd_, itemsPro_, itemsDtl_, currency_, rate_, shipping_, codFee_, language_});
}

// Items per page, prices, layout and view of the shop.
QGroupBox* GenerationDialog::buildSettingsGroup()
{
    auto* settings = helpGroup(QStringLiteral("Shopeinstellungen"), "shopsettings", "SettingsGroup",
                               "shoperstellung|settings", this);
    itemsStd_ = lineEdit(names::kItemsStdEdit, settings, 50);
    itemsPro_ = lineEdit(names::kItemsProEdit, settings, 50);
    itemsDtl_ = lineEdit(names::kItemsDtlEdit, settings, 50);
    prices_ = new QComboBox(settings);
    prices_->setObjectName(QLatin1String(names::kPriceCombo));
    layout_ = new QComboBox(settings);
    layout_->setObjectName(QLatin1String(names::kLayoutCombo));
    view_ = new QComboBox(settings);
    view_->setObjectName(QLatin1String(names::kViewCombo));
    xxl_ = new QCheckBox(QStringLiteral("Artikelbilder auch in XXL-Größe zur Verfügung stellen"), settings);
    xxl_->setObjectName(QLatin1String(names::kXxlBox));
    setHint(xxl_, "xxl");
    noLayout_ = new QLabel(settings);
    noLayout_->setObjectName(QStringLiteral("NoLayout"));
    noLayout_->setStyleSheet(QStringLiteral("color: #c00000;"));
    auto* sl = new QGridLayout(settings);
    sl->addWidget(label(QStringLiteral("Artikel pro Seite"), "ipp", settings), 0, 0, 1, 6);
    sl->addWidget(label(QStringLiteral("Standard:"), "shop|std", settings), 1, 0);
    sl->addWidget(itemsStd_, 1, 1);
    sl->addWidget(label(QStringLiteral("Vorschau:"), "shop|pro", settings), 1, 2);
    sl->addWidget(itemsPro_, 1, 3);
    sl->addWidget(label(QStringLiteral("Detail:"), "shop|dtl", settings), 1, 4);
    sl->addWidget(itemsDtl_, 1, 5);
    sl->addWidget(label(QStringLiteral("Preise:"), "Preise", settings), 2, 0);
    sl->addWidget(prices_, 2, 1, 1, 5);
    sl->addWidget(label(QStringLiteral("Layout:"), "Layout", settings), 3, 0);
    sl->addWidget(layout_, 3, 1, 1, 5);
    sl->addWidget(label(QStringLiteral("Standardansicht:"), "Ansicht", settings), 4, 0);
    sl->addWidget(view_, 4, 1, 1, 5);
    sl->addWidget(xxl_, 5, 0, 1, 6);
    sl->addWidget(noLayout_, 6, 0, 1, 6);
    return settings;
}

// The destination countries and the panel of the selected one.
QGroupBox* GenerationDialog::buildShippingGroup()
{
    auto* shipping = helpGroup(QStringLiteral("Versandoptionen"), "versandoptionen", "ShippingGroup",
                               "shoperstellung|countries", this);
    countries_ = new QListWidget(shipping);
    countries_->setObjectName(QStringLiteral("Laender"));
    countries_->setIconSize(QSize(24, 16));
    countryPanel_ = buildCountryPanel(shipping);
    auto* shl = new QHBoxLayout(shipping);
    shl->addWidget(countries_, 1);
    shl->addWidget(countryPanel_, 2);
    connect(countries_, &QListWidget::currentRowChanged, this, &GenerationDialog::selectCountry);
    return shipping;
}

// Language, currency, shipping costs and payment of one destination.
QGroupBox* GenerationDialog::buildCountryPanel(QWidget* parent)
{
    auto* panel = new QGroupBox(parent);
    panel->setObjectName(QStringLiteral("CountryPanel"));
    language_ = new QComboBox(panel);
    language_->setObjectName(QStringLiteral("lang"));
    language_->setEditable(true);
    eu_ = new QCheckBox(QStringLiteral("Mitgliedsstaat der Europäischen Union"), panel);
    eu_->setObjectName(QStringLiteral("euland"));
    setHint(eu_, "euland");
    rates_ = new RateRow({"currency", "eurorate", "download"}, QStringLiteral("1 \u20ac  ="), panel);
    currency_ = rates_->currency();
    rate_ = rates_->rate();
    shipping_ = lineEdit("shipping", panel, 90);
    payments_ = new QListWidget(panel);
    payments_->setObjectName(QLatin1String(names::kPaymentList));
    payments_->setMaximumHeight(52);
    auto* payGroup = new QGroupBox(QStringLiteral("Versandarten"), panel);
    setHint(payGroup, "versandarten");
    auto* pl = new QVBoxLayout(payGroup);
    pl->addWidget(payments_);
    pl->addWidget(buildPaymentDetails(payGroup));
    auto* cp = new QGridLayout(panel);
    cp->addWidget(label(QStringLiteral("Sprache:"), "Sprache", panel), 0, 0);
    cp->addWidget(language_, 0, 1, 1, 3);
    cp->addWidget(eu_, 1, 0, 1, 5);
    cp->addWidget(label(QStringLiteral("Währung:"), "Waehrung", panel), 2, 0);
    cp->addWidget(rates_, 2, 1, 1, 5);
    cp->addWidget(label(QStringLiteral("Portokosten:"), "Porto", panel), 3, 0);
    cp->addWidget(shipping_, 3, 1);
    cp->addWidget(label(QStringLiteral("EUR"), "Geld", panel), 3, 2);
    cp->addWidget(payGroup, 4, 0, 1, 6);
    connect(eu_, &QCheckBox::toggled, this, &GenerationDialog::applyEuRule);
    connect(payments_, &QListWidget::currentRowChanged, paymentDetails_, &QStackedWidget::setCurrentIndex);
    connect(rates_->downloadButton(), &QPushButton::clicked, this, [this] {
        if (downloadRate_ && !current_.isEmpty()) {
            rates_->downloadRate(downloadRate_, current_, !eu_->isChecked());
        }
    });
    return panel;
}

// What a payment needs besides its check mark, shown for the current one.
QWidget* GenerationDialog::buildPaymentDetails(QWidget* parent)
{
    paymentDetails_ = new QStackedWidget(parent);
    paymentDetails_->addWidget(new QWidget); // prepayment needs nothing
    auto* codPage = new QWidget;
    codFee_ = lineEdit("codfee", codPage, 90);
    auto* cl = new QHBoxLayout(codPage);
    cl->setContentsMargins(0, 0, 0, 0);
    cl->addWidget(label(QStringLiteral("Nachnahmegebühr:"), "Rechnung|nn_fee", codPage));
    cl->addWidget(codFee_);
    cl->addWidget(label(QStringLiteral("EUR"), "Geld", codPage));
    cl->addStretch(1);
    paymentDetails_->addWidget(codPage);
    return paymentDetails_;
}

// The run's status and the buttons to start it, view the shop and close.
QHBoxLayout* GenerationDialog::buildRunRow()
{
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("Status"));
    create_ = new QPushButton(QStringLiteral("Shop Erstellen"), this);
    create_->setObjectName(QLatin1String(names::kCreateButton));
    setHint(create_, "createshop");
    viewShop_ = new QPushButton(QStringLiteral("Shop Ansehen"), this);
    viewShop_->setObjectName(QLatin1String(names::kViewShopButton));
    setHint(viewShop_, "viewshop");
    auto* close = new QPushButton(QStringLiteral("Schließen"), this);
    close->setObjectName(QLatin1String(names::kCloseButton));
    setHint(close, "Schliessen");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(create_);
    buttons->addWidget(viewShop_);
    buttons->addWidget(close);
    connect(create_, &QPushButton::clicked, this, &GenerationDialog::createShop);
    connect(close, &QPushButton::clicked, this, &GenerationDialog::closeAndSave);
    connect(viewShop_, &QPushButton::clicked, this, [this] {
        if (closeAndSave()) {
            Q_EMIT viewShopRequested();
        }
    });
    return buttons;
}

void GenerationDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void GenerationDialog::FormShow()
{
    filling_ = true;
    create_->setEnabled(true);
    create_->show();
    viewShop_->hide();
    payments_->clear();
    status_->clear();
    progress_->setValue(0);
    prices_->clear();
    layout_->clear();
    view_->clear();

    const std::vector<std::string> layouts = LayoutNames(state_.Dirs.ProgramDir);
    for (const std::string& name : layouts) {
        layout_->addItem(toQ(name));
    }
    // Without a layout there is nothing to build a shop from.
    noLayout_->setText(layouts.empty()
                           ? toQ(state_.Texts.Say(Message{msg::GeneratorNoLayoutYet, {state_.Dirs.ProgramDir}}))
                           : QString());
    noLayout_->setVisible(layouts.empty());
    create_->setEnabled(!layouts.empty());

    const LanguageFile words(state_.Dirs.LanguageDir, state_.User.Country.Language);
    prices_->addItem(toQ(words.GetTranslation("Rechnung", "net", "netto")));
    prices_->addItem(toQ(words.GetTranslation("Rechnung", "gross", "brutto")));
    view_->addItem(toQ(words.GetTranslation("Shop", "dtl", "Detail")));
    view_->addItem(toQ(words.GetTranslation("Shop", "pro", "Vorschau")));
    view_->addItem(toQ(words.GetTranslation("Shop", "std", "Standard")));
    for (const char* key : {"vk", "nn"}) {
        auto* item = new QListWidgetItem(toQ(words.GetTranslation("Rechnung", key, key)), payments_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }

    const GenerationChoices choices =
        ReadCreation(state_.Dirs.DataDir, state_.Dirs.ProgramDir, state_.User.Country.Name);
    itemsStd_->setText(toQ(choices.ItemsStd));
    itemsPro_->setText(toQ(choices.ItemsPro));
    itemsDtl_->setText(toQ(choices.ItemsDtl));
    prices_->setCurrentIndex(choices.PriceDisplay);
    layout_->setCurrentText(toQ(choices.Layout));
    view_->setCurrentIndex(choices.DefaultView);
    xxl_->setChecked(choices.Xxl);
    filling_ = false;

    buildCountryList(choices.Countries);
}

void GenerationDialog::buildCountryList(const std::vector<std::string>& checked)
{
    const std::string table = CountryTablePath(state_.Dirs.ProgramDir);
    filling_ = true;
    countries_->clear();
    language_->clear();
    QStringList languages;
    for (const std::string& l : AllLanguages(table)) {
        languages << toQ(l);
    }
    languages.sort();
    language_->addItems(languages);
    const IniFile countryTable(table);
    int home = 0;
    for (const std::string& name : ServedCountries(table)) {
        auto* item = new QListWidgetItem(
            toQ(CountryLabel(name, countryTable.ReadString(name, "CountryNative", ""),
                             countryTable.ReadString(name, "LanguageDefault", "english"), state_.InterfaceLanguage)),
            countries_);
        item->setData(Qt::UserRole, toQ(name));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(std::find(checked.begin(), checked.end(), name) != checked.end() ? Qt::Checked
                                                                                             : Qt::Unchecked);
        setFlagIcon(item, state_.Dirs.ProgramDir, countryTable.ReadInteger(name, "FlagIndex", -1));
        if (name == state_.User.Country.Name) {
            home = countries_->count() - 1;
        }
    }
    currentRow_ = -1;
    current_.clear();
    filling_ = false;
    if (countries_->count() > 0) {
        countries_->setCurrentRow(home);
    }
}

void GenerationDialog::selectCountry(int row)
{
    if (filling_ || row < 0) {
        return;
    }
    if (currentRow_ >= 0 && !saveCountry()) {
        // The panel keeps the country until its fields can be stored.
        filling_ = true;
        countries_->setCurrentRow(currentRow_);
        filling_ = false;
        return;
    }
    currentRow_ = row;
    showCountry(countries_->item(row)->data(Qt::UserRole).toString());
}

void GenerationDialog::showCountry(const QString& name)
{
    const DestinationCountry d = ReadDestination(CountryTablePath(state_.Dirs.ProgramDir), state_.Dirs.DataDir,
                                                 fromQ(name), state_.User.Country.Rate[0], eu_->isChecked());
    current_ = name;
    countryPanel_->setTitle(name);
    language_->setCurrentText(toQ(d.Language));
    currency_->setText(toQ(d.Currency));
    rate_->setText(toQ(d.EuroRate));
    eu_->setChecked(d.EU);
    payments_->item(0)->setCheckState(d.Prepayment ? Qt::Checked : Qt::Unchecked);
    payments_->item(1)->setCheckState(d.CashOnDelivery ? Qt::Checked : Qt::Unchecked);
    shipping_->setText(toQ(d.Shipping));
    codFee_->setText(toQ(d.CodFee));
    applyEuRule();
}

bool GenerationDialog::saveCountry()
{
    if (current_.isEmpty()) {
        return true;
    }
    DestinationCountry d;
    d.Language = LowerCase(fromQ(language_->currentText().trimmed()));
    d.Currency = fromQ(currency_->text());
    d.EuroRate = fromQ(rate_->text());
    d.EU = eu_->isChecked();
    d.Prepayment = payments_->item(0)->checkState() == Qt::Checked;
    d.CashOnDelivery = payments_->item(1)->checkState() == Qt::Checked;
    d.Shipping = fromQ(shipping_->text());
    d.CodFee = fromQ(codFee_->text());
    if (const std::optional<DestinationFault> fault = CheckDestination(fromQ(current_), d)) {
        prompter_.TellError(fault->Said);
        QLineEdit* field = fault->Which == DestinationFault::EuroRate   ? rate_
                           : fault->Which == DestinationFault::Shipping ? shipping_
                                                                        : codFee_;
        if (field == codFee_) {
            payments_->setCurrentRow(1);
        }
        field->setFocus();
        field->selectAll();
        return false;
    }
    return guarded(prompter_, [&] {
        SaveDestination(CountryTablePath(state_.Dirs.ProgramDir), state_.Dirs.DataDir, fromQ(current_), d,
                        state_.User.Country.Rate[0]);
    });
}

void GenerationDialog::applyEuRule()
{
    rates_->setFieldsEnabled(!eu_->isChecked());
}

std::vector<std::string> GenerationDialog::checkedCountries() const
{
    std::vector<std::string> names;
    for (int i = 0; i < countries_->count(); ++i) {
        if (countries_->item(i)->checkState() == Qt::Checked) {
            names.push_back(fromQ(countries_->item(i)->data(Qt::UserRole).toString()));
        }
    }
    return names;
}

GenerationChoices GenerationDialog::currentChoices() const
{
    GenerationChoices c;
    c.ItemsStd = fromQ(itemsStd_->text().trimmed());
    c.ItemsPro = fromQ(itemsPro_->text().trimmed());
    c.ItemsDtl = fromQ(itemsDtl_->text().trimmed());
    c.PriceDisplay = std::max(0, prices_->currentIndex());
    c.Layout = fromQ(layout_->currentText());
    c.DefaultView = std::max(0, view_->currentIndex());
    c.Xxl = xxl_->isChecked();
    c.Countries = checkedCountries();
    return c;
}

bool GenerationDialog::closeAndSave()
{
    if (!saveCountry()) {
        return false;
    }
    if (!guarded(prompter_, [this] { WriteCreation(state_.Dirs.DataDir, currentChoices()); })) {
        return false;
    }
    accept();
    return true;
}

bool GenerationDialog::createShop()
{
    // The home country is always part of the shop.
    for (int i = 0; i < countries_->count(); ++i) {
        if (countries_->item(i)->data(Qt::UserRole).toString() == toQ(state_.User.Country.Name)) {
            countries_->item(i)->setCheckState(Qt::Checked);
        }
    }
    GenerationInput in = MakeGenerationInput(state_.Dirs, state_.User, currentChoices(), today());
    // Refused before anything is written, and "Shop Erstellen" stays usable
    // for when the merchant has mended what the message names.
    if (!guarded(prompter_, [&in] { CheckGenerationInput(in); })) {
        return false;
    }
    if (!saveCountry()) {
        return false;
    }
    if (!guarded(prompter_,
                 [this] { ApplyHomeDestination(state_.Dirs.ProgramDir, state_.Dirs.DataDir, state_.User.Country); })) {
        return false;
    }
    progress_->setValue(0);
    state_.Store.SaveGroup();
    // Told on the run's thread; shown on the window's.
    in.Progress = [this](int percent, const std::string& name) {
        QMetaObject::invokeMethod(
            progress_,
            [this, percent, text = toQ(name)] {
                progress_->setValue(percent);
                status_->setText(QStringLiteral("[%1 %] - %2").arg(percent).arg(text));
            },
            Qt::QueuedConnection);
    };
    create_->setEnabled(false);
    bool done = false;
    // The window repaints while the run goes on; clicks wait for its end,
    // as the run reads what the other windows write.
    if (!guarded(prompter_, [&] {
            done = BackgroundTask::Run([&in] { return RunGeneration(in); }, BackgroundTask::Input::Held);
        })) {
        return false; // "Shop Erstellen" stays disabled until the dialog is shown again
    }
    if (!done) {
        create_->setEnabled(true);
        return false;
    }
    progress_->setValue(100);
    status_->setText(QStringLiteral("[100%] - ") + toQ(state_.Texts.StatusTexts[status::kShopCreated]));
    create_->hide();
    create_->setEnabled(true);
    viewShop_->show();
    return true;
}

} // namespace quillane::gui
