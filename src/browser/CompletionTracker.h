#pragma once

#include "browser/BrowserHost.h"

#include <optional>

namespace tess::browser {

// Tells the poll timer when the top-level page has finished loading. The
// first navigation committed after a request is taken as the top-level one;
// only that frame's completion sets the tag. The slot is emptied only by
// that completion, never at Start, Stop or a new request.
class CompletionTracker final {
public:
    static constexpr int PageLoaded = 9;

    // Wires the tracker to the browser's two completion events.
    void attach(BrowserHost& host);

    void navigateComplete2(FrameId frame);
    void documentComplete(FrameId frame);

    // 0 = nothing new, 9 = a page has loaded since the tag was last reset.
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

private:
    std::optional<FrameId> m_slot;
    int m_tag = 0;
};

} // namespace tess::browser
