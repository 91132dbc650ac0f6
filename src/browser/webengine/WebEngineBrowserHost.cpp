#include "browser/webengine/WebEngineBrowserHost.h"

#include "browser/webengine/HarvestPage.h"
#include "browser/webengine/SnapshotScript.h"
#include "text/Errors.h"

#include <QAuthenticator>
#include <QDir>
#include <QFile>
#include <QUrl>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <utility>

namespace tess::browser {

WebEngineBrowserHost::WebEngineBrowserHost(const QString& profileFolder, QWidget* viewParent)
{
    const QString root = QDir(profileFolder).absolutePath();
    QDir().mkpath(root);
    // A named profile is kept on disk; its paths must be set before the
    // first page uses it. The engine writes its preferences at the default
    // path of a named profile the moment it is made, before any path of
    // ours can be set; that default path follows XDG_DATA_HOME, so for that
    // moment it points inside our own folder, and nothing is written
    // outside it.
    {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        const bool wasSet = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/defaults")));
        m_profile = new QWebEngineProfile(QStringLiteral("tessaroon"), this);
        if (wasSet)
            qputenv("XDG_DATA_HOME", saved);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    m_profile->setPersistentStoragePath(root);
    m_profile->setCachePath(root + QStringLiteral("/cache"));
    // Pages that declare no charset are read as windows-1252, which keeps
    // every byte; the snapshot script then reads them as what they hold.
    m_profile->settings()->setDefaultTextEncoding(QStringLiteral("windows-1252"));
    // Pop-ups are never shown, but each one a script asks for still costs
    // the engine a page of its own to make and drop: a page asking for
    // hundreds held up its own snapshot past any bound. Script pop-ups are
    // refused where they start; one a user clicks open is still refused by
    // the page having no window to give it.
    m_profile->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    // Nothing a page offers for download is written anywhere.
    connect(
        m_profile, &QWebEngineProfile::downloadRequested, this, [this](QWebEngineDownloadRequest* download) {
            raiseNote(QStringLiteral("已拒绝下载：%1").arg(download->url().toString()));
            download->cancel();
        });

    m_view = new QWebEngineView(viewParent);
    attachNewPage();
}

void WebEngineBrowserHost::attachNewPage()
{
    auto* page = new HarvestPage(m_profile, this);
    page->unattended = [this] { return m_unattended; };
    page->onDialog = [this](const QString& note) { raiseNote(note); };
    // The engine reports a load's start only when the page was idle: a
    // navigation made while another is under way replaces it without a new
    // start, and only the last one finishes. Hence the ticket moves in
    // navigate() as well, and every finish, failed or not, asks for a
    // snapshot that supersedes any still on its way.
    connect(page, &QWebEnginePage::loadingChanged, this,
        [this](const QWebEngineLoadingInfo& info) { onLoadingChanged(info); });
    connect(page, &QWebEnginePage::renderProcessTerminated, this, [this] { onPageProcessGone(); });
    // No one can log in or pick a certificate for a run: decline at once,
    // before the browser asks again and again.
    connect(
        page, &QWebEnginePage::authenticationRequired, this, [this](const QUrl& url, QAuthenticator* auth) {
            raiseNote(QStringLiteral("已取消登录要求：%1").arg(url.toString()));
            *auth = QAuthenticator();
        });
    connect(page, &QWebEnginePage::proxyAuthenticationRequired, this,
        [this](const QUrl&, QAuthenticator* auth, const QString& proxy) {
            raiseNote(QStringLiteral("已取消代理登录要求：%1").arg(proxy));
            *auth = QAuthenticator();
        });
    connect(page, &QWebEnginePage::selectClientCertificate, this,
        [this](QWebEngineClientCertificateSelection selection) {
            raiseNote(QStringLiteral("已拒绝客户端证书要求：%1").arg(selection.host().toString()));
            selection.selectNone();
        });
    HarvestPage* old = m_page;
    m_page = page;
    if (m_view)
        m_view->setPage(page);
    // The old page goes with its renderer, however busy that is.
    delete old;
}

QWebEnginePage* WebEngineBrowserHost::page() const { return m_page; }

WebEngineBrowserHost::~WebEngineBrowserHost()
{
    // Snapshots still under way must find themselves superseded.
    ++m_ticket;
    delete m_view.data();
    delete m_page;
    m_page = nullptr;
}

void WebEngineBrowserHost::navigate(const QByteArray& url)
{
    const QUrl target = QUrl::fromEncoded(url, QUrl::TolerantMode);
    if (!target.isValid() || target.isRelative())
        throw text::AppError(QStringLiteral("Cannot navigate to %1").arg(QString::fromLatin1(url)));
    ++m_ticket;
    m_busy = true;
    m_page->load(target);
}

void WebEngineBrowserHost::abandonLoad()
{
    // Whatever the old page still does, its answers find themselves superseded.
    ++m_ticket;
    m_busy = false;
    attachNewPage();
}

void WebEngineBrowserHost::onLoadingChanged(const QWebEngineLoadingInfo& info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        ++m_ticket;
        m_busy = true;
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        takeSnapshot(false, {});
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // An HTTP error status shows the server's own page, a network error
        // the browser's error page: a document either way, but not the one
        // asked for.
        takeSnapshot(true,
            info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain
                ? QStringLiteral("HTTP %1").arg(info.errorCode())
                : info.errorString());
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        // No new document at all (a download, an empty answer, a stop): the
        // page still shows the previous one, which must not be read again.
        if (!m_busy)
            break;
        ++m_ticket;
        complete(PageSnapshot { info.url().toString(), {}, {}, true, QStringLiteral("没有可读的网页") });
        break;
    }
}

void WebEngineBrowserHost::takeSnapshot(bool failed, const QString& failure)
{
    const std::uint64_t ticket = ++m_ticket;
    QPointer<WebEngineBrowserHost> self(this);
    m_page->runJavaScript(snapshotscript::source(targetAttributes(), pageParts()),
        QWebEngineScript::ApplicationWorld, [self, ticket, failed, failure](const QVariant& result) {
            if (self)
                self->onSnapshot(ticket, result, failed, failure);
        });
}

void WebEngineBrowserHost::onSnapshot(
    std::uint64_t ticket, const QVariant& result, bool failed, const QString& failure)
{
    if (ticket != m_ticket)
        return;
    if (!failed && snapshotscript::leavesAtOnce(result))
        return; // its next load completes the request
    PageSnapshot snapshot = snapshotscript::read(result);
    snapshot.loadFailed = failed;
    snapshot.failure = failure;
    complete(std::move(snapshot));
}

void WebEngineBrowserHost::onPageProcessGone()
{
    // The engine then reports neither the end of the load nor the script's
    // answer, and whoever waits for this page would wait for ever. Finish
    // it as an empty document instead; the next navigation starts a new
    // page process.
    if (!m_busy)
        return;
    ++m_ticket;
    complete(PageSnapshot { {}, {}, {}, true, QStringLiteral("网页进程意外结束") });
}

void WebEngineBrowserHost::complete(PageSnapshot snapshot)
{
    setSnapshot(std::move(snapshot));
    m_busy = false;
    raiseNavigateComplete2(topFrame());
    raiseDocumentComplete(topFrame());
}

} // namespace tess::browser
