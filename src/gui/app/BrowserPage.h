#pragma once

#include <QWidget>

#include <string>

class QLabel;
class QWebEngineView;

namespace quillane::gui {

class ShopServer;

// The main window's browser page: the help contents, or the generated shop
// under a caption naming its folder.
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

private:
    QLabel* caption_;
    QWebEngineView* view_ = nullptr;
    ShopServer* server_ = nullptr;
};

} // namespace quillane::gui
