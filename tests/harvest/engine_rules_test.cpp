// The built-in sets of the engines beyond the classic pages: how each asks
// for its pages, where its links lead, when it has a further page and what
// its block page looks like, on made-up pieces of their pages.
#include "harvest/LinkTarget.h"
#include "harvest/PageHarvest.h"
#include "harvest/PageReader.h"
#include "harvest/RequestAddress.h"
#include "harvest/RuleCatalog.h"
#include "text/Gbk.h"

#include <QUrl>

#include <gtest/gtest.h>

using namespace tess::harvest;
using tess::browser::PageLink;
using tess::browser::PageSnapshot;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray base64Url(const QByteArray& bytes, bool padded)
{
    QByteArray::Base64Options options = QByteArray::Base64UrlEncoding;
    if (!padded)
        options |= QByteArray::OmitTrailingEquals;
    return bytes.toBase64(options);
}

// A link as the browser hands it over: its written href resolved against
// the page's address.
PageLink resolved(const QString& page, const QString& written, const QString& carried = {})
{
    return { QUrl(page).resolved(QUrl(written)).toString(QUrl::FullyEncoded), QStringLiteral("标题"),
        carried };
}

} // namespace

TEST(EngineRules, TheBuiltInSetsComeInTheirOrderUnderTheirNames)
{
    QStringList names;
    for (const RuleSet& r : builtInRuleSets())
        names.append(r.name + u'=' + r.label);
    EXPECT_EQ(names.join(u' '), QStringLiteral("classic=经典 today=现行 360=360搜索 sogou=搜狗 bing=必应"));
    EXPECT_EQ(&threeSixtyRules(), &builtInRuleSets()[2]);
    EXPECT_EQ(&sogouRules(), &builtInRuleSets()[3]);
    EXPECT_EQ(&bingRules(), &builtInRuleSets()[4]);
}

TEST(EngineRules, EachSetAsksForItsFirstThreePagesOnItsOwnHost)
{
    const QByteArray keyword = tess::text::toGbk(u"中国");
    const struct {
        const RuleSet& rules;
        const char* pages[3];
    } cases[] = {
        { classicRules(),
            { "http://www.baidu.com/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=%D6%D0%B9%FA&pn=0&cl=3",
                "http://www.baidu.com/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=%D6%D0%B9%FA&pn=10&cl=3",
                "http://www.baidu.com/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=%D6%D0%B9%FA&pn=20&cl=3" } },
        { todayRules(),
            { "https://www.baidu.com/s?ie=utf-8&wd=%E4%B8%AD%E5%9B%BD&pn=0",
                "https://www.baidu.com/s?ie=utf-8&wd=%E4%B8%AD%E5%9B%BD&pn=10",
                "https://www.baidu.com/s?ie=utf-8&wd=%E4%B8%AD%E5%9B%BD&pn=20" } },
        { threeSixtyRules(),
            { "https://www.so.com/s?ie=utf-8&q=%E4%B8%AD%E5%9B%BD&pn=1&src=srp_paging",
                "https://www.so.com/s?ie=utf-8&q=%E4%B8%AD%E5%9B%BD&pn=2&src=srp_paging",
                "https://www.so.com/s?ie=utf-8&q=%E4%B8%AD%E5%9B%BD&pn=3&src=srp_paging" } },
        { sogouRules(),
            { "https://www.sogou.com/web?query=%E4%B8%AD%E5%9B%BD&page=1&ie=utf8",
                "https://www.sogou.com/web?query=%E4%B8%AD%E5%9B%BD&page=2&ie=utf8",
                "https://www.sogou.com/web?query=%E4%B8%AD%E5%9B%BD&page=3&ie=utf8" } },
        { bingRules(),
            { "https://cn.bing.com/search?q=%E4%B8%AD%E5%9B%BD&first=1&FORM=PERE",
                "https://cn.bing.com/search?q=%E4%B8%AD%E5%9B%BD&first=11&FORM=PERE",
                "https://cn.bing.com/search?q=%E4%B8%AD%E5%9B%BD&first=21&FORM=PERE" } },
    };
    for (const auto& c : cases) {
        const QByteArray base = buildRequestBase(c.rules, { {}, c.rules.defaultHost }, keyword);
        for (int page = 0; page < 3; ++page)
            EXPECT_EQ(requestAddress(c.rules, base, page), QByteArray(c.pages[page]))
                << c.rules.name.toStdString() << " page " << page + 1;
    }
}

TEST(EngineRules, BaiduNamesTodaysSetUnlessAFileMadeASetOfThatName)
{
    RuleCatalog catalog;
    EXPECT_EQ(catalog.find(QStringLiteral("baidu")), catalog.find(QStringLiteral("today")));
    EXPECT_FALSE(catalog.names().contains(QStringLiteral("baidu")));
    EXPECT_EQ(findRuleSet(builtInRuleSets(), QStringLiteral("baidu")), &todayRules());
    EXPECT_EQ(findRuleSet(builtInRuleSets(), QStringLiteral("Baidu")), nullptr);

    RuleSet own = classicRules();
    own.name = QStringLiteral("baidu");
    const QList<RuleSet> withOwn { todayRules(), own };
    EXPECT_EQ(findRuleSet(withOwn, QStringLiteral("baidu")), &withOwn[1]);
}

TEST(LinkTarget, UrlSafeBase64IsReadWithOrWithoutItsPadding)
{
    const struct {
        const char* encoded;
        std::optional<QByteArray> decoded;
    } cases[] = {
        { "", QByteArray() },
        { "YQ", QByteArray("a") },
        { "YQ==", QByteArray("a") },
        { "YWI", QByteArray("ab") },
        { "YWI=", QByteArray("ab") },
        { "YWJj", QByteArray("abc") },
        { "-_-_", QByteArray("\xFB\xFF\xBF") },
        { "+/+/", std::nullopt }, // the other alphabet
        { "YQ=", std::nullopt }, // padding short of a whole group
        { "YQ===", std::nullopt },
        { "YWJj====", std::nullopt },
        { "Y", std::nullopt }, // no encoding is this long
        { "YQ==YQ==", std::nullopt }, // padding inside
        { "YW Jj", std::nullopt },
        { "YWJj\n", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeBase64Url(c.encoded), c.decoded) << c.encoded;
}

TEST(LinkTarget, PathsAndQueryValuesOfAbsoluteAddresses)
{
    const QByteArray bing = "https://www.bing.com/ck/a?!&&p=12&u=a1aHR0&ntb=1#u=x";
    EXPECT_EQ(pathOf(bing), QByteArray("/ck/a"));
    EXPECT_EQ(queryValue(bing, "u"), QByteArray("a1aHR0"));
    EXPECT_EQ(queryValue(bing, "p"), QByteArray("12"));
    EXPECT_EQ(queryValue(bing, "ntb"), QByteArray("1"));
    EXPECT_EQ(queryValue(bing, "x"), std::nullopt);
    EXPECT_EQ(queryValue("http://h/link?url=&url=b", "url"), QByteArray());
    EXPECT_EQ(queryValue("http://h/link?xurl=a", "url"), std::nullopt);
    EXPECT_EQ(queryValue("http://h/link#?url=a", "url"), std::nullopt);
    EXPECT_EQ(queryValue("http://h?url=a", "url"), QByteArray("a"));
    EXPECT_EQ(pathOf("http://h?url=a"), QByteArray());
    EXPECT_EQ(pathOf("http://h:81/a/b?c#d"), QByteArray("/a/b"));
    EXPECT_EQ(pathOf("/link?url=a"), QByteArray()); // not absolute
}

namespace {

// What one link of a result page gives: its row's address, "wait" for a
// redirect to be asked, or nothing; and the targets refused.
struct LinkCase {
    const char* what;
    const RuleSet& rules;
    const char* engineHost;
    PageLink link;
    const char* row; // null: no row
    int refused = 0;
};

void expectRow(const LinkCase& c, const QString& page)
{
    PageSnapshot snapshot;
    snapshot.location = page;
    snapshot.links = { c.link };
    const PageHarvest harvest = harvestPage(snapshot, c.rules, c.engineHost);
    EXPECT_EQ(harvest.refusedTargets, c.refused) << c.what;
    if (!c.row) {
        EXPECT_TRUE(harvest.rows.isEmpty()) << c.what << ": " << harvest.rows.value(0).address.toStdString();
        return;
    }
    ASSERT_EQ(harvest.rows.size(), 1) << c.what;
    const PageRow& row = harvest.rows.first();
    if (QByteArray(c.row) == "wait") {
        EXPECT_EQ(row.redirect, 0) << c.what;
        EXPECT_EQ(harvest.redirects, QList<QByteArray> { tess::text::toGbk(c.link.href) }) << c.what;
    } else {
        EXPECT_EQ(row.redirect, -1) << c.what;
        EXPECT_EQ(row.address, QByteArray(c.row)) << c.what;
    }
}

} // namespace

TEST(EngineRules, ALinksTargetComesFromItsAttributeThenItsParameterThenItsRedirect)
{
    const QString soPage = QStringLiteral("https://www.so.com/s?ie=utf-8&q=x&pn=1");
    const QString target = QStringLiteral("https://s360.k1-0.example.com/p/0.html");
    const LinkCase cases[] = {
        { "attribute", threeSixtyRules(), "www.so.com",
            resolved(soPage, QStringLiteral("http://www.so.com/link?m=tok"), target),
            "https://s360.k1-0.example.com/p/0.html" },
        { "attribute before parameter", threeSixtyRules(), "www.so.com",
            resolved(soPage, QStringLiteral("/link?url=http%3A%2F%2Fother.example.com%2F"), target),
            "https://s360.k1-0.example.com/p/0.html" },
        { "plain parameter", threeSixtyRules(), "www.so.com",
            resolved(soPage, QStringLiteral("/link?url=https%3A%2F%2Fa.example.com%2Fp%3Fx%3D1%26y%3D2")),
            "https://a.example.com/p?x=1&y=2" },
        { "plain parameter beyond ASCII", threeSixtyRules(), "www.so.com",
            resolved(soPage, QStringLiteral("/link?url=http%3A%2F%2Fa.example.com%2F%E4%B8%AD%20x+y")),
            "http://a.example.com/%E4%B8%AD%20x+y" },
        { "plain parameter to the engine", threeSixtyRules(), "www.so.com",
            resolved(soPage, QStringLiteral("/link?url=https%3A%2F%2Fwenda.so.com%2Fq%2F1")), nullptr },
        { "plain parameter, no address", threeSixtyRules(), "www.so.com",
            resolved(soPage, QStringLiteral("/link?url=javascript%3Avoid(0)")), nullptr, 1 },
        { "parameter on someone else's host", threeSixtyRules(), "www.so.com",
            resolved(soPage, QStringLiteral("http://b.example.net/link?url=http%3A%2F%2Fc.example.net%2F")),
            "http://b.example.net/link?url=http%3A%2F%2Fc.example.net%2F" },
        { "redirect without attribute", threeSixtyRules(), "www.so.com",
            resolved(soPage, QStringLiteral("http://www.so.com/link?m=tok")), "wait" },
        { "snapshot cache", threeSixtyRules(), "www.so.com",
            resolved(soPage, QStringLiteral("http://c.360webcache.com/c?m=1"), target), nullptr },
    };
    for (const LinkCase& c : cases)
        expectRow(c, soPage);
}

TEST(EngineRules, BingsClickThroughCarriesItsTargetInBase64)
{
    const QByteArray target = "https://k7-1.example.org/bing/1?x=1&y=2";
    // Lengths that need no padding, one "=" and two.
    const QByteArray targets[] = { target, target + "3", target + "34" };
    const QString page = QStringLiteral("http://127.0.0.1:8642/search?q=x&first=1");
    auto clickThrough = [](const QString& host, const QByteArray& u) {
        return QStringLiteral("%1/ck/a?!&&p=4f2a&ptn=3&ver=2&hsh=4&u=%2&ntb=1")
            .arg(host, QString::fromLatin1(u));
    };
    const QString bing = QStringLiteral("https://www.bing.com");
    const QString local = QStringLiteral("http://127.0.0.1:8642");
    for (const QByteArray& t : targets) {
        for (const bool padded : { false, true }) {
            const QByteArray u = "a1" + base64Url(t, padded).replace("=", "%3D");
            for (const QString& host : { bing, local }) {
                const LinkCase c { "base64url", bingRules(), "127.0.0.1:8642",
                    resolved(page, clickThrough(host, u)), t.constData() };
                expectRow(c, page);
            }
        }
    }
    const LinkCase cases[] = {
        { "not base64", bingRules(), "127.0.0.1:8642", resolved(page, clickThrough(bing, "a1!!!!")), nullptr,
            1 },
        { "without its prefix", bingRules(), "127.0.0.1:8642",
            resolved(page, clickThrough(bing, base64Url(target, false))), nullptr, 1 },
        { "control characters", bingRules(), "127.0.0.1:8642",
            resolved(page, clickThrough(bing, "a1" + base64Url("http://a.example/\r\nx", false))), nullptr,
            1 },
        { "to the engine", bingRules(), "127.0.0.1:8642",
            resolved(page, clickThrough(bing, "a1" + base64Url("https://www.bing.com/search?q=1", false))),
            nullptr },
        // On the engine host it is a redirect link too: asked when its
        // parameter says nothing.
        { "not base64, asked", bingRules(), "127.0.0.1:8642", resolved(page, clickThrough(local, "a1@@")),
            "wait" },
        { "direct", bingRules(), "127.0.0.1:8642", resolved(page, QString::fromLatin1(target)),
            target.constData() },
    };
    for (const LinkCase& c : cases)
        expectRow(c, page);
}

TEST(EngineRules, SogousRelativeRedirectIsAskedUnlessItsContainerCarriesTheTarget)
{
    for (const char* host : { "www.sogou.com", "127.0.0.1:8642" }) {
        const QString page = QStringLiteral("%1://%2/web?query=x&page=1&ie=utf8")
                                 .arg(QLatin1String(host[0] == 'w' ? "https" : "http"), QLatin1String(host));
        const LinkCase cases[] = {
            { "relative redirect", sogouRules(), host, resolved(page, QStringLiteral("/link?url=tok")),
                "wait" },
            { "container's attribute", sogouRules(), host,
                resolved(page, QStringLiteral("/link?url=tok"),
                    QStringLiteral("http://www.k2-1.sogou-sample.example.net/a/1")),
                "http://www.k2-1.sogou-sample.example.net/a/1" },
            { "vertical card", sogouRules(), host,
                resolved(page, QStringLiteral("http://y.qq.example.com/song")),
                "http://y.qq.example.com/song" },
            { "the engine's own", sogouRules(), host,
                resolved(page, QStringLiteral("https://pic.sogou.com/pics?query=x")), nullptr },
        };
        for (const LinkCase& c : cases)
            expectRow(c, page);
    }
}

TEST(EngineRules, APagerLinkIsKnownByItsTextIdOrClass)
{
    auto link = [](const char16_t* text, const char16_t* id, const char16_t* classes) {
        return PageLink { QStringLiteral("https://e.example/s?pn=2"), QString::fromUtf16(text), {},
            QString::fromUtf16(id), QString::fromUtf16(classes) };
    };
    const struct {
        const RuleSet& rules;
        PageLink link;
        bool further;
    } cases[] = {
        { todayRules(), link(u"下一页 >", u"", u""), true },
        { todayRules(), link(u"< 上一页", u"", u"n"), false },
        { threeSixtyRules(), link(u"下一页", u"snext", u""), true },
        { threeSixtyRules(), link(u"下一页", u"", u"snext"), false }, // a class, not the id
        { threeSixtyRules(), link(u"2", u"snext2", u""), false },
        { sogouRules(), link(u"下一页", u"sogou_next", u"np"), true },
        { sogouRules(), link(u"下一页", u"sogou_page_2", u"np"), false },
        { bingRules(), link(u"", u"", u"sb_pagN sb_pagN_bp b_widePag sb_bp"), true },
        { bingRules(), link(u"", u"", u"\tb_widePag  sb_pagN "), true },
        { bingRules(), link(u"下一页", u"sb_pagN", u"sb_pagN_bp sb_pagS"), false },
        { bingRules(), link(u"", u"", u""), false },
    };
    for (const auto& c : cases) {
        PageSnapshot page;
        page.location = QStringLiteral("https://e.example/s?pn=1");
        page.links = { c.link };
        EXPECT_EQ(hasFurtherPage(c.rules, page), c.further)
            << c.rules.name.toStdString() << " " << c.link.text.toStdString() << "|"
            << c.link.id.toStdString() << "|" << c.link.classes.toStdString();
    }
}

TEST(EngineRules, ABlockPageIsKnownByItsHostPathTitleOrText)
{
    const struct {
        const RuleSet& rules;
        const char* location;
        const char16_t* title;
        const char16_t* body;
        bool block;
    } cases[] = {
        { todayRules(), "https://www.baidu.com/s?wd=x", u"x_百度搜索", u"结果", false },
        { todayRules(), "https://wappass.baidu.com/static/captcha/tuxing.html?ak=1", u"", u"", true },
        { todayRules(), "http://127.0.0.1:8642/static/captcha/tuxing.html?ak=1", u"", u"", true },
        { todayRules(), "http://127.0.0.1:8642/s?wd=/static/captcha", u"", u"", false }, // a query
        { todayRules(), "http://127.0.0.1:8642/", u"百度安全验证", u"", true },
        { threeSixtyRules(), "https://www.so.com/s?q=x", u"x - 360搜索", u"结果", false },
        { threeSixtyRules(), "http://127.0.0.1:8642/s?q=x", u"访问异常页面", u"", true },
        { threeSixtyRules(), "http://127.0.0.1:8642/s?q=x", u"", u"请输入验证码以便正常访问:", true },
        { threeSixtyRules(), "https://qcaptcha.so.com/", u"", u"", true },
        { sogouRules(), "https://www.sogou.com/web?query=antispider", u"搜狗搜索", u"结果", false },
        { sogouRules(), "http://127.0.0.1:8642/antispider/?from=%2Fweb%3Fquery%3Dx", u"搜狗搜索", u"", true },
        { sogouRules(), "https://www.sogou.com/web?query=x", u"",
            u"用户您好，我们的系统检测到您网络中存在异常访问请求。", true },
        { bingRules(), "https://cn.bing.com/search?q=/turing/captcha", u"", u"", false },
        { bingRules(), "https://cn.bing.com/turing/captcha/challenge?q=x", u"", u"", true },
    };
    for (const auto& c : cases) {
        PageSnapshot page;
        page.location = QString::fromLatin1(c.location);
        page.title = QString::fromUtf16(c.title);
        page.bodyText = QString::fromUtf16(c.body);
        EXPECT_EQ(isVerificationPage(c.rules, page), c.block)
            << c.rules.name.toStdString() << " " << c.location;
    }
}

TEST(EngineRules, ARowsKindAndResultFollowTheLinksPlaceAndAnAdOfTheEngineNeedsItsLandingPage)
{
    const QString page = QStringLiteral("https://www.baidu.com/s?ie=utf-8&wd=x");
    auto placed = [&](const QString& href, int resultIndex, bool ad, const QString& carried = {}) {
        PageLink link = resolved(page, href, carried);
        link.resultIndex = resultIndex;
        link.ad = ad;
        return link;
    };
    const QString landing = QStringLiteral("https://shop.example.com/landing");
    const QString adLink = QStringLiteral("https://www.baidu.com/baidu.php?url=k1");
    const struct {
        const char* what;
        PageLink link;
        const char* row; // null: no row; "wait": the redirect waits
        RowKind kind;
        int resultIndex;
    } cases[] = {
        { "organic", placed(u"http://a.example.com/"_s, 3, false), "http://a.example.com/", RowKind::Result,
            3 },
        { "organic redirect", placed(u"/link?url=tok"_s, 0, false), "wait", RowKind::Result, 0 },
        { "outside any result", placed(u"http://b.example.com/"_s, -1, false), "http://b.example.com/",
            RowKind::Link, -1 },
        { "ad inside a result", placed(u"http://c.example.com/"_s, 2, true), "http://c.example.com/",
            RowKind::Ad, 2 },
        { "ad through the engine", placed(adLink, -1, true, landing), "https://shop.example.com/landing",
            RowKind::Ad, -1 },
        { "ad through the engine, no landing page", placed(adLink, -1, true), nullptr, RowKind::Ad, -1 },
        { "ad leading to the engine", placed(adLink, -1, true, u"https://www.baidu.com/x"_s), nullptr,
            RowKind::Ad, -1 },
        { "engine link that is no ad", placed(adLink, 1, false, landing), nullptr, RowKind::Result, 1 },
    };
    for (const auto& c : cases) {
        PageSnapshot snapshot;
        snapshot.location = page;
        snapshot.links = { c.link };
        const PageHarvest harvest = harvestPage(snapshot, todayRules(), "www.baidu.com");
        if (!c.row) {
            EXPECT_TRUE(harvest.rows.isEmpty()) << c.what;
            continue;
        }
        ASSERT_EQ(harvest.rows.size(), 1) << c.what;
        const PageRow& row = harvest.rows.first();
        if (QByteArray(c.row) == "wait")
            EXPECT_EQ(row.redirect, 0) << c.what;
        else
            EXPECT_EQ(row.address, QByteArray(c.row)) << c.what;
        EXPECT_EQ(row.kind, c.kind) << c.what;
        EXPECT_EQ(row.resultIndex, c.resultIndex) << c.what;
        // The resolved row keeps its place.
        const TakenRows taken
            = takeRows(harvest, { QByteArray("http://t.example.com/") }, todayRules(), "www.baidu.com");
        ASSERT_EQ(taken.rows.size(), 1) << c.what;
        EXPECT_EQ(taken.rows.first().kind, c.kind) << c.what;
        EXPECT_EQ(taken.rows.first().resultIndex, c.resultIndex) << c.what;
    }
}
