#pragma once

#include "browser/RedirectFetcher.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <cstdint>
#include <deque>

class QWebEngineProfile;

namespace tess::browser {

// Asks addresses in the embedded browser itself, for redirectors that
// plain HTTP cannot follow: those that lead on by a script or a meta
// refresh, and those that answer only with the cookies their results page
// set in the browser.
//
// Each address loads in a hidden page of the browser's profile and is
// followed for as long as it stays on its own host and port (server
// redirects, scripts, refreshes); the first navigation anywhere else is
// refused, so the target is never asked, and answers as a 302 to it. A
// page that loads and goes nowhere answers with its status and the start
// of its document; a load that fails answers failed.
//
// At most kMaxPages pages exist; requests beyond that wait their turn.
// The pages show no dialogs, open no windows, download nothing and make
// no sound.
//
// Answers come from the event loop, never from within fetch() or from
// within a signal of the browser, so `done` may cancel or delete anything,
// this fetcher included.
class BrowserRedirectFetcher final : public QObject, public RedirectFetcher {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BrowserRedirectFetcher)

public:
    static constexpr int kMaxPages = 2;

    // The profile is not owned and must outlive the fetcher.
    explicit BrowserRedirectFetcher(QWebEngineProfile* profile, QObject* parent = nullptr);
    ~BrowserRedirectFetcher() override;

    void fetch(const QByteArray& address, std::function<void(RedirectAnswer)> done) override;
    void cancelAll() override;

    // The bound on one request, kBoundMs unless set; for requests made later.
    void setBoundMs(int ms) { m_boundMs = ms; }

private:
    class Page;
    struct Request {
        QUrl address;
        std::function<void(RedirectAnswer)> done;
        Page* page = nullptr; // null while waiting for one
        bool answered = false;
        RedirectAnswer answer;
    };

    void startWaiting();
    void start(std::uint64_t id, Page* page);
    bool onNavigation(Page* page, const QUrl& url, bool mainFrame);
    void onLoadEnded(Page* page, bool ok, bool httpError, int code);
    void onLoadStopped(Page* page, const QUrl& url);
    void pageDrained();
    void readDocument(std::uint64_t id);
    void finish(std::uint64_t id, RedirectAnswer answer);
    void deliver(std::uint64_t id);
    void release(Page* page, bool keep);
    Page* freePage();

    QPointer<QWebEngineProfile> m_profile;
    int m_boundMs = kBoundMs;
    std::uint64_t m_lastId = 0;
    QHash<std::uint64_t, Request> m_requests;
    std::deque<std::uint64_t> m_waiting;
    QList<Page*> m_pages;
};

} // namespace tess::browser
