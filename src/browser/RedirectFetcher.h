#pragma once

#include <QByteArray>

#include <functional>

namespace tess::browser {

// What an address answered to one request made without following it.
struct RedirectAnswer {
    bool failed = false; // no answer: refused, reset, timed out, cancelled
    int status = 0; // the HTTP status
    QByteArray location; // the Location header as sent, possibly relative
    QByteArray body; // the start of the body (small pages only matter)
};

// Asks an address once, as the embedded browser would (its cookies and
// user agent), without following redirects. All calls and answers happen
// on the user-interface thread.
class RedirectFetcher {
public:
    // No single request takes longer than this; it then answers failed.
    static constexpr int kBoundMs = 10000;
    // The most of a body that is kept.
    static constexpr int kMaxBody = 64 * 1024;

    virtual ~RedirectFetcher() = default;
    // Starts the request and returns at once; `done` runs exactly once,
    // later, from the event loop (never from within fetch), unless
    // cancelAll() comes first.
    virtual void fetch(const QByteArray& address, std::function<void(RedirectAnswer)> done) = 0;
    // Ends every request under way; their `done` never runs.
    virtual void cancelAll() = 0;
};

} // namespace tess::browser
