#include "browser/cleaner/ProfileCleaner.h"

namespace tess::browser {

void clearHistory(BrowserProfile& profile) { profile.clearHistory(); }

void clearCache(BrowserProfile& profile) { profile.clearCache(); }

void clearHistoryThenCache(BrowserProfile& profile) noexcept
{
    // The user asked for a quiet clean-up; a store that cannot be reached
    // has nothing useful to tell them.
    try {
        clearHistory(profile);
        clearCache(profile);
    } catch (...) {
    }
}

} // namespace tess::browser
