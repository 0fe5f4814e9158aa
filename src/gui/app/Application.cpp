#include "gui/app/Application.h"

#include "core/catalog/Project.h"
#include "core/common/Text.h"
#include "core/common/messages/SettingsMessages.h"
#include "core/online/DialUp.h"
#include "core/online/DialUpClient.h"
#include "core/online/ExchangeRate.h"
#include "core/online/HttpClient.h"
#include "core/online/WebConnect.h"
#include "gui/app/AboutWindow.h"
#include "gui/app/MainWindow.h"
#include "gui/catalog/CatalogPage.h"
#include "gui/catalog/ItemPanel.h"
#include "gui/common/BackgroundTask.h"
#include "gui/common/DialogSizes.h"
#include "gui/common/HelpWindow.h"
#include "gui/common/MessageBoxPrompter.h"
#include "gui/common/QtText.h"
#include "gui/generator/GenerationDialog.h"
#include "gui/import/ImportDialog.h"
#include "gui/publish/UploadDialog.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/settings/ShopProfileDialog.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

namespace quillane::gui {

Application::Application(const std::string& programDir, Prompter* prompter) : state_(programDir)
{
    if (prompter == nullptr) {
        ownPrompter_ = std::make_unique<MessageBoxPrompter>();
        ownPrompter_->setTexts(&state_.Texts);
        prompter = ownPrompter_.get();
    }
    prompter_ = prompter;
    http_ = std::make_unique<HttpClient>();
    dialUp_ = std::make_unique<DialUpClient>(MakeSystemDialUp());
    QApplication::setApplicationName(QStringLiteral("Quillane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillane"));

    main_ = std::make_unique<MainWindow>(state_, *prompter, *http_, *dialUp_);
    if (ownPrompter_) {
        ownPrompter_->setParent(main_.get());
    }
    about_ = std::make_unique<AboutWindow>(state_);
    settings_ = std::make_unique<SettingsDialog>(state_, *prompter);
    generation_ = std::make_unique<GenerationDialog>(state_, *prompter);
    help_ = new HelpWindow(state_, *prompter, main_.get());
    shopProfile_ = std::make_unique<ShopProfileDialog>(state_, *prompter);
    upload_ = std::make_unique<UploadDialog>(state_, *prompter, *dialUp_);
    import_ = std::make_unique<ImportDialog>(state_, *prompter);
    main_->setWindows({main_.get(), about_.get(), settings_.get(), generation_.get(), help_, shopProfile_.get(),
                       upload_.get(), import_.get()});
    auto* sizes = new DialogSizes(state_.Dirs.ProgramDir + "quillane.ini", main_.get());
    for (QWidget* dialog : {static_cast<QWidget*>(settings_.get()), static_cast<QWidget*>(generation_.get()),
                            static_cast<QWidget*>(shopProfile_.get()), static_cast<QWidget*>(upload_.get()),
                            static_cast<QWidget*>(import_.get())}) {
        sizes->watch(dialog);
    }
    for (QWidget* window : {static_cast<QWidget*>(main_.get()), static_cast<QWidget*>(settings_.get()),
                            static_cast<QWidget*>(generation_.get()), static_cast<QWidget*>(shopProfile_.get()),
                            static_cast<QWidget*>(upload_.get()), static_cast<QWidget*>(import_.get())}) {
        help_->attachMarks(window);
    }
    connect(main_.get(), &MainWindow::generationRequested, generation_.get(), [this] {
        generation_->show();
        generation_->raise();
    });
    connect(generation_.get(), &GenerationDialog::viewShopRequested, main_.get(), &MainWindow::showShop);
    connect(main_.get(), &MainWindow::publishRequested, upload_.get(), [this] {
        upload_->setProjectName(toQ(main_->project().Name()));
        upload_->show();
        upload_->raise();
    });
    connect(upload_.get(), &UploadDialog::configureRequested, settings_.get(), [this] {
        // Above the upload dialog, which waits for it; from the main window it does not.
        settings_->hide();
        settings_->setWindowModality(Qt::ApplicationModal);
        settings_->showPage(SettingsDialog::BasicPage);
    });
    connect(settings_.get(), &QDialog::finished, settings_.get(),
            [this] { settings_->setWindowModality(Qt::NonModal); });
    connect(main_.get(), &MainWindow::shopProfileRequested, shopProfile_.get(),
            [this](ShopProfileDialog::Page page) { shopProfile_->showPage(page); });
    connect(main_.get(), &MainWindow::importRequested, import_.get(), [this] { import_->chooseFile(main_.get()); });
    connect(import_.get(), &ImportDialog::catalogChanged, main_.get(), &MainWindow::showImportedCatalog);
    // The price entry mode is one for both windows: each caption follows the other's click.
    connect(import_.get(), &ImportDialog::priceEntryModeChanged, main_.get(), &MainWindow::followPriceEntryMode);
    connect(main_->catalogPage()->itemPanel(), &ItemPanel::priceEntryModeChanged, import_.get(),
            &ImportDialog::updatePriceCaption);
    connect(main_.get(), &MainWindow::interfaceLanguageChanged, import_.get(), &ImportDialog::updatePriceCaption);
    // The dialog saves into the project it was loaded from: never into another.
    connect(main_.get(), &MainWindow::projectSwitched, shopProfile_.get(), [this] {
        shopProfile_->reject();
        generation_->reject();
        import_->reject();
    });
    // Save As keeps the project but moves its data folder: what is typed in
    // the open dialog stays and "OK" saves it into the new folder.
    connect(main_.get(), &MainWindow::dataFolderChanged, shopProfile_.get(),
            [this] { shopProfile_->followDataFolder(); });

    connect(main_.get(), &MainWindow::aboutRequested, about_.get(), [this] { about_->showAbout(); });
    // The settings dialog is headed by the menu entry that opened it.
    const auto settingsHeadline = [this](SettingsDialog::Page page) {
        QAction* action =
            page == SettingsDialog::BasicPage ? main_->actions().mEinstellungen : main_->actions().mProfil;
        return action->text().remove(QLatin1Char('&')).toUpper();
    };
    connect(main_.get(), &MainWindow::settingsRequested, settings_.get(),
            [this, settingsHeadline](SettingsDialog::Page page) { settings_->showPage(page, settingsHeadline(page)); });
    connect(main_.get(), &MainWindow::interfaceLanguageChanged, settings_.get(),
            [this, settingsHeadline] { settings_->setHeadline(settingsHeadline(settings_->page())); });
    // The first-time setup asks for the basic settings.
    connect(about_.get(), &AboutWindow::setupRequested, settings_.get(),
            [this] { settings_->showPage(SettingsDialog::BasicPage); });
    // Said now, in the merchant's language, rather than by a later operation that needs the home country.
    connect(about_.get(), &AboutWindow::setupPostponed, main_.get(), [this] {
        prompter_->Tell("Quillane", state_.Texts.Say(Message{msg::SetupSkipped, {}}));
    });
    auto toStatus = [this](int, const std::string& text) { main_->setStatusText(0, toQ(text)); };
    dialUp_->SetOnError(toStatus);
    dialUp_->SetOnNotConnected(toStatus);
    dialUp_->SetProcessEvents([] { QCoreApplication::processEvents(); });
    settings_->setDialUpEntries(dialUp_->RefreshEntries());
    settings_->setRateDownloader([this](const std::string& country) { return downloadRate(country); });
    generation_->setRateDownloader([this](const std::string& country) { return downloadRate(country); });
    connect(settings_.get(), &SettingsDialog::settingsSaved, main_.get(), [this] {
        main_->applySettings();
        about_->configure();
        if (upload_->isVisible()) {
            upload_->InitFTP();
        }
    });
}

Application::~Application() = default;

std::optional<std::string> Application::downloadRate(const std::string& country)
{
    const ConnectResult connection = WebConnect(state_.User, state_.Dirs.ProgramDir,
                                                state_.Texts.MsgBoxTexts[msgbox::kDialUp], *dialUp_, *prompter_);
    if (!connection.Ok) {
        return std::nullopt;
    }
    const RateAnswer answer = FetchExchangeRate(state_.Dirs.ProgramDir, country, [&](const std::string& url) {
        return BackgroundTask::Run([&](std::stop_token stop) { return http_->Get(url, connection.Proxy, stop); });
    });
    if (answer.Result == RateAnswer::Outcome::Found) {
        return answer.Rate;
    }
    std::string text;
    switch (answer.Result) {
    case RateAnswer::Outcome::Unreachable:
        text = state_.Texts.Notice(
            "RateUnreachable", "The exchange-rate service could not be reached; the rate stays as it was.|[REASON]");
        break;
    case RateAnswer::Outcome::Refused:
        text = state_.Texts.Notice("RateRefused",
                                   "The exchange-rate service refused the request; the rate stays as it was.|[REASON]");
        break;
    default:
        text = state_.Texts.Notice("RateMissing",
                                   "The exchange-rate service has no rate for [CURRENCY]; the rate stays as it was.");
        break;
    }
    const std::string reason = answer.Cause.Key.Name.empty() ? answer.Reason : state_.Texts.Say(answer.Cause);
    text = ReplaceAll(ReplaceAll(text, "[REASON]", reason), "[CURRENCY]", answer.Currency);
    prompter_->Tell("Quillane", MessageLines(text));
    return std::nullopt;
}

void Application::start()
{
    about_->show();
    about_->repaint();
    main_->show(); // runs FormShow
    about_->configure();
    main_->setStatusText(0, main_->statusText(0));
    about_->repaint();
    main_->repaint();
    if (state_.StartupStatus.empty()) {
        // The window stays usable while the splash waits.
        QTimer::singleShot(kSplashMilliseconds, about_.get(), [this] { about_->fadeOut(); });
    }
    about_->raise();
}

} // namespace quillane::gui
