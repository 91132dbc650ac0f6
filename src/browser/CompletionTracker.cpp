#include "browser/CompletionTracker.h"

namespace tess::browser {

void CompletionTracker::attach(BrowserHost& host)
{
    host.onNavigateComplete2 = [this](FrameId f) { navigateComplete2(f); };
    host.onDocumentComplete = [this](FrameId f) { documentComplete(f); };
}

void CompletionTracker::navigateComplete2(FrameId frame)
{
    if (!m_slot)
        m_slot = frame;
}

void CompletionTracker::documentComplete(FrameId frame)
{
    if (m_slot && *m_slot == frame) {
        m_pageLoaded = true;
        m_slot.reset();
    }
}

} // namespace tess::browser
