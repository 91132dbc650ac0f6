#pragma once

#include "browser/PageSnapshot.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <utility>

namespace tess::browser {

// Identifies a frame of the loaded page; equal for the same frame.
using FrameId = std::uintptr_t;

// What the harvest engine needs of the embedded browser. The engine never
// fetches or parses a page itself: it asks the browser to load one and then
// reads the document through these operations. A host only produces page
// snapshots; the reading is the same for every host. All calls and events
// happen on the user-interface thread.
class BrowserHost {
public:
    virtual ~BrowserHost() = default;

    // Starts loading `url` (pure ASCII) as a top-level navigation and
    // returns at once. May throw when the load cannot even start.
    virtual void Navigate(const QByteArray& url) = 0;
    // Gives up the load under way, whatever state its page is in (a script
    // that never ends included); no completion comes for it.
    virtual void AbandonLoad() = 0;
    // While set, nobody is there to answer the page: its dialogs are
    // answered at once and each is told through OnNote.
    virtual void SetUnattended(bool unattended) = 0;
    // The attributes that may carry a link's real target, on the link or
    // on an element around it, looked for in this order when a page is
    // taken (PageLink::carriedTarget). None by default.
    void SetTargetAttributes(QStringList names) { m_targetAttributes = std::move(names); }
    const QStringList& targetAttributes() const { return m_targetAttributes; }

    // The document loaded last, as the host took it when it completed.
    const PageSnapshot& snapshot() const { return m_snapshot; }

    // The getters the harvest reads the document through, all answering
    // from snapshot(). Before the first page they give empty text and no
    // links.
    //
    // The address of the loaded top-level document; empty when none.
    QString LocationURL() const { return m_snapshot.location; }
    // The plain text of the document's body, blocks on lines of their own.
    QString BodyText() const { return m_snapshot.bodyText; }
    // The document's links (anchors and image-map areas with an address),
    // in document order.
    int LinkCount() const { return static_cast<int>(m_snapshot.links.size()); }
    // Link i's absolute address, other schemes as written; "" out of range.
    QString LinkHref(int i) const;
    // Link i's visible text, possibly empty; "" out of range.
    QString LinkText(int i) const;

    // Raised when a navigation of some frame has been committed.
    std::function<void(FrameId frame)> OnNavigateComplete2;
    // Raised when that frame's document has finished loading.
    std::function<void(FrameId frame)> OnDocumentComplete;
    // Something the browser did on its own that the user should hear of (a
    // page dialog answered, a download refused, a login cancelled).
    std::function<void(const QString& note)> OnNote;

protected:
    // Hosts hand over each completed document here before they raise its
    // completion events.
    void setSnapshot(PageSnapshot snapshot) { m_snapshot = std::move(snapshot); }

    void raiseNavigateComplete2(FrameId frame)
    {
        if (OnNavigateComplete2)
            OnNavigateComplete2(frame);
    }
    void raiseDocumentComplete(FrameId frame)
    {
        if (OnDocumentComplete)
            OnDocumentComplete(frame);
    }
    void raiseNote(const QString& note)
    {
        if (OnNote)
            OnNote(note);
    }

private:
    PageSnapshot m_snapshot;
    QStringList m_targetAttributes;
};

} // namespace tess::browser
