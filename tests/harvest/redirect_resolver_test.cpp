#include "harvest/RedirectResolver.h"
#include "support/FakeRedirectFetcher.h"

#include <gtest/gtest.h>

#include <optional>

using tess::browser::RedirectAnswer;
using tess::harvest::RedirectResolver;
using tess::harvest::redirectTarget;
using tess::test::FakeRedirectFetcher;

namespace {

const QByteArray kAsked = "http://www.engine.example/link?url=TOKEN";

RedirectAnswer moved(int status, const QByteArray& location = {})
{
    RedirectAnswer a;
    a.status = status;
    a.location = location;
    return a;
}

RedirectAnswer page(const QByteArray& body, int status = 200)
{
    RedirectAnswer a = moved(status);
    a.body = body;
    return a;
}

RedirectAnswer failed()
{
    RedirectAnswer a = moved(302, "http://a.example/");
    a.failed = true;
    return a;
}

struct Case {
    const char* what;
    RedirectAnswer answer;
    QByteArray target;
};

void check(const std::vector<Case>& cases)
{
    for (const Case& c : cases)
        EXPECT_EQ(redirectTarget(c.answer, kAsked), c.target) << c.what;
}

} // namespace

TEST(RedirectTarget, ARedirectStatusLeadsToItsLocationMadeAbsolute)
{
    check({
        { "302 absolute", moved(302, "http://blog.example.net/a/b?c=1"), "http://blog.example.net/a/b?c=1" },
        { "302 relative", moved(302, "/jump?to=1"), "http://www.engine.example/jump?to=1" },
        { "302 scheme-relative", moved(302, "//x.example/p"), "http://x.example/p" },
        { "301 padded", moved(301, " http://a.example/ "), "http://a.example/" },
        { "307", moved(307, "http://c.example/"), "http://c.example/" },
        // Raw GBK bytes go out percent-encoded byte for byte, never re-read.
        { "raw bytes", moved(302, "http://e.example/s?w=\xD6\xD0 x"), "http://e.example/s?w=%D6%D0%20x" },
        { "encoded kept", moved(302, "http://e.example/s?w=%D6%D0"), "http://e.example/s?w=%D6%D0" },
        { "302 without Location", moved(302), "" },
        { "304 is no redirect", moved(304, "http://f.example/"), "" },
    });
}

TEST(RedirectTarget, APageLeadsOnByItsMetaRefresh)
{
    check({
        { "quoted URL with entity",
            page(
                R"(<html><head><meta http-equiv="refresh" content="0;URL='http://a.example/x?p=1&amp;q=2'"></head>)"),
            "http://a.example/x?p=1&q=2" },
        { "upper case, unquoted", page("<META HTTP-EQUIV=Refresh CONTENT=\"0; url=http://b.example/\">"),
            "http://b.example/" },
        { "no URL=", page(R"(<meta http-equiv="refresh" content="0;http://c.example/">)"),
            "http://c.example/" },
        { "attributes swapped, single quotes",
            page(R"(<meta content='2; URL="http://d.example/"' http-equiv='refresh' />)"),
            "http://d.example/" },
        { "relative", page(R"(<meta http-equiv="refresh" content="0;url=/there">)"),
            "http://www.engine.example/there" },
        { "after other metas, in GBK text",
            page(
                "<meta charset=gbk><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
                "<title>\xD6\xD0</title><meta http-equiv=\"refresh\" content=\"0;URL='http://e.example/'\">"),
            "http://e.example/" },
        { "refresh without an address", page(R"(<meta http-equiv="refresh" content="5">)"), "" },
        { "meta before script",
            page(R"(<meta http-equiv="refresh" content="0;url=http://m.example/">)"
                 R"(<script>location.replace("http://s.example/")</script>)"),
            "http://m.example/" },
    });
}

TEST(RedirectTarget, APageLeadsOnByTheFirstLocationItsScriptSets)
{
    check({
        { "location.replace", page(R"(<script>location.replace("http://a.example/1")</script>)"),
            "http://a.example/1" },
        { "location.href",
            page(R"(<script type="text/javascript">location.href="http://c.example/3";</script>)"),
            "http://c.example/3" },
        { "window.location.href", page("<SCRIPT>window.location.href = 'http://d.example/4'</SCRIPT>"),
            "http://d.example/4" },
        { "location =", page("<script>var x = 1; location = 'http://e.example/5';</script>"),
            "http://e.example/5" },
        { "escaped slashes", page(R"(<script>location.replace("http:\/\/f.example\/6")</script>)"),
            "http://f.example/6" },
        { "comparison passed over",
            page(R"(<script>if (location == "x") {} mylocation = "y"; location.href = "/7"</script>)"),
            "http://www.engine.example/7" },
        { "first of two",
            page(R"(<script>location.href="http://g.example/"</script>)"
                 R"(<script>location.href="http://h.example/"</script>)"),
            "http://g.example/" },
        { "a link's handler is not the page's script",
            page(R"(<a onclick="location.href='http://i.example/'">go</a>)"), "" },
    });
}

TEST(RedirectTarget, ErrorsAndTargetsThatAreNoWebAddressLeadNowhere)
{
    check({
        { "failed", failed(), "" },
        { "plain page", page("<html><body>\xC4\xFA\xBA\xC3</body></html>"), "" },
        { "404 with refresh", page(R"(<meta http-equiv="refresh" content="0;url=http://b.example/">)", 404),
            "" },
        { "500", page(R"(<script>location.href="http://c.example/"</script>)", 500), "" },
        { "javascript Location", moved(302, "javascript:alert(1)"), "" },
        { "ftp Location", moved(301, "ftp://files.example/x"), "" },
        { "mailto refresh", page(R"(<meta http-equiv="refresh" content="0;url=mailto:a@b.example">)"), "" },
        { "javascript in script", page(R"(<script>location.href='javascript:void(0)'</script>)"), "" },
        { "unterminated string", page("<script>location.href='http://d.example/\n';</script>"), "" },
        { "CR LF in Location", moved(302, "http://e.example/\r\nhttp://www.INJECTED-ROW.com/\tx"), "" },
        { "TAB in refresh", page("<meta http-equiv=\"refresh\" content=\"0;url=http://f.example/\tx\">"),
            "" },
        { "DEL in script", page("<script>location.href='http://g.example/\x7F'</script>"), "" },
        { "no host", moved(302, "http:///path"), "" },
        { "port out of range", moved(302, "http://h.example:99999/"), "" },
    });
}

class RedirectResolverTest : public ::testing::Test {
protected:
    static QByteArray link(int i) { return "http://www.engine.example/link?url=" + QByteArray::number(i); }
    static QByteArray site(int i) { return "http://site" + QByteArray::number(i) + ".example/"; }
    static QList<QByteArray> links(int n)
    {
        QList<QByteArray> out;
        for (int i = 0; i < n; ++i)
            out << link(i);
        return out;
    }
    void resolve(const QList<QByteArray>& addresses)
    {
        resolver.resolveAll(addresses, [this](QList<QByteArray> targets) {
            ++doneCalls;
            result = std::move(targets);
        });
    }

    FakeRedirectFetcher fetcher;
    RedirectResolver resolver { fetcher };
    std::optional<QList<QByteArray>> result;
    int doneCalls = 0;
};

TEST_F(RedirectResolverTest, TargetsKeepTheOrderOfTheLinksWhateverOrderTheAnswersComeIn)
{
    resolve(links(5));
    // Always the newest request first, so every answer overtakes an older one.
    while (!fetcher.pending.empty()) {
        const QByteArray address = fetcher.pending.back().address;
        const int i = address.mid(address.lastIndexOf('=') + 1).toInt();
        if (i == 1)
            fetcher.answer(address, failed());
        else if (i == 3)
            fetcher.answer(address, page("nothing here"));
        else
            fetcher.redirect(address, site(i));
    }
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, (QList<QByteArray> { site(0), "", site(2), "", site(4) }));
    EXPECT_EQ(doneCalls, 1);
    EXPECT_EQ(fetcher.asked, links(5)); // each asked once, in page order
    EXPECT_FALSE(resolver.busy());
}

TEST_F(RedirectResolverTest, NeverMoreThanTwoRequestsAreUnderWay)
{
    resolve(links(10));
    EXPECT_EQ(fetcher.pending.size(), 2u);
    EXPECT_TRUE(resolver.busy());
    while (!fetcher.pending.empty())
        fetcher.redirect(fetcher.pending.front().address, "/x");
    EXPECT_EQ(fetcher.mostInFlight, RedirectResolver::kMaxInFlight);
    EXPECT_EQ(fetcher.asked.size(), 10);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->size(), 10);
}

TEST_F(RedirectResolverTest, AnEmptyPageIsDoneAtOnceWithoutAsking)
{
    resolve({});
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->isEmpty());
    EXPECT_TRUE(fetcher.asked.isEmpty());
    EXPECT_FALSE(resolver.busy());
}

TEST_F(RedirectResolverTest, CancelEndsTheRequestsAndDropsTheBatch)
{
    resolve(links(3));
    resolver.cancel();
    EXPECT_EQ(fetcher.cancels, 1);
    EXPECT_FALSE(resolver.busy());
    // An answer that comes all the same changes nothing.
    fetcher.cancelled.front().done(moved(302, "http://late.example/"));
    EXPECT_EQ(doneCalls, 0);
    EXPECT_EQ(fetcher.asked.size(), 2);

    // The next page resolves as usual, and late answers of the old batch
    // do not reach it.
    resolve({ link(7) });
    fetcher.cancelled.back().done(moved(302, "http://late.example/"));
    fetcher.redirect(link(7), site(7));
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, QList<QByteArray> { site(7) });
}

TEST_F(RedirectResolverTest, DoneMayStartTheNextPageCancelOrDeleteTheResolver)
{
    // The next page from within done.
    resolver.resolveAll({ link(1) }, [this](QList<QByteArray>) { resolve({ link(2) }); });
    fetcher.redirect(link(1), site(1));
    EXPECT_TRUE(resolver.busy());
    fetcher.redirect(link(2), site(2));
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, QList<QByteArray> { site(2) });

    // Cancel from within done: nothing is under way any more.
    resolver.resolveAll({ link(3) }, [this](QList<QByteArray>) { resolver.cancel(); });
    fetcher.redirect(link(3), site(3));
    EXPECT_FALSE(resolver.busy());

    // The owner deletes the resolver from within done.
    auto own = std::make_unique<RedirectResolver>(fetcher);
    bool called = false;
    own->resolveAll({ link(4) }, [&](QList<QByteArray> targets) {
        called = targets == QList<QByteArray> { site(4) };
        own.reset();
    });
    fetcher.redirect(link(4), site(4));
    EXPECT_TRUE(called);
    EXPECT_FALSE(own);
}
