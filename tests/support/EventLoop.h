#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

// Waiting in window and browser tests. QTest::qWait and qWaitFor sleep
// between rounds of events, which starves the browser: it runs its own work
// through this thread's event loop, and loads then take seconds. These wait
// inside a real event loop instead.
namespace tess::test {

// Runs the event loop until `done` holds or `timeoutMs` have passed;
// returns whether `done` holds.
template <typename Pred> bool waitUntil(Pred done, int timeoutMs)
{
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
    return done();
}

// Runs the event loop for `ms`.
inline void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace tess::test
