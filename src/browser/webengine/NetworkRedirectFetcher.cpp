#include "browser/webengine/NetworkRedirectFetcher.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <utility>

namespace tess::browser {

NetworkRedirectFetcher::NetworkRedirectFetcher(QWebEngineProfile* profile, QObject* parent)
    : QObject(parent)
    , m_profile(profile)
{
    auto* jar = new QNetworkCookieJar(&m_network);
    m_network.setCookieJar(jar);
    if (!profile)
        return;
    QWebEngineCookieStore* store = profile->cookieStore();
    // A cookie the browser replaces arrives again; the jar keeps one of a
    // name, domain and path, so the old one goes first.
    connect(store, &QWebEngineCookieStore::cookieAdded, jar, [jar](const QNetworkCookie& cookie) {
        jar->deleteCookie(cookie);
        jar->insertCookie(cookie);
    });
    connect(store, &QWebEngineCookieStore::cookieRemoved, jar,
        [jar](const QNetworkCookie& cookie) { jar->deleteCookie(cookie); });
    // Those stored before now arrive through cookieAdded too.
    store->loadAllCookies();
}

NetworkRedirectFetcher::~NetworkRedirectFetcher() { cancelAll(); }

void NetworkRedirectFetcher::fetch(const QByteArray& address, std::function<void(RedirectAnswer)> done)
{
    QNetworkRequest request(QUrl::fromEncoded(address));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(m_boundMs);
    request.setRawHeader("Accept", "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
    if (m_profile) {
        request.setHeader(QNetworkRequest::UserAgentHeader, m_profile->httpUserAgent().toUtf8());
        if (const QString languages = m_profile->httpAcceptLanguage(); !languages.isEmpty())
            request.setRawHeader("Accept-Language", languages.toUtf8());
    }

    const std::uint64_t id = ++m_lastId;
    QNetworkReply* reply = m_network.get(request);
    m_requests.insert(id, Request { reply, std::move(done), {} });
    connect(reply, &QNetworkReply::readyRead, this, [this, id] { readBody(id); });
    connect(reply, &QNetworkReply::finished, this, [this, id] { answer(id); });
    // The transfer timeout ends only a silent request; this ends one that
    // trickles on.
    QTimer::singleShot(m_boundMs, reply, [reply] { reply->abort(); });
}

void NetworkRedirectFetcher::readBody(std::uint64_t id)
{
    const auto found = m_requests.find(id);
    if (found == m_requests.end() || !found->reply)
        return;
    QByteArray& body = found->answer.body;
    body += found->reply->read(kMaxBody - body.size());
    // The rest of a large page is not worth waiting for.
    if (body.size() >= kMaxBody)
        answer(id);
}

void NetworkRedirectFetcher::answer(std::uint64_t id)
{
    const auto found = m_requests.find(id);
    if (found == m_requests.end() || !found->reply)
        return;
    QNetworkReply* reply = std::exchange(found->reply, nullptr);
    RedirectAnswer& answer = found->answer;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    answer.failed = !status.isValid();
    answer.status = status.toInt();
    answer.location = reply->rawHeader("Location");
    if (reply->isOpen())
        answer.body += reply->read(kMaxBody - answer.body.size());
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    // From the event loop, outside the network layer's signal.
    QMetaObject::invokeMethod(
        this, [this, id] { deliver(id); }, Qt::QueuedConnection);
}

void NetworkRedirectFetcher::deliver(std::uint64_t id)
{
    const auto found = m_requests.find(id);
    if (found == m_requests.end() || found->reply)
        return;
    Request request = std::move(*found);
    m_requests.erase(found);
    request.done(std::move(request.answer));
}

void NetworkRedirectFetcher::cancelAll()
{
    const QHash<std::uint64_t, Request> requests = std::exchange(m_requests, {});
    for (const Request& request : requests) {
        if (!request.reply)
            continue;
        request.reply->disconnect(this);
        request.reply->abort();
        request.reply->deleteLater();
    }
}

} // namespace tess::browser
