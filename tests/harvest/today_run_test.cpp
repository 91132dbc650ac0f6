#include "harvest/FakeWindow.h"
#include "harvest/RedirectResolver.h"
#include "harvest/ResultsLog.h"
#include "harvest/RowFormats.h"
#include "harvest/SearchRun.h"
#include "support/FakeBrowser.h"
#include "support/FakeRedirectFetcher.h"
#include "support/Files.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tess;
using namespace tess::harvest;
using browser::PageLink;
using browser::RedirectAnswer;
using test::between;
using test::FakePage;

namespace {

// The keyword of a search request, in today's form ("&wd=") or the
// classic one ("word=").
QByteArray requestWord(const QByteArray& url)
{
    return url.contains("&wd=") ? between(url, "&wd=", "&pn=") : between(url, "word=", "&pn=");
}

// A run under today's rules against a fake engine whose result pages hold
// every kind of link, and whose redirector answers by hand.
class TodayRunTest : public ::testing::Test {
protected:
    TodayRunTest()
    {
        tracker.attach(browser);
        browser.server = [this](const QByteArray& url) { return serve(url); };
        fetcher.server = [this](const QByteArray& url) { return redirect(url); };
        run.keywordList() = { "alpha", "beta" };
        run.setRules(todayRules());
    }

    std::optional<FakePage> serve(const QByteArray& url)
    {
        if (url.startsWith("https://www.baidu.com/after-verify"))
            return FakePage { QString::fromLatin1(url), QStringLiteral("验证成功"), {}, 0, {}, {} };
        if (verifyFrom > 0 && browser.requests.size() >= verifyFrom && !verified)
            return FakePage { QStringLiteral("https://wappass.baidu.com/static/captcha/tuxing.html?ak=1"),
                QStringLiteral("请完成下方验证后继续操作"), {}, 0, verifyFailure,
                QStringLiteral("百度安全验证") };
        const QString word = QString::fromLatin1(requestWord(url));
        const int page = between(url, "&pn=", "&cl=").toInt() / 10 + 1;
        const QString key = QStringLiteral("%1-%2").arg(word).arg(page);
        const QString link = QStringLiteral("http://www.baidu.com/link?url=");
        auto token = [&](const char* kind) { return link + QLatin1String(kind) + key; };
        FakePage p { QString::fromLatin1(url), QStringLiteral("%1 的搜索结果").arg(word), {}, 0, {},
            QStringLiteral("%1_百度搜索").arg(word) };
        p.links = {
            { token("mu-"), QStringLiteral("标题0"), QStringLiteral("http://%1-0.example.org/").arg(key) },
            { token("plain-"), QStringLiteral("标题1") },
            { QStringLiteral("http://cache.baiducontent.com/c?m=") + key, QStringLiteral("百度快照") },
            { token("meta-"), QStringLiteral("标题2") },
            { QStringLiteral("https://www.example-card.cn/") + word, QStringLiteral("卡片") },
            { token("card-"), QStringLiteral("百科"),
                QStringLiteral("https://baike.baidu.com/item/") + word },
            { QStringLiteral("http://www.hao123.com/"), QStringLiteral("hao123") },
            { token("fail-"), QStringLiteral("标题3") },
            { token("own-"), QStringLiteral("标题4") },
            { token("plain-"), QStringLiteral("更多") }, // the same result again
            { QStringLiteral("javascript:;"), QStringLiteral("设置") },
        };
        p.links += extraLinks;
        if (page < pagesFor.value(word))
            p.links.append({ QStringLiteral("https://www.baidu.com/s?wd=%1&pn=%2").arg(word).arg(page * 10),
                page % 2 ? QStringLiteral("下一页>") : QStringLiteral("下一页 >") });
        return p;
    }

    RedirectAnswer redirect(const QByteArray& url)
    {
        const QByteArray token = url.mid(url.indexOf("url=") + 4);
        const QByteArray key = token.mid(token.indexOf('-') + 1);
        if (token.startsWith("plain-"))
            return { false, 302, "http://" + key + "-1.example.org/", {} };
        if (token.startsWith("meta-"))
            return { false, 200, {},
                "<meta http-equiv=\"refresh\" content=\"0;URL='https://" + key + "-2.example.org/x'\">" };
        if (token.startsWith("own-"))
            return { false, 302, "https://www.baidu.com/s?wd=" + key, {} };
        if (token.startsWith("forged-"))
            return { false, 302, "http://b.example/\r\nhttp://www.INJECTED-ROW.com/\tinjected title", {} };
        return { true, 0, {}, {} };
    }

    // Pages load, the poll ticks and the redirector answers until the run
    // stops polling.
    void runToEnd()
    {
        for (int i = 0; i < 500 && (poll.enabled() || run.resolving()); ++i) {
            browser.finishLoad();
            poll.fire();
            fetcher.answerAll();
        }
        ASSERT_FALSE(poll.enabled()) << "the run did not end";
    }

    QStringList requestedPages() const
    {
        QStringList out;
        for (const QByteArray& r : browser.requests)
            if (r.contains("word=") || r.contains("&wd="))
                out << QString::fromLatin1(requestWord(r) + ":" + between(r, "&pn=", "&cl="));
        return out;
    }

    // The user passes the verification in the browser.
    void passVerification()
    {
        verified = true;
        browser.navigate("https://www.baidu.com/after-verify");
        browser.finishLoad();
        poll.fire();
    }

    QTemporaryDir dir;
    test::FakeWindow window;
    test::FakeBrowser browser;
    browser::CompletionTracker tracker;
    test::ManualTimer poll, watchdog;
    test::FakeRedirectFetcher fetcher;
    RedirectResolver resolver { fetcher };
    QMap<QString, int> pagesFor { { QStringLiteral("alpha"), 2 }, { QStringLiteral("beta"), 1 } };
    QList<PageLink> extraLinks; // on every page, after the usual ones
    int verifyFrom = 0; // the request from which the engine wants a verification
    bool verified = false;
    QString verifyFailure; // the verification page's error status, if any
    int attention = 0;
    SearchRun run { { .window = window,
        .browser = browser,
        .tracker = tracker,
        .pollTimer = poll,
        .watchdogTimer = watchdog,
        .statePath = dir.filePath(QStringLiteral("tessaroon.ini")),
        .localAddress = [] { return QStringLiteral("192.0.2.2"); },
        .pause = [](int) {},
        .resolver = &resolver,
        .verificationNeeded = [this] { ++attention; } } };
};

} // namespace

TEST_F(TodayRunTest, RowsHoldTheTargetsInPageOrderAndTheNextPageWaitsForThem)
{
    run.start();
    EXPECT_EQ(browser.requests.first(), QByteArray("https://www.baidu.com/s?ie=utf-8&wd=alpha&pn=0"));
    EXPECT_EQ(browser.targetAttributes(), (QStringList { QStringLiteral("mu"), QStringLiteral("data-lp") }));
    EXPECT_EQ(browser.pageParts().results, todayRules().resultContainer);
    EXPECT_EQ(browser.pageParts().ads, todayRules().adMarkers);
    EXPECT_EQ(browser.pageParts().related, todayRules().relatedSearches);
    browser.finishLoad();
    poll.fire();
    // Asked two at a time; the same redirect once; the next page waits.
    EXPECT_TRUE(run.resolving());
    EXPECT_FALSE(poll.enabled());
    EXPECT_EQ(fetcher.pending.size(), 2u);
    EXPECT_EQ(browser.requests.size(), 1);
    EXPECT_TRUE(window.rows.isEmpty());
    fetcher.answerAll();
    EXPECT_EQ(fetcher.asked.size(), 4);
    EXPECT_EQ(fetcher.mostInFlight, RedirectResolver::kMaxInFlight);
    EXPECT_EQ(browser.requests.size(), 2);

    const QList<QPair<QByteArray, QByteArray>> firstPage {
        { "http://alpha-1-0.example.org/", "\xB1\xEA\xCC\xE2\x30" },
        { "http://alpha-1-1.example.org/", "\xB1\xEA\xCC\xE2\x31" },
        { "https://alpha-1-2.example.org/x", "\xB1\xEA\xCC\xE2\x32" },
        { "https://www.example-card.cn/alpha", "\xBF\xA8\xC6\xAC" },
    };
    EXPECT_EQ(window.rows, firstPage);
    EXPECT_EQ(run.counts().unresolvedLinks, 1);

    runToEnd();
    EXPECT_EQ(requestedPages(),
        (QStringList { QStringLiteral("alpha:0"), QStringLiteral("alpha:10"), QStringLiteral("beta:0") }));
    EXPECT_EQ(run.counts().harvested, 12);
    EXPECT_EQ(run.counts().unresolvedLinks, 3);
    EXPECT_EQ(run.counts().failedPages, 0);
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！（3 个跳转链接未能解析）"));

    // 去重 takes the card's link once a run.
    window.dedupe = true;
    run.setKeywordIndex(0);
    run.start();
    runToEnd();
    EXPECT_EQ(run.counts().harvested, 11);
}

TEST_F(TodayRunTest, AVerificationPagePausesTheRunUntilTheUserPassesIt)
{
    verifyFrom = 2; // alpha's second page
    run.start();
    browser.finishLoad();
    poll.fire();
    fetcher.answerAll();
    browser.finishLoad();
    poll.fire(); // the verification page
    EXPECT_TRUE(run.paused());
    EXPECT_EQ(attention, 1);
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("请在下方浏览器中完成验证，完成后自动继续"));
    EXPECT_FALSE(watchdog.enabled());
    EXPECT_TRUE(poll.enabled());
    EXPECT_FALSE(browser.unattended);
    EXPECT_EQ(run.counts().harvested, 4);

    // A failed attempt shows the verification page again: still paused.
    browser.navigate("https://wappass.baidu.com/static/captcha/tuxing.html?retry=1");
    browser.finishLoad();
    poll.fire();
    EXPECT_TRUE(run.paused());
    const qsizetype asked = browser.requests.size();

    passVerification();
    EXPECT_FALSE(run.paused());
    EXPECT_TRUE(browser.unattended);
    ASSERT_EQ(browser.requests.size(), asked + 2);
    EXPECT_EQ(requestedPages().last(), QStringLiteral("alpha:10")); // the interrupted page again
    runToEnd();
    EXPECT_EQ(requestedPages(),
        (QStringList { QStringLiteral("alpha:0"), QStringLiteral("alpha:10"), QStringLiteral("alpha:10"),
            QStringLiteral("beta:0") }));
    EXPECT_EQ(run.counts().harvested, 12);
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！（3 个跳转链接未能解析）"));
}

TEST_F(TodayRunTest, StopWhilePausedAtAKeywordsFirstPageKeepsThatKeyword)
{
    verifyFrom = 3; // beta's first page
    run.start();
    for (int i = 0; i < 10 && !run.paused(); ++i) {
        browser.finishLoad();
        poll.fire();
        fetcher.answerAll();
    }
    ASSERT_TRUE(run.paused());
    EXPECT_EQ(requestedPages().last(), QStringLiteral("beta:0"));
    run.stop();
    EXPECT_FALSE(poll.enabled());
    EXPECT_FALSE(run.paused());
    EXPECT_TRUE(window.searchEnabled);
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！（2 个跳转链接未能解析）"));
    // Line 2 names beta, the keyword interrupted.
    EXPECT_TRUE(test::readFile(dir.filePath(QStringLiteral("tessaroon.ini"))).startsWith("\r\n1\r\n"));
}

TEST_F(TodayRunTest, TheClassicRulesKnowTheVerificationPageToo)
{
    run.setRules(classicRules());
    verifyFrom = 1;
    verifyFailure = QStringLiteral("HTTP 403"); // an error status does not hide it
    run.start();
    browser.finishLoad();
    poll.fire();
    EXPECT_TRUE(run.paused());
    EXPECT_EQ(run.counts().failedPages, 0);
    passVerification();
    EXPECT_EQ(requestedPages(), (QStringList { QStringLiteral("alpha:0"), QStringLiteral("alpha:0") }));
    EXPECT_TRUE(browser.requests.last().startsWith("http://www.baidu.com/baidu?"));
}

TEST_F(TodayRunTest, APageCannotForgeRowsOrFields)
{
    const QString forged
        = QStringLiteral("http://a.example/\r\nhttp://www.INJECTED-ROW.com/\tinjected title");
    const QString link = QStringLiteral("http://www.baidu.com/link?url=");
    extraLinks = {
        { link + QStringLiteral("mu-forged"), QStringLiteral("标题5"), forged },
        { link + QStringLiteral("forged-location"), QStringLiteral("标题6") },
        { QStringLiteral("http://c.example/\nhttp://www.INJECTED-ROW.com/"), QStringLiteral("标题7") },
        { QStringLiteral("http://d.example/"), QStringLiteral("a\ttitle\r\nwith breaks") },
    };
    ResultsLog log(dir.filePath(QStringLiteral("scratch.tmp")));
    log.restart();
    run.keywordList() = { "beta" };
    run.start();
    runToEnd();
    for (const auto& [address, title] : window.rows)
        log.append({ address, title });

    EXPECT_EQ(window.rows.size(), 5);
    for (const auto& [address, title] : window.rows)
        EXPECT_FALSE(address.contains("INJECTED") || hasControlCharacter(address)) << address.toStdString();
    // The refused mu and Location count as unresolved, beside beta's own.
    EXPECT_EQ(run.counts().unresolvedLinks, 1 + 2);

    const QByteArray tsv = log.contents();
    EXPECT_EQ(tsv.count("\r\n"), 5);
    EXPECT_EQ(tsv.count('\n'), 5);
    EXPECT_EQ(tsv.count('\t'), 5 * 7);
    EXPECT_TRUE(tsv.contains("http://d.example/\ta title  with breaks\t")) << tsv.toStdString();
    // The CSV keeps the title's breaks inside one quoted field.
    const QByteArray csv = formatRows(RowFormat::Csv, allRowColumns(), log.rows());
    EXPECT_EQ(csv.count("\r\n"), 1 + 5);
    EXPECT_EQ(formatRow(RowFormat::Csv, { RowColumn::Address, RowColumn::Title },
                  { "http://d.example/", "a\ttitle\r\nbreaks" }),
        QByteArray("http://d.example/,\"a\ttitle\r\nbreaks\"\r\n"));
}

TEST_F(TodayRunTest, StopWhileRedirectsAreAskedForKeepsTheRowsKnownAndTheKeyword)
{
    // alpha's first page has a next page, beta's has none: either way the
    // page cut short leaves its keyword to be searched again.
    for (const QByteArray& keyword : { QByteArray("alpha"), QByteArray("beta") }) {
        run.keywordList() = { "gamma", keyword };
        run.setKeywordIndex(1);
        window.answers = { QStringLiteral("1") };
        run.start();
        browser.finishLoad();
        poll.fire();
        ASSERT_TRUE(run.resolving()) << keyword.data();
        // One answer comes; the other never does.
        const QByteArray plain = "http://www.baidu.com/link?url=plain-" + keyword + "-1";
        fetcher.answer(plain, fetcher.server(plain));
        ASSERT_FALSE(fetcher.pending.empty());

        run.stop();
        EXPECT_FALSE(run.resolving()) << keyword.data();
        EXPECT_TRUE(fetcher.pending.empty()) << "the redirects in flight are dropped";
        EXPECT_FALSE(poll.enabled());
        EXPECT_TRUE(window.searchEnabled);
        EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("搜索已经结束！"));
        // The carried target, the card and the one answered; none counted
        // unresolved, since the keyword is searched again.
        EXPECT_EQ(window.rows.size(), 3) << keyword.data();
        EXPECT_EQ(window.rows.value(1).first, "http://" + keyword + "-1-1.example.org/");
        EXPECT_EQ(run.counts().unresolvedLinks, 0);
        EXPECT_TRUE(run.endReport().morePages) << keyword.data();
        EXPECT_EQ(run.endReport().keywordIndex, 2);
        // Line 2 names the keyword cut short.
        EXPECT_TRUE(test::readFile(dir.filePath(QStringLiteral("tessaroon.ini"))).startsWith("\r\n1\r\n"));
        fetcher.cancelled.clear();
    }
}

TEST_F(TodayRunTest, AHugePageIsReadInSlicesAndAsksForAThousandRedirectsAtMost)
{
    const QString link = QStringLiteral("http://www.baidu.com/link?url=plain-many-");
    for (int i = 0; i < 5000; ++i)
        extraLinks.append({ link + QString::number(i), QStringLiteral("标题") });
    run.keywordList() = { "beta" };
    run.start();
    browser.finishLoad();
    poll.fire();
    // Not read in one go: the event loop runs between slices.
    EXPECT_TRUE(run.preparing());
    EXPECT_TRUE(fetcher.asked.isEmpty());
    QElapsedTimer clock;
    clock.start();
    while (run.preparing() && clock.elapsed() < 10000)
        QCoreApplication::processEvents();
    ASSERT_TRUE(run.resolving());
    EXPECT_EQ(window.panels[PanelStatus], QStringLiteral("本页跳转链接过多，只解析前 1000 个"));
    runToEnd();
    // beta's plain, meta, fail and own links, then the first 996 of the
    // many; the other 4,004 count as unresolved, beside beta's failing one.
    EXPECT_EQ(fetcher.asked.size(), SearchRun::kMaxRedirectsPerPage);
    EXPECT_EQ(fetcher.asked.last(), "http://www.baidu.com/link?url=plain-many-995");
    EXPECT_EQ(run.counts().unresolvedLinks, 1 + 4004);
    EXPECT_EQ(run.counts().harvested, 4 + 996);
}

TEST_F(TodayRunTest, StopWhileAHugePageIsReadFinishesAtOnce)
{
    const QString link = QStringLiteral("http://www.baidu.com/link?url=plain-many-");
    for (int i = 0; i < 20000; ++i)
        extraLinks.append({ link + QString::number(i), QStringLiteral("标题") });
    run.keywordList() = { "beta" };
    run.start();
    browser.finishLoad();
    poll.fire();
    ASSERT_TRUE(run.preparing());
    run.stop();
    EXPECT_FALSE(run.preparing());
    EXPECT_TRUE(window.searchEnabled);
    EXPECT_TRUE(run.endReport().morePages);
    QCoreApplication::processEvents(); // a slice left behind does nothing
    EXPECT_TRUE(fetcher.asked.isEmpty());
    // The first slice's rows that needed no redirect are kept.
    EXPECT_EQ(window.rows.size(), 2);
}
