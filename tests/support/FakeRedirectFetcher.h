#pragma once

#include "browser/RedirectFetcher.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tess::test {

// A redirect fetcher the test answers by hand, in any order it likes.
class FakeRedirectFetcher final : public browser::RedirectFetcher {
public:
    struct Request {
        QByteArray address;
        std::function<void(browser::RedirectAnswer)> done;
    };

    void fetch(const QByteArray& address, std::function<void(browser::RedirectAnswer)> done) override
    {
        asked << address;
        pending.push_back({ address, std::move(done) });
        mostInFlight = std::max(mostInFlight, int(pending.size()));
    }
    void cancelAll() override
    {
        ++cancels;
        for (Request& r : pending)
            cancelled.push_back(std::move(r));
        pending.clear();
    }

    // Answers the request under way for `address`, as the event loop would.
    void answer(const QByteArray& address, browser::RedirectAnswer reply)
    {
        const auto found = std::find_if(
            pending.begin(), pending.end(), [&](const Request& r) { return r.address == address; });
        if (found == pending.end())
            throw std::logic_error("no request under way for " + address.toStdString());
        const auto done = std::move(found->done);
        pending.erase(found);
        done(std::move(reply));
    }
    void redirect(const QByteArray& address, const QByteArray& location)
    {
        browser::RedirectAnswer reply;
        reply.status = 302;
        reply.location = location;
        answer(address, std::move(reply));
    }

    // Answers every request, in order, those the answers lead to included,
    // from `server` (failed without one).
    void answerAll()
    {
        while (!pending.empty()) {
            Request r = std::move(pending.front());
            pending.erase(pending.begin());
            r.done(server ? server(r.address) : browser::RedirectAnswer { true, 0, {}, {} });
        }
    }
    std::function<browser::RedirectAnswer(const QByteArray& address)> server;

    QList<QByteArray> asked;
    std::vector<Request> pending;
    std::vector<Request> cancelled; // kept, to play an answer that comes too late
    int mostInFlight = 0;
    int cancels = 0;
};

} // namespace tess::test
