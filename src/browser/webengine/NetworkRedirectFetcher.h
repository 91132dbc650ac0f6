#pragma once

#include "browser/RedirectFetcher.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>

#include <cstdint>

class QNetworkReply;
class QWebEngineProfile;

namespace tess::browser {

// Asks addresses over the network as the embedded browser would: with its
// profile's user agent and cookies, and nothing followed.
//
// The cookies are a copy, kept current from the profile's cookie store:
// every cookie the browser holds or later sets or removes. Cookies a
// redirector sets in its answer stay with this fetcher. The browser's store
// announces the cookies it loads from disk only once, as it loads them for
// the first page: make the fetcher with the profile, before that page, and
// keep it.
//
// Answers come from the event loop of the thread the fetcher lives on,
// never from within fetch() or from within a signal of the network layer,
// so `done` may cancel or delete anything, this fetcher included.
class NetworkRedirectFetcher final : public QObject, public RedirectFetcher {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkRedirectFetcher)

public:
    // The profile is not owned; once it is gone, requests go out without
    // its user agent and keep the cookies copied so far.
    explicit NetworkRedirectFetcher(QWebEngineProfile* profile, QObject* parent = nullptr);
    ~NetworkRedirectFetcher() override;

    void fetch(const QByteArray& address, std::function<void(RedirectAnswer)> done) override;
    void cancelAll() override;

    // The bound on one request, kBoundMs unless set; for requests made later.
    void setBoundMs(int ms) { m_boundMs = ms; }

private:
    struct Request {
        QNetworkReply* reply = nullptr; // null once answered
        std::function<void(RedirectAnswer)> done;
        RedirectAnswer answer;
    };
    void readBody(std::uint64_t id);
    void answer(std::uint64_t id);
    void deliver(std::uint64_t id);

    QPointer<QWebEngineProfile> m_profile;
    QNetworkAccessManager m_network;
    int m_boundMs = kBoundMs;
    std::uint64_t m_lastId = 0;
    QHash<std::uint64_t, Request> m_requests;
};

} // namespace tess::browser
