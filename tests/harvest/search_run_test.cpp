#include "harvest/FakeWindow.h"
#include "harvest/ResultsLog.h"
#include "harvest/SearchRun.h"
#include "support/FakeBrowser.h"
#include "support/Files.h"
#include "text/Errors.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tess;
using namespace tess::harvest;
using test::between;
using test::FakeBrowser;
using test::FakePage;
using test::readFile;

namespace {

class SearchRunTest : public ::testing::Test {
protected:
    SearchRunTest()
    {
        tracker.attach(browser);
        browser.server = [this](const QByteArray& url) { return serve(url); };
        run.keywordList() = { "alpha", "beta", "gamma" };
    }

    // A results page of the fake engine: three outbound links, one of the
    // engine's own, an https one, and the pager while pages remain
    // (pagesFor: -1 = always another page).
    std::optional<FakePage> serve(const QByteArray& url)
    {
        const QByteArray word = between(url, "word=", "&pn=");
        if (!pagesFor.contains(word))
            return std::nullopt;
        const int pages = pagesFor[word];
        const int page = between(url, "&pn=", "&cl=").toInt() / 10 + 1;
        FakePage p;
        p.location = QString::fromLatin1(url);
        QString pager = page == 1 ? QStringLiteral("1") : QStringLiteral("上一页 [1] %1").arg(page);
        if (pages < 0 || page < pages)
            pager += QStringLiteral(" [%1] 下一页").arg(page + 1);
        p.body = QStringLiteral("%1 的搜索结果\n").arg(QString::fromLatin1(word)) + pager
            + QStringLiteral("\n©2026");
        for (int i = 0; i < 3; ++i)
            p.links.append({ QStringLiteral("http://%1-%2-%3.example.com/")
                                 .arg(QString::fromLatin1(word))
                                 .arg(page)
                                 .arg(i),
                QStringLiteral("标题 %1").arg(i) });
        p.links.append({ QStringLiteral("http://www.baidu.com/link?url=1"), QStringLiteral("百度快照") });
        p.links.append({ QStringLiteral("https://secure.example.com/"), QStringLiteral("secure") });
        p.relatedSearches = { QString::fromLatin1(word) + QStringLiteral(" 教程"),
            QStringLiteral("%1 %2").arg(QString::fromLatin1(word)).arg(page) };
        return p;
    }

    // Lets pages load and the poll timer tick until the run stops polling.
    void runToEnd(int maxTicks = 5000)
    {
        for (int i = 0; i < maxTicks && poll.enabled(); ++i) {
            browser.finishLoad();
            poll.fire();
        }
        ASSERT_FALSE(poll.enabled()) << "the run did not end";
    }

    QStringList requestedPages() const
    {
        QStringList out;
        for (const QByteArray& r : browser.requests)
            out << QString::fromLatin1(between(r, "word=", "&pn=") + ":" + between(r, "&pn=", "&cl="));
        return out;
    }

    QTemporaryDir dir;
    test::FakeWindow window;
    FakeBrowser browser;
    browser::CompletionTracker tracker;
    test::ManualTimer poll, watchdog;
    QMap<QByteArray, int> pagesFor { { "alpha", 3 }, { "beta", 1 }, { "gamma", 2 } };
    ResultsLog log { dir.filePath(QStringLiteral("mirovadel.tmp")) };
    // What a mining run hands over for each page.
    std::function<void(int, const QByteArray&, const QString&, const QList<QString>&)> onRelated;
    SearchRun run { { .window = window,
        .browser = browser,
        .tracker = tracker,
        .pollTimer = poll,
        .watchdogTimer = watchdog,
        .statePath = dir.filePath(QStringLiteral("tessaroon.ini")),
        .localAddress = [] { return QStringLiteral("192.0.2.2"); },
        .pause = [](int) {},
        .log = &log,
        .relatedSearchesRead =
            [this](
                int index, const QByteArray& keyword, const QString& engine, const QList<QString>& related) {
                if (onRelated)
                    onRelated(index, keyword, engine, related);
            } } };
};

TEST_F(SearchRunTest, WholeRunWalksEveryKeywordPageByPageAndFinishes)
{
    window.keywordFile = QStringLiteral("/data/词.txt");
    run.start();
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("正在搜索..."));
    EXPECT_FALSE(window.searchEnabled);
    EXPECT_TRUE(window.stopEnabled);
    EXPECT_FALSE(window.importEnabled);
    EXPECT_EQ(poll.interval(), 5000);
    EXPECT_TRUE(watchdog.enabled());
    EXPECT_EQ(browser.requests.first(),
        QByteArray("http://www.baidu.com/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=alpha&pn=0&cl=3"));

    runToEnd();
    EXPECT_EQ(requestedPages(),
        (QStringList { QStringLiteral("alpha:0"), QStringLiteral("alpha:10"), QStringLiteral("alpha:20"),
            QStringLiteral("beta:0"), QStringLiteral("gamma:0"), QStringLiteral("gamma:10") }));
    // Three outbound links a page; the engine's own and https links are skipped.
    EXPECT_EQ(run.counts().harvested, 18);
    EXPECT_EQ(window.rows.size(), 18);
    EXPECT_EQ(window.rows.first(),
        qMakePair(QByteArray("http://alpha-1-0.example.com/"), QByteArray("\xB1\xEA\xCC\xE2 0")));
    EXPECT_EQ(window.panels[PanelHarvestCount], QStringLiteral("18"));
    EXPECT_EQ(window.panels[PanelKeywordIndex], QStringLiteral("3"));
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！"));
    EXPECT_TRUE(window.searchEnabled);
    EXPECT_FALSE(window.stopEnabled);
    EXPECT_FALSE(watchdog.enabled());
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("tessaroon.ini"))),
        QByteArray("/data/\xB4\xCA.txt\r\n2\r\nqcno\r\n5\r\n"));
    EXPECT_EQ(log.rowCount(), 18);
}

TEST_F(SearchRunTest, AKeywordThatAlwaysOffersAnotherPageIsReadForSeventyFivePages)
{
    pagesFor["alpha"] = -1;
    run.start();
    runToEnd();
    const QStringList pages = requestedPages();
    EXPECT_EQ(pages.filter(QRegularExpression(QStringLiteral("^alpha:"))).size(), 75);
    EXPECT_EQ(pages.at(74), QStringLiteral("alpha:740"));
    EXPECT_EQ(pages.at(75), QStringLiteral("beta:0"));
}

TEST_F(SearchRunTest, StopStillHarvestsTheLoadingPageThenFinishesAndKeepsTheKeyword)
{
    run.start();
    browser.finishLoad();
    poll.fire(); // alpha page 1 taken; page 2 requested
    run.stop();
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("终止搜索..."));
    EXPECT_TRUE(window.searchEnabled);
    EXPECT_FALSE(window.stopEnabled);
    EXPECT_TRUE(poll.enabled()); // the loading page is still taken
    runToEnd();
    EXPECT_EQ(requestedPages().size(), 2);
    EXPECT_EQ(run.counts().harvested, 6);
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！"));
    // Line 2 names the keyword that was being searched (alpha, index 0).
    EXPECT_TRUE(readFile(dir.filePath(QStringLiteral("tessaroon.ini"))).startsWith("\r\n0\r\n"));
}

TEST_F(SearchRunTest, RestartOffersTheSavedPositionOneKeywordBack)
{
    // Saved 1 (searching "beta"): offered unchanged, and beta is taken first.
    run.setKeywordIndex(1);
    run.start();
    EXPECT_EQ(window.prompts.last(), QStringLiteral("1"));
    EXPECT_EQ(requestedPages().first(), QStringLiteral("beta:0"));
    run.stop();
    runToEnd();

    // Saved 5 is offered as 4; a cancel keeps the lowered value.
    run.setKeywordIndex(5);
    window.answers = { std::nullopt };
    run.start();
    EXPECT_EQ(window.prompts.last(), QStringLiteral("4"));
    run.start();
    EXPECT_EQ(window.prompts.last(), QStringLiteral("3"));
    // 3 == the number of keywords: out of range, start at the first.
    EXPECT_EQ(window.plains, QStringList { QStringLiteral("搜索断点位置超过关键字文件行数！") });
    EXPECT_EQ(requestedPages().last(), QStringLiteral("alpha:0"));
}

TEST_F(SearchRunTest, StartAnswersThatAreNotPositions)
{
    window.answers = { QStringLiteral("-4") };
    run.setKeywordIndex(2);
    run.start();
    EXPECT_EQ(requestedPages().last(), QStringLiteral("alpha:0")); // negative becomes 0
    run.stop();
    runToEnd();

    const qsizetype before = browser.requests.size();
    window.answers = { QStringLiteral("x1") };
    EXPECT_THROW(run.start(), text::ConvertError);
    EXPECT_EQ(browser.requests.size(), before);
}

TEST_F(SearchRunTest, StartRefusesWithoutANetworkOrKeywords)
{
    SearchRun offline { { .window = window,
        .browser = browser,
        .tracker = tracker,
        .pollTimer = poll,
        .watchdogTimer = watchdog,
        .statePath = dir.filePath(QStringLiteral("s.ini")),
        .localAddress = [] { return QStringLiteral("127.0.0.1"); },
        .pause = [](int) {} } };
    offline.keywordList() = { "a" };
    offline.start();
    EXPECT_EQ(window.infos, QStringList { QStringLiteral("您还没有连接到网上！") });
    EXPECT_TRUE(browser.requests.isEmpty());

    run.keywordList().clear();
    try {
        run.start();
        FAIL();
    } catch (const text::AppError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("请先导入关键字列表文件"));
    }
    EXPECT_TRUE(window.prompts.isEmpty());
}

TEST_F(SearchRunTest, AFailedNavigationEndsOnAnErrorPageAndMovesToTheNextKeyword)
{
    pagesFor.remove("alpha"); // the engine cannot be reached for alpha
    run.start();
    runToEnd();
    EXPECT_EQ(requestedPages(),
        (QStringList { QStringLiteral("alpha:0"), QStringLiteral("beta:0"), QStringLiteral("gamma:0"),
            QStringLiteral("gamma:10") }));
    EXPECT_EQ(run.counts().harvested, 9);
}

TEST_F(SearchRunTest, OnlyTheTopLevelCompletionTakesAPageWithInnerFrames)
{
    browser.server = [this](const QByteArray& url) {
        auto p = serve(url);
        p->innerFrames = 2;
        return p;
    };
    run.start();
    runToEnd();
    EXPECT_EQ(requestedPages().size(), 6);
    EXPECT_EQ(run.counts().harvested, 18);
}

TEST_F(SearchRunTest, DuplicatesAreDroppedPerPageOrAcrossTheRunWhen去重IsChecked)
{
    run.keywordList() = { "alpha" };
    pagesFor["alpha"] = 2;
    browser.server = [this](const QByteArray& url) {
        auto p = serve(url);
        p->links = { { QStringLiteral("http://Dup.example.com/A"), QStringLiteral("first") },
            { QStringLiteral("http://dup.EXAMPLE.com/a"), QStringLiteral("second") },
            { QStringLiteral("http://dup.example.com/a/"), QStringLiteral("other") } };
        return p;
    };
    run.start();
    runToEnd();
    // Two rows a page; the next page's same addresses are new rows.
    ASSERT_EQ(window.rows.size(), 4);
    EXPECT_EQ(window.rows[0].second, QByteArray("first"));
    EXPECT_EQ(window.rows[2].first, QByteArray("http://Dup.example.com/A"));

    window.dedupe = true;
    run.start();
    runToEnd();
    EXPECT_EQ(window.rows.size(), 2);
    EXPECT_EQ(run.counts().harvested, 2);
}

TEST_F(SearchRunTest, TheListIsEmptiedPastAHundredRowsButTheLogKeepsEveryRow)
{
    pagesFor["alpha"] = -1;
    run.keywordList() = { "alpha" };
    run.start();
    runToEnd();
    EXPECT_EQ(run.counts().harvested, 75 * 3);
    EXPECT_LE(window.rows.size(), 103);
    EXPECT_GT(window.clears, 2);
    const QByteArray all = log.contents();
    EXPECT_EQ(all.count("\r\n"), 225);
    EXPECT_TRUE(all.startsWith("http://alpha-1-0.example.com/\t\xB1\xEA\xCC\xE2 0\tclassic\t"));
}

TEST_F(SearchRunTest, StartingAgainWhileAStoppedPageLoadsBeginsANewRunWithoutFinishing)
{
    run.start();
    run.stop();
    run.start(); // the stopped run's page is still loading
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("tessaroon.ini"))));
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("正在搜索..."));
    // Position 1 is offered unchanged: the new run takes the second keyword.
    EXPECT_EQ(requestedPages().last(), QStringLiteral("beta:0"));
}

TEST_F(SearchRunTest, AFailedStateSaveIsReportedOnceTheWindowIsIdle)
{
    SearchRun unsaved { { .window = window,
        .browser = browser,
        .tracker = tracker,
        .pollTimer = poll,
        .watchdogTimer = watchdog,
        .statePath = dir.filePath(QStringLiteral("no/such/dir/s.ini")),
        .localAddress = [] { return QStringLiteral(""); },
        .pause = [](int) {} } };
    unsaved.keywordList() = { "alpha", "beta" };
    unsaved.start();
    // Saving the position at the next keyword fails: told once, the run goes on.
    for (int i = 0; i < 3; ++i) {
        browser.finishLoad();
        poll.fire();
    }
    EXPECT_EQ(requestedPages().last(), QStringLiteral("beta:0"));
    ASSERT_EQ(window.errors.size(), 1);
    EXPECT_TRUE(window.errors.first().startsWith(QStringLiteral("Cannot create file ")));
    browser.finishLoad();
    EXPECT_THROW(poll.fire(), text::FileCreateError);
    EXPECT_FALSE(poll.enabled());
    EXPECT_FALSE(watchdog.enabled());
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！"));
    EXPECT_TRUE(window.searchEnabled);
    EXPECT_FALSE(window.stopEnabled);
    EXPECT_TRUE(window.importEnabled);
}

// A run that never reaches its finish step (killed, crashed, power cut) can
// be resumed: the position is on disk as soon as a keyword is done, in the
// form the finish step writes.
TEST_F(SearchRunTest, ThePositionIsSavedAtEveryKeywordChange)
{
    const QString state = dir.filePath(QStringLiteral("tessaroon.ini"));
    window.keywordFile = QStringLiteral("k.txt");
    run.start();
    EXPECT_FALSE(QFile::exists(state));
    for (int i = 0; i < 3; ++i) { // alpha's three pages
        browser.finishLoad();
        poll.fire();
    }
    EXPECT_EQ(requestedPages().last(), QStringLiteral("beta:0"));
    EXPECT_EQ(readFile(state), QByteArray("k.txt\r\n1\r\nqcno\r\n5\r\n"));
    browser.finishLoad();
    poll.fire(); // beta done, gamma taken
    EXPECT_EQ(readFile(state), QByteArray("k.txt\r\n2\r\nqcno\r\n5\r\n"));
    // Stopping now writes the same position as the keyword change did.
    run.stop();
    runToEnd();
    EXPECT_EQ(readFile(state), QByteArray("k.txt\r\n2\r\nqcno\r\n5\r\n"));
    EXPECT_TRUE(window.errors.isEmpty());
}

TEST_F(SearchRunTest, AnImportedFileWithoutKeywordsIsNamedInsteadOfAskingForAnImport)
{
    run.keywordList().clear();
    EXPECT_THROW(
        try { run.start(); } catch (const text::AppError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("请先导入关键字列表文件"));
            throw;
        },
        text::AppError);
    window.keywordFile = QStringLiteral("/data/empty.txt");
    EXPECT_THROW(
        try { run.start(); } catch (const text::AppError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("关键字列表文件中没有关键字：/data/empty.txt"));
            throw;
        },
        text::AppError);
}

TEST_F(SearchRunTest, TheWatchdogAsksTwiceMoreForAPageThatNeverCompletesThenMovesOn)
{
    run.start();
    ASSERT_EQ(browser.requests.size(), 1);
    EXPECT_TRUE(browser.unattended);
    EXPECT_EQ(watchdog.interval(), 15 * 5000);
    const int startsBefore = watchdog.starts;
    poll.fire(); // nothing loaded yet
    watchdog.fire(); // 15 intervals since the request: give it up, ask again
    ASSERT_EQ(browser.requests.size(), 2);
    EXPECT_EQ(browser.requests[1], browser.requests[0]);
    EXPECT_EQ(browser.abandoned, 1);
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("网页未能按时载入，第 1 次重新请求"));
    EXPECT_GT(watchdog.starts, startsBefore); // counted from the new request
    watchdog.fire();
    EXPECT_EQ(browser.requests.size(), 3);
    watchdog.fire(); // a third time: the page is given up, the next keyword asked for
    EXPECT_EQ(requestedPages().last(), QStringLiteral("beta:0"));
    EXPECT_EQ(run.counts().failedPages, 1);
    runToEnd();
    EXPECT_EQ(
        window.panels[PanelStatus], QStringLiteral("搜索已经结束！（1 页未能载入，0 个关键字过长被跳过）"));
    EXPECT_FALSE(browser.unattended);
    // beta's page and gamma's two; alpha's first page never came.
    EXPECT_EQ(run.counts().harvested, 9);

    // Every request starts the watchdog afresh, first pages of later
    // keywords included, so steady progress never trips it.
    pagesFor = { { "alpha", 1 }, { "beta", 1 }, { "gamma", 1 } };
    run.setKeywordIndex(0);
    run.start();
    for (int i = 0; i < 2; ++i) {
        const int starts = watchdog.starts;
        browser.finishLoad();
        poll.fire();
        EXPECT_EQ(watchdog.starts, starts + 1);
        EXPECT_TRUE(watchdog.enabled());
    }
}

TEST_F(SearchRunTest, StopFinishesEvenWhenTheLoadingPageNeverCompletes)
{
    window.keywordFile = QStringLiteral("k.txt");
    run.start();
    browser.finishLoad();
    poll.fire(); // alpha:0 taken, alpha:10 requested and never completes
    run.stop();
    EXPECT_TRUE(watchdog.enabled());
    EXPECT_EQ(watchdog.interval(), 5000); // the interval, at least 5 s
    poll.fire(); // still nothing
    watchdog.fire();
    EXPECT_EQ(browser.abandoned, 1);
    EXPECT_FALSE(poll.enabled());
    EXPECT_FALSE(watchdog.enabled());
    EXPECT_EQ(
        window.panels[PanelStatus], QStringLiteral("搜索已经结束！（1 页未能载入，0 个关键字过长被跳过）"));
    EXPECT_EQ(
        readFile(dir.filePath(QStringLiteral("tessaroon.ini"))), QByteArray("k.txt\r\n0\r\nqcno\r\n5\r\n"));
}

// What the browser hands over must be the document of the request: a load
// that failed, or a page that took the browser to another site, is given
// up rather than harvested.
TEST_F(SearchRunTest, OnlyTheRequestedDocumentIsHarvested)
{
    browser.server = [this](const QByteArray& url) {
        std::optional<FakePage> p = serve(url);
        if (url.contains("word=alpha") && url.contains("pn=10"))
            p->failure = QStringLiteral("HTTP 500");
        if (url.contains("word=gamma"))
            p->location = QStringLiteral("http://elsewhere.example.org/landing");
        return p;
    };
    run.start();
    runToEnd();
    EXPECT_EQ(requestedPages(),
        (QStringList { QStringLiteral("alpha:0"), QStringLiteral("alpha:10"), QStringLiteral("beta:0"),
            QStringLiteral("gamma:0") }));
    EXPECT_EQ(run.counts().harvested, 6); // alpha:0 and beta:0
    EXPECT_EQ(run.counts().failedPages, 2);
}

TEST_F(SearchRunTest, AKeywordTooLongToAskForIsSkipped)
{
    const QByteArray huge(SearchRun::kMaxRequestAddress, 'x');
    run.keywordList() = { huge, "beta", huge };
    run.start();
    EXPECT_EQ(requestedPages().first(), QStringLiteral("beta:0"));
    runToEnd();
    EXPECT_EQ(requestedPages(), QStringList { QStringLiteral("beta:0") });
    EXPECT_EQ(run.counts().skippedKeywords, 2);
    EXPECT_EQ(
        window.panels[PanelStatus], QStringLiteral("搜索已经结束！（0 页未能载入，2 个关键字过长被跳过）"));
    // Nothing but over-long keywords: the run ends at once.
    run.keywordList() = { huge };
    run.setKeywordIndex(0);
    const qsizetype asked = browser.requests.size();
    run.start();
    EXPECT_EQ(browser.requests.size(), asked);
    EXPECT_FALSE(poll.enabled());
}

TEST_F(SearchRunTest, TheBrowsersNotesReachTheStatusBar)
{
    run.start();
    browser.raiseNote(QStringLiteral("已拒绝下载：http://x/"));
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("已拒绝下载：http://x/"));
}

TEST_F(SearchRunTest, ANavigationThatCannotStartIsIgnored)
{
    browser.failToStart = true;
    run.start();
    EXPECT_TRUE(poll.enabled());
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("正在搜索..."));
}

} // namespace

TEST_F(SearchRunTest, BlankKeywordsAreSkippedAndCounted)
{
    run.keywordList() = { "", "beta", " \t", "gamma", "  " };
    run.start();
    runToEnd();
    EXPECT_EQ(requestedPages(),
        (QStringList { QStringLiteral("beta:0"), QStringLiteral("gamma:0"), QStringLiteral("gamma:10") }));
    EXPECT_EQ(run.counts().blankKeywords, 3);
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！（3 个空白关键字被跳过）"));
}

// Two engines read by the classic rules, on hosts of their own: each page
// links to addresses that name the engine's host, and one address that
// both engines offer.
class TwoEngineRunTest : public SearchRunTest {
protected:
    TwoEngineRunTest()
    {
        RuleSet second = classicRules();
        second.name = QStringLiteral("second");
        second.label = QStringLiteral("第二");
        run.setEngines({ { classicRules(), { {}, "one.test" } }, { second, { {}, "two.test" } } });
        browser.server = [this](const QByteArray& url) { return serveOnHost(url); };
    }

    std::optional<FakePage> serveOnHost(const QByteArray& url)
    {
        const QByteArray host = between(url, "://", "/");
        const QByteArray word = between(url, "word=", "&pn=");
        const int page = between(url, "&pn=", "&cl=").toInt() / 10 + 1;
        FakePage p;
        p.location = QString::fromLatin1(url);
        if (blockedHost == host) {
            p.title = QStringLiteral("安全验证");
            return p;
        }
        p.body = page < 2 ? QStringLiteral("1 [2] 下一页") : QStringLiteral("上一页 [1] 2");
        // The classic rules take any address holding the page's host for
        // the engine's own.
        const QString tag = QString::fromLatin1(host).replace(u'.', u'-');
        p.links.append(
            { QStringLiteral("http://%1.%2-%3.example.com/").arg(QString::fromLatin1(word), tag).arg(page),
                QStringLiteral("t") });
        p.links.append({ QStringLiteral("http://shared.example.com/%1").arg(QString::fromLatin1(word)),
            QStringLiteral("s") });
        return p;
    }

    // "host:word:pn" of each request.
    QStringList requestsByHost() const
    {
        QStringList out;
        for (const QByteArray& r : browser.requests)
            out << QString::fromLatin1(between(r, "://", "/") + ':' + between(r, "word=", "&pn=") + ':'
                + between(r, "&pn=", "&cl="));
        return out;
    }

    QByteArray blockedHost;
};

TEST_F(TwoEngineRunTest, EachPageIsReadWithThePagePartsOfItsEngine)
{
    RuleSet first = classicRules();
    first.resultContainer = QStringLiteral("div.one");
    first.adMarkers = QStringLiteral(".ad-one");
    RuleSet second = classicRules();
    second.name = QStringLiteral("second");
    second.resultContainer = QStringLiteral("li.two");
    second.relatedSearches = QStringLiteral("#rs a");
    run.setEngines({ { first, { {}, "one.test" } }, { second, { {}, "two.test" } } });
    QStringList seen; // "host:results|ads|related" of each page as it was read
    browser.server = [&](const QByteArray& url) {
        const auto& parts = browser.pageParts();
        seen << QString::fromLatin1(between(url, "://", "/")) + u':' + parts.results + u'|' + parts.ads + u'|'
                + parts.related;
        return serveOnHost(url);
    };
    run.keywordList() = { "alpha" };
    run.start();
    runToEnd();
    const QString one = QStringLiteral("one.test:div.one|.ad-one|");
    const QString two = QStringLiteral("two.test:li.two||#rs a");
    EXPECT_EQ(seen, (QStringList { one, one, two, two }));
}

TEST_F(TwoEngineRunTest, EachKeywordIsAskedOfEveryEngineInTurnAndEveryRowKnowsItsEngine)
{
    run.keywordList() = { "alpha", "beta" };
    window.dedupe = true; // across engines too
    run.start();
    runToEnd();
    EXPECT_EQ(requestsByHost(),
        (QStringList { QStringLiteral("one.test:alpha:0"), QStringLiteral("one.test:alpha:10"),
            QStringLiteral("two.test:alpha:0"), QStringLiteral("two.test:alpha:10"),
            QStringLiteral("one.test:beta:0"), QStringLiteral("one.test:beta:10"),
            QStringLiteral("two.test:beta:0"), QStringLiteral("two.test:beta:10") }));
    // Per keyword: two own rows from each engine, and the shared address once.
    EXPECT_EQ(run.counts().harvested, 10);
    ASSERT_EQ(run.counts().engines.size(), 2);
    EXPECT_EQ(run.counts().engines[0].harvested, 6);
    EXPECT_EQ(run.counts().engines[1].harvested, 4);
    EXPECT_EQ(window.rowEngines.first(), QStringLiteral("classic"));
    EXPECT_EQ(window.rowEngines.last(), QStringLiteral("second"));
    // The scratch file names each row's engine.
    const QByteArray scratch = log.contents();
    EXPECT_TRUE(scratch.startsWith("http://alpha.one-test-1.example.com/\tt\tclassic\t"))
        << scratch.constData();
    EXPECT_TRUE(scratch.contains("http://alpha.two-test-1.example.com/\tt\tsecond\t"));
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！各引擎：经典 6 条；第二 4 条"));
}

TEST_F(TwoEngineRunTest, ABlockedEngineIsSkippedForTheRestOfTheRunWhileTheOtherGoesOn)
{
    run.keywordList() = { "alpha", "beta", "gamma" };
    run.start();
    // alpha on both engines, then beta on the first.
    for (int i = 0; i < 6; ++i) {
        browser.finishLoad();
        poll.fire();
    }
    blockedHost = "two.test";
    browser.finishLoad();
    poll.fire();
    ASSERT_TRUE(run.paused());
    EXPECT_EQ(window.panels[PanelStatus],
        QStringLiteral("第二要求验证：请在下方浏览器中完成验证，完成后自动继续；或按“跳过此引擎”"));
    run.skipEngine();
    EXPECT_FALSE(run.paused());
    EXPECT_EQ(
        window.panels[PanelStatus], QStringLiteral("已跳过第二，本次搜索不再使用它，其余 1 个引擎继续"));
    runToEnd();
    const QStringList asked = requestsByHost();
    EXPECT_EQ(asked.filter(QStringLiteral("two.test")).size(), 3); // alpha's two pages and beta's first
    EXPECT_TRUE(asked.contains(QStringLiteral("one.test:gamma:10")));
    const EngineTally& dropped = run.counts().engines[1];
    EXPECT_TRUE(dropped.dropped);
    EXPECT_EQ(dropped.droppedAtKeyword, 1); // beta
    EXPECT_FALSE(run.endReport().morePages);
    EXPECT_TRUE(window.panels[PanelStatus].endsWith(QStringLiteral("第二 4 条（自第 2 个关键字起已跳过）")))
        << window.panels[PanelStatus].toStdString();
}

TEST_F(TwoEngineRunTest, SkippingTheLastEngineLeftEndsTheRunWithItsKeywordUnfinished)
{
    run.setEngines({ { classicRules(), { {}, "two.test" } } });
    blockedHost = "two.test";
    run.start();
    browser.finishLoad();
    poll.fire();
    ASSERT_TRUE(run.paused());
    // One engine: the design's own words.
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("请在下方浏览器中完成验证，完成后自动继续"));
    run.skipEngine();
    EXPECT_FALSE(poll.enabled());
    EXPECT_TRUE(run.endReport().morePages);
    EXPECT_EQ(run.endReport().keywordIndex, 1);
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！"));
}

TEST_F(TwoEngineRunTest, AStopBetweenEnginesLeavesTheKeywordToBeSearchedAgain)
{
    run.keywordList() = { "alpha", "beta" };
    run.start();
    browser.finishLoad();
    poll.fire(); // the first engine's first page; its second is loading
    run.stop();
    runToEnd();
    // The first engine read alpha to its end, the second never asked it.
    EXPECT_EQ(requestsByHost().size(), 2);
    EXPECT_TRUE(run.endReport().morePages);
    EXPECT_TRUE(readFile(dir.filePath(QStringLiteral("tessaroon.ini"))).startsWith("\r\n0\r\n"));
}

TEST(EngineHosts, AddressesGoToEveryEngineOrToTheNamedOne)
{
    RuleSet second = classicRules();
    second.name = QStringLiteral("360");
    const QList<SearchEngine> start { engineOnDefaultHost(todayRules()), engineOnDefaultHost(second) };
    struct Case {
        QList<QByteArray> items;
        QByteArray first; // scheme "|" host of each engine after
        QByteArray second;
        bool fits;
    };
    const Case cases[] = {
        { {}, "|www.baidu.com", "|www.baidu.com", true },
        { { "127.0.0.1:1" }, "|127.0.0.1:1", "|127.0.0.1:1", true },
        { { "360=http://127.0.0.1:2" }, "|www.baidu.com", "http|127.0.0.1:2", true },
        { { "h:1", "today=h:3" }, "|h:3", "|h:1", true },
        { { "baidu=h:4" }, "|h:4", "|www.baidu.com", true },
        { { "sogou=h:5" }, "", "", false },
        { { "360=ftp://x" }, "", "", false },
    };
    for (const Case& c : cases) {
        QList<SearchEngine> engines = start;
        const std::optional<QString> wrong = applyEngineHosts(engines, c.items);
        EXPECT_EQ(!wrong.has_value(), c.fits) << c.items.join(' ').constData();
        if (!c.fits)
            continue;
        EXPECT_EQ(engines[0].address.scheme + '|' + engines[0].address.host, c.first);
        EXPECT_EQ(engines[1].address.scheme + '|' + engines[1].address.host, c.second);
    }
}

TEST_F(SearchRunTest, OnePerSiteAndTheExclusionListFilterTheRunsRows)
{
    run.keywordList() = { "alpha" };
    browser.server = [](const QByteArray& url) {
        FakePage p;
        p.location = QString::fromLatin1(url);
        p.body = QStringLiteral("1");
        for (const char* link :
            { "http://www.a.com/1", "http://news.A.com/2", "http://b.com.cn/x", "http://c.b.com.cn/y",
                "http://site.github.io/", "http://other.github.io/", "http://www.a.com/3" })
            p.links.append({ QString::fromLatin1(link), QStringLiteral("t") });
        return std::optional<FakePage>(p);
    };
    struct Case {
        bool onePerSite;
        QByteArray excluded;
        QList<QByteArray> rows;
        int excludedRows;
    };
    const Case cases[] = {
        { false, {},
            { "http://www.a.com/1", "http://news.A.com/2", "http://b.com.cn/x", "http://c.b.com.cn/y",
                "http://site.github.io/", "http://other.github.io/", "http://www.a.com/3" },
            0 },
        // A private suffix makes each user's site a site of its own.
        { true, {},
            { "http://www.a.com/1", "http://b.com.cn/x", "http://site.github.io/",
                "http://other.github.io/" },
            0 },
        // A listed domain takes its subdomains with it; an address, its host's.
        { false, "b.com.cn\r\nhttp://site.github.io/page\r\n",
            { "http://www.a.com/1", "http://news.A.com/2", "http://other.github.io/", "http://www.a.com/3" },
            3 },
        { true, "# not these\nA.COM\n",
            { "http://b.com.cn/x", "http://site.github.io/", "http://other.github.io/" }, 3 },
    };
    for (const Case& c : cases) {
        window.rows.clear();
        run.setOnePerSite(c.onePerSite);
        run.setExcludedSites(sites::SiteList::fromLines(c.excluded));
        run.start();
        runToEnd();
        QList<QByteArray> rows;
        for (const auto& row : std::as_const(window.rows))
            rows << row.first;
        EXPECT_EQ(rows, c.rows) << c.excluded.constData();
        EXPECT_EQ(run.counts().excludedRows, c.excludedRows);
    }
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！（3 个网址在排除列表中）"));
}

// Pages of four organic results (the fourth the engine's own), an
// advertisement and a link outside both, two pages a keyword.
TEST_F(SearchRunTest, EveryRowCarriesItsKeywordPageRankKindAndTime)
{
    run.keywordList() = { "alpha", "beta" };
    browser.server = [](const QByteArray& url) {
        const QByteArray word = between(url, "word=", "&pn=");
        const int page = between(url, "&pn=", "&cl=").toInt() / 10 + 1;
        FakePage p;
        p.location = QString::fromLatin1(url);
        p.body = page == 1 ? QStringLiteral("1 [2] 下一页") : QStringLiteral("[1] 2");
        p.resultCount = 4;
        auto link = [&](const QString& tail, int result, bool ad) {
            p.links.append({ .href
                = QStringLiteral("http://%1.example.com/%2/").arg(QString::fromLatin1(word)).arg(page) + tail,
                .text = tail,
                .resultIndex = result,
                .ad = ad });
        };
        link(QStringLiteral("ad"), -1, true);
        for (int i = 0; i < 3; ++i)
            link(QString::number(i), i, false);
        p.links.append({ .href = QStringLiteral("http://www.baidu.com/own"), .text = {}, .resultIndex = 3 });
        link(QStringLiteral("other"), -1, false);
        return std::optional<FakePage>(p);
    };
    struct Expected {
        const char* address;
        const char* keyword;
        int page;
        int rank;
        RowKind kind;
    };
    const Expected withAds[] = {
        { "http://alpha.example.com/1/ad", "alpha", 1, 0, RowKind::Ad },
        { "http://alpha.example.com/1/0", "alpha", 1, 1, RowKind::Result },
        { "http://alpha.example.com/1/1", "alpha", 1, 2, RowKind::Result },
        { "http://alpha.example.com/1/2", "alpha", 1, 3, RowKind::Result },
        { "http://alpha.example.com/1/other", "alpha", 1, 0, RowKind::Link },
        // Ranks go on across pages: page 1 held four results.
        { "http://alpha.example.com/2/ad", "alpha", 2, 0, RowKind::Ad },
        { "http://alpha.example.com/2/0", "alpha", 2, 5, RowKind::Result },
        { "http://alpha.example.com/2/1", "alpha", 2, 6, RowKind::Result },
        { "http://alpha.example.com/2/2", "alpha", 2, 7, RowKind::Result },
        { "http://alpha.example.com/2/other", "alpha", 2, 0, RowKind::Link },
        // ...and start again with the next keyword.
        { "http://beta.example.com/1/ad", "beta", 1, 0, RowKind::Ad },
        { "http://beta.example.com/1/0", "beta", 1, 1, RowKind::Result },
    };
    for (const bool takeAds : { true, false }) {
        window.fullRows.clear();
        window.batches = 0;
        run.setTakeAds(takeAds);
        run.setKeywordIndex(0);
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        run.start();
        runToEnd();
        QList<Expected> expected;
        for (const Expected& e : withAds)
            if (takeAds || e.kind != RowKind::Ad)
                expected << e;
        ASSERT_GE(window.fullRows.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const HarvestedRow& row = window.fullRows.at(i);
            EXPECT_EQ(row.address, QByteArray(expected[i].address)) << i;
            EXPECT_EQ(row.keyword, QByteArray(expected[i].keyword)) << i;
            EXPECT_EQ(row.engine, QStringLiteral("classic"));
            EXPECT_EQ(row.page, expected[i].page) << i;
            EXPECT_EQ(row.rank, expected[i].rank) << i;
            EXPECT_EQ(row.kind, expected[i].kind) << i;
            // A fixed offset, not the zone's rules: it reads the same anywhere.
            EXPECT_NE(row.time.timeSpec(), Qt::LocalTime);
            EXPECT_EQ(row.time.offsetFromUtc(), before.offsetFromUtc());
            EXPECT_GE(row.time, before);
        }
        EXPECT_EQ(window.fullRows.size(), takeAds ? 20 : 16);
        EXPECT_EQ(window.batches, 4) << "one batch a page";
        EXPECT_EQ(run.counts().harvested, takeAds ? 20 : 16);
    }
}

namespace {

TEST_F(SearchRunTest, MiningAsksTheFirstPageOfEachKeywordTakesNoRowsAndAsksKeywordsAddedOnTheWay)
{
    QStringList read;
    onRelated
        = [&](int index, const QByteArray& keyword, const QString& engine, const QList<QString>& related) {
              read << QStringLiteral("%1 %2 %3: %4")
                          .arg(index)
                          .arg(QString::fromLatin1(keyword), engine, related.join(QStringLiteral(", ")));
              // What the first keyword leads to is asked after the others.
              if (keyword == "alpha")
                  run.keywordList().append("delta");
              if (keyword == "delta")
                  run.keywordList().append("epsilon");
          };
    pagesFor["delta"] = 2;
    pagesFor["epsilon"] = 2;
    run.setMining(true);
    run.start();
    runToEnd();
    EXPECT_EQ(requestedPages(),
        (QStringList { QStringLiteral("alpha:0"), QStringLiteral("beta:0"), QStringLiteral("gamma:0"),
            QStringLiteral("delta:0"), QStringLiteral("epsilon:0") }));
    EXPECT_EQ(read,
        (QStringList { QStringLiteral("0 alpha classic: alpha 教程, alpha 1"),
            QStringLiteral("1 beta classic: beta 教程, beta 1"),
            QStringLiteral("2 gamma classic: gamma 教程, gamma 1"),
            QStringLiteral("3 delta classic: delta 教程, delta 1"),
            QStringLiteral("4 epsilon classic: epsilon 教程, epsilon 1") }));
    EXPECT_EQ(run.counts().harvested, 0);
    EXPECT_TRUE(window.rows.isEmpty());
    EXPECT_EQ(log.rowCount(), 0);
    EXPECT_EQ(run.keywordIndex(), 5);
    EXPECT_FALSE(run.endReport().morePages);
}

TEST_F(TwoEngineRunTest, MiningAsksEveryEngineForTheFirstPageAndPausesAtAVerificationAsAHarvestDoes)
{
    run.keywordList() = { "alpha", "beta" };
    QStringList read;
    onRelated = [&](int index, const QByteArray& keyword, const QString& engine, const QList<QString>&) {
        read << QStringLiteral("%1 %2 %3").arg(index).arg(QString::fromLatin1(keyword), engine);
    };
    run.setMining(true);
    run.start();
    for (int i = 0; i < 3; ++i) {
        browser.finishLoad();
        poll.fire();
    }
    blockedHost = "two.test";
    browser.finishLoad();
    poll.fire();
    ASSERT_TRUE(run.paused());
    run.skipEngine();
    runToEnd();
    EXPECT_EQ(requestsByHost(),
        (QStringList { QStringLiteral("one.test:alpha:0"), QStringLiteral("two.test:alpha:0"),
            QStringLiteral("one.test:beta:0"), QStringLiteral("two.test:beta:0") }));
    EXPECT_EQ(read,
        (QStringList { QStringLiteral("0 alpha classic"), QStringLiteral("0 alpha second"),
            QStringLiteral("1 beta classic") }));
    EXPECT_EQ(run.counts().harvested, 0);
    EXPECT_TRUE(run.counts().engines[1].dropped);
}

} // namespace
