#pragma once

#include "gui/settings/SettingsDialog.h"
#include "gui/settings/ShopProfileDialog.h"

#include <QList>
#include <QMainWindow>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTabWidget;

namespace quillane {
class DialUpClient;
class LanguageFile;
class GroupOps;
class HttpClient;
class ItemOps;
class Project;
class Prompter;
} // namespace quillane

namespace quillane::gui {

class AccountPage;
class BrowserPage;
class CatalogPage;
class OrdersPage;
struct AppState;

// The actions of the main window's menus and toolbar; each carries its
// member's name as object name.
struct MainActions {
    QAction* mNeu = nullptr;
    QAction* mOeffnen = nullptr;
    QAction* mImportieren = nullptr;
    QAction* mSpeichern = nullptr;
    QAction* mSpeichernals = nullptr;
    QAction* mEigenschaften = nullptr;
    QAction* mGestaltung = nullptr;
    QAction* mShopErstellen = nullptr;
    QAction* mShopAnsehen = nullptr;
    QAction* mShopPublizieren = nullptr;
    QAction* mBeenden = nullptr;
    QAction* mArtikelverw = nullptr;
    QAction* mBestellung = nullptr;
    QAction* mAccountmanager = nullptr;
    QAction* mEinstellungen = nullptr;
    QAction* mProfil = nullptr;
    QAction* mInhalt = nullptr;
    QAction* mUeber = nullptr;
};

// The main window: menus, toolbar, the pages and the status bar; it owns
// the start-up of the application's state (FormShow).
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // http and dialUp: the program's HTTP client and dial-up connection, for the order tab.
    MainWindow(AppState& state, Prompter& prompter, HttpClient& http, DialUpClient& dialUp, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The application's windows in creation order, for translation and for
    // keeping dialogs in front.
    void setWindows(const QList<QWidget*>& windows) { windows_ = windows; }

    // Runs once when the window is first shown.
    void FormShow();
    // Reads the settings file and the home country; returns the status.
    std::string GetUserData();
    void Translate(const std::string& language);
    void FormResize();
    // sender: an action of the window, or the window itself at start-up.
    void Neu1Click(QObject* sender);
    void Oeffnen1Click(QObject* sender);
    bool Speichern1Click();
    bool Speichernals1Click();
    void guilangChange();
    // The language rule of the settings dialog: the catalog language and the
    // interface become this language.
    void setInterfaceLanguage(const QString& language);
    // The settings dialog saved: read the user data again (ends the setup
    // state) and show prices in the home currency.
    void applySettings();
    // The import wrote the catalog: the tree and the list show it again.
    void showImportedCatalog();
    // The price entry mode changed elsewhere: the item panel's caption follows.
    void followPriceEntryMode();
    // "Shop ansehen": the generated shop in the embedded browser.
    void showShop();
    // Opens a project file as the open dialog would; for the dialog and tests.
    bool openProjectFile(const QString& path);
    Project& project() const { return *project_; }

    const MainActions& actions() const { return actions_; }
    CatalogPage* catalogPage() const { return catalog_; }
    OrdersPage* ordersPage() const { return ordersPage_; }
    AccountPage* accountPage() const { return accountPage_; }
    QString statusText(int panel) const;
    void setStatusText(int panel, const QString& text);
    QComboBox* catalogLanguage() const { return guilang_; }

Q_SIGNALS:
    void aboutRequested();
    void settingsRequested(SettingsDialog::Page page);
    // 0 invoice, 1 discounts, 2 layout page of the shop profile dialog.
    void shopProfileRequested(ShopProfileDialog::Page page);
    void generationRequested();
    // "Shop veröffentlichen", for a shop that was generated.
    void publishRequested();
    // "Importieren": the import dialog asks for its file.
    void importRequested();
    // Another project (or none) is now open.
    void projectSwitched();
    // The windows speak another language now; texts made from the text
    // tables are made again.
    void interfaceLanguageChanged();
    // The open project's data folder is another one now (Save As moves it).
    void dataFolderChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createActions();
    void createMenusAndToolbar();
    void createPages();
    void createStatusBar();
    void updateTitle();
    void updateProjectActions();
    void updateItemCount();
    void showPage(QWidget* page);
    // "Inhalt": the quick guide in the help page.
    void showContents();
    // Shows a page in the help page's browser.
    // Alt+letter shortcuts of actions win over menu mnemonics of the same
    // letter: such a menu takes another letter of its name.
    void resolveMnemonicClashes();
    // Tool tips for controls that show a picture or a sign instead of words,
    // and the hints inside the group name fields.
    void explainControls(const LanguageFile& file);
    // A description typed but not stored yet is stored before the project,
    // its folder or the catalog language changes.
    void storePendingEdits();
    // The catalog languages, whose descriptions follow a changed order number.
    void followCatalogLanguages();
    bool FormCloseQuery();
    void FormClose();
    void FormActivate();
    // Where the project dialogs start: the folder chosen last.
    QString projectFolder() const;
    void rememberProjectFolder(const QString& path);
    // The open project heads the list of recent projects.
    void rememberProject();
    void fillRecentProjects();
    // Start-up: the project of the last run, offered in the status bar.
    void offerLastProject();
    // The window's place and page of the last run, and storing them at the end.
    void restorePlace();
    // Size and place within the screen's free area, title bar included.
    void fitOnScreen();
    void rememberPlace();

    AppState& state_;
    Prompter& prompter_;
    HttpClient& http_;
    DialUpClient& dialUp_;
    std::unique_ptr<GroupOps> groupOps_;
    std::unique_ptr<ItemOps> itemOps_;
    std::unique_ptr<Project> project_;
    bool shown_ = false;
    std::string dataDir_;
    QList<QWidget*> windows_;
    MainActions actions_;
    QList<QAction*> menuActions_;
    QStackedWidget* central_ = nullptr;
    QTabWidget* pages_ = nullptr;
    CatalogPage* catalog_ = nullptr;
    OrdersPage* ordersPage_ = nullptr;
    AccountPage* accountPage_ = nullptr;
    BrowserPage* helpPage_ = nullptr;
    QComboBox* guilang_ = nullptr;
    QLabel* panel0_ = nullptr;
    QLabel* panel1_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QPushButton* lastProject_ = nullptr;
    std::string rememberedProject_;
};

} // namespace quillane::gui
