#include "gui/app/MainWindow.h"

#include "core/catalog/GroupOps.h"
#include "core/catalog/ItemOps.h"
#include "core/catalog/Project.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/CatalogMessages.h"
#include "core/settings/Country.h"
#include "core/settings/RememberedFolders.h"
#include "core/settings/WindowMemory.h"
#include "gui/app/AppState.h"
#include "gui/app/BrowserPage.h"
#include "gui/catalog/CatalogPage.h"
#include "gui/catalog/GroupPanel.h"
#include "gui/catalog/ItemDetailsArea.h"
#include "gui/catalog/ItemGrid.h"
#include "gui/catalog/ItemPanel.h"
#include "gui/catalog/TranslationBanner.h"
#include "gui/common/Guarded.h"
#include "gui/common/ObjectNames.h"
#include "gui/common/QtText.h"
#include "gui/common/ToolkitTranslations.h"
#include "gui/common/Translator.h"
#include "gui/listing/AuctionPanel.h"
#include "gui/online/AccountPage.h"
#include "gui/orders/OrdersPage.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace quillane::gui {

namespace {

struct ActionSpec {
    QAction* MainActions::*member;
    const char* name;
    const char* caption;
    QKeyCombination shortcut;
    QStyle::StandardPixmap icon;
};

constexpr QKeyCombination kNone = QKeyCombination(Qt::Key_unknown);

const ActionSpec kActions[] = {
    {&MainActions::mNeu, "mNeu", "&Neu", Qt::ALT | Qt::Key_N, QStyle::SP_FileIcon},
    {&MainActions::mOeffnen, "mOeffnen", "Ö&ffnen", Qt::ALT | Qt::Key_O, QStyle::SP_DialogOpenButton},
    {&MainActions::mImportieren, "mImportieren", "&Importieren", Qt::ALT | Qt::Key_I, QStyle::SP_ArrowDown},
    {&MainActions::mSpeichern, "mSpeichern", "&Speichern", Qt::ALT | Qt::Key_S, QStyle::SP_DialogSaveButton},
    {&MainActions::mSpeichernals, "mSpeichernals", "S&peichern als", kNone, QStyle::SP_DialogSaveButton},
    {&MainActions::mEigenschaften, "mEigenschaften", "&Eigenschaften", kNone, QStyle::SP_FileDialogDetailedView},
    {&MainActions::mGestaltung, "mGestaltung", "&Gestaltung", Qt::ALT | Qt::Key_L, QStyle::SP_DesktopIcon},
    {&MainActions::mShopErstellen, "mShopErstellen", "S&hop erstellen", QKeyCombination(Qt::Key_F5),
     QStyle::SP_BrowserReload},
    {&MainActions::mShopAnsehen, "mShopAnsehen", "Sh&op ansehen", QKeyCombination(Qt::Key_F6),
     QStyle::SP_FileDialogContentsView},
    {&MainActions::mShopPublizieren, "mShopPublizieren", "Shop &veröffentlichen", QKeyCombination(Qt::Key_F7),
     QStyle::SP_ArrowUp},
    {&MainActions::mBeenden, "mBeenden", "&Beenden", Qt::ALT | Qt::Key_F4, QStyle::SP_DialogCloseButton},
    {&MainActions::mArtikelverw, "mArtikelverw", "&Artikelverwaltung", kNone, QStyle::SP_CustomBase},
    {&MainActions::mBestellung, "mBestellung", "&Bestellungseingang", kNone, QStyle::SP_CustomBase},
    {&MainActions::mAccountmanager, "mAccountmanager", "Accountmanager", kNone, QStyle::SP_CustomBase},
    {&MainActions::mEinstellungen, "mEinstellungen", "&Einstellungen", Qt::ALT | Qt::Key_C, QStyle::SP_ComputerIcon},
    {&MainActions::mProfil, "mProfil", "&Profil", Qt::ALT | Qt::Key_P, QStyle::SP_DirHomeIcon},
    {&MainActions::mInhalt, "mInhalt", "&Inhalt", QKeyCombination(Qt::Key_F1), QStyle::SP_DialogHelpButton},
    {&MainActions::mUeber, "mUeber", "Ü&ber", kNone, QStyle::SP_MessageBoxInformation},
};

// The platform's usual keys, beside the program's own: a merchant coming
// from other programs finds them where expected.
// F1 is "Inhalt"'s own key already.
const std::pair<QAction * MainActions::*, QKeyCombination> kStandardKeys[] = {
    {&MainActions::mNeu, Qt::CTRL | Qt::Key_N},       {&MainActions::mOeffnen, Qt::CTRL | Qt::Key_O},
    {&MainActions::mSpeichern, Qt::CTRL | Qt::Key_S}, {&MainActions::mSpeichernals, Qt::CTRL | Qt::SHIFT | Qt::Key_S},
    {&MainActions::mBeenden, Qt::CTRL | Qt::Key_Q},
};

QChar mnemonicOf(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (text[i + 1] != QLatin1Char('&')) {
                return text[i + 1].toUpper();
            }
            ++i;
        }
    }
    return {};
}

} // namespace

MainWindow::MainWindow(AppState& state, Prompter& prompter, HttpClient& http, DialUpClient& dialUp, QWidget* parent)
    : QMainWindow(parent), state_(state), prompter_(prompter), http_(http), dialUp_(dialUp)
{
    setObjectName(QStringLiteral("MainWindow"));
    groupOps_ = std::make_unique<GroupOps>(state_.Store, prompter_, std::string());
    itemOps_ = std::make_unique<ItemOps>(state_.Store, state_.User.Country);
    project_ = std::make_unique<Project>(state_.Dirs, state_.Store, prompter_, state_.Texts);
    project_->SetStateListener([this] {
        updateTitle();
        updateProjectActions();
        rememberProject();
        if (state_.Dirs.DataDir != dataDir_) {
            dataDir_ = state_.Dirs.DataDir;
            Q_EMIT dataFolderChanged();
        }
    });
    project_->SetAskSavePath([this]() -> std::optional<std::string> {
        // Without the folder the dialog merely starts elsewhere.
        static_cast<void>(ForceDirectories(state_.Dirs.ProgramDir + "Projekte/"));
        QString path = QFileDialog::getSaveFileName(this, QString(), projectFolder(),
                                                    QStringLiteral("Quillane (*.shp);;Alle (*)"));
        if (path.isEmpty()) {
            return std::nullopt;
        }
        rememberProjectFolder(path);
        if (QFileInfo(path).suffix().isEmpty()) {
            path += QStringLiteral(".shp");
        }
        return fromQ(path);
    });
    state_.Store.SetChangeListener([this] { project_->Changes(true); });
    setMinimumSize(780, 580);
    createActions();
    createMenusAndToolbar();
    createPages();
    createStatusBar();
    updateTitle();
    QAbstractItemModel* languages = guilang_->model();
    connect(languages, &QAbstractItemModel::rowsInserted, this, &MainWindow::followCatalogLanguages);
    connect(languages, &QAbstractItemModel::rowsRemoved, this, &MainWindow::followCatalogLanguages);
    connect(languages, &QAbstractItemModel::modelReset, this, &MainWindow::followCatalogLanguages);
    connect(languages, &QAbstractItemModel::dataChanged, this, &MainWindow::followCatalogLanguages);
}

void MainWindow::followCatalogLanguages()
{
    std::vector<std::string> languages;
    for (int i = 0; i < guilang_->count(); ++i) {
        languages.push_back(fromQ(guilang_->itemText(i)));
    }
    catalog_->itemPanel()->setLanguages(languages);
}

void MainWindow::storePendingEdits()
{
    catalog_->itemPanel()->details()->storeDescription();
}

MainWindow::~MainWindow() = default;

void MainWindow::createActions()
{
    for (const ActionSpec& entry : kActions) {
        auto* a = new QAction(QString::fromUtf8(entry.caption), this);
        a->setObjectName(QString::fromUtf8(entry.name));
        if (entry.shortcut != kNone) {
            a->setShortcut(QKeySequence(entry.shortcut));
        }
        if (entry.icon != QStyle::SP_CustomBase) {
            a->setIcon(style()->standardIcon(entry.icon));
        }
        actions_.*entry.member = a;
    }
    for (const auto& [member, key] : kStandardKeys) {
        QAction* a = actions_.*member;
        QList<QKeySequence> keys = a->shortcuts();
        keys.append(QKeySequence(key));
        a->setShortcuts(keys);
    }
    // Disabled until a project gives them something to work on.
    for (QAction* a :
         {actions_.mSpeichern, actions_.mShopErstellen, actions_.mShopAnsehen, actions_.mShopPublizieren}) {
        a->setEnabled(false);
    }

    connect(actions_.mNeu, &QAction::triggered, this, [this] { Neu1Click(actions_.mNeu); });
    connect(actions_.mOeffnen, &QAction::triggered, this, [this] { Oeffnen1Click(actions_.mOeffnen); });
    connect(actions_.mSpeichern, &QAction::triggered, this, &MainWindow::Speichern1Click);
    connect(actions_.mSpeichernals, &QAction::triggered, this, &MainWindow::Speichernals1Click);
    connect(actions_.mBeenden, &QAction::triggered, this, &QWidget::close);
    connect(actions_.mArtikelverw, &QAction::triggered, this, [this] { showPage(catalog_); });
    connect(actions_.mBestellung, &QAction::triggered, this, [this] { showPage(ordersPage_); });
    connect(actions_.mAccountmanager, &QAction::triggered, this, [this] { accountPage_->ManageAccount("show"); });
    connect(actions_.mInhalt, &QAction::triggered, this, &MainWindow::showContents);
    connect(actions_.mUeber, &QAction::triggered, this, &MainWindow::aboutRequested);
    connect(actions_.mEigenschaften, &QAction::triggered, this,
            [this] { Q_EMIT shopProfileRequested(ShopProfileDialog::InvoicePage); });
    connect(actions_.mShopErstellen, &QAction::triggered, this, &MainWindow::generationRequested);
    connect(actions_.mImportieren, &QAction::triggered, this, [this] {
        // The import reads and writes the stored catalog: what is typed goes there first.
        storePendingEdits();
        state_.Store.SaveGroup();
        Q_EMIT importRequested();
    });
    connect(actions_.mShopAnsehen, &QAction::triggered, this, &MainWindow::showShop);
    connect(actions_.mShopPublizieren, &QAction::triggered, this, [this] {
        // Nothing generated, nothing to publish.
        if (FileExists(state_.Dirs.ShopDir + "index.html")) {
            Q_EMIT publishRequested();
        }
    });
    connect(actions_.mGestaltung, &QAction::triggered, this,
            [this] { Q_EMIT shopProfileRequested(ShopProfileDialog::LayoutPage); });
    connect(actions_.mEinstellungen, &QAction::triggered, this,
            [this] { Q_EMIT settingsRequested(SettingsDialog::BasicPage); });
    connect(actions_.mProfil, &QAction::triggered, this,
            [this] { Q_EMIT settingsRequested(SettingsDialog::ContactPage); });
}

void MainWindow::createMenusAndToolbar()
{
    auto addMenu = [this](const char* name, const char* caption) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QString::fromUtf8(name) + QStringLiteral("Menu"));
        menu->menuAction()->setObjectName(QString::fromUtf8(name));
        menuActions_.append(menu->menuAction());
        return menu;
    };
    QMenu* project = addMenu("mProjekt", "&Projekt");
    project->addAction(actions_.mNeu);
    project->addAction(actions_.mOeffnen);
    recentMenu_ = project->addMenu(QStringLiteral("&Zuletzt geöffnet"));
    recentMenu_->setObjectName(QStringLiteral("RecentProjectsMenu"));
    recentMenu_->menuAction()->setObjectName(QStringLiteral("mZuletzt"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::fillRecentProjects);
    for (QAction* a : {actions_.mImportieren, actions_.mSpeichern, actions_.mSpeichernals}) {
        project->addAction(a);
    }
    project->addSeparator();
    project->addAction(actions_.mEigenschaften);
    project->addAction(actions_.mGestaltung);
    project->addSeparator();
    for (QAction* a : {actions_.mShopErstellen, actions_.mShopAnsehen, actions_.mShopPublizieren}) {
        project->addAction(a);
    }
    project->addSeparator();
    project->addAction(actions_.mBeenden);

    QMenu* view = addMenu("mAnsicht", "&Ansicht");
    for (QAction* a : {actions_.mArtikelverw, actions_.mBestellung, actions_.mAccountmanager}) {
        view->addAction(a);
    }
    QMenu* options = addMenu("mOptionen", "&Optionen");
    options->addAction(actions_.mEinstellungen);
    options->addAction(actions_.mProfil);
    QMenu* help = addMenu("mHilfe", "&Hilfe");
    help->addAction(actions_.mInhalt);
    help->addSeparator();
    help->addAction(actions_.mUeber);

    QToolBar* bar = addToolBar(QStringLiteral("Toolbar"));
    bar->setObjectName(QStringLiteral("MainToolbar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const std::initializer_list<QAction*> groups[] = {
        {actions_.mNeu, actions_.mOeffnen, actions_.mImportieren, actions_.mSpeichern},
        {actions_.mShopErstellen, actions_.mShopAnsehen, actions_.mShopPublizieren},
        {actions_.mEigenschaften, actions_.mGestaltung},
        {actions_.mEinstellungen, actions_.mProfil},
        {actions_.mBeenden},
    };
    bool first = true;
    for (const auto& group : groups) {
        if (!first) {
            bar->addSeparator();
        }
        first = false;
        for (QAction* a : group) {
            bar->addAction(a);
        }
    }

    // The catalog language: which language's group names and descriptions
    // are shown and edited.
    auto* spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    auto* languageLabel = new QLabel(QStringLiteral("Sprache:"), bar);
    languageLabel->setObjectName(QStringLiteral("LanguageLabel"));
    setHint(languageLabel, "Sprache");
    bar->addWidget(languageLabel);
    guilang_ = new QComboBox(bar);
    guilang_->setObjectName(QStringLiteral("guilang"));
    guilang_->setMinimumContentsLength(10);
    bar->addWidget(guilang_);
}

void MainWindow::createPages()
{
    central_ = new QStackedWidget(this);
    central_->setObjectName(QStringLiteral("Central"));
    pages_ = new QTabWidget(central_);
    pages_->setObjectName(QStringLiteral("Pages"));

    catalog_ = new CatalogPage(state_, prompter_, *groupOps_, *itemOps_);
    setHint(catalog_, "Artikelverw");
    GroupPanel* groups = catalog_->groupPanel();
    ItemPanel* items = catalog_->itemPanel();
    connect(groups, &GroupPanel::statusMessage, this, [this](const QString& t) { setStatusText(0, t); });
    connect(items, &ItemPanel::statusMessage, this, [this](const QString& t) { setStatusText(0, t); });
    connect(groups, &GroupPanel::countChanged, this, &MainWindow::updateItemCount);
    connect(items, &ItemPanel::countChanged, this, &MainWindow::updateItemCount);
    connect(items, &ItemPanel::discountSetupRequested, this,
            [this] { Q_EMIT shopProfileRequested(ShopProfileDialog::DiscountPage); });
    pages_->addTab(catalog_, QStringLiteral("Artikelverwaltung"));
    // One click leaves translation mode: catalog and interface return home.
    connect(catalog_->banner(), &TranslationBanner::backRequested, this,
            [this] { setInterfaceLanguage(toQ(state_.User.Country.Language)); });

    ordersPage_ = new OrdersPage(state_, prompter_, http_, dialUp_);
    connect(ordersPage_, &OrdersPage::statusMessage, this, [this](const QString& t) { setStatusText(0, t); });
    pages_->addTab(ordersPage_, QStringLiteral("Bestellungseingang"));

    accountPage_ = new AccountPage(state_, prompter_, dialUp_);
    setHint(accountPage_, "accountmanager");
    connect(accountPage_, &AccountPage::frontRequested, this, [this] { showPage(accountPage_); });
    // The next order fetch uses the account the page named.
    connect(accountPage_, &AccountPage::accountTakenOver, this, [this] { state_.StartupStatus = GetUserData(); });
    pages_->addTab(accountPage_, QStringLiteral("Accountmanager"));

    // The help page has no tab of its own; its browser starts when first needed.
    helpPage_ = new BrowserPage(central_);
    helpPage_->setTexts([this](const Message& message) { return state_.Texts.Say(message); });
    helpPage_->setAuctionPanel(new AuctionPanel(state_, prompter_));
    connect(helpPage_, &BrowserPage::backRequested, this, [this] { showPage(catalog_); });
    connect(items, &ItemPanel::auctionRequested, this, [this](const AuctionItem& item) {
        helpPage_->showAuction(item);
        showPage(helpPage_);
    });

    central_->addWidget(pages_);
    central_->addWidget(helpPage_);
    setCentralWidget(central_);

    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
        statusBar()->update();
        if (pages_->widget(index) == ordersPage_) {
            FormResize();
        }
    });
}

void MainWindow::createStatusBar()
{
    panel0_ = new QLabel(this);
    panel0_->setObjectName(QLatin1String(names::kStatusTextPanel));
    panel1_ = new QLabel(this);
    panel1_->setObjectName(QLatin1String(names::kItemCountPanel));
    panel1_->setFixedWidth(100);
    statusBar()->addWidget(panel0_, 1);
    // The project of the last run, one click away until another one is opened.
    lastProject_ = new QPushButton(this);
    lastProject_->setObjectName(QStringLiteral("OpenLastProject"));
    lastProject_->setFlat(true);
    lastProject_->setCursor(Qt::PointingHandCursor);
    // As high as the text panels: the status bar keeps its height, the pages theirs.
    lastProject_->setMaximumHeight(panel0_->sizeHint().height());
    lastProject_->hide();
    connect(lastProject_, &QPushButton::clicked, this, [this] {
        const QString path = lastProject_->property("path").toString();
        lastProject_->hide();
        openProjectFile(path);
    });
    connect(this, &MainWindow::projectSwitched, lastProject_, &QWidget::hide);
    statusBar()->addPermanentWidget(lastProject_);
    statusBar()->addPermanentWidget(panel1_);
}

void MainWindow::showPage(QWidget* page)
{
    if (page == helpPage_) {
        central_->setCurrentWidget(helpPage_);
        return;
    }
    central_->setCurrentWidget(pages_);
    pages_->setCurrentWidget(page);
}

void MainWindow::showContents()
{
    helpPage_->showFile(state_.Dirs.ProgramDir + "hilfe/kurzanleitung.html");
    showPage(helpPage_);
}

void MainWindow::showImportedCatalog()
{
    catalog_->groupPanel()->ShowGroups(catalog_->groupPanel()->selectedPath());
    updateItemCount();
}

void MainWindow::followPriceEntryMode()
{
    catalog_->itemPanel()->updatePriceCaption();
}

void MainWindow::showShop()
{
    if (!FileExists(state_.Dirs.ShopDir + "index.html")) {
        return;
    }
    if (!helpPage_->showShop(state_.Dirs.ShopDir)) {
        prompter_.TellError(Message{msg::ShopPreviewNoPort, {}});
        return;
    }
    showPage(helpPage_);
}

QString MainWindow::statusText(int panel) const
{
    return panel == 0 ? panel0_->text() : panel1_->text();
}

void MainWindow::setStatusText(int panel, const QString& text)
{
    (panel == 0 ? panel0_ : panel1_)->setText(text);
}

void MainWindow::updateTitle()
{
    setWindowTitle(project_ ? toQ(project_->Title()) : QStringLiteral("[untitled] - Quillane"));
}

void MainWindow::updateProjectActions()
{
    actions_.mSpeichern->setEnabled(project_->Changed());
    for (QAction* a : {actions_.mShopErstellen, actions_.mEigenschaften, actions_.mShopAnsehen,
                       actions_.mShopPublizieren, actions_.mGestaltung}) {
        a->setEnabled(project_->Active());
    }
}

void MainWindow::updateItemCount()
{
    setStatusText(1, QString::number(state_.Store.ItemCount) + QLatin1Char(' ') +
                         toQ(state_.Texts.StatusTexts[status::kItems]));
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void MainWindow::FormShow()
{
    QSize size(1000, 800);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // A smaller screen gets a smaller window, frame included, down to the minimum.
        const QRect available = screen->availableGeometry();
        const QSize frame = frameGeometry().size() - geometry().size();
        size = size.boundedTo(available.size() - frame).expandedTo(minimumSize());
        resize(size);
        move(available.center() - frameGeometry().center() + pos());
    } else {
        resize(size);
    }
    restorePlace();
    fitOnScreen();
    state_.DefaultCountry = DefaultCountryFor(SystemLanguageName());
    // The directories are set by the application before the window exists.
    // A temp folder that cannot be made shows in the first write that needs it.
    static_cast<void>(ForceDirectories(state_.Dirs.TempDir));

    std::vector<std::string> languages = GetActiveLangs(CountryTablePath(state_.Dirs.ProgramDir));
    std::sort(languages.begin(), languages.end());
    guilang_->clear();
    for (const std::string& l : languages) {
        guilang_->addItem(toQ(l));
    }
    // Numbers always use "." whatever the desktop's region.
    QLocale::setDefault(QLocale::c());
    state_.PriceEntryMode = PriceEntry::Net;

    state_.StartupStatus = GetUserData();
    Translate(fromQ(guilang_->currentText()));
    Neu1Click(this);

    // What a run that did not end normally left behind comes back only when
    // the merchant wants it; otherwise it is cleared, never mixed into the next catalog.
    Project::Recovery recovery = Project::Recovery::Nothing;
    guarded(prompter_, [&] { recovery = project_->OfferRecovery(); });
    if (recovery == Project::Recovery::Recovered || recovery == Project::Recovery::Restored) {
        Q_EMIT projectSwitched();
        catalog_->groupPanel()->ShowGroups();
        updateItemCount();
    }
    setStatusText(0, toQ(state_.Texts.StatusTexts[status::kReady]));
    connect(guilang_, &QComboBox::currentTextChanged, this, &MainWindow::guilangChange);
    if (recovery != Project::Recovery::Recovered && recovery != Project::Recovery::Restored) {
        offerLastProject();
    }
}

QString MainWindow::projectFolder() const
{
    return toQ(RememberedFolder(state_.Dirs.ProgramDir, "Projects", state_.Dirs.ProgramDir + "Projekte/"));
}

void MainWindow::rememberProjectFolder(const QString& path)
{
    guarded(prompter_, [&] {
        RememberFolder(state_.Dirs.ProgramDir, "Projects", fromQ(QFileInfo(path).absolutePath() + QLatin1Char('/')));
    });
}

void MainWindow::rememberProject()
{
    const std::string& file = project_->File();
    // The untitled project lives in the working folder: nothing to open again.
    if (project_->Untitled() || file.empty() || file == rememberedProject_ || !FileExists(file)) {
        return;
    }
    rememberedProject_ = file;
    guarded(prompter_, [&] { RememberProject(state_.Dirs.ProgramDir, file); });
    // The menu holds the project at once, not only once it has been opened.
    fillRecentProjects();
}

void MainWindow::fillRecentProjects()
{
    recentMenu_->clear();
    for (const std::string& file : ReadWindowMemory(state_.Dirs.ProgramDir).RecentProjects) {
        if (!FileExists(file)) {
            continue;
        }
        const QString path = toQ(file);
        QAction* a =
            recentMenu_->addAction(QFileInfo(path).completeBaseName().replace(QLatin1Char('&'), QStringLiteral("&&")));
        a->setToolTip(path);
        a->setStatusTip(path);
        connect(a, &QAction::triggered, this, [this, path] { openProjectFile(path); });
    }
    recentMenu_->menuAction()->setEnabled(!recentMenu_->isEmpty());
}

void MainWindow::offerLastProject()
{
    const std::vector<std::string> recent = ReadWindowMemory(state_.Dirs.ProgramDir).RecentProjects;
    if (recent.empty() || !FileExists(recent.front())) {
        return;
    }
    const QString path = toQ(recent.front());
    lastProject_->setProperty("path", path);
    lastProject_->setToolTip(path);
    lastProject_->setText(toQ(ReplaceAll(state_.Texts.Notice("OpenLastProject", "Open \"#\""), "#",
                                         fromQ(QFileInfo(path).completeBaseName())))
                              .replace(QLatin1Char('&'), QStringLiteral("&&")));
    lastProject_->show();
}

void MainWindow::restorePlace()
{
    const WindowMemory memory = ReadWindowMemory(state_.Dirs.ProgramDir);
    if (memory.HasPlace) {
        const QRect place(memory.Left, memory.Top, memory.Width, memory.Height);
        // A place on a screen that is gone would leave the window out of reach.
        const QScreen* screen = QGuiApplication::screenAt(place.center());
        if (screen != nullptr) {
            setGeometry(place);
        } else {
            resize(place.size());
        }
        if (memory.Maximized) {
            setWindowState(windowState() | Qt::WindowMaximized);
        }
    }
    if (memory.Page == "Bestellungseingang") {
        showPage(ordersPage_);
    }
}

void MainWindow::fitOnScreen()
{
    const QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr || isMaximized()) {
        return;
    }
    const QRect available = screen->availableGeometry();
    const QRect inner = geometry();
    const QRect outer = frameGeometry();
    QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                   outer.bottom() - inner.bottom());
    // Before the window is first shown its frame is unknown: room is kept for a usual title bar.
    if (frame.isNull()) {
        frame = QMargins(4, 32, 4, 4);
    }
    const QSize room = available.size().shrunkBy(frame);
    setMinimumSize(minimumSize().boundedTo(room));
    resize(size().boundedTo(room));
    // The title bar stays on the screen, where the window can be taken and moved.
    const QSize whole = size().grownBy(frame);
    const int x = std::max(available.left(), std::min(outer.left(), available.right() + 1 - whole.width()));
    const int y = std::max(available.top(), std::min(outer.top(), available.bottom() + 1 - whole.height()));
    move(x, y);
}

void MainWindow::rememberPlace()
{
    WindowMemory memory;
    const QRect place = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    memory.Left = place.x();
    memory.Top = place.y();
    memory.Width = place.width();
    memory.Height = place.height();
    memory.Maximized = isMaximized();
    // The account page goes online when shown: it is never where a run starts.
    memory.Page = central_->currentWidget() == pages_ && pages_->currentWidget() == ordersPage_ ? "Bestellungseingang"
                                                                                                : "Artikelverwaltung";
    guarded(prompter_, [&] { WriteWindowPlace(state_.Dirs.ProgramDir, memory); });
}

std::string MainWindow::GetUserData()
{
    const std::string status = ReadUserData(state_.Dirs.ProgramDir, state_.DefaultCountry, state_.User);
    const bool normal = status.empty();
    actions_.mAccountmanager->setEnabled(normal);
    actions_.mProfil->setEnabled(normal);
    const QString language = toQ(state_.User.Country.Language);
    if (guilang_->findText(language) < 0) {
        guilang_->addItem(language);
        guilang_->model()->sort(0);
    }
    guilang_->setCurrentText(language);
    state_.Store.SetLanguages(fromQ(guilang_->currentText()), state_.User.Country.Language);
    return status;
}

void MainWindow::Translate(const std::string& language)
{
    const LanguageFile file(state_.Dirs.LanguageDir, language);
    // A language without a file of its own is shown in English.
    state_.InterfaceLanguage = file.Path() == state_.Dirs.LanguageDir + language + ".lng" ? language : "english";
    useToolkitLanguage(state_.InterfaceLanguage);
    QList<QWidget*> windows = windows_;
    if (!windows.contains(this)) {
        windows.prepend(this);
    }
    translateWindows(windows, file, state_.User.Country);
    const QString ready = toQ(state_.Texts.StatusTexts[status::kReady]);
    state_.Texts = LoadTextTables(file);
    if (panel0_->text() == ready) {
        setStatusText(0, toQ(state_.Texts.StatusTexts[status::kReady]));
    }
    ordersPage_->translate(file);

    ItemPanel* items = catalog_->itemPanel();
    QTreeWidgetItem* header = items->grid()->headerItem();
    header->setText(2, toQ(file.GetTranslation("Rechnung", "description", "")));
    header->setText(3, toQ(file.GetTranslation("Rechnung", "orderno", "")));
    header->setText(4, toQ(file.GetTranslation("Rechnung", "price", "")));
    // The heading names the shown group; a new project restores the standard text.
    items->setStandardHeading(toQ(file.GetTranslation("Misc", "Artikeldaten", "ARTIKELDATEN")));
    catalog_->banner()->setTexts(
        toQ(file.GetTranslation("Misc", "TranslationMode",
                                "\xDC"
                                "bersetzung: Sie bearbeiten Gruppennamen und Beschreibungen auf # \x97")),
        toQ(file.GetTranslation("Misc", "TranslationBack",
                                "zur\xFC"
                                "ck zu #")));
    const QString shown = catalog_->groupPanel()->selectedPath();
    if (items->isActive() && !shown.isEmpty()) {
        items->setTitle(shown.section(QLatin1Char('|'), -1).replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
    state_.PriceEntryMode = PriceEntry::Net;
    items->updatePriceCaption();
    // Prices are read and shown with the decimal mark of the language.
    if (const char mark = DecimalMarkOf(state_.InterfaceLanguage); mark != itemOps_->DecimalMark()) {
        itemOps_->SetDecimalMark(mark);
        if (items->isActive()) {
            storePendingEdits();
            items->ShowGroup(ItemPanel::Sender::Other);
        }
    }
    groupOps_->SetMergeQuestion(state_.Texts.MsgBoxTexts[msgbox::kMergeGroups]);
    recentMenu_->setTitle(toQ(state_.Texts.Notice("RecentProjects", "&Zuletzt ge\xF6"
                                                                    "ffnet")));
    resolveMnemonicClashes();
    explainControls(file);
    updateItemCount();
    updateTitle();
    fillRecentProjects();
    Q_EMIT interfaceLanguageChanged();
}

void MainWindow::explainControls(const LanguageFile& file)
{
    auto text = [&file](const char* key, const char* german) { return toQ(file.GetTranslation("Tips", key, german)); };
    const struct {
        const char* name;
        const char* key;
        const char* german;
    } tips[] = {
        {"aboutOk", "aboutOk", "Grundeinstellungen jetzt vornehmen"},
        {"aboutCancel", "aboutCancel",
         "Schlie\xDF"
         "en und sp\xE4"
         "ter einrichten"},
        {"guilang", "guilang",
         "Katalogsprache: eine andere als die Ihres Heimatlandes schaltet die \xDC"
         "bersetzung ein"},
        {"AddCountry", "addcountry",
         "Das gew\xE4"
         "hlte Land der Liste hinzuf\xFC"
         "gen"},
        {"AuctionButton", "auction",
         "Den gew\xE4"
         "hlten Artikel auf der Auktionsseite anbieten"},
        {"qd_save", "levelSave", "Staffel speichern"},
        {"pd_save", "levelSave", "Staffel speichern"},
        {"qd_delete", "levelDelete",
         "Staffel l\xF6"
         "schen"},
        {"pd_delete", "levelDelete",
         "Staffel l\xF6"
         "schen"},
    };
    for (const auto& tip : tips) {
        for (QWidget* window : std::as_const(windows_)) {
            if (auto* w = window->findChild<QWidget*>(QString::fromUtf8(tip.name))) {
                w->setToolTip(text(tip.key, tip.german));
            }
        }
    }
    GroupPanel* groups = catalog_->groupPanel();
    if (auto* surcharge = groups->findChild<QPushButton*>(QStringLiteral("OK"))) {
        surcharge->setToolTip(text("surcharge", "Versandzuschlag f\xFC"
                                                "r alle Artikel der Gruppe \xFC"
                                                "bernehmen"));
    }
    groups->mainGroupEdit()->setPlaceholderText(text("maingroup", "Neue Hauptgruppe: Name und Enter"));
    groups->subGroupEdit()->setPlaceholderText(text("subgroup", "Neue Untergruppe der gew\xE4"
                                                                "hlten Gruppe: Name und Enter"));
}

void MainWindow::resolveMnemonicClashes()
{
    QSet<QChar> taken;
    for (const ActionSpec& entry : kActions) {
        const QAction* a = actions_.*entry.member;
        const QKeySequence key = a->shortcut();
        if (!key.isEmpty() && key[0].keyboardModifiers() == Qt::AltModifier) {
            const int code = key[0].key();
            if (code >= Qt::Key_A && code <= Qt::Key_Z) {
                taken.insert(QChar(code));
            }
        }
    }
    // A menu whose letter an action's Alt key holds moves its mark to the
    // first letter of its name that no other menu or action claims, so every
    // menu keeps an Alt key of its own.
    QSet<QChar> claimed = taken;
    for (const QAction* menu : std::as_const(menuActions_)) {
        claimed.insert(mnemonicOf(menu->text()));
    }
    for (QAction* menu : std::as_const(menuActions_)) {
        const QChar m = mnemonicOf(menu->text());
        if (m.isNull() || !taken.contains(m)) {
            continue;
        }
        QString text = menu->text();
        text.remove(text.indexOf(QLatin1Char('&')), 1);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar letter = text[i].toUpper();
            if (letter >= QLatin1Char('A') && letter <= QLatin1Char('Z') && !claimed.contains(letter)) {
                text.insert(i, QLatin1Char('&'));
                claimed.insert(letter);
                break;
            }
        }
        menu->setText(text);
    }
}

void MainWindow::Neu1Click(QObject* sender)
{
    storePendingEdits();
    // At start-up the working copy of an earlier run stays for recovery.
    const bool fromAction = qobject_cast<QAction*>(sender) != nullptr;
    bool started = false;
    if (!guarded(prompter_, [&] { started = project_->New(fromAction); }) || !started) {
        return;
    }
    if (fromAction) {
        catalog_->groupPanel()->reset();
        showPage(catalog_);
        Q_EMIT projectSwitched();
    }
    catalog_->itemPanel()->reset();
    setStatusText(0, toQ(state_.Texts.StatusTexts[status::kReady]));
    updateItemCount();
}

void MainWindow::Oeffnen1Click(QObject* sender)
{
    if (sender != actions_.mOeffnen) {
        guarded(prompter_, [this] { project_->Recover(); });
        Q_EMIT projectSwitched();
        catalog_->groupPanel()->ShowGroups();
        updateItemCount();
        return;
    }
    // Without the folder the dialog merely starts elsewhere.
    static_cast<void>(ForceDirectories(state_.Dirs.ProgramDir + "Projekte/"));
    const QString path =
        QFileDialog::getOpenFileName(this, QString(), projectFolder(), QStringLiteral("Quillane (*.shp);;Alle (*)"));
    if (!path.isEmpty()) {
        rememberProjectFolder(path);
        openProjectFile(path);
    }
}

bool MainWindow::openProjectFile(const QString& path)
{
    storePendingEdits();
    bool opened = false;
    if (!guarded(prompter_, [&] { opened = project_->Open(fromQ(path)); }) || !opened) {
        return false;
    }
    catalog_->groupPanel()->reset();
    catalog_->itemPanel()->reset();
    catalog_->groupPanel()->ShowGroups();
    showPage(catalog_);
    updateItemCount();
    Q_EMIT projectSwitched();
    return true;
}

bool MainWindow::Speichern1Click()
{
    storePendingEdits();
    state_.Store.SaveGroup();
    bool saved = false;
    guarded(prompter_, [&] { saved = project_->Save(); });
    return saved;
}

bool MainWindow::Speichernals1Click()
{
    storePendingEdits();
    state_.Store.SaveGroup();
    // Without the folder the dialog merely starts elsewhere.
    static_cast<void>(ForceDirectories(state_.Dirs.ProgramDir + "Projekte/"));
    QString path =
        QFileDialog::getSaveFileName(this, QString(), projectFolder(), QStringLiteral("Quillane (*.shp);;Alle (*)"));
    if (path.isEmpty()) {
        return false;
    }
    rememberProjectFolder(path);
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".shp");
    }
    return guarded(prompter_, [&] { project_->SaveAs(fromQ(path)); });
}

void MainWindow::setInterfaceLanguage(const QString& language)
{
    if (guilang_->findText(language) < 0) {
        guilang_->addItem(language);
        guilang_->model()->sort(0);
    }
    guilang_->setCurrentText(language);
    Translate(fromQ(language));
}

void MainWindow::applySettings()
{
    storePendingEdits();
    state_.Store.SaveGroup();
    // Served countries may have changed: so may the catalog languages.
    std::vector<std::string> languages = GetActiveLangs(CountryTablePath(state_.Dirs.ProgramDir));
    const QSignalBlocker block(guilang_);
    const QString current = guilang_->currentText();
    guilang_->clear();
    for (const std::string& l : languages) {
        guilang_->addItem(toQ(l));
    }
    guilang_->model()->sort(0);
    guilang_->setCurrentText(current);
    state_.StartupStatus = GetUserData();
    Translate(fromQ(guilang_->currentText()));
    guilangChange();
    // Prices show in the home currency of the new settings.
    const QString shown = catalog_->groupPanel()->selectedPath();
    catalog_->groupPanel()->ShowGroups(shown);
}

void MainWindow::guilangChange()
{
    const std::string language = fromQ(guilang_->currentText());
    if (language.empty()) {
        return;
    }
    storePendingEdits();
    state_.Store.SaveGroup();
    state_.TranslationMode = language != state_.User.Country.Language;
    FormResize();
    state_.Store.SetLanguages(language, state_.User.Country.Language);
    // Group names differ between languages: nothing stays chosen.
    guarded(prompter_, [this] { state_.Store.LoadGroups(); });
    catalog_->groupPanel()->ShowGroups();
}

void MainWindow::FormResize()
{
    catalog_->banner()->setLanguages(guilang_->currentText(), toQ(state_.User.Country.Language));
    catalog_->FormResize(state_.TranslationMode);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FormActivate();
    }
}

void MainWindow::FormActivate()
{
    // Open dialogs are never hidden behind the main window.
    for (QWidget* w : std::as_const(windows_)) {
        if (w != this && w->isVisible()) {
            w->raise();
        }
    }
}

bool MainWindow::FormCloseQuery()
{
    storePendingEdits();
    state_.Store.SaveGroup();
    bool proceed = false;
    guarded(prompter_, [&] { proceed = project_->Pruefen(); });
    return proceed;
}

void MainWindow::FormClose()
{
    for (const char* name :
         {"shop.tmp", "groups.ini", "pictures.ini", "recovery.dat", "rechnung.html", "renr.js", "image.jpg"}) {
        std::remove((state_.Dirs.TempDir + name).c_str());
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    rememberPlace();
    event->accept();
    // Hidden dialogs must not keep the program alive.
    for (QWidget* w : std::as_const(windows_)) {
        if (w != this) {
            w->close();
        }
    }
}

} // namespace quillane::gui
