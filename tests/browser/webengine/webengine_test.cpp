#include "SampleEngine.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"
#include "support/LocalPorts.h"

#include "browser/CompletionTracker.h"
#include "browser/webengine/ChromiumEnvironment.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "text/Errors.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

// Readable failure messages.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace Qt::Literals::StringLiterals;
using tess::browser::FrameId;
using tess::browser::WebEngineBrowserHost;
using tess::test::LocalHttpServer;
using tess::test::runEventsFor;
using tess::test::waitUntil;

namespace {

constexpr int kLoadTimeoutMs = 15000;
// How long to keep watching after a completion for events that must not come.
constexpr int kQuietMs = 400;

QByteArray page(const QByteArray& body, const QByteArray& head = {})
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>t</title>" + head + "</head><body>"
        + body + "</body></html>";
}

struct Event {
    const char* kind;
    FrameId frame;
    QString locationSeen; // what the snapshot's location was inside the handler
};

class WebEngineHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(profileDir.isValid());
        host = std::make_unique<WebEngineBrowserHost>(profileDir.path());
        host->view()->resize(800, 600);
        host->view()->show();
        host->onNavigateComplete2 = [this](FrameId f) {
            events.push_back({ "nav", f, host->snapshot().location });
        };
        host->onDocumentComplete = [this](FrameId f) {
            events.push_back({ "doc", f, host->snapshot().location });
        };
    }

    void TearDown() override
    {
        host.reset();
        // The engine writes the profile's last state a moment after the
        // profile is gone; let it land before the folder is removed.
        runEventsFor(500);
    }

    int completions() const
    {
        int n = 0;
        for (const Event& e : events)
            n += QByteArray(e.kind) == "doc";
        return n;
    }

    // Navigates and waits for the next DocumentComplete, then a little more
    // so that stray events would be seen.
    bool load(const QByteArray& url)
    {
        const int before = completions();
        host->navigate(url);
        const bool done = waitUntil([&] { return completions() > before; }, kLoadTimeoutMs);
        runEventsFor(kQuietMs);
        return done;
    }

    QStringList bodyLines() const { return host->snapshot().bodyText.split(u'\n'); }

    QTemporaryDir profileDir;
    LocalHttpServer server;
    std::unique_ptr<WebEngineBrowserHost> host;
    std::vector<Event> events;
};

TEST_F(WebEngineHostTest, AnswersNothingBeforeTheFirstPage)
{
    EXPECT_TRUE(host->snapshot().location.isEmpty());
    EXPECT_TRUE(host->snapshot().bodyText.isEmpty());
    EXPECT_TRUE(host->snapshot().links.isEmpty());
    EXPECT_THROW(host->navigate("no address"), tess::text::AppError);
    EXPECT_THROW(host->navigate("/relative/only"), tess::text::AppError);
}

TEST_F(WebEngineHostTest, KeepsItsProfileUnderTheGivenFolder)
{
    QWebEngineProfile* profile = host->profile();
    EXPECT_FALSE(profile->isOffTheRecord());
    EXPECT_EQ(profile->persistentStoragePath(), profileDir.path());
    EXPECT_TRUE(profile->cachePath().startsWith(profileDir.path()));
    EXPECT_EQ(host->page()->profile(), profile);
    EXPECT_EQ(host->view()->page(), host->page());
}

TEST_F(WebEngineHostTest, OutlivesItsViewWhenTheWindowDeletesItFirst)
{
    delete host->view();
    EXPECT_EQ(host->view(), nullptr);
    server.setPage("/p.html", page("<a href=\"http://x.example.com/\">x</a>"));
    ASSERT_TRUE(load(server.url("/p.html")));
    EXPECT_EQ(host->snapshot().links.size(), 1);
}

TEST_F(WebEngineHostTest, RequestsTheAddressExactlyAsGiven)
{
    // A keyword in GBK, percent-encoded, as the search run builds it.
    const QByteArray path = "/s?wd=%D6%D0%CE%C4+a%2Bb&pn=10&rn=10";
    server.setPage(path, page("<p>结果</p>"));
    ASSERT_TRUE(load(server.url(path)));
    EXPECT_EQ(server.requestCount(path), 1);
    EXPECT_EQ(host->snapshot().location, QString::fromLatin1(server.url(path)));
}

TEST_F(WebEngineHostTest, ReadsBodyTextAndEveryLinkInDocumentOrder)
{
    server.setPage("/dir/index.html",
        page("<h1>结果页</h1><p>第一段文字</p>"
             "<div id=\"pager\"><span>上一页</span> <a href=\"/s?pn=0\">[1]</a> <strong>2</strong> "
             "<a href=\"/s?pn=20\">[3]</a> <a href=\"/s?pn=20\">下一页</a></div>"
             "<div><a href=\"http://www.example.com/a\">普通 <b>链接</b></a>"
             "<a href=\"https://secure.example.org/b\">HTTPS</a>"
             "<a href=\"mailto:someone@example.com\">写信</a>"
             "<a href=\"javascript:void(0)\">脚本</a>"
             "<a href=\"rel/page.html?q=1\">相对</a>"
             "<a name=\"anchor-without-address\">没有地址</a>"
             "<a href=\"http://www.example.com/img\"><img alt=\"\" src=\"data:,\" width=\"4\" "
             "height=\"4\"></a>"
             "<img usemap=\"#m\" src=\"data:,\" width=\"10\" height=\"10\">"
             "<map name=\"m\"><area shape=\"rect\" coords=\"0,0,5,5\" "
             "href=\"http://map.example.net/区\"></map>"
             "</div><p>末尾</p>"));
    const QByteArray url = server.url("/dir/index.html");
    ASSERT_TRUE(load(url));

    EXPECT_EQ(host->snapshot().location, QString::fromLatin1(url));
    const QString origin = QString::fromLatin1(server.url(""));
    const std::vector<std::pair<QString, QString>> expected = {
        { origin + u"/s?pn=0"_s, u"[1]"_s },
        { origin + u"/s?pn=20"_s, u"[3]"_s },
        { origin + u"/s?pn=20"_s, u"下一页"_s },
        { u"http://www.example.com/a"_s, u"普通 链接"_s },
        { u"https://secure.example.org/b"_s, u"HTTPS"_s },
        { u"mailto:someone@example.com"_s, u"写信"_s },
        { u"javascript:void(0)"_s, u"脚本"_s },
        { origin + u"/dir/rel/page.html?q=1"_s, u"相对"_s },
        { u"http://www.example.com/img"_s, QString() },
        { u"http://map.example.net/%E5%8C%BA"_s, QString() },
    };
    ASSERT_EQ(host->snapshot().links.size(), static_cast<int>(expected.size()));
    for (qsizetype i = 0; i < host->snapshot().links.size(); ++i) {
        EXPECT_EQ(host->snapshot().links.value(i).href, expected[i].first) << i;
        EXPECT_EQ(host->snapshot().links.value(i).text, expected[i].second) << i;
    }

    // Blocks on lines of their own; the pager, made of inline pieces, on one.
    const QStringList lines = bodyLines();
    EXPECT_TRUE(lines.contains(u"结果页"_s)) << host->snapshot().bodyText.toStdString();
    EXPECT_TRUE(lines.contains(u"第一段文字"_s));
    EXPECT_TRUE(lines.contains(u"上一页 [1] 2 [3] 下一页"_s)) << host->snapshot().bodyText.toStdString();
    EXPECT_TRUE(lines.contains(u"末尾"_s));
}

TEST_F(WebEngineHostTest, ReadsEachLinksIdClassesAndCarriedTarget)
{
    // The target on the link, on its container (glued to the next
    // attribute without a blank, as pages write it), or nowhere.
    server.setPage("/r.html",
        page("<div data-url=\"http://outer.example.com/\"data-hint=\"sugg\"><h3>"
             "<a id=\"sogou_vr_1\" href=\"/link?url=t\">一</a></h3></div>"
             "<a data-mdurl=\"https://md.example.org/\" data-url=\"http://u.example.org/\" "
             "href=\"/link?m=2\">二</a>"
             "<a id=\"snext\" class=\" sb_pagN  b_widePag\" href=\"?page=2\">下一页</a>"));
    host->setTargetAttributes({ u"data-mdurl"_s, u"data-url"_s });
    ASSERT_TRUE(load(server.url("/r.html")));

    const QString origin = QString::fromLatin1(server.url(""));
    const struct {
        QString href, carried, id, classes;
    } expected[] = {
        { origin + u"/link?url=t"_s, u"http://outer.example.com/"_s, u"sogou_vr_1"_s, {} },
        { origin + u"/link?m=2"_s, u"https://md.example.org/"_s, {}, {} },
        { origin + u"/r.html?page=2"_s, {}, u"snext"_s, u" sb_pagN  b_widePag"_s },
    };
    const QList<tess::browser::PageLink>& links = host->snapshot().links;
    ASSERT_EQ(links.size(), std::size(expected));
    for (qsizetype i = 0; i < links.size(); ++i) {
        EXPECT_EQ(links.at(i).href, expected[i].href) << i;
        EXPECT_EQ(links.at(i).carriedTarget, expected[i].carried) << i;
        EXPECT_EQ(links.at(i).id, expected[i].id) << i;
        EXPECT_EQ(links.at(i).classes, expected[i].classes) << i;
    }
}

TEST_F(WebEngineHostTest, RaisesOneCompletionPairPerTopLevelLoadOnceTheSnapshotIsIn)
{
    server.setPage("/inner.html", page("<a href=\"http://inner.example.com/\">内框链接</a>"));
    server.setPage("/framed.html",
        page("<p>外层</p><iframe src=\"/inner.html\"></iframe><iframe src=\"/inner.html?2\"></iframe>"
             "<a href=\"http://outer.example.com/\">外层链接</a>"));
    server.setPage("/inner.html?2", page("<p>第二个内框</p>"));
    server.setPage("/plain.html", page("<p>普通页</p>"));

    const QByteArray framed = server.url("/framed.html");
    ASSERT_TRUE(load(framed));
    ASSERT_EQ(events.size(), 2u);
    const FrameId top = events[0].frame;
    EXPECT_STREQ(events[0].kind, "nav");
    EXPECT_STREQ(events[1].kind, "doc");
    EXPECT_EQ(events[1].frame, top);
    EXPECT_EQ(events[0].locationSeen, QString::fromLatin1(framed));
    EXPECT_EQ(server.requestCount("/inner.html"), 1);
    // Inner frames are documents of their own: only the top document's links.
    ASSERT_EQ(host->snapshot().links.size(), 1);
    EXPECT_EQ(host->snapshot().links.value(0).href, u"http://outer.example.com/"_s);

    const QByteArray plain = server.url("/plain.html");
    ASSERT_TRUE(load(plain));
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[2].frame, top);
    EXPECT_EQ(events[3].frame, top);
    EXPECT_EQ(events[3].locationSeen, QString::fromLatin1(plain));
    EXPECT_EQ(host->snapshot().links.size(), 0);

    tess::browser::CompletionTracker tracker;
    tracker.attach(*host);
    host->navigate(framed);
    EXPECT_TRUE(waitUntil([&] { return tracker.pageLoaded(); }, kLoadTimeoutMs));
    EXPECT_EQ(host->snapshot().location, QString::fromLatin1(framed));
}

TEST_F(WebEngineHostTest, PageScriptCannotTamperWithTheSnapshot)
{
    server.setPage("/tamper.html",
        page("<p>正文</p><a href=\"http://real.example.com/1\">真的</a><a href=\"/2\">第二</a>",
            "<script>"
            "Object.defineProperty(document, 'links', { get: function () { return []; } });"
            "Object.defineProperty(document, 'URL', { get: function () { return 'http://fake/'; } });"
            "Object.defineProperty(HTMLAnchorElement.prototype, 'href', { get: function () { return "
            "'http://evil/'; } });"
            "Object.defineProperty(HTMLElement.prototype, 'innerText', { get: function () { return 'evil'; } "
            "});"
            "Array.prototype.push = function () { throw new Error('push'); };"
            "window.String = function () { return 'evil'; };"
            "window.Array = function () { return []; };"
            "</script>"));
    ASSERT_TRUE(load(server.url("/tamper.html")));
    EXPECT_EQ(host->snapshot().location, QString::fromLatin1(server.url("/tamper.html")));
    EXPECT_EQ(host->snapshot().bodyText.trimmed(), u"正文\n\n真的第二"_s);
    ASSERT_EQ(host->snapshot().links.size(), 2);
    EXPECT_EQ(host->snapshot().links.value(0).href, u"http://real.example.com/1"_s);
    EXPECT_EQ(host->snapshot().links.value(0).text, u"真的"_s);
    EXPECT_EQ(host->snapshot().links.value(1).href, QString::fromLatin1(server.url("/2")));
}

TEST_F(WebEngineHostTest, RefusedConnectionCompletesOnTheErrorPage)
{
    const quint16 closedPort = tess::test::closedLocalPort();
    ASSERT_GT(closedPort, 0);
    ASSERT_TRUE(load("http://127.0.0.1:" + QByteArray::number(closedPort) + "/nothing"));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].frame, events[1].frame);
    EXPECT_FALSE(host->snapshot().bodyText.trimmed().isEmpty());
    // The error page's own address, whose links the harvest passes over.
    EXPECT_TRUE(host->snapshot().location.startsWith(u"chrome-error:"_s))
        << host->snapshot().location.toStdString();
    for (qsizetype i = 0; i < host->snapshot().links.size(); ++i)
        EXPECT_FALSE(host->snapshot().links.value(i).href.startsWith(u"http://"_s))
            << host->snapshot().links.value(i).href.toStdString();
}

TEST_F(WebEngineHostTest, DropsThePageOfALoadThatANewerNavigationReplaced)
{
    server.setPage("/slow.html", page("<a href=\"http://slow.example.com/\">慢</a>"), 1500);
    server.setPage("/fast.html", page("<a href=\"http://fast.example.com/\">快</a>"));
    server.setPage("/first.html", page("<a href=\"http://first.example.com/\">先</a>"));
    const QByteArray fast = server.url("/fast.html");

    // Replaced while its answer is still on the way.
    host->navigate(server.url("/slow.html"));
    runEventsFor(200);
    ASSERT_TRUE(load(fast));
    runEventsFor(1800);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].locationSeen, QString::fromLatin1(fast));
    EXPECT_EQ(host->snapshot().links.value(0).href, u"http://fast.example.com/"_s);

    // Replaced after it has finished loading, before its snapshot is back.
    events.clear();
    bool replaced = false;
    QObject::connect(host->page(), &QWebEnginePage::loadFinished, host.get(), [&] {
        if (!replaced) {
            replaced = true;
            host->navigate(fast);
        }
    });
    host->navigate(server.url("/first.html"));
    ASSERT_TRUE(waitUntil([&] { return completions() > 0; }, kLoadTimeoutMs));
    runEventsFor(kQuietMs);
    EXPECT_TRUE(replaced);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].locationSeen, QString::fromLatin1(fast));
}

TEST_F(WebEngineHostTest, CompletesWhenThePageProcessDiesMidLoad)
{
    server.setPage("/stuck.html", page("<p>卡住</p><img src=\"/never.png\">"));
    server.setPage("/never.png", "x", 8000);
    host->navigate(server.url("/stuck.html"));
    ASSERT_TRUE(waitUntil([&] { return server.requestCount("/never.png") > 0; }, kLoadTimeoutMs));
    const qint64 pid = host->page()->renderProcessPid();
    ASSERT_GT(pid, 0);
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    EXPECT_TRUE(waitUntil([&] { return completions() > 0; }, 4000));
    runEventsFor(kQuietMs);
    EXPECT_EQ(events.size(), 2u);
    EXPECT_TRUE(host->snapshot().location.isEmpty());
    EXPECT_TRUE(host->snapshot().bodyText.isEmpty());
    EXPECT_EQ(host->snapshot().links.size(), 0);

    // The next page loads in a new page process as usual.
    server.setPage("/after.html", page("<a href=\"http://after.example.com/\">之后</a>"));
    ASSERT_TRUE(load(server.url("/after.html")));
    EXPECT_EQ(host->snapshot().links.value(0).href, u"http://after.example.com/"_s);
}

TEST(ChromiumEnvironment, AddsTheSwitchesOnceAndKeepsThoseGiven)
{
    const QByteArray saved = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const QByteArray sandbox = ::geteuid() == 0 ? " --no-sandbox" : "";
    const QByteArray ours = sandbox + " --disable-background-networking --disable-component-update";
    const std::vector<std::pair<QByteArray, QByteArray>> cases = {
        { "", ours.mid(1) },
        { "--disable-gpu", "--disable-gpu" + ours },
        { "  --disable-gpu   --disable-component-update ",
            "--disable-gpu --disable-component-update" + sandbox + " --disable-background-networking" },
    };
    for (const auto& [before, after] : cases) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", before);
        tess::browser::prepareWebEngineEnvironment();
        tess::browser::prepareWebEngineEnvironment();
        EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), after) << before.constData();
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", saved);
}

} // namespace

// The profile is made before its folder can be set, and the engine writes
// its preferences at once: they must land in the host's folder, not in the
// user's data folder.
TEST(WebEngineHostProfile, WritesNothingOutsideItsFolder)
{
    QTemporaryDir userData, folder;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(userData.path()));
    {
        WebEngineBrowserHost host(folder.path());
        runEventsFor(300);
    }
    runEventsFor(500);
    EXPECT_EQ(qgetenv("XDG_DATA_HOME"), QFile::encodeName(userData.path()));
    EXPECT_TRUE(QDir(userData.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_FALSE(QDir(folder.path()).isEmpty());
    qputenv("XDG_DATA_HOME", saved);
}

// Answers a broken or hostile engine gives, through the real browser.
class WebEngineHostileTest : public WebEngineHostTest {
protected:
    void SetUp() override
    {
        WebEngineHostTest::SetUp();
        host->onNote = [this](const QString& note) { notes << note; };
        engine.start(0);
    }
    QByteArray address(const char* word) const
    {
        return "http://127.0.0.1:" + QByteArray::number(engine.port()) + "/baidu?word=" + word + "&pn=0";
    }

    tess::sample::SampleEngine engine;
    QStringList notes;
};

TEST_F(WebEngineHostileTest, PageDialogsAreAnsweredOnlyWhileUnattended)
{
    host->setUnattended(true);
    for (const char* kind : { "hostile-alert", "hostile-confirm", "hostile-prompt" }) {
        ASSERT_TRUE(load(address(kind))) << kind;
        EXPECT_FALSE(host->snapshot().loadFailed) << kind;
        EXPECT_GT(host->snapshot().links.size(), 10) << kind;
    }
    EXPECT_EQ(notes.size(), 3);
    EXPECT_TRUE(notes.value(2).startsWith(u"已自动关闭网页输入对话框"_s)) << notes.value(2).toStdString();
}

TEST_F(WebEngineHostileTest, APageThatOpensPopUpsIsReadAndOpensNone)
{
    host->setUnattended(true);
    ASSERT_TRUE(load(address("hostile-popups")));
    EXPECT_FALSE(host->snapshot().loadFailed) << host->snapshot().failure.toStdString();
    EXPECT_GT(host->snapshot().links.size(), 10);
    EXPECT_EQ(completions(), 1);
    for (const auto& r : engine.requests())
        EXPECT_NE(r.path, "/popup") << "a pop-up was opened";
}

TEST_F(WebEngineHostileTest, LoadsWithoutADocumentOfTheirOwnCompleteAsFailed)
{
    ASSERT_TRUE(load(address("plain")));
    ASSERT_FALSE(host->snapshot().loadFailed);
    struct Case {
        const char* word;
        const char* failure; // how the failure starts
    } cases[] = {
        { "hostile-download", "没有可读的网页" },
        { "hostile-nocontent", "没有可读的网页" },
        { "hostile-error500", "HTTP 500" },
        { "hostile-auth", "HTTP 401" },
        { "hostile-reset", "net::" },
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(load(address(c.word))) << c.word;
        EXPECT_TRUE(host->snapshot().loadFailed) << c.word;
        EXPECT_TRUE(host->snapshot().failure.startsWith(QString::fromUtf8(c.failure)))
            << c.word << ": " << host->snapshot().failure.toStdString();
        // Never the page that was there before.
        EXPECT_FALSE(host->snapshot().bodyText.contains(u"plain"_s)) << c.word;
    }
    EXPECT_TRUE(notes.join(u'|').contains(u"已拒绝下载"_s)) << notes.join(u'|').toStdString();
    EXPECT_TRUE(notes.join(u'|').contains(u"已取消登录要求"_s)) << notes.join(u'|').toStdString();
    // The login was declined once, not asked again and again.
    int authRequests = 0;
    for (const auto& r : engine.requests())
        authRequests += r.wordGbk == "hostile-auth";
    EXPECT_EQ(authRequests, 1);
}

TEST_F(WebEngineHostileTest, AbandoningAPageWhoseScriptNeverEndsLetsTheNextLoadThrough)
{
    host->navigate(address("hostile-script"));
    runEventsFor(1500);
    const int before = completions();
    host->abandonLoad();
    EXPECT_EQ(host->view()->page(), host->page());
    ASSERT_TRUE(load(address("after")));
    EXPECT_EQ(completions(), before + 1);
    EXPECT_TRUE(host->snapshot().bodyText.contains(u"after"_s));
}

TEST_F(WebEngineHostileTest, ARefreshToAnotherSiteCompletesOnTheSiteItLeadsTo)
{
    ASSERT_TRUE(load(address("hostile-refresh")));
    EXPECT_TRUE(host->snapshot().location.startsWith(u"http://localhost:"_s))
        << host->snapshot().location.toStdString();
    EXPECT_EQ(completions(), 1);
}

TEST_F(WebEngineHostileTest, PagesWithoutACharsetAreReadAsWhatTheyHold)
{
    for (const char* kind : { "hostile-utf8", "hostile-nocharset" }) {
        ASSERT_TRUE(load(address(kind))) << kind;
        EXPECT_TRUE(host->snapshot().bodyText.contains(u"示例搜索为您找到相关结果"_s)) << kind;
        bool titled = false;
        for (qsizetype i = 0; i < host->snapshot().links.size(); ++i)
            titled = titled || host->snapshot().links.value(i).text.contains(u"_示例站点1号"_s);
        EXPECT_TRUE(titled) << kind;
    }
}
