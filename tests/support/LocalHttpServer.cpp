#include "support/LocalHttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace tess::test {

LocalHttpServer::LocalHttpServer()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::onConnection);
}

QByteArray LocalHttpServer::url(const QByteArray& path) const
{
    return "http://127.0.0.1:" + QByteArray::number(port()) + path;
}

void LocalHttpServer::setPage(const QByteArray& path, const QByteArray& html, int delayMs)
{
    m_pages.insert(path, Page { html, delayMs });
}

void LocalHttpServer::onConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket->property("answered").toBool())
                return;
            QByteArray request = socket->property("request").toByteArray() + socket->readAll();
            socket->setProperty("request", request);
            if (!request.contains("\r\n\r\n"))
                return;
            socket->setProperty("answered", true);
            const QByteArray path = request.left(request.indexOf("\r\n")).split(' ').value(1);
            ++m_hits[path];
            const auto found = m_pages.constFind(path);
            const bool ok = found != m_pages.constEnd();
            const QByteArray body = ok ? found->body : QByteArray("not found");
            const QByteArray reply = QByteArray(ok ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n")
                + "Content-Type: text/html; charset=utf-8\r\n"
                + "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
                + "Cache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
            QPointer<QTcpSocket> guard(socket);
            QTimer::singleShot(ok ? found->delayMs : 0, this, [guard, reply] {
                if (!guard)
                    return;
                guard->write(reply);
                guard->disconnectFromHost();
            });
        });
    }
}

} // namespace tess::test
