#include "support/EventLoop.h"
#include "support/LocalPorts.h"

#include "browser/webengine/BrowserRedirectFetcher.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "harvest/RedirectResolver.h"

#include <httplib.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebEngineProfile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using tess::browser::BrowserRedirectFetcher;
using tess::browser::RedirectAnswer;
using tess::browser::WebEngineBrowserHost;
using tess::test::runEventsFor;
using tess::test::waitUntil;

namespace {

constexpr int kAnswerTimeoutMs = 15000;

// A site on 127.0.0.1 answering from a thread of its own, by path, and
// keeping the path and query of every request it had.
class Site final {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    explicit Site(std::map<std::string, Handler> routes)
        : m_routes(std::move(routes))
    {
        m_server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            {
                const std::lock_guard lock(m_mutex);
                m_requests.push_back(req.target);
            }
            const auto found = m_routes.find(req.path);
            if (found != m_routes.end())
                found->second(req, res);
            else
                res.status = 404;
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        if (m_port <= 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~Site()
    {
        m_server.stop();
        m_thread.join();
    }
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    QByteArray url(const std::string& target) const
    {
        return "http://127.0.0.1:" + QByteArray::number(m_port) + QByteArray::fromStdString(target);
    }
    // Those for the pages themselves: the browser asks for an icon too.
    std::vector<std::string> requests() const
    {
        const std::lock_guard lock(m_mutex);
        std::vector<std::string> pages;
        for (const std::string& r : m_requests)
            if (r != "/favicon.ico")
                pages.push_back(r);
        return pages;
    }

private:
    const std::map<std::string, Handler> m_routes;
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
};

Site::Handler redirectTo(std::string location)
{
    return [location](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", location);
    };
}

Site::Handler page(std::string html)
{
    return [html](const httplib::Request&, httplib::Response& res) { res.set_content(html, "text/html"); };
}

class BrowserRedirectFetcherTest : public ::testing::Test {
protected:
    RedirectAnswer ask(const QByteArray& address)
    {
        std::optional<RedirectAnswer> answer;
        fetcher->fetch(address, [&](RedirectAnswer a) { answer = std::move(a); });
        EXPECT_TRUE(waitUntil([&] { return answer.has_value(); }, kAnswerTimeoutMs)) << address.toStdString();
        return answer.value_or(RedirectAnswer {});
    }

    void TearDown() override
    {
        runEventsFor(200);
        EXPECT_TRUE(target.requests().empty()) << target.requests().front();
        fetcher.reset();
        host.reset();
        // The engine writes the profile's last state a moment after the
        // profile is gone; let it land before the folder is removed.
        runEventsFor(500);
    }

    // The target site: whatever leads there must not load it.
    Site target { { { "/t", page("<p>target</p>") } } };
    const std::string targetUrl = target.url("/t?q=1").toStdString();
    Site redirector { {
        { "/chain", redirectTo("/chain2") },
        { "/chain2", redirectTo(targetUrl) },
        { "/script", page(R"(<script>window.location.replace(")" + targetUrl + R"(")</script>)") },
        { "/meta", page(R"(<meta http-equiv="refresh" content="0;url=)" + targetUrl + R"(">)") },
        { "/hop", page(R"(<script>location.href = "/chain2"</script>)") },
        { "/late",
            page(R"(<script>setTimeout(() => location.replace(")" + targetUrl + R"("), 0)</script>)") },
        { "/app", page(R"(<script>location.replace("market://details?id=1")</script>)") },
        { "/stay", page("<p>nowhere to go</p>") },
        { "/n",
            [this](const httplib::Request& req, httplib::Response& res) {
                res.status = 302;
                res.set_header("Location", target.url("/t?q=" + req.get_param_value("to")).toStdString());
            } },
        { "/home",
            [](const httplib::Request&, httplib::Response& res) {
                res.set_header("Set-Cookie", "sid=abc; Path=/");
                res.set_content("<p>results</p>", "text/html");
            } },
        { "/link",
            [this](const httplib::Request& req, httplib::Response& res) {
                if (req.get_header_value("Cookie").find("sid=abc") == std::string::npos) {
                    res.set_content("<p>who are you</p>", "text/html");
                    return;
                }
                res.status = 302;
                res.set_header("Location", targetUrl);
            } },
    } };

    QTemporaryDir profileDir;
    std::unique_ptr<WebEngineBrowserHost> host = std::make_unique<WebEngineBrowserHost>(profileDir.path());
    std::unique_ptr<BrowserRedirectFetcher> fetcher
        = std::make_unique<BrowserRedirectFetcher>(host->profile());
};

} // namespace

TEST_F(BrowserRedirectFetcherTest, FollowsTheRedirectorOnItsHostAndStopsAtTheFirstStepElsewhere)
{
    struct Case {
        std::string path;
        std::vector<std::string> asked; // of the redirector, in order
    };
    const std::vector<Case> cases {
        { "/chain?x=1", { "/chain?x=1", "/chain2" } },
        { "/script", { "/script" } },
        { "/meta", { "/meta" } },
        { "/hop", { "/hop", "/chain2" } },
        { "/late", { "/late" } },
    };
    for (const Case& c : cases) {
        const auto before = qsizetype(redirector.requests().size());
        const RedirectAnswer a = ask(redirector.url(c.path));
        EXPECT_FALSE(a.failed) << c.path;
        EXPECT_EQ(a.status, 302) << c.path;
        EXPECT_EQ(a.location.toStdString(), targetUrl) << c.path;
        const auto all = redirector.requests();
        EXPECT_EQ(std::vector<std::string>(all.begin() + before, all.end()), c.asked) << c.path;
    }
}

TEST_F(BrowserRedirectFetcherTest, SendsTheCookiesAnEarlierPageSetInTheBrowser)
{
    EXPECT_EQ(ask(redirector.url("/link")).status, 200);

    bool loaded = false;
    host->onDocumentComplete = [&](tess::browser::FrameId) { loaded = true; };
    host->navigate(redirector.url("/home"));
    ASSERT_TRUE(waitUntil([&] { return loaded; }, kAnswerTimeoutMs));

    const RedirectAnswer a = ask(redirector.url("/link"));
    EXPECT_EQ(a.status, 302);
    EXPECT_EQ(a.location.toStdString(), targetUrl);
}

TEST_F(BrowserRedirectFetcherTest, APageThatGoesNowhereOrFailsSaysSo)
{
    RedirectAnswer a = ask(redirector.url("/stay"));
    EXPECT_FALSE(a.failed);
    EXPECT_EQ(a.status, 200);
    EXPECT_TRUE(a.body.contains("nowhere to go")) << a.body.toStdString();

    a = ask(redirector.url("/gone"));
    EXPECT_FALSE(a.failed);
    EXPECT_EQ(a.status, 404);

    // A target of no web scheme is told as it is; the resolver refuses it.
    a = ask(redirector.url("/app"));
    EXPECT_EQ(a.status, 302);
    EXPECT_EQ(a.location, "market://details?id=1");

    EXPECT_TRUE(ask("http://127.0.0.1:" + QByteArray::number(tess::test::closedLocalPort()) + "/x").failed);
    EXPECT_TRUE(ask("not an address").failed);
    // The fetcher goes on after failures.
    EXPECT_EQ(ask(redirector.url("/script")).location.toStdString(), targetUrl);
}

TEST_F(BrowserRedirectFetcherTest, ARedirectorThatNeverAnswersFailsAtTheBound)
{
    QTcpServer silent; // takes the connection and never says a word
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    fetcher->setBoundMs(500);
    QElapsedTimer clock;
    clock.start();
    const RedirectAnswer a = ask("http://127.0.0.1:" + QByteArray::number(silent.serverPort()) + "/link");
    EXPECT_TRUE(a.failed);
    EXPECT_GE(clock.elapsed(), 500);
    EXPECT_LT(clock.elapsed(), BrowserRedirectFetcher::kBoundMs / 2);
    EXPECT_EQ(ask(redirector.url("/chain")).location.toStdString(), targetUrl);
}

TEST_F(BrowserRedirectFetcherTest, ManyRequestsAtOnceAllAnswerEachItsOwn)
{
    std::map<int, RedirectAnswer> answers;
    for (int i = 0; i < 5; ++i)
        fetcher->fetch(redirector.url("/n?to=" + std::to_string(i)),
            [&answers, i](RedirectAnswer a) { answers[i] = std::move(a); });
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 5; }, kAnswerTimeoutMs));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(answers[i].location, target.url("/t?q=" + std::to_string(i))) << i;
}

TEST_F(BrowserRedirectFetcherTest, CancelledRequestsNeverAnswerAndDoneMayDeleteTheFetcher)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    int answers = 0;
    const QByteArray silentUrl = "http://127.0.0.1:" + QByteArray::number(silent.serverPort()) + "/";
    fetcher->fetch(silentUrl, [&](RedirectAnswer) { ++answers; });
    fetcher->fetch(redirector.url("/script"), [&](RedirectAnswer) { ++answers; });
    fetcher->fetch(redirector.url("/chain"), [&](RedirectAnswer) { ++answers; }); // waits for a page
    runEventsFor(50);
    fetcher->cancelAll();
    runEventsFor(500);
    EXPECT_EQ(answers, 0);

    bool deleted = false;
    fetcher->fetch(redirector.url("/n?to=2"), [&](RedirectAnswer a) {
        EXPECT_EQ(a.location, target.url("/t?q=2"));
        fetcher.reset();
        deleted = true;
    });
    EXPECT_TRUE(waitUntil([&] { return deleted; }, kAnswerTimeoutMs));
}

TEST_F(BrowserRedirectFetcherTest, ResolvesABatchInOrderThroughTheResolver)
{
    tess::harvest::RedirectResolver resolver(*fetcher);
    const QList<QByteArray> links { redirector.url("/script"), redirector.url("/stay"),
        redirector.url("/chain"), redirector.url("/app"), redirector.url("/meta"),
        redirector.url("/n?to=3") };
    std::optional<QList<QByteArray>> targets;
    resolver.resolveAll(links, [&](QList<QByteArray> t) { targets = std::move(t); });
    ASSERT_TRUE(waitUntil([&] { return targets.has_value(); }, kAnswerTimeoutMs));
    const QByteArray to = QByteArray::fromStdString(targetUrl);
    EXPECT_EQ(*targets, (QList<QByteArray> { to, "", to, "", to, target.url("/t?q=3") }));
}
