#pragma once

#include <QWidget>

#include <string>

class QShowEvent;
class QWebEngineView;

namespace quillane {
class DialUpClient;
class Prompter;
} // namespace quillane

namespace quillane::gui {

struct AppState;

// The page "Accountmanager": the order service's account page in a
// browser, logged in with the stored account. Account name and password
// that the service's pages name are taken over into the settings.
class AccountPage : public QWidget {
    Q_OBJECT
public:
    AccountPage(AppState& state, Prompter& prompter, DialUpClient& dialUp, QWidget* parent = nullptr);

    // Brings the page to the front and, when the internet can be reached,
    // loads the account page for action ("show").
    void ManageAccount(const std::string& action);

    // WebBrowser1; created on first use, so the program starts without a
    // browser engine.
    QWebEngineView* browser();

Q_SIGNALS:
    // The page wants to be the visible one.
    void frontRequested();
    // The settings file holds a new account name or password.
    void accountTakenOver();
    // A document finished loading and was looked at for the account.
    void documentChecked(const QString& address, bool takenOver);

protected:
    // Showing the tab opens the account page (accountmanagerShow).
    void showEvent(QShowEvent* event) override;

private:
    void WebBrowser1DocumentComplete();

    AppState& state_;
    Prompter& prompter_;
    DialUpClient& dialUp_;
    QWebEngineView* view_ = nullptr;
    // Set while ManageAccount brings the page to the front, so the show
    // that follows does not load the page a second time.
    bool opening_ = false;
};

} // namespace quillane::gui
