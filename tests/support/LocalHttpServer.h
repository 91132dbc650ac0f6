#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTcpServer>

namespace tess::test {

// A minimal HTTP/1.1 server on 127.0.0.1 for browser tests: answers GET
// requests from pages registered by path (query included), 404 otherwise,
// one request per connection. Runs on the caller's event loop.
class LocalHttpServer final : public QObject {
    Q_OBJECT
public:
    LocalHttpServer();

    quint16 port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:<port><path>"
    QByteArray url(const QByteArray& path) const;

    // `delayMs` holds the answer back, to keep a load in flight.
    void setPage(const QByteArray& path, const QByteArray& html, int delayMs = 0);
    int requestCount(const QByteArray& path) const { return m_hits.value(path); }

private:
    struct Page {
        QByteArray body;
        int delayMs = 0;
    };
    void onConnection();

    QTcpServer m_server;
    QHash<QByteArray, Page> m_pages;
    QHash<QByteArray, int> m_hits;
};

} // namespace tess::test
