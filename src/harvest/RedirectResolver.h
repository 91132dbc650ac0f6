#pragma once

#include "browser/RedirectFetcher.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <memory>
#include <optional>

namespace tess::harvest {

// The target a redirector's answer leads to, made absolute against the
// address asked: a 3xx answer's Location; otherwise a small page's meta
// refresh URL, or the address given to location.replace(...),
// location.href = ..., location = ... or window.location(.href) = ... in
// its script. Empty when the answer leads nowhere (an error, no such
// element, a target that is not http or https).
QByteArray redirectTarget(const browser::RedirectAnswer& answer, const QByteArray& requested);

// Resolves one page's redirect links through a fetcher, at most
// kMaxInFlight at a time.
class RedirectResolver final {
public:
    static constexpr int kMaxInFlight = 2;

    explicit RedirectResolver(browser::RedirectFetcher& fetcher);
    ~RedirectResolver();
    RedirectResolver(const RedirectResolver&) = delete;
    RedirectResolver& operator=(const RedirectResolver&) = delete;

    // Asks every address and then calls `done` once with their targets in
    // the same order ("" for one that could not be resolved). An empty
    // list calls `done` at once. One batch at a time.
    void resolveAll(const QList<QByteArray>& addresses, std::function<void(QList<QByteArray>)> done);
    // Drops the batch under way; its `done` never runs.
    void cancel();
    // The targets of the batch under way as far as they have come, in its
    // order: no value for those not answered yet. Empty without a batch.
    QList<std::optional<QByteArray>> answeredSoFar() const;
    bool busy() const;

private:
    struct Batch;
    void startNext();

    browser::RedirectFetcher& m_fetcher;
    std::unique_ptr<Batch> m_batch;
};

} // namespace tess::harvest
