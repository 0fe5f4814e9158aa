#pragma once

#include "gui/online/LoadFailurePage.h"

#include <QWidget>

#include <string>

class QLabel;
class QPushButton;
class QUrl;
class QWebEnginePage;
class QWebEngineView;

namespace quillane {
struct AuctionItem;
}

namespace quillane::gui {

class AuctionPanel;
class ShopServer;

// The main window's browser page: the help contents, the generated shop
// under a caption naming its folder, or the auction site under the auction
// panel, whose forms are filled after each page that loads. A bar on top
// leads back to the catalog (also Esc) and reloads what is shown.
class BrowserPage : public QWidget {
    Q_OBJECT
public:
    explicit BrowserPage(QWidget* parent = nullptr);

    void showFile(const std::string& path);
    // Shows shopDir's index.html as served from 127.0.0.1; false when the
    // local server could not start.
    bool showShop(const std::string& shopDir);

    // Created on first use, so the program starts without a browser engine.
    QWebEngineView* view();

    // How a page that cannot be reached is told; English until set.
    void setTexts(SayText say) { say_ = std::move(say); }

    // Takes the panel, at the top and hidden until an item is listed.
    void setAuctionPanel(AuctionPanel* panel);
    // Opens the panel for the item; the browser keeps what it shows.
    void showAuction(const AuctionItem& item);

Q_SIGNALS:
    // "Zurück zum Katalog" or Esc.
    void backRequested();

private:
    void fillListingForms(bool ok);
    // Loads url into a page of its own: the page left behind is dropped, so
    // a shop that asks before it is left never asks the merchant.
    void loadFresh(const QUrl& url);
    // A page of our own, which shows our page when a load fails.
    QWebEnginePage* ownPage(QWebEngineView* view);

    QWidget* bar_;
    QPushButton* back_;
    QLabel* caption_;
    QPushButton* reload_;
    AuctionPanel* auction_ = nullptr;
    QWebEngineView* view_ = nullptr;
    ShopServer* server_ = nullptr;
    SayText say_;
};

} // namespace quillane::gui
