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
// reads the snapshot the host took of the document when it completed. A
// host only produces page snapshots; the reading is the same for every
// host. All calls and events happen on the user-interface thread.
class BrowserHost {
public:
    virtual ~BrowserHost() = default;

    // Starts loading `url` (pure ASCII) as a top-level navigation and
    // returns at once. May throw when the load cannot even start.
    virtual void navigate(const QByteArray& url) = 0;
    // Gives up the load under way, whatever state its page is in (a script
    // that never ends included); no completion comes for it.
    virtual void abandonLoad() = 0;
    // While set, nobody is there to answer the page: its dialogs are
    // answered at once and each is told through onNote.
    virtual void setUnattended(bool unattended) = 0;
    // The attributes that may carry a link's real target, on the link or
    // on an element around it, looked for in this order when a page is
    // taken (PageLink::carriedTarget). None by default.
    void setTargetAttributes(QStringList names) { m_targetAttributes = std::move(names); }
    const QStringList& targetAttributes() const { return m_targetAttributes; }

    // Where the engine's page keeps its parts, as CSS selectors; an empty
    // one: the page has no such part the harvest can tell.
    struct PageParts {
        QString results; // each organic result's container
        QString ads; // advertisements: a link that is, or is in, one is an ad
        QString related; // the links of the engine's related searches
    };
    // Read when a page is taken: PageLink::resultIndex and ad,
    // PageSnapshot::resultCount and relatedSearches. None by default.
    void setPageParts(PageParts parts) { m_pageParts = std::move(parts); }
    const PageParts& pageParts() const { return m_pageParts; }

    // The document loaded last, as the host took it when it completed;
    // empty before the first page.
    const PageSnapshot& snapshot() const { return m_snapshot; }

    // Raised when a navigation of some frame has been committed.
    std::function<void(FrameId frame)> onNavigateComplete2;
    // Raised when that frame's document has finished loading.
    std::function<void(FrameId frame)> onDocumentComplete;
    // Something the browser did on its own that the user should hear of (a
    // page dialog answered, a download refused, a login cancelled).
    std::function<void(const QString& note)> onNote;

protected:
    // Hosts hand over each completed document here before they raise its
    // completion events.
    void setSnapshot(PageSnapshot snapshot) { m_snapshot = std::move(snapshot); }

    void raiseNavigateComplete2(FrameId frame)
    {
        if (onNavigateComplete2)
            onNavigateComplete2(frame);
    }
    void raiseDocumentComplete(FrameId frame)
    {
        if (onDocumentComplete)
            onDocumentComplete(frame);
    }
    void raiseNote(const QString& note)
    {
        if (onNote)
            onNote(note);
    }

private:
    PageSnapshot m_snapshot;
    QStringList m_targetAttributes;
    PageParts m_pageParts;
};

} // namespace tess::browser
