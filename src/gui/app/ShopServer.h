#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <string>

class QTcpServer;
class QTcpSocket;

namespace quillane::gui {

// Serves one shop folder over HTTP on 127.0.0.1, on a port the system picks,
// to the embedded browser only. Each request is answered and the connection
// closed; the generated files are small.
class ShopServer : public QObject {
    Q_OBJECT
public:
    explicit ShopServer(QObject* parent = nullptr);

    // Serves root from now on (listening on first use); false when no port
    // could be opened.
    bool serve(const std::string& root);
    // Address of the folder's index page; empty before serve succeeded.
    QUrl indexUrl() const;

private:
    void accept();
    void answer(QTcpSocket* socket);

    QTcpServer* server_;
    std::string root_;
};

} // namespace quillane::gui
