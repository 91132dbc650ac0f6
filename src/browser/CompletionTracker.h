#pragma once

#include "browser/BrowserHost.h"

#include <optional>

namespace tess::browser {

// Tells the poll timer when the top-level page has finished loading. The
// first navigation committed after a request is taken as the top-level one;
// only that frame's completion marks a page loaded. The slot is emptied
// only by that completion, never at start, stop or a new request.
class CompletionTracker final {
public:
    // Wires the tracker to the browser's two completion events.
    void attach(BrowserHost& host);

    void navigateComplete2(FrameId frame);
    void documentComplete(FrameId frame);

    // A page has loaded since the mark was last cleared.
    bool pageLoaded() const { return m_pageLoaded; }
    void clearPageLoaded() { m_pageLoaded = false; }

private:
    std::optional<FrameId> m_slot;
    bool m_pageLoaded = false;
};

} // namespace tess::browser
