#pragma once

#include "browser/BrowserHost.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <stdexcept>

namespace tess::test {

// The part of `s` after `from` up to `to`: a key of a request address.
inline QByteArray between(const QByteArray& s, const char* from, const char* to)
{
    const qsizetype a = s.indexOf(from) + qstrlen(from);
    return s.mid(a, s.indexOf(to, a) - a);
}

// A page the fake browser serves, as the test describes it; the fake hands
// it over as a snapshot, as a real host does.
struct FakePage {
    QString location;
    QString body;
    QList<browser::PageLink> links; // href, text, carried target
    int innerFrames = 0; // each raises its own completion pair
    QString failure; // non-empty: the load failed (an HTTP error, a download, ...)
    QString title = {};
    QList<QString> relatedSearches = {};
};

// A scriptable browser: navigate() remembers the request, finishLoad()
// completes it with the page the test's server function describes. An
// address the server does not know ends on an error page, as a real
// browser's does.
class FakeBrowser final : public browser::BrowserHost {
public:
    static constexpr browser::FrameId kTopFrame = 1;

    std::function<std::optional<FakePage>(const QByteArray& url)> server;
    QList<QByteArray> requests;
    bool failToStart = false; // navigate throws

    void navigate(const QByteArray& url) override
    {
        if (failToStart)
            throw std::runtime_error("navigation refused");
        requests.append(url);
        m_pending = url;
        m_hasPending = true;
    }

    bool hasPending() const { return m_hasPending; }

    int abandoned = 0;
    bool unattended = false;
    void abandonLoad() override
    {
        ++abandoned;
        m_hasPending = false;
    }
    void setUnattended(bool on) override { unattended = on; }
    using BrowserHost::raiseNote;

    // Completes the outstanding request: top-level commit, inner frames,
    // then the top-level document.
    void finishLoad()
    {
        if (!m_hasPending)
            return;
        m_hasPending = false;
        std::optional<FakePage> page = server ? server(m_pending) : std::nullopt;
        if (!page) {
            page = FakePage { QStringLiteral("chrome-error://chromewebdata/"),
                QStringLiteral("无法访问此网站\n%1 拒绝了连接请求。").arg(QString::fromLatin1(m_pending)),
                { { QStringLiteral("chrome-error://chromewebdata/#buttons"), QStringLiteral("详细信息") } },
                0, QStringLiteral("net::ERR_CONNECTION_REFUSED") };
        }
        browser::PageSnapshot snapshot { page->location, page->body, page->links, !page->failure.isEmpty(),
            page->failure, page->title };
        snapshot.relatedSearches = page->relatedSearches;
        setSnapshot(std::move(snapshot));
        raiseNavigateComplete2(kTopFrame);
        for (int f = 0; f < page->innerFrames; ++f) {
            raiseNavigateComplete2(100 + f);
            raiseDocumentComplete(100 + f);
        }
        raiseDocumentComplete(kTopFrame);
    }

    using BrowserHost::raiseDocumentComplete;
    using BrowserHost::raiseNavigateComplete2;

private:
    QByteArray m_pending;
    bool m_hasPending = false;
};

} // namespace tess::test
