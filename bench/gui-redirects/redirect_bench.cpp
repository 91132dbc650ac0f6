// One results page's redirect links resolved the way a run resolves them:
// ten links through a fetcher on the embedded browser's profile (the
// network fetcher, or the browser's own hidden pages) and the resolver,
// two at a time, against a redirector on 127.0.0.1 that answers 302 at
// once, or after a delay per answer. Each run reports the mean time per
// page less the redirector's own answer time (five rounds of two answers),
// and that per link.
//
// usage: bench_gui_redirects [--benchmark_...]   (run with QT_QPA_PLATFORM=offscreen)
#include "support/RedirectServer.h"

#include "browser/webengine/BrowserRedirectFetcher.h"
#include "browser/webengine/ChromiumEnvironment.h"
#include "browser/webengine/NetworkRedirectFetcher.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "harvest/RedirectResolver.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {

constexpr int kLinksPerPage = 10;

tess::browser::RedirectFetcher* networkFetcher = nullptr;
tess::browser::RedirectFetcher* browserFetcher = nullptr;
std::map<int, std::unique_ptr<tess::test::RedirectServer>> servers; // by answer delay

void resolvePage(benchmark::State& state, tess::browser::RedirectFetcher*& fetcher)
{
    const int delayMs = int(state.range(0));
    auto& server = servers[delayMs];
    if (!server)
        server = std::make_unique<tess::test::RedirectServer>(delayMs);
    tess::harvest::RedirectResolver resolver(*fetcher);
    int page = 0;
    for (auto _ : state) {
        QList<QByteArray> links;
        for (int i = 0; i < kLinksPerPage; ++i)
            links << server->url("/link?url=" + QByteArray::number(page * kLinksPerPage + i));
        ++page;
        QEventLoop loop;
        qsizetype resolved = 0;
        resolver.resolveAll(links, [&](QList<QByteArray> targets) {
            for (const QByteArray& t : targets)
                resolved += t.isEmpty() ? 0 : 1;
            loop.quit();
        });
        loop.exec();
        if (resolved != kLinksPerPage) {
            state.SkipWithError("a redirect was not resolved");
            break;
        }
    }
    const double rounds = double(kLinksPerPage) / tess::harvest::RedirectResolver::kMaxInFlight;
    state.counters["redirector_ms"] = rounds * delayMs;
    state.SetLabel("10 links, 2 at a time");
}

// The mean wall time per page, and what it adds to the redirector's time.
class OverheadReporter : public benchmark::ConsoleReporter {
public:
    OverheadReporter()
        : ConsoleReporter(OO_Tabular)
    {
    }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            const double meanMs = run.real_accumulated_time / double(run.iterations) * 1e3;
            const double redirectorMs = run.counters.at("redirector_ms");
            std::printf(
                "%s: %.2f ms per page, %.2f ms beyond the redirector's own %.0f ms, %.2f ms per link\n",
                run.benchmark_name().c_str(), meanMs, meanMs - redirectorMs, redirectorMs,
                (meanMs - redirectorMs) / kLinksPerPage);
        }
    }
};

} // namespace

BENCHMARK_CAPTURE(resolvePage, network, networkFetcher)
    ->Arg(0)
    ->Arg(20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK_CAPTURE(resolvePage, browser, browserFetcher)
    ->Arg(0)
    ->Arg(20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tess::browser::prepareWebEngineEnvironment();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QTemporaryDir profile;
    {
        tess::browser::WebEngineBrowserHost host(profile.path());
        tess::browser::NetworkRedirectFetcher network(host.profile());
        tess::browser::BrowserRedirectFetcher browser(host.profile());
        networkFetcher = &network;
        browserFetcher = &browser;
        OverheadReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        networkFetcher = nullptr;
        browserFetcher = nullptr;
    }
    benchmark::Shutdown();
    servers.clear();
    // The engine writes the profile's last state a moment after the profile
    // is gone; let it land before the folder is removed.
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    return 0;
}
