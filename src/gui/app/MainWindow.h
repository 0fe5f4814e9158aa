#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>

class QAction;
class QComboBox;
class QLabel;
class QStackedWidget;
class QTabWidget;
class QTextBrowser;

namespace quillane::gui {

class CatalogPage;
struct AppState;

// The main window: menus, toolbar, the pages and the status bar; it owns
// the start-up of the application's state (FormShow).
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppState& state, QWidget* parent = nullptr);

    // The application's windows in creation order, for translation and for
    // keeping dialogs in front.
    void setWindows(const QList<QWidget*>& windows) { windows_ = windows; }

    // Runs once when the window is first shown.
    void FormShow();
    // Reads the settings file and the home country; returns the status.
    std::string GetUserData();
    void Translate(const std::string& language);
    void FormResize();
    void Neu1Click(QObject* sender);

    QAction* action(const char* name) const;
    CatalogPage* catalogPage() const { return catalog_; }
    QString statusText(int panel) const;
    void setStatusText(int panel, const QString& text);
    QComboBox* catalogLanguage() const { return guilang_; }

Q_SIGNALS:
    void aboutRequested();
    void settingsRequested(int page);

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
    void showPage(QWidget* page);
    // Alt+letter shortcuts of actions win over menu mnemonics of the same letter.
    void resolveMnemonicClashes();
    bool FormCloseQuery();
    void FormClose();
    void FormActivate();

    AppState& state_;
    bool shown_ = false;
    QList<QWidget*> windows_;
    QHash<QString, QAction*> actions_;
    QList<QAction*> menuActions_;
    QStackedWidget* central_ = nullptr;
    QTabWidget* pages_ = nullptr;
    CatalogPage* catalog_ = nullptr;
    QWidget* ordersPage_ = nullptr;
    QWidget* accountPage_ = nullptr;
    QTextBrowser* helpPage_ = nullptr;
    QComboBox* guilang_ = nullptr;
    QLabel* panel0_ = nullptr;
    QLabel* panel1_ = nullptr;
};

} // namespace quillane::gui
