#include "harvest/FakeWindow.h"
#include "harvest/HeadlessWindow.h"
#include "harvest/ResultsLog.h"
#include "harvest/RowFormats.h"
#include "harvest/SearchRun.h"
#include "support/FakeBrowser.h"
#include "support/Files.h"
#include "text/Errors.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace tess;
using namespace tess::harvest;
using test::FakeBrowser;
using test::FakePage;

namespace {

// Pages of `pages` results pages per keyword (-1: always another), three
// outbound links each, one titled with a comma, and one engine link.
std::optional<FakePage> servePage(const QByteArray& url, int pages)
{
    auto between = [&](const char* from, const char* to) {
        const qsizetype a = url.indexOf(from) + qstrlen(from);
        return url.mid(a, url.indexOf(to, a) - a);
    };
    const QString word = QString::fromLatin1(between("word=", "&pn="));
    const int page = between("&pn=", "&cl=").toInt() / 10 + 1;
    FakePage p;
    p.location = QString::fromLatin1(url);
    QString pager = page == 1 ? QStringLiteral("1") : QStringLiteral("上一页 [1] %1").arg(page);
    if (pages < 0 || page < pages)
        pager += QStringLiteral(" [%1] 下一页").arg(page + 1);
    p.body = QStringLiteral("%1 的搜索结果\n%2\n©2026").arg(word, pager);
    for (int i = 0; i < 3; ++i)
        p.links.append({ QStringLiteral("http://%1-%2-%3.example.com/").arg(word).arg(page).arg(i),
            QStringLiteral("标题, %1").arg(i) });
    p.links.append({ QStringLiteral("http://www.baidu.com/link?url=1"), QStringLiteral("快照") });
    return p;
}

// One run to its end, or to a stop after `stopAfterPages` pages.
struct Harness {
    Harness(SearchWindow& window, ResultsLog* log, int pages, std::function<void()> pageHook = {})
        : onPage(std::move(pageHook))
        , run({ .window = window,
              .browser = browser,
              .tracker = tracker,
              .pollTimer = poll,
              .watchdogTimer = watchdog,
              .statePath = dir.filePath(QStringLiteral("s.ini")),
              .localAddress = [] { return QStringLiteral("192.0.2.2"); },
              .pause = [](int) {},
              .log = log,
              .pageHarvested =
                  [this] {
                      if (onPage)
                          onPage();
                      ++pagesDone;
                  },
              .finished = [this](const RunEnd&) { ++finishes; } })
    {
        tracker.attach(browser);
        browser.server = [pages](const QByteArray& url) { return servePage(url, pages); };
        run.keywordList() = { "alpha", "beta", "gamma" };
    }
    void go(int stopAfterPages = -1)
    {
        run.start();
        for (int i = 0; i < 5000 && poll.enabled(); ++i) {
            if (pagesDone == stopAfterPages && !run.stopRequested())
                run.stop();
            browser.finishLoad();
            poll.fire();
        }
        ASSERT_FALSE(poll.enabled()) << "the run did not end";
    }

    QTemporaryDir dir;
    FakeBrowser browser;
    browser::CompletionTracker tracker;
    test::ManualTimer poll, watchdog;
    std::function<void()> onPage;
    SearchRun run;
    int pagesDone = 0;
    int finishes = 0;
};

class HeadlessWindowTest : public ::testing::Test {
protected:
    HeadlessWindowTest() { fd = ::open(out().toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644); }
    ~HeadlessWindowTest() override { ::close(fd); }
    QString out() const { return dir.filePath(QStringLiteral("out")); }

    QTemporaryDir dir;
    int fd = -1;
};

TEST_F(HeadlessWindowTest, WritesTheRowsTheWindowsSaveResultsWouldHoldPageByPage)
{
    // More than the window's list keeps on screen: the headless rows are all
    // written all the same.
    for (const int pages : { 2, -1 }) {
        SCOPED_TRACE(pages);
        test::FakeWindow fake;
        ResultsLog log(dir.filePath(QStringLiteral("scratch")));
        Harness window(fake, &log, pages);
        window.go();

        ASSERT_EQ(::ftruncate(fd, 0), 0);
        ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
        const RowColumns columns = defaultRowColumns(RowFormat::Tsv, false);
        RowWriter rows(fd, RowFormat::Tsv, columns);
        HeadlessWindow headless({ 5, false, QStringLiteral("k.txt"), 0 });
        // The headless run's rows come from its log, with their context.
        ResultsLog passOn(dir.filePath(QStringLiteral("headless-scratch")));
        passOn.onAppend = [&](const HarvestedRow& row) { rows.append(row); };
        QByteArray written;
        Harness run(headless, &passOn, pages, [&] {
            ASSERT_TRUE(rows.flush());
            written = test::readFile(out());
        });
        run.go();

        const QByteArray saved = formatRows(RowFormat::Tsv, columns, log.rows());
        EXPECT_EQ(test::readFile(out()), saved);
        EXPECT_EQ(rows.rowCount(), log.rowCount());
        // Everything the window's scratch holds but the time, which is the
        // clock's at each page of each run.
        RowColumns context = allRowColumns();
        context.removeAll(RowColumn::Time);
        EXPECT_EQ(formatRows(RowFormat::Jsonl, context, passOn.rows()),
            formatRows(RowFormat::Jsonl, context, log.rows()));
        EXPECT_EQ(run.pagesDone, window.pagesDone);
        EXPECT_EQ(run.finishes, 1);
        // The last page's rows were on disk when its hook ran.
        EXPECT_EQ(written, saved);
    }
}

TEST_F(HeadlessWindowTest, StartsAtThePositionGivenAndStopsLikeTheWindow)
{
    struct Case {
        int from;
        int stopAfterPages;
        QStringList firstAddresses; // of each keyword searched
        int keywordIndex;
        bool morePages;
    };
    const Case cases[] = {
        { 0, -1, { QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma") }, 3, false },
        { 2, -1, { QStringLiteral("gamma") }, 3, false },
        // Stopped while alpha's second page loads: that page is harvested,
        // the third never asked for; alpha is still in flight.
        { 0, 1, { QStringLiteral("alpha") }, 1, true },
        // Stopped while alpha's last page loads: alpha is done, beta not begun.
        { 0, 2, { QStringLiteral("alpha") }, 1, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from * 10 + c.stopAfterPages);
        HeadlessWindow headless({ 5, false, QStringLiteral("k.txt"), c.from });
        QStringList messages;
        headless.onMessage = [&](const QString& m) { messages << m; };
        Harness run(headless, nullptr, 3);
        run.go(c.stopAfterPages);
        QStringList words;
        for (const QByteArray& r : run.browser.requests)
            if (r.contains("&pn=0&"))
                words << QString::fromLatin1(
                    r.mid(r.indexOf("word=") + 5, r.indexOf("&pn=") - r.indexOf("word=") - 5));
        EXPECT_EQ(words, c.firstAddresses);
        EXPECT_EQ(run.run.keywordIndex(), c.keywordIndex);
        EXPECT_EQ(run.run.morePages(), c.morePages);
        EXPECT_EQ(run.finishes, 1);
        EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
    }
}

TEST_F(HeadlessWindowTest, BoxesGoToTheMessageCallbackAndTheIntervalKeepsTheBoxsRange)
{
    HeadlessWindow headless({ 5000, true, QStringLiteral("k.txt"), 0 });
    EXPECT_EQ(headless.intervalSetting(), 1000);
    headless.setIntervalSetting(0);
    EXPECT_EQ(headless.intervalSetting(), 1);
    QStringList messages;
    headless.onMessage = [&](const QString& m) { messages << m; };
    Harness run(headless, nullptr, 2);
    run.run.keywordList().clear();
    EXPECT_THROW(run.run.start(), text::AppError);
    headless.informationBox(QStringLiteral("a"));
    headless.plainMessage(QStringLiteral("b"));
    headless.reportError(QStringLiteral("c"));
    EXPECT_EQ(messages, (QStringList { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") }));
}

} // namespace
