#include "harvest/PageReader.h"
#include "harvest/RequestAddress.h"
#include "text/Gbk.h"

#include <gtest/gtest.h>

using namespace tess::harvest;
using tess::browser::PageLink;
using tess::browser::PageSnapshot;

TEST(RuleRequests, TodaysRulesAskOverHttpsUnlessTheEngineAddressNamesAScheme)
{
    const QByteArray keyword = tess::text::toGbk(u"中国");
    struct Case {
        const RuleSet& rules;
        const char* engine;
        const char* address;
    } cases[] = {
        { classicRules(), "www.baidu.com",
            "http://www.baidu.com/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=%D6%D0%B9%FA&pn=20&cl=3" },
        { todayRules(), "www.baidu.com", "https://www.baidu.com/s?ie=utf-8&wd=%E4%B8%AD%E5%9B%BD&pn=20" },
        { todayRules(), "http://127.0.0.1:8642/",
            "http://127.0.0.1:8642/s?ie=utf-8&wd=%E4%B8%AD%E5%9B%BD&pn=20" },
        { classicRules(), "https://localhost",
            "https://localhost/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=%D6%D0%B9%FA&pn=20&cl=3" },
    };
    for (const auto& c : cases) {
        const auto engine = parseEngineAddress(c.engine);
        ASSERT_TRUE(engine) << c.engine;
        EXPECT_EQ(
            requestAddress(c.rules, buildRequestBase(c.rules, *engine, keyword), 2), QByteArray(c.address));
    }
}

TEST(RuleRequests, EngineAddressesAreAHostWithAtMostAWebSchemeAndAPort)
{
    for (const char* bad :
        { "", "ftp://h", "http://", "h/path", "h?x", "a b", "user@h", ":8642", "http://h/x" })
        EXPECT_FALSE(parseEngineAddress(bad)) << bad;
    const auto plain = parseEngineAddress("127.0.0.1:8642");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->scheme, QByteArray());
    EXPECT_EQ(plain->host, QByteArray("127.0.0.1:8642"));
    EXPECT_EQ(parseEngineAddress("https://[::1]:9/")->host, QByteArray("[::1]:9"));
}

TEST(PageRules, TodaysRulesTakeWebLinksOffTheEnginesHostsAndKnowItsRedirector)
{
    const PageRules rules(todayRules(), "127.0.0.1:8642", "http://127.0.0.1:8642/baidu?word=x&pn=0");
    struct Case {
        const char* href;
        LinkKind kind;
    } cases[] = {
        { "http://blog.example.org/a", LinkKind::Outbound },
        { "https://www.example-card.cn/p?q=1", LinkKind::Outbound },
        { "http://127.0.0.1:8642/link?url=AbC", LinkKind::Redirect },
        { "HTTP://127.0.0.1:8642/link?url=AbC", LinkKind::Skip }, // prefixes are exact
        { "http://127.0.0.1:9999/link?url=AbC", LinkKind::Skip }, // another port, same host
        { "http://127.0.0.1:8642/linked?url=1", LinkKind::Skip },
        { "http://127.0.0.1:8642/baidu?word=x&pn=10", LinkKind::Skip },
        { "http://www.baidu.com/link?url=AbC", LinkKind::Skip }, // not the engine in use
        { "http://cache.baiducontent.com/c?m=9", LinkKind::Skip },
        { "https://baike.baidu.com/item/x", LinkKind::Skip },
        { "http://www.hao123.com/", LinkKind::Skip },
        { "http://notbaidu.com/", LinkKind::Outbound }, // not a subdomain
        { "http://baidu.com.example.net/", LinkKind::Outbound },
        { "javascript:;", LinkKind::Skip },
        { "mailto:a@b.cn", LinkKind::Skip },
        { "ftp://files.example.org/", LinkKind::Skip },
    };
    for (const auto& c : cases)
        EXPECT_EQ(rules.classify(c.href), c.kind) << c.href;

    // The classic rules are the page's domain anywhere, plain http only.
    const PageRules classic(classicRules(), "www.baidu.com", "http://www.baidu.com/baidu?word=x");
    EXPECT_EQ(classic.classify("http://www.baidu.com/link?url=1"), LinkKind::Skip);
    EXPECT_EQ(classic.classify("http://cache.baiducontent.com/c?m=9"), LinkKind::Outbound);
    EXPECT_EQ(classic.classify("http://x.cn/?from=baidu.com"), LinkKind::Skip);
    EXPECT_EQ(classic.classify("https://x.cn/"), LinkKind::Skip);
}

TEST(PageRules, HostsAreLowerCaseWithTheirPortAndWithoutCredentials)
{
    struct Case {
        const char* address;
        const char* host;
    } cases[] = {
        { "http://A.Example.ORG:81/x", "a.example.org:81" },
        { "https://u:p@h.cn?q", "h.cn" },
        { "http://h.cn#top", "h.cn" },
        { "mailto:a@b.cn", "" },
        { "//h.cn/x", "" },
        { "", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(hostOf(c.address), QByteArray(c.host)) << c.address;
}

TEST(PageRules, PagersAndVerificationPagesFollowTheRuleSet)
{
    PageSnapshot page;
    page.location = QStringLiteral("https://www.baidu.com/s?wd=x");
    page.bodyText = QStringLiteral("1 [2] [3] 下一页");
    page.links = { PageLink { QStringLiteral("https://www.baidu.com/s?pn=10"), QStringLiteral("下一页 >") } };
    EXPECT_TRUE(hasFurtherPage(classicRules(), page));
    EXPECT_TRUE(hasFurtherPage(todayRules(), page));
    page.links.first().text = QStringLiteral("<上一页");
    EXPECT_FALSE(hasFurtherPage(todayRules(), page));
    page.bodyText = QStringLiteral("<上一页45678910111213下一页>"); // text, not a link
    EXPECT_FALSE(hasFurtherPage(todayRules(), page));
    EXPECT_FALSE(hasFurtherPage(classicRules(), page));

    for (const RuleSet* rules : { &classicRules(), &todayRules() }) {
        EXPECT_FALSE(isVerificationPage(*rules, page));
        PageSnapshot byHost = page;
        byHost.location = QStringLiteral("https://wappass.baidu.com/static/captcha/tuxing.html?ak=1");
        EXPECT_TRUE(isVerificationPage(*rules, byHost));
        PageSnapshot byTitle = page;
        byTitle.location = QStringLiteral("http://127.0.0.1:8642/static/captcha/index.html");
        byTitle.title = QStringLiteral("百度安全验证");
        EXPECT_TRUE(isVerificationPage(*rules, byTitle));
    }
}

TEST(PageRules, OnlyWellFormedWebAddressesWithoutControlCharactersAreTakenAsTargets)
{
    const struct {
        QByteArray address;
        bool taken;
    } cases[] = {
        { "http://a.example/", true },
        { "https://a.example:8443/x?q=1|2&w={x}", true }, // what a browser escapes on sending
        { "http://a.example/\xD6\xD0\xCE\xC4 page", true }, // GBK and a space
        { "http://a.example/\r\nhttp://www.INJECTED-ROW.com/", false },
        { "http://a.example/\tinjected title", false },
        { "http://a.example/\x01", false },
        { "http://a.example/\x7F", false },
        { "http://a.example/%zz", false },
        { "http://a.example:99999/", false },
        { "http:///no-host", false },
        { "ftp://a.example/", false },
        { "//a.example/", false },
        { "/relative", false },
        { "", false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(isAcceptableTarget(c.address), c.taken) << c.address.toStdString();
}
