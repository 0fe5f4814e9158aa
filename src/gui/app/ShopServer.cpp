#include "gui/app/ShopServer.h"

#include "core/common/Files.h"
#include "core/generator/ShopServing.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace quillane::gui {

namespace {

// A request head larger than this is no request of the shop's pages.
constexpr qsizetype kMaxHead = 16 * 1024;

} // namespace

ShopServer::ShopServer(QObject* parent) : QObject(parent), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &ShopServer::accept);
}

bool ShopServer::serve(const std::string& root)
{
    root_ = root;
    return server_->isListening() || server_->listen(QHostAddress::LocalHost, 0);
}

QUrl ShopServer::indexUrl() const
{
    if (!server_->isListening()) {
        return {};
    }
    return QUrl(QStringLiteral("http://127.0.0.1:%1/index.html").arg(server_->serverPort()));
}

void ShopServer::accept()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
    }
}

void ShopServer::answer(QTcpSocket* socket)
{
    // Wait for the whole head; a request body is never needed.
    const QByteArray head = socket->peek(kMaxHead + 1);
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0 && head.size() <= kMaxHead) {
        return;
    }
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);

    const QList<QByteArray> line = head.left(head.indexOf("\r\n")).split(' ');
    ShopResponse r;
    if (end < 0 || line.size() != 3) {
        r.Status = 400;
        r.Reason = "Bad Request";
    } else {
        r = ResolveShopRequest(root_, line[0].toStdString(), line[1].toStdString());
    }

    QByteArray body;
    if (r.Status == 200) {
        std::string content;
        if (TryReadFile(r.Path, content)) {
            body = QByteArray::fromStdString(content);
        } else {
            r.Status = 404;
            r.Reason = "Not Found";
        }
    }
    if (r.Status != 200) {
        r.ContentType = "text/plain; charset=windows-1252";
        body = QByteArray::fromStdString(std::to_string(r.Status) + " " + r.Reason + "\r\n");
    }
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(r.Status) + ' ' + QByteArray::fromStdString(r.Reason) +
                       "\r\nContent-Type: " + QByteArray::fromStdString(r.ContentType) +
                       "\r\nContent-Length: " + QByteArray::number(body.size()) +
                       // The merchant should always see the files of the last run.
                       "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
    if (line.value(0) != "HEAD") {
        reply += body;
    }
    socket->write(reply);
    socket->disconnectFromHost();
}

} // namespace quillane::gui
