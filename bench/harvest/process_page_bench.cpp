// The engine's own work on one taken results page: the pager test, the link
// filter, de-duplication and the rows, against a scripted browser and a
// results list that only counts.
#include "harvest/FakeWindow.h"
#include "harvest/SearchRun.h"
#include "support/FakeBrowser.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

using namespace tess;

namespace {

test::FakePage makePage(int links)
{
    test::FakePage p;
    p.location = QStringLiteral("http://www.baidu.com/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=x&pn=0&cl=3");
    QString body;
    for (int i = 0; i < 40; ++i)
        body += QStringLiteral("搜索结果第 %1 条 这是一段摘要文字，用来模拟结果页面的正文内容。\n").arg(i);
    body += QStringLiteral("上一页 [1] [2] 3 [4] [5] [6] [7] [8] [9] [10] 下一页\n");
    p.body = body;
    for (int i = 0; i < links; ++i) {
        switch (i % 10) {
        case 0:
            p.links.append(
                { QStringLiteral("http://www.baidu.com/link?url=%1").arg(i), QStringLiteral("百度快照") });
            break;
        case 1:
            p.links.append(
                { QStringLiteral("https://secure%1.example.com/").arg(i), QStringLiteral("secure") });
            break;
        case 2:
            p.links.append(
                { QStringLiteral("http://SITE%1.example.com/").arg(i - 1), QStringLiteral("重复") });
            break;
        default:
            p.links.append({ QStringLiteral("http://site%1.example.com/path/page%1.html?id=%1").arg(i),
                QStringLiteral("示例网站 %1 的标题文字").arg(i) });
        }
    }
    return p;
}

class CountingWindow final : public harvest::SearchWindow {
public:
    int rows = 0;
    int intervalSetting() override { return 5; }
    void setIntervalSetting(int) override { }
    bool dedupeChecked() override { return false; }
    void setDedupeChecked(bool) override { }
    QString keywordFileText() override { return {}; }
    void setKeywordFileText(const QString&) override { }
    void setPanelText(int, const QString&) override { }
    void showNotice(const harvest::RunNotice&) override { }
    void setCommandsEnabled(bool, bool, bool) override { }
    void repaintNow() override { }
    int resultRowCount() override { return rows; }
    void clearResults() override { rows = 0; }
    void appendResults(const harvest::HarvestedRows& batch) override
    {
        rows += static_cast<int>(batch.size());
    }
    std::optional<QString> inputQuery(const QString&, const QString&, const QString& v) override { return v; }
    void informationBox(const QString&) override { }
    void plainMessage(const QString&) override { }
    void reportError(const QString&) override { }
};

void processOnePage(benchmark::State& state)
{
    CountingWindow window;
    test::FakeBrowser browser;
    browser::CompletionTracker tracker;
    test::ManualTimer poll, watchdog;
    const test::FakePage page = makePage(static_cast<int>(state.range(0)));
    browser.server = [&](const QByteArray&) { return page; };
    harvest::SearchRun run { { .window = window,
        .browser = browser,
        .tracker = tracker,
        .pollTimer = poll,
        .watchdogTimer = watchdog,
        .statePath = QStringLiteral("/dev/null"),
        .localAddress = [] { return QStringLiteral("192.0.2.2"); },
        .pause = [](int) {} } };
    // The second argument: engines asked, each a copy of the classic rules.
    QList<harvest::SearchEngine> engines;
    for (int i = 0; i < state.range(1); ++i) {
        harvest::RuleSet rules = harvest::classicRules();
        rules.name += QString::number(i);
        engines.append(harvest::engineOnDefaultHost(rules));
    }
    run.setEngines(engines);
    run.keywordList() = { "x" };
    run.start();
    browser.finishLoad();
    for (auto _ : state) {
        run.setPageIndex(1); // stay on page 2 of the keyword
        run.readLoadedPage();
        // A large page is read a slice an event-loop turn.
        while (run.preparing())
            QCoreApplication::processEvents();
        window.rows = 0;
    }
    state.counters["rows"] = run.counts().harvested / static_cast<double>(state.iterations());
}
BENCHMARK(processOnePage)
    ->ArgsProduct({ { 100, 5000 }, { 1, 4 } })
    ->ArgNames({ "links", "engines" })
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
