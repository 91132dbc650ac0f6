#include "browser/cleaner/DelIECache.h"

namespace tess::browser {

void ClearUrlHistory(BrowserProfile& profile) { profile.clearHistory(); }

void ClearUrlCache(BrowserProfile& profile) { profile.clearCache(); }

void clearHistoryThenCache(BrowserProfile& profile) noexcept
{
    // The user asked for a quiet clean-up; a store that cannot be reached
    // has nothing useful to tell them.
    try {
        ClearUrlHistory(profile);
        ClearUrlCache(profile);
    } catch (...) {
    }
}

} // namespace tess::browser
