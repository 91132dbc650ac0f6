#include "support/EventLoop.h"
#include "support/RedirectServer.h"

#include "browser/webengine/NetworkRedirectFetcher.h"
#include "browser/webengine/WebEngineBrowserHost.h"

#include <QElapsedTimer>
#include <QNetworkCookie>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using tess::browser::NetworkRedirectFetcher;
using tess::browser::RedirectAnswer;
using tess::browser::RedirectFetcher;
using tess::browser::WebEngineBrowserHost;
using tess::test::RedirectServer;
using tess::test::runEventsFor;
using tess::test::waitUntil;

namespace {

constexpr int kAnswerTimeoutMs = 15000;

class NetworkRedirectFetcherTest : public ::testing::Test {
protected:
    // Asks `address` and waits for the answer.
    RedirectAnswer ask(const QByteArray& address)
    {
        std::optional<RedirectAnswer> answer;
        fetcher->fetch(address, [&](RedirectAnswer a) { answer = std::move(a); });
        EXPECT_TRUE(waitUntil([&] { return answer.has_value(); }, kAnswerTimeoutMs)) << address.toStdString();
        return answer.value_or(RedirectAnswer {});
    }
    // Sets a cookie into the browser's store and waits until the store has it.
    void setBrowserCookie(const QByteArray& name, const QByteArray& value, const QUrl& origin)
    {
        bool added = false;
        const auto watch = QObject::connect(profile.cookieStore(), &QWebEngineCookieStore::cookieAdded,
            [&](const QNetworkCookie& c) { added = added || c.name() == name; });
        profile.cookieStore()->setCookie(QNetworkCookie(name, value), origin);
        EXPECT_TRUE(waitUntil([&] { return added; }, kAnswerTimeoutMs)) << name.toStdString();
        QObject::disconnect(watch);
    }
    QUrl origin() const { return QUrl(QString::fromLatin1(server.url("/"))); }

    void SetUp() override { fetcher = std::make_unique<NetworkRedirectFetcher>(&profile); }
    void TearDown() override
    {
        fetcher.reset();
        host.reset();
        // The engine writes the profile's last state a moment after the
        // profile is gone; let it land before the folder is removed.
        runEventsFor(500);
    }

    // The program's own browser, whose profile comes to life with its page.
    QTemporaryDir profileDir;
    std::unique_ptr<WebEngineBrowserHost> host = std::make_unique<WebEngineBrowserHost>(profileDir.path());
    QWebEngineProfile& profile = *host->profile();
    RedirectServer server;
    std::unique_ptr<NetworkRedirectFetcher> fetcher;
};

} // namespace

TEST_F(NetworkRedirectFetcherTest, TellsEachFormOfAnswerWithoutFollowingIt)
{
    RedirectAnswer a = ask(server.url("/link?url=7"));
    EXPECT_FALSE(a.failed);
    EXPECT_EQ(a.status, 302);
    EXPECT_EQ(a.location, "http://site7.example/");

    a = ask(server.url("/meta"));
    EXPECT_EQ(a.status, 200);
    EXPECT_TRUE(a.body.contains("URL='http://meta.example/?a=1&amp;b=2'")) << a.body.toStdString();

    a = ask(server.url("/script"));
    EXPECT_EQ(a.status, 200);
    EXPECT_TRUE(a.body.contains("location.replace(\"http://script.example/\")")) << a.body.toStdString();

    // An error status is an answer, with its page.
    a = ask(server.url("/gone"));
    EXPECT_FALSE(a.failed);
    EXPECT_EQ(a.status, 404);
    EXPECT_TRUE(a.body.contains("missing.example"));

    // Of a large page, only the start.
    a = ask(server.url("/big"));
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.body.size(), RedirectFetcher::kMaxBody);
}

TEST_F(NetworkRedirectFetcherTest, NoAnswerWithinTheBoundOrNoServerIsAFailure)
{
    QTcpServer silent; // takes the connection and never says a word
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    fetcher->setBoundMs(300);
    QElapsedTimer clock;
    clock.start();
    RedirectAnswer a = ask("http://127.0.0.1:" + QByteArray::number(silent.serverPort()) + "/link?url=1");
    EXPECT_TRUE(a.failed);
    EXPECT_EQ(a.status, 0);
    // Well before the default bound.
    EXPECT_LT(clock.elapsed(), RedirectFetcher::kBoundMs / 2);

    const quint16 closedPort = silent.serverPort();
    silent.close();
    a = ask("http://127.0.0.1:" + QByteArray::number(closedPort) + "/link?url=1");
    EXPECT_TRUE(a.failed);
    EXPECT_TRUE(ask("not an address").failed);
}

TEST_F(NetworkRedirectFetcherTest, SendsTheBrowsersUserAgentAndCookies)
{
    // The browser at work, as when the program asks: its store answers only
    // once a page has loaded.
    bool loaded = false;
    host->onDocumentComplete = [&](tess::browser::FrameId) { loaded = true; };
    host->navigate(server.url("/script"));
    ASSERT_TRUE(waitUntil([&] { return loaded; }, kAnswerTimeoutMs));
    setBrowserCookie("sid", "abc", origin());
    setBrowserCookie("other", "x", QUrl(QStringLiteral("http://elsewhere.example/")));
    profile.setHttpUserAgent(QStringLiteral("Tessaroon-test/1.0 (like a browser)"));

    ask(server.url("/link?url=1"));
    const std::string sent = server.cookie();
    EXPECT_NE(sent.find("sid=abc"), std::string::npos) << sent;
    EXPECT_EQ(sent.find("other="), std::string::npos) << sent;
    EXPECT_EQ(server.userAgent(), "Tessaroon-test/1.0 (like a browser)");

    // A cookie the browser drops is no longer sent.
    bool removed = false;
    QObject::connect(profile.cookieStore(), &QWebEngineCookieStore::cookieRemoved, fetcher.get(),
        [&](const QNetworkCookie& c) { removed = removed || c.name() == "sid"; });
    profile.cookieStore()->deleteCookie(QNetworkCookie("sid", "abc"), origin());
    ASSERT_TRUE(waitUntil([&] { return removed; }, kAnswerTimeoutMs));
    ask(server.url("/link?url=2"));
    EXPECT_EQ(server.cookie().find("sid="), std::string::npos) << server.cookie();
}

TEST_F(NetworkRedirectFetcherTest, CancelledRequestsNeverAnswerAndDoneMayDeleteTheFetcher)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    int answers = 0;
    fetcher->fetch("http://127.0.0.1:" + QByteArray::number(silent.serverPort()) + "/",
        [&](RedirectAnswer) { ++answers; });
    fetcher->fetch(server.url("/link?url=1"), [&](RedirectAnswer) { ++answers; });
    fetcher->cancelAll();
    runEventsFor(300);
    EXPECT_EQ(answers, 0);

    bool deleted = false;
    fetcher->fetch(server.url("/link?url=2"), [&](RedirectAnswer a) {
        EXPECT_EQ(a.location, "http://site2.example/");
        fetcher.reset();
        deleted = true;
    });
    EXPECT_TRUE(waitUntil([&] { return deleted; }, kAnswerTimeoutMs));
}
