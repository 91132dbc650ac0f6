#include "browser/webengine/WebEngineBrowserHost.h"

#include "browser/webengine/SnapshotScript.h"
#include "text/Errors.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
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

    m_page = new QWebEnginePage(m_profile, this);
    m_view = new QWebEngineView(viewParent);
    m_view->setPage(m_page);

    // The engine reports a load's start only when the page was idle: a
    // navigation made while another is under way replaces it without a new
    // start, and only the last one finishes. Hence the ticket moves in
    // Navigate() as well, and every finish, failed or not, asks for a
    // snapshot that supersedes any still on its way.
    connect(m_page, &QWebEnginePage::loadStarted, this, [this] {
        ++m_ticket;
        m_busy = true;
    });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this] { takeSnapshot(); });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this, [this] { onPageProcessGone(); });
}

WebEngineBrowserHost::~WebEngineBrowserHost()
{
    // Snapshots still under way must find themselves superseded.
    ++m_ticket;
    delete m_view.data();
    delete m_page;
    m_page = nullptr;
}

void WebEngineBrowserHost::Navigate(const QByteArray& url)
{
    const QUrl target = QUrl::fromEncoded(url, QUrl::TolerantMode);
    if (!target.isValid() || target.isRelative())
        throw text::AppError(QStringLiteral("Cannot navigate to %1").arg(QString::fromLatin1(url)));
    ++m_ticket;
    m_busy = true;
    m_page->load(target);
}

void WebEngineBrowserHost::takeSnapshot()
{
    const std::uint64_t ticket = ++m_ticket;
    QPointer<WebEngineBrowserHost> self(this);
    m_page->runJavaScript(
        snapshotscript::source(), QWebEngineScript::ApplicationWorld, [self, ticket](const QVariant& result) {
            if (self)
                self->onSnapshot(ticket, result);
        });
}

void WebEngineBrowserHost::onSnapshot(std::uint64_t ticket, const QVariant& result)
{
    if (ticket != m_ticket)
        return;
    complete(snapshotscript::read(result));
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
    complete(PageSnapshot {});
}

void WebEngineBrowserHost::complete(PageSnapshot snapshot)
{
    setSnapshot(std::move(snapshot));
    m_busy = false;
    raiseNavigateComplete2(topFrame());
    raiseDocumentComplete(topFrame());
}

} // namespace tess::browser
