#pragma once

namespace tess::browser {

// The stores the embedded browser keeps for the user: what it has visited
// and the copies of pages it has fetched. Either call may throw when the
// store cannot be reached.
class BrowserProfile {
public:
    virtual ~BrowserProfile() = default;

    // Forgets every visited address, including the page's back/forward list.
    virtual void clearHistory() = 0;
    // Drops every stored copy of a fetched page.
    virtual void clearCache() = 0;
};

} // namespace tess::browser
