#pragma once

#include <QWidget>

class QKeyEvent;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace quillane {
class DialUpClient;
class HttpClient;
class LanguageFile;
class Prompter;
struct HttpProxy;
} // namespace quillane

namespace quillane::gui {

class OrderView;
struct AppState;

// The page "Bestellungseingang": "Bestellungen abholen", the lists of new
// ("Neu") and done ("Erledigt") orders from orders.dat, and the view of
// the chosen order.
class OrdersPage : public QWidget {
    Q_OBJECT
public:
    // http and dialUp: the program's HTTP client and dial-up connection.
    OrdersPage(AppState& state, Prompter& prompter, HttpClient& http, DialUpClient& dialUp, QWidget* parent = nullptr);

    // "Bestellungen abholen": WebConnect, the fetch, then the hang-up when
    // the settings ask for it.
    void BestellungenClick();
    // Refills newOrders() or oldOrders() from orders.dat.
    void LoadOrders(QListWidget* list);

    QListWidget* newOrders() const { return newOrders_; }
    QListWidget* oldOrders() const { return oldOrders_; }
    OrderView* view() const { return view_; }

    void translate(const LanguageFile& file);

Q_SIGNALS:
    // For panel 0 of the status bar.
    void statusMessage(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QListWidget* buildList(const char* name, const char* caption, const char* hint);
    // Fetches and merges; false when the fetch failed (the merchant was told).
    bool GetOrders(const HttpProxy& proxy);
    void OrderClick(QListWidget* list, int index);
    // The Delete key in a list: removes the shown order after asking.
    void OrdersKeyUp(QListWidget* list);

    AppState& state_;
    Prompter& prompter_;
    HttpClient& http_;
    DialUpClient& dialUp_;

    QPushButton* fetch_ = nullptr;
    QTabWidget* lists_ = nullptr;
    QListWidget* newOrders_ = nullptr;
    QListWidget* oldOrders_ = nullptr;
    OrderView* view_ = nullptr;
};

} // namespace quillane::gui
