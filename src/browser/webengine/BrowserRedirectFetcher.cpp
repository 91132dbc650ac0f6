#include "browser/webengine/BrowserRedirectFetcher.h"

#include <QAuthenticator>
#include <QTimer>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>

#include <utility>

namespace tess::browser {
namespace {

// Chromium's code for a load that something else ended: a navigation that
// replaced it, a stop, a navigation refused here.
constexpr int kAbortedLoad = -3;
// How long a page that has loaded may take to lead on by a script timer or
// a refresh before it is taken as leading nowhere.
constexpr int kSettleMs = 200;
// How long a refused navigation may take to tell of its end.
constexpr int kDrainMs = 1000;

int effectivePort(const QUrl& url) { return url.port(url.scheme() == u"https" ? 443 : 80); }

bool sameServer(const QUrl& a, const QUrl& b)
{
    return a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && effectivePort(a) == effectivePort(b);
}

} // namespace

// A page nobody sees: it answers every dialog as if dismissed, opens no
// window, and hands each navigation to the fetcher to allow or refuse.
class BrowserRedirectFetcher::Page final : public QWebEnginePage {
public:
    Page(QWebEngineProfile* profile, BrowserRedirectFetcher* fetcher);

    std::uint64_t request = 0; // 0 while free
    // A navigation refused here has not yet told of its end; until it has,
    // its news would be taken for the next request's.
    bool draining = false;
    int loads = 0; // main-frame navigations allowed for the request

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        return m_fetcher->onNavigation(this, url, isMainFrame);
    }
    void javaScriptAlert(const QUrl&, const QString&) override { }
    // A page that asks before it is left is left all the same, or the
    // next request on this page would wait for ever.
    bool javaScriptConfirm(const QUrl&, const QString&) override { return true; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override
    {
    }
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override { return {}; }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }

private:
    BrowserRedirectFetcher* m_fetcher;
};

BrowserRedirectFetcher::Page::Page(QWebEngineProfile* profile, BrowserRedirectFetcher* fetcher)
    // A child of the fetcher: one whose deletion was put off still goes
    // with the fetcher, before the profile.
    : QWebEnginePage(profile, fetcher)
    , m_fetcher(fetcher)
{
    QWebEngineSettings* s = settings();
    // The redirector's own script must run; nothing else of the page matters.
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
    s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    setAudioMuted(true);
    setVisible(true);
    // Nobody is there to grant, log in or choose anything.
    connect(
        this, &QWebEnginePage::featurePermissionRequested, this, [this](const QUrl& origin, Feature feature) {
            setFeaturePermission(origin, feature, PermissionDeniedByUser);
        });
    connect(this, &QWebEnginePage::authenticationRequired, this,
        [](const QUrl&, QAuthenticator* auth) { *auth = QAuthenticator(); });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
        [](const QUrl&, QAuthenticator* auth, const QString&) { *auth = QAuthenticator(); });
    connect(this, &QWebEnginePage::selectClientCertificate, this,
        [](QWebEngineClientCertificateSelection selection) { selection.selectNone(); });
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this,
        [](QWebEngineFileSystemAccessRequest access) { access.reject(); });
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
        [](QWebEngineRegisterProtocolHandlerRequest handler) { handler.reject(); });
    connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (draining && info.status() != QWebEngineLoadingInfo::LoadStartedStatus) {
            draining = false;
            if (!request)
                m_fetcher->pageDrained();
            return;
        }
        switch (info.status()) {
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            m_fetcher->onLoadEnded(this, true, false, 0);
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            m_fetcher->onLoadEnded(this, false,
                info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain, info.errorCode());
            break;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            m_fetcher->onLoadStopped(this, info.url());
            break;
        default:
            break;
        }
    });
}

BrowserRedirectFetcher::BrowserRedirectFetcher(QWebEngineProfile* profile, QObject* parent)
    : QObject(parent)
    , m_profile(profile)
{
    if (!profile)
        return;
    // A redirector that answers with a file leads nowhere; the file is
    // never written.
    connect(
        profile, &QWebEngineProfile::downloadRequested, this, [this](QWebEngineDownloadRequest* download) {
            for (Page* page : std::as_const(m_pages)) {
                if (download->page() != page)
                    continue;
                download->cancel();
                if (page->request) {
                    RedirectAnswer answer;
                    answer.status = 200;
                    finish(page->request, answer);
                }
            }
        });
}

BrowserRedirectFetcher::~BrowserRedirectFetcher()
{
    cancelAll();
    // Each page goes before the profile it belongs to.
    qDeleteAll(std::exchange(m_pages, {}));
}

void BrowserRedirectFetcher::fetch(const QByteArray& address, std::function<void(RedirectAnswer)> done)
{
    const std::uint64_t id = ++m_lastId;
    const QUrl url = QUrl::fromEncoded(address);
    m_requests.insert(id, Request { url, std::move(done), nullptr, false, {} });
    if (!m_profile || !url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https")
        || url.host().isEmpty()) {
        RedirectAnswer answer;
        answer.failed = true;
        finish(id, answer);
        return;
    }
    m_waiting.push_back(id);
    startWaiting();
    // Past the bound the request ends however far it has come; its page
    // may be stuck in a script and is not used again.
    QTimer::singleShot(m_boundMs, this, [this, id] {
        const auto found = m_requests.find(id);
        if (found == m_requests.end() || found->answered)
            return;
        if (found->page)
            found->page->triggerAction(QWebEnginePage::Stop);
        RedirectAnswer answer;
        answer.failed = true;
        finish(id, answer);
    });
}

BrowserRedirectFetcher::Page* BrowserRedirectFetcher::freePage()
{
    for (Page* page : std::as_const(m_pages))
        if (!page->request && !page->draining)
            return page;
    if (m_pages.size() >= kMaxPages)
        return nullptr;
    m_pages.append(new Page(m_profile, this));
    return m_pages.last();
}

void BrowserRedirectFetcher::startWaiting()
{
    while (!m_waiting.empty()) {
        Page* page = freePage();
        if (!page)
            return;
        const std::uint64_t id = m_waiting.front();
        m_waiting.pop_front();
        start(id, page);
    }
}

void BrowserRedirectFetcher::start(std::uint64_t id, Page* page)
{
    Request& request = m_requests[id];
    request.page = page;
    page->request = id;
    page->loads = 0;
    page->load(request.address);
}

bool BrowserRedirectFetcher::onNavigation(Page* page, const QUrl& url, bool mainFrame)
{
    const auto found = m_requests.find(page->request);
    if (found == m_requests.end() || found->answered)
        return false;
    if (sameServer(url, found->address)) {
        if (mainFrame)
            ++page->loads;
        return true;
    }
    // A frame elsewhere is not where the redirector leads.
    if (!mainFrame)
        return false;
    page->draining = true;
    RedirectAnswer answer;
    answer.status = 302;
    answer.location = url.toEncoded();
    finish(page->request, answer);
    return false;
}

void BrowserRedirectFetcher::onLoadEnded(Page* page, bool ok, bool httpError, int code)
{
    const auto found = m_requests.find(page->request);
    if (found == m_requests.end() || found->answered)
        return;
    if (!ok && !httpError) {
        // A load ended by another is no answer; the other one will give it.
        if (code == kAbortedLoad)
            return;
        RedirectAnswer answer;
        answer.failed = true;
        finish(page->request, answer);
        return;
    }
    found->answer.status = ok ? 200 : code;
    const std::uint64_t id = page->request;
    const int loads = page->loads;
    QTimer::singleShot(kSettleMs, this, [this, id, page, loads] {
        const auto settled = m_requests.find(id);
        if (settled != m_requests.end() && !settled->answered && settled->page == page
            && page->loads == loads)
            readDocument(id);
    });
}

void BrowserRedirectFetcher::onLoadStopped(Page* page, const QUrl& url)
{
    // A navigation to a scheme the browser hands to other programs never
    // asks whether it may go: it only ends the load.
    const auto found = m_requests.find(page->request);
    if (found == m_requests.end() || found->answered || url.scheme() == u"http" || url.scheme() == u"https")
        return;
    RedirectAnswer answer;
    answer.status = 302;
    answer.location = url.toEncoded();
    finish(page->request, answer);
}

void BrowserRedirectFetcher::readDocument(std::uint64_t id)
{
    Page* page = m_requests[id].page;
    const int loads = page->loads;
    QPointer<BrowserRedirectFetcher> self(this);
    // The document as it stands, its scripts and refreshes included: the
    // resolver reads a target from them should the page not go there
    // before this arrives.
    page->toHtml([self, id, page, loads](const QString& html) {
        if (!self)
            return;
        const auto found = self->m_requests.find(id);
        if (found == self->m_requests.end() || found->answered || found->page != page || page->loads != loads)
            return;
        RedirectAnswer answer = found->answer;
        answer.body = html.toUtf8().left(kMaxBody);
        self->finish(id, std::move(answer));
    });
}

void BrowserRedirectFetcher::finish(std::uint64_t id, RedirectAnswer answer)
{
    const auto found = m_requests.find(id);
    if (found == m_requests.end() || found->answered)
        return;
    found->answered = true;
    found->answer = std::move(answer);
    // From the event loop, outside fetch() and the browser's own calls.
    QMetaObject::invokeMethod(
        this, [this, id] { deliver(id); }, Qt::QueuedConnection);
}

void BrowserRedirectFetcher::deliver(std::uint64_t id)
{
    const auto found = m_requests.find(id);
    if (found == m_requests.end() || !found->answered)
        return;
    Request request = std::move(*found);
    m_requests.erase(found);
    if (request.page)
        release(request.page, !request.answer.failed);
    startWaiting();
    request.done(std::move(request.answer));
}

void BrowserRedirectFetcher::release(Page* page, bool keep)
{
    page->request = 0;
    // Stopping a kept page would only end the next request's load: the
    // browser tells of the stop after that load has begun.
    if (keep && page->draining) {
        // Should the end never be told, the page is not waited for.
        QTimer::singleShot(kDrainMs, page, [this, page] {
            if (page->request || !page->draining)
                return;
            m_pages.removeOne(page);
            page->deleteLater();
            pageDrained();
        });
    }
    if (keep)
        return;
    // A page whose load failed or ran past the bound may hold a renderer
    // that no longer answers; a new page starts afresh.
    m_pages.removeOne(page);
    delete page;
}

void BrowserRedirectFetcher::pageDrained()
{
    // Outside the browser's signal: starting a load from within it is not safe.
    QMetaObject::invokeMethod(
        this, [this] { startWaiting(); }, Qt::QueuedConnection);
}

void BrowserRedirectFetcher::cancelAll()
{
    const QHash<std::uint64_t, Request> requests = std::exchange(m_requests, {});
    m_waiting.clear();
    for (const Request& request : requests)
        if (request.page)
            release(request.page, request.answered && !request.answer.failed);
}

} // namespace tess::browser
