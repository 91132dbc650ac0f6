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
    int IntervalSetting() override { return 5; }
    void SetIntervalSetting(int) override { }
    bool DedupeChecked() override { return false; }
    void SetDedupeChecked(bool) override { }
    QString KeywordFileText() override { return {}; }
    void SetKeywordFileText(const QString&) override { }
    void SetPanelText(int, const QString&) override { }
    void SetCommandsEnabled(bool, bool, bool) override { }
    void RepaintNow() override { }
    int ResultRowCount() override { return rows; }
    void ClearResults() override { rows = 0; }
    void AppendResult(const QByteArray&, const QByteArray&) override { ++rows; }
    std::optional<QString> InputQuery(const QString&, const QString&, const QString& v) override { return v; }
    void InformationBox(const QString&) override { }
    void PlainMessage(const QString&) override { }
    void ReportError(const QString&) override { }
};

void BM_ProcessPage(benchmark::State& state)
{
    CountingWindow window;
    test::FakeBrowser browser;
    browser::CompletionTracker tracker;
    test::ManualTimer poll, watchdog;
    const test::FakePage page = makePage(static_cast<int>(state.range(0)));
    browser.server = [&](const QByteArray&) { return page; };
    harvest::SearchRun run { { window, browser, tracker, poll, watchdog, QStringLiteral("/dev/null"),
        [] { return QStringLiteral("192.0.2.2"); }, [](int) {}, {}, nullptr, {} } };
    run.keywordList() = { "x" };
    run.Start();
    browser.finishLoad();
    for (auto _ : state) {
        run.PageOffset = 10; // stay on page 2 of the keyword
        run.ProcessPage();
        window.rows = 0;
    }
    state.counters["rows"] = run.HarvestCount / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ProcessPage)->Arg(100)->Arg(5000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
