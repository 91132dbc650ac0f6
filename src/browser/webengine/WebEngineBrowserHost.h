#pragma once

#include "browser/BrowserHost.h"

#include <QObject>
#include <QPointer>
#include <QWebEngineView>

#include <cstdint>

class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWebEngineProfile;

namespace tess::browser {

class HarvestPage;

// The browser host over Qt WebEngine.
//
// The host creates and owns the view the user watches pages load in; the
// window places view() in its layout (which reparents it) and must not
// delete it while the host lives. Deleting the host deletes the view if it
// still exists, then the page, then the profile, in the order the engine
// requires.
//
// The engine reports only top-level loads, so the whole document is one
// frame with identity topFrame(). When a top-level load finishes with a
// document, one script copies the address, body text and links out of the
// page; only when that copy has arrived are onNavigateComplete2 and then
// onDocumentComplete raised, so snapshot() already holds the new page when
// the events come. A copy that arrives after a newer load has started
// is thrown away. A load that failed (the browser's error page, an HTTP
// error status) completes with its snapshot marked loadFailed; a load that
// ended without a new document (a download, an empty answer, a load
// stopped) completes as an empty snapshot marked loadFailed, never with
// the page that was there before.
//
// Downloads are refused and logins and client certificates declined, each
// told through onNote; pop-up windows are never opened. abandonLoad() replaces the page with a fresh one,
// which ends even a page whose script never returns.
//
// Should the page's process die before a load has completed, the load
// completes as an empty document (no address, no text, no links) rather
// than never.
//
// The snapshot's location is the document's own address as its script
// sees it. For the engine's error page that is the error page's internal
// address, not the address that failed; its links are then of no web scheme and the
// harvest passes over them.
class WebEngineBrowserHost final : public QObject, public BrowserHost {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebEngineBrowserHost)

public:
    // `profileFolder` keeps the browser's cookies, history and cache from
    // one run to the next (the cache in its "cache" subfolder); it is
    // created when missing. Only one host at a time may use a folder.
    explicit WebEngineBrowserHost(const QString& profileFolder, QWidget* viewParent = nullptr);
    ~WebEngineBrowserHost() override;

    // Null only once someone else has deleted the view.
    QWebEngineView* view() const { return m_view; }
    // The page in the view; abandonLoad() puts a new one there.
    QWebEnginePage* page() const;
    QWebEngineProfile* profile() const { return m_profile; }
    FrameId topFrame() const { return reinterpret_cast<FrameId>(this); }

    // Throws tess::text::AppError when `url` is not an absolute address;
    // stray characters in an otherwise sound address are tolerated.
    void navigate(const QByteArray& url) override;
    void abandonLoad() override;
    void setUnattended(bool unattended) override { m_unattended = unattended; }

private:
    void attachNewPage();
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void takeSnapshot(bool failed, const QString& failure);
    void onSnapshot(std::uint64_t ticket, const QVariant& result, bool failed, const QString& failure);
    void onPageProcessGone();
    void complete(PageSnapshot snapshot);

    QWebEngineProfile* m_profile = nullptr;
    HarvestPage* m_page = nullptr;
    bool m_unattended = false;
    QPointer<QWebEngineView> m_view;

    // Moves on with every navigation, every load start and every snapshot
    // request; a snapshot is kept only if nothing moved it since it was
    // asked for.
    std::uint64_t m_ticket = 0;
    // A load is under way or its snapshot has not yet arrived.
    bool m_busy = false;
};

} // namespace tess::browser
