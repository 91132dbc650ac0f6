#pragma once

#include "browser/BrowserProfile.h"

namespace tess::browser {

// Empties the browser's history. Errors reaching the store propagate.
void clearHistory(BrowserProfile& profile);

// Deletes the browser's page cache. Errors reaching the store propagate.
void clearCache(BrowserProfile& profile);

// The cleaner's one command: history first, then cache. Nothing is
// reported either way; when the history cannot be emptied the cache is left
// alone on this attempt.
void clearHistoryThenCache(BrowserProfile& profile) noexcept;

} // namespace tess::browser
