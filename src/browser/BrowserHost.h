#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace tess::browser {

// Identifies a frame of the loaded page; equal for the same frame.
using FrameId = std::uintptr_t;

// What the harvest engine needs of the embedded browser. The engine never
// fetches or parses a page itself: it asks the browser to load one and then
// reads the document through these operations. All calls and events happen
// on the user-interface thread.
class BrowserHost {
public:
    virtual ~BrowserHost() = default;

    // Starts loading `url` (pure ASCII) as a top-level navigation and
    // returns at once. May throw when the load cannot even start.
    virtual void Navigate(const QByteArray& url) = 0;

    // The address of the loaded top-level document; empty when none.
    virtual QString LocationURL() const = 0;
    // The plain text of the document's body, blocks on lines of their own.
    virtual QString BodyText() const = 0;
    // The document's links (anchors and image-map areas with an address),
    // in document order.
    virtual int LinkCount() const = 0;
    // Link i's absolute address, other schemes as written.
    virtual QString LinkHref(int i) const = 0;
    // Link i's visible text, possibly empty.
    virtual QString LinkText(int i) const = 0;

    // Raised when a navigation of some frame has been committed.
    std::function<void(FrameId frame)> OnNavigateComplete2;
    // Raised when that frame's document has finished loading.
    std::function<void(FrameId frame)> OnDocumentComplete;

protected:
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
};

} // namespace tess::browser
