// The request forms of every layout and the pages, redirectors and block
// pages of the 360, Sogou and Bing layouts.

#include "LayoutPages.h"
#include "SampleCodec.h"
#include "SampleEngine.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

using namespace tess::sample;

namespace {

const std::string kZhongWen = "\xD6\xD0\xCE\xC4"; // 中文 in GBK
const std::string kKeyword = kZhongWen + " a&b";
const Layout kOtherEngines[] = { Layout::So360, Layout::Sogou, Layout::Bing };

std::string layoutName(Layout layout)
{
    static const char* const kNames[] = { "classic", "today", "360", "sogou", "bing" };
    return kNames[static_cast<int>(layout)];
}

std::string decodeEntities(std::string text)
{
    static const std::pair<const char*, const char*> entities[]
        = { { "&lt;", "<" }, { "&gt;", ">" }, { "&quot;", "\"" }, { "&#39;", "'" }, { "&amp;", "&" } };
    for (const auto& [entity, plain] : entities)
        text = std::regex_replace(text, std::regex(entity), plain);
    return text;
}

std::string shownText(const std::string& html)
{
    static const std::regex tag("<[^>]*>");
    return decodeEntities(std::regex_replace(html, tag, ""));
}

// An attribute of an opening tag, entities decoded; "<none>" without it.
std::string attribute(const std::string& tag, const std::string& name)
{
    std::smatch m;
    const std::regex pattern("[ \"]" + name + "=\"([^\"]*)\"");
    return std::regex_search(tag, m, pattern) ? decodeEntities(m[1].str()) : "<none>";
}

struct Anchor {
    std::string tag; // the opening tag
    std::string text; // as shown
    size_t at = 0; // where the tag starts in the page
};

std::vector<Anchor> anchors(const std::string& html)
{
    static const std::regex anchor("(<a [^>]*>)([\\s\\S]*?)</a>");
    std::vector<Anchor> out;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), anchor); it != std::sregex_iterator(); ++it)
        out.push_back({ (*it)[1].str(), shownText((*it)[2].str()), static_cast<size_t>(it->position()) });
    return out;
}

// The element in whose opening tag the anchor at `at` is nested most closely
// among the page's result items.
std::string containerTag(const std::string& html, size_t at, const std::string& opening)
{
    const size_t start = html.rfind(opening, at);
    return start == std::string::npos ? std::string() : html.substr(start, html.find('>', start) - start + 1);
}

std::string hostOf(const std::string& address)
{
    const size_t start = address.find("://") + 3;
    return address.substr(start, address.find_first_of("/?", start) - start);
}

// The engine's own hosts as the contract between rule sets and pages names them.
bool ownedBy(Layout layout, const std::string& host)
{
    static const std::vector<std::string> k360 = { "so.com", "360.cn", "360kuai.com", "360webcache.com",
        "qhimg.com", "qhres.com", "qhmsg.com", "qhupdate.com", "so.cn", "haosou.com" };
    static const std::vector<std::string> kSogou = { "sogou.com", "sogoucdn.com", "sogo.com" };
    static const std::vector<std::string> kBing
        = { "bing.com", "bing.net", "microsoft.com", "msn.com", "live.com", "bingapis.com" };
    const auto& own = layout == Layout::So360 ? k360 : layout == Layout::Sogou ? kSogou : kBing;
    for (const std::string& h : own)
        if (host == h || host.ends_with("." + h))
            return true;
    return false;
}

class SampleLayouts : public ::testing::Test {
protected:
    void startWith(EngineSettings settings)
    {
        m_layout = settings.layout;
        m_engine = std::make_unique<SampleEngine>(settings);
        m_port = m_engine->start(0);
        m_client = std::make_unique<httplib::Client>("127.0.0.1", m_port);
        m_client->set_read_timeout(5);
        m_client->set_url_encode(false);
    }

    std::string host() const { return "127.0.0.1:" + std::to_string(m_port); }

    httplib::Result get(const std::string& target, const std::string& cookie = {})
    {
        httplib::Headers headers;
        if (!cookie.empty())
            headers.emplace("Cookie", cookie);
        return m_client->Get(target, headers);
    }

    std::string page(const std::string& wordGbk, long long p)
    {
        auto res = get(layoutSearchTarget(m_layout, wordGbk, p));
        if (!res || res->status != 200) {
            ADD_FAILURE() << "page " << p << " not answered";
            return {};
        }
        m_cookie = res->get_header_value("Set-Cookie");
        m_cookie = m_cookie.substr(0, m_cookie.find(';'));
        return res->body;
    }

    // Where one of the engine's redirect links leads, as a browser with the
    // page's cookies would end up.
    std::string followed(const std::string& address)
    {
        auto res = get(address.substr(address.find('/', 7)), m_cookie);
        if (!res)
            return "<no answer>";
        if (res->status == 302)
            return res->get_header_value("Location");
        std::smatch m;
        static const std::regex script("window\\.location\\.replace\\(\"([^\"]*)\"\\)");
        return std::regex_search(res->body, m, script) ? m[1].str()
                                                       : "<status " + std::to_string(res->status) + ">";
    }

    // What a harvest with the layout's rules takes from a page: redirects
    // read off their attributes or parameters or followed, own links left out.
    std::vector<PredictedRow> harvest(const std::string& html);
    std::string targetOfOwnLink(const std::string& html, const Anchor& a, const std::string& href);

    Layout m_layout = Layout::Classic;
    std::unique_ptr<SampleEngine> m_engine;
    std::unique_ptr<httplib::Client> m_client;
    int m_port = 0;
    std::string m_cookie;
};

std::string SampleLayouts::targetOfOwnLink(const std::string& html, const Anchor& a, const std::string& href)
{
    const std::string query = href.substr(href.find('?') + 1);
    if (m_layout == Layout::So360 && href.starts_with("http://" + host() + "/link?")) {
        const std::string attr = attribute(a.tag, "data-mdurl");
        if (attr != "<none>")
            return attr;
        const std::string plain = queryValue(query, "url");
        return plain.empty() ? followed(href) : plain;
    }
    if (m_layout == Layout::Sogou && href.starts_with("http://" + host() + "/link?url=")) {
        const std::string attr = attribute(containerTag(html, a.at, "<div class=\"vrwrap\""), "data-url");
        return attr != "<none>" ? attr : followed(href);
    }
    if (m_layout == Layout::Bing && href.find("/ck/a?") != std::string::npos)
        return bingParameterTarget(queryValue(query, "u")).value_or("<bad u>");
    return {};
}

std::vector<PredictedRow> SampleLayouts::harvest(const std::string& html)
{
    std::vector<PredictedRow> rows;
    std::set<std::string> seen;
    for (const Anchor& a : anchors(html)) {
        std::string href = attribute(a.tag, "href");
        if (href.starts_with("/"))
            href = "http://" + host() + href;
        else if (href.starts_with("?"))
            href = "http://" + host() + "/web" + href;
        if (!href.starts_with("http://") && !href.starts_with("https://"))
            continue;
        const std::string linkHost = hostOf(href);
        std::string target = href;
        if (linkHost == host() || ownedBy(m_layout, linkHost)) {
            target = targetOfOwnLink(html, a, href);
            if (target.empty() || hostOf(target) == host() || ownedBy(m_layout, hostOf(target)))
                continue;
        }
        if (seen.insert(target).second)
            rows.push_back({ target, a.text });
    }
    return rows;
}

} // namespace

namespace tess::sample {
void PrintTo(const PredictedRow& row, std::ostream* out) { *out << row.target << " | " << row.title; }
} // namespace tess::sample

TEST(SampleLayoutRequests, ReadsEachLayoutsKeywordAndPageKey)
{
    const std::string utf8 = "%E4%B8%AD%E6%96%87+a%26b";
    struct {
        Layout layout;
        std::string path, query;
        long long keyValue, page;
    } const cases[] = {
        { Layout::Classic, "/baidu", "ie=gb2312&word=%D6%D0%CE%C4+a%26b&pn=20", 20, 3 },
        { Layout::Today, "/baidu", "word=%D6%D0%CE%C4+a%26b&pn=15", 15, 2 },
        { Layout::Today, "/s", "ie=utf-8&wd=" + utf8 + "&pn=10", 10, 2 },
        { Layout::Today, "/s", "wd=" + utf8 + "&pn=-10", 0, 1 },
        { Layout::So360, "/s", "ie=utf-8&q=" + utf8 + "&pn=2&src=srp_paging", 2, 2 },
        { Layout::So360, "/s", "q=" + utf8, 1, 1 },
        { Layout::So360, "/s", "q=" + utf8 + "&pn=0", 1, 1 },
        { Layout::So360, "/s", "q=" + utf8 + "&pn=3&pn=5", 3, 3 },
        { Layout::Sogou, "/web", "query=" + utf8 + "&page=7&ie=utf8", 7, 7 },
        { Layout::Sogou, "/sogou", "query=" + utf8 + "&page=x", 1, 1 },
        { Layout::Bing, "/search", "q=" + utf8 + "&first=11&FORM=PERE", 11, 2 },
        { Layout::Bing, "/search", "q=" + utf8 + "&first=9", 9, 1 },
        { Layout::Bing, "/search", "q=" + utf8 + "&first=21", 21, 3 },
        { Layout::Bing, "/search", "q=" + utf8, 1, 1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(layoutName(c.layout) + " " + c.path + "?" + c.query);
        const auto request = parseLayoutSearch(c.layout, c.path, c.query);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->wordGbk, kKeyword);
        EXPECT_EQ(request->pageKeyValue, c.keyValue);
        EXPECT_EQ(pageOf(*request), c.page);
    }
    EXPECT_FALSE(parseLayoutSearch(Layout::Classic, "/s", "wd=a"));
    EXPECT_FALSE(parseLayoutSearch(Layout::So360, "/baidu", "word=a"));
    EXPECT_FALSE(parseLayoutSearch(Layout::Bing, "/web", "query=a"));

    // Each layout reads back the page its own request form asks for.
    for (Layout layout : { Layout::Classic, Layout::Today, Layout::So360, Layout::Sogou, Layout::Bing }) {
        for (long long p : { 1, 2, 13 }) {
            const std::string target = layoutSearchTarget(layout, kKeyword, p);
            const size_t q = target.find('?');
            const auto request = parseLayoutSearch(layout, target.substr(0, q), target.substr(q + 1));
            ASSERT_TRUE(request) << target;
            EXPECT_EQ(request->wordGbk, kKeyword) << target;
            EXPECT_EQ(pageOf(*request), p) << target;
        }
    }
    EXPECT_EQ(layoutSearchTarget(Layout::Bing, "abc", 3), "/search?q=abc&first=21&FORM=PERE");
    EXPECT_EQ(layoutSearchTarget(Layout::So360, "abc", 3), "/s?ie=utf-8&q=abc&pn=3&src=srp_paging");
}

TEST(SampleLayoutRequests, BingParameterRoundTripsThroughBase64Url)
{
    const std::string targets[] = { "", "a", "ab", "abc", "abcd", "https://k1-2.example.org/bing/2?x=1&y=2",
        "\xFB\xFF\xBF", "?>?~", layoutResult(Layout::Bing, kKeyword, 12, {}).target };
    for (const std::string& t : targets) {
        const std::string value = bingParameter(t);
        EXPECT_TRUE(value.starts_with("a1")) << t;
        EXPECT_EQ(value.find_first_of("+/="), std::string::npos) << value;
        EXPECT_EQ(bingParameterTarget(value), t) << value;
    }
    EXPECT_EQ(bingParameter("\xFB\xFF\xBF"), "a1-_-_");
    EXPECT_EQ(base64UrlDecode("YWI="), "ab");
    for (const char* bad : { "a", "YW+I", "YW/I", "Y" })
        EXPECT_FALSE(base64UrlDecode(bad)) << bad;
    EXPECT_FALSE(bingParameterTarget("YWJj"));
}

TEST_F(SampleLayouts, HarvestOfEveryLayoutYieldsExactlyThePredictedRows)
{
    for (Layout layout : kOtherEngines) {
        for (long long p : { 1, 2 }) { // Bing's click-throughs change host with the page
            SCOPED_TRACE(layoutName(layout) + " page " + std::to_string(p));
            startWith({ .pagesPerKeyword = 3, .layout = layout });
            const std::string html = page(kKeyword, p);
            const auto predicted
                = predictedRows(layout, kKeyword, p, { .pagesPerKeyword = 3, .layout = layout });
            ASSERT_EQ(predicted.size(), 10u);
            EXPECT_EQ(harvest(html), predicted);
            std::set<std::string> hosts;
            for (const PredictedRow& row : predicted) {
                EXPECT_FALSE(ownedBy(layout, hostOf(row.target))) << row.target;
                hosts.insert(hostOf(row.target));
            }
            EXPECT_EQ(hosts.size(), 10u);
        }
    }
    // Targets tell the engines apart.
    std::set<std::string> firsts;
    for (Layout layout : { Layout::Classic, Layout::Today, Layout::So360, Layout::Sogou, Layout::Bing })
        firsts.insert(predictedRows(layout, kKeyword, 1, {})[0].target);
    EXPECT_EQ(firsts.size(), 5u);
    EXPECT_EQ(predictedRows(Layout::Sogou, kKeyword, 1, {})[2].title, "中文 a&b_搜狗结果3");
    EXPECT_EQ(predictedRows(Layout::Today, kKeyword, 1, {}).size(), 12u); // the cards' links
}

TEST_F(SampleLayouts, PagesWriteEachResultInItsLinkForm)
{
    struct {
        Layout layout;
        long long page;
        std::string item; // how a result's element begins
    } const cases[] = {
        { Layout::So360, 2, "<li class=\"res-list\" data-lazyload" },
        { Layout::Sogou, 2, "<div class=\"vrwrap\"" },
        { Layout::Bing, 1, "<li class=\"b_algo\"" },
        { Layout::Bing, 2, "<li class=\"b_algo\"" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(layoutName(c.layout) + " page " + std::to_string(c.page));
        startWith({ .layout = c.layout });
        auto res = get(layoutSearchTarget(c.layout, kKeyword, c.page));
        ASSERT_TRUE(res);
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=utf-8");
        EXPECT_NE(res->body.find("<meta charset=\"utf-8\">"), std::string::npos);
        std::vector<std::string> items;
        for (size_t at = res->body.find(c.item); at != std::string::npos;
             at = res->body.find(c.item, at + 1)) {
            // The engine's own cards look the same; only results say 结果.
            std::string item = res->body.substr(at, res->body.find(c.item, at + 1) - at);
            if (item.find("结果") != std::string::npos)
                items.push_back(std::move(item));
        }
        ASSERT_EQ(items.size(), 10u);
        for (int i = 0; i < 10; ++i) {
            const LayoutResult r = layoutResult(c.layout, kKeyword, (c.page - 1) * 10 + i + 1, host());
            const std::string& item = items[static_cast<size_t>(i)];
            const Anchor title = anchors(item)[0];
            EXPECT_EQ(attribute(title.tag, "href"), r.href) << r.number;
            EXPECT_EQ(title.text, r.title);
            EXPECT_EQ(attribute(title.tag, "data-mdurl"),
                r.form == LinkForm::AttributeRedirect ? r.target : "<none>");
            // On the item's own element, glued to the next attribute.
            const size_t glue = item.find(" data-url=\"" + htmlEscape(r.target) + "\"data-hint=\"sugg\" ");
            const bool glued = glue != std::string::npos && glue < item.find('>');
            EXPECT_EQ(glued, r.form == LinkForm::ContainerAttribute) << item.substr(0, 120);
            if (r.form == LinkForm::Base64Parameter) {
                EXPECT_TRUE(r.href.starts_with(c.page % 2 == 0 ? "http://" + host() + "/ck/a?!&&p="
                                                               : "https://www.bing.com/ck/a?!&&p="));
            }
        }
    }
    EXPECT_EQ(layoutResult(Layout::Sogou, kKeyword, 4, host()).form, LinkForm::ContainerAttribute);
    EXPECT_EQ(layoutResult(Layout::So360, kKeyword, 5, host()).form, LinkForm::CookieRedirect);
}

TEST_F(SampleLayouts, So360RedirectLeadsToTheTargetOnlyWithThePagesCookie)
{
    startWith({ .layout = Layout::So360 });
    const LayoutResult r = layoutResult(Layout::So360, kKeyword, 5, host());
    ASSERT_EQ(r.form, LinkForm::CookieRedirect);
    const std::string path = r.href.substr(r.href.find("/link"));
    const std::string home = "http://" + host() + "/";
    page(kKeyword, 1);
    ASSERT_TRUE(m_cookie.starts_with(std::string(kSessionCookie) + "=")) << m_cookie;
    struct {
        std::string cookie, location;
    } const cases[] = {
        { "", home },
        { std::string(kSessionCookie) + "=wrong", home },
        { m_cookie, r.target },
        { "a=1; " + m_cookie + "; b=2", r.target },
    };
    for (const auto& c : cases) {
        auto res = get(path, c.cookie);
        ASSERT_TRUE(res) << c.cookie;
        EXPECT_EQ(res->status, 302) << c.cookie;
        EXPECT_EQ(res->get_header_value("Location"), c.location) << c.cookie;
    }
    const LayoutResult plain = layoutResult(Layout::So360, kKeyword, 6, host());
    EXPECT_EQ(followed(plain.href), plain.target);
    EXPECT_EQ(get("/link?m=bogus", m_cookie)->status, 404);
    EXPECT_EQ(get("/link?url=javascript:alert(1)")->status, 404);
}

TEST_F(SampleLayouts, SogouRedirectorAnswersWithOnlyAScript)
{
    startWith({ .layout = Layout::Sogou });
    const LayoutResult r = layoutResult(Layout::Sogou, kKeyword, 3, host());
    ASSERT_TRUE(r.href.starts_with("/link?url="));
    auto res = get(r.href);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_FALSE(res->has_header("Location"));
    EXPECT_EQ(res->body.find("refresh"), std::string::npos);
    EXPECT_EQ(followed("http://" + host() + r.href), r.target);
    EXPECT_EQ(get("/link?url=" + layoutToken(Layout::So360, kKeyword, 3))->status, 404);

    startWith({ .layout = Layout::Bing });
    const LayoutResult b = layoutResult(Layout::Bing, kKeyword, 12, host());
    EXPECT_EQ(followed(b.href), b.target); // the click-through on the host asked
}

TEST_F(SampleLayouts, PagersOfferTheNextPageUntilTheLast)
{
    const std::string none = utf8ToGbk("无结果");
    struct {
        Layout layout;
        std::string next; // the next link's opening, up to its href
    } const layouts[] = {
        { Layout::So360, "<a id=\"snext\" href=\"" },
        { Layout::Sogou, "<a id=\"sogou_next\" href=\"" },
        { Layout::Bing, "<a class=\"sb_pagN sb_pagN_bp b_widePag sb_bp\" title=\"下一页\" href=\"" },
    };
    struct {
        std::string word;
        long long page;
        bool results, more;
    } const cases[] = {
        { "abc", 1, true, true },
        { "abc", 6, true, true },
        { "abc", 12, true, false },
        { "abc", 13, false, false },
        { none, 1, false, false },
    };
    for (const auto& l : layouts) {
        startWith({ .pagesPerKeyword = 12, .layout = l.layout });
        for (const auto& c : cases) {
            SCOPED_TRACE(layoutName(l.layout) + " " + gbkToUtf8(c.word) + " page " + std::to_string(c.page));
            const std::string html = page(c.word, c.page);
            EXPECT_EQ(harvest(html).size(), c.results ? 10u : 0u);
            const size_t at = html.find(l.next);
            ASSERT_EQ(at != std::string::npos, c.more);
            if (!c.more)
                continue;
            std::string href = decodeEntities(
                html.substr(at + l.next.size(), html.find('"', at + l.next.size()) - at - l.next.size()));
            if (href.starts_with("?"))
                href = "/web" + href;
            const size_t q = href.find('?');
            const auto asked = parseLayoutSearch(l.layout, href.substr(0, q), href.substr(q + 1));
            ASSERT_TRUE(asked) << href;
            EXPECT_EQ(pageOf(*asked), c.page + 1) << href;
            EXPECT_EQ(asked->wordGbk, c.word);
        }
    }
}

TEST(SampleLayoutBlocks, BlockAfterSendsEveryLayoutToItsBlockPageUntilPassed)
{
    struct {
        Layout layout;
        std::string title; // of the block page
        std::string words; // in its text
    } const cases[] = {
        { Layout::Classic, "百度安全验证", "请完成验证" },
        { Layout::Today, "百度安全验证", "请完成验证" },
        { Layout::So360, "访问异常页面", "请输入验证码以便正常访问:" },
        { Layout::Sogou, "搜狗搜索", "用户您好，我们的系统检测到您网络中存在异常访问请求。" },
        { Layout::Bing, "必应 - 验证", "请完成验证" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(layoutName(c.layout));
        SampleEngine engine({ .layout = c.layout, .verifyAfter = 2 });
        const int port = engine.start(0);
        httplib::Client client("127.0.0.1", port);
        client.set_url_encode(false);
        const std::string first = layoutSearchTarget(c.layout, "abc", 1);
        const std::string asked = layoutSearchTarget(c.layout, kZhongWen, 2);
        EXPECT_EQ(client.Get(first)->status, 200);

        auto blocked = client.Get(asked);
        ASSERT_TRUE(blocked);
        std::string blockHtml = blocked->body;
        if (c.layout != Layout::So360) {
            ASSERT_EQ(blocked->status, 302);
            const std::string location = blocked->get_header_value("Location");
            const std::string origin = "http://127.0.0.1:" + std::to_string(port);
            EXPECT_TRUE(location.starts_with(origin + std::string(blockPaths(c.layout).page))) << location;
            auto res = client.Get(
                blockAddress(c.layout, "127.0.0.1:" + std::to_string(port), asked).substr(origin.size()));
            ASSERT_TRUE(res);
            blockHtml = res->body;
        }
        EXPECT_NE(blockHtml.find("<title>" + c.title + "</title>"), std::string::npos);
        EXPECT_NE(shownText(blockHtml).find(c.words), std::string::npos);
        EXPECT_EQ(blockHtml.find("href"), std::string::npos) << "no links at all";
        EXPECT_NE(
            blockHtml.find("fetch('" + std::string(blockPaths(c.layout).pass) + "', { method: 'POST' })"),
            std::string::npos);
        EXPECT_TRUE(attribute(blockHtml, "data-backurl").ends_with(asked))
            << attribute(blockHtml, "data-backurl");
        EXPECT_EQ(client.Get(first)->status, blocked->status) << "every later request too";

        ASSERT_EQ(client.Post(std::string(blockPaths(c.layout).pass))->status, 200);
        auto passed = client.Get(asked);
        ASSERT_TRUE(passed);
        EXPECT_EQ(passed->status, 200);
        EXPECT_EQ(passed->body.find(c.words), std::string::npos);

        std::vector<bool> flags;
        for (const RequestRecord& r : engine.requests())
            if (r.page)
                flags.push_back(r.blocked);
        EXPECT_EQ(flags, (std::vector<bool> { false, true, true, false }));
    }
}

TEST(SampleLayoutBlocks, BlockAfterAndVerifyAfterNameTheSameSetting)
{
    // The option parser lives in main(); the engine only knows the one setting.
    SampleEngine engine({ .layout = Layout::Bing, .verifyAfter = 1 });
    httplib::Client client("127.0.0.1", engine.start(0));
    auto res = client.Get(layoutSearchTarget(Layout::Bing, "abc", 1));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 302);
    EXPECT_NE(res->get_header_value("Location").find("/turing/captcha/challenge?ru="), std::string::npos);
}

TEST(SampleLayoutToday, AnswersTheNewRequestFormWithTheSamePage)
{
    SampleEngine engine({ .pagesPerKeyword = 3, .layout = Layout::Today });
    httplib::Client client("127.0.0.1", engine.start(0));
    client.set_url_encode(false);
    for (const std::string& word : { std::string("abc"), kKeyword, utf8ToGbk("无结果x") }) {
        for (long long p : { 1, 2, 3, 4 }) {
            SCOPED_TRACE(gbkToUtf8(word) + " page " + std::to_string(p));
            const std::string target = layoutSearchTarget(Layout::Today, word, p);
            ASSERT_TRUE(target.starts_with("/s?ie=utf-8&wd=")) << target;
            auto fresh = client.Get(target);
            auto old = client.Get(searchTarget(word, (p - 1) * 10));
            ASSERT_TRUE(fresh && old);
            EXPECT_EQ(fresh->status, 200);
            EXPECT_EQ(fresh->body, old->body);
            const auto log = engine.requests();
            const RequestRecord& a = log[log.size() - 2];
            const RequestRecord& b = log.back();
            EXPECT_EQ(a.wordGbk, word);
            EXPECT_EQ(a.wordGbk, b.wordGbk);
            EXPECT_EQ(a.pn, (p - 1) * 10);
            EXPECT_EQ(a.pn, b.pn);
            EXPECT_EQ(a.page, p);
            EXPECT_EQ(a.path, "/s");
        }
    }
}

TEST(SampleLayoutRelated, EachKeywordHasThreeAndOneRepeatsItInAnotherCaseOrWidth)
{
    const struct {
        std::string word; // UTF-8 here; the engine reads keywords in GBK
        std::vector<std::string> texts;
    } cases[] = {
        { "vue", { "vue 教程", "vue 下载", "VUE" } },
        { "Vue3", { "Vue3 教程", "Vue3 下载", "VUE3" } },
        { "VUE", { "VUE 教程", "VUE 下载", "ＶＵＥ" } },
        { "ＶＵＥ", { "ＶＵＥ 教程", "ＶＵＥ 下载", "ＶＵＥ 是什么" } },
        { "中文 a&b", { "中文 a&b 教程", "中文 a&b 下载", "中文 A&B" } },
        { "中文", { "中文 教程", "中文 下载", "中文 是什么" } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(relatedSearchTexts(utf8ToGbk(c.word)), c.texts) << c.word;
}

TEST_F(SampleLayouts, EveryLayoutShowsItsRelatedSearchesAndTheAdsItIsAskedFor)
{
    for (Layout layout : { Layout::Today, Layout::So360, Layout::Sogou, Layout::Bing }) {
        for (int ads : { 0, 3 }) {
            SCOPED_TRACE(layoutName(layout) + " ads " + std::to_string(ads));
            const EngineSettings settings { .pagesPerKeyword = 3, .layout = layout, .ads = ads };
            startWith(settings);
            std::string html = page(kKeyword, 2);
            if (layout == Layout::Today)
                html = gbkToUtf8(html);
            for (const std::string& text : relatedSearchTexts(kKeyword))
                EXPECT_NE(html.find(">" + htmlEscape(text) + "</a>"), std::string::npos) << text;
            const auto shown = layoutAds(layout, kKeyword, 2, settings);
            ASSERT_EQ(shown.size(), size_t(ads));
            for (const PredictedRow& ad : shown) {
                // Today's ad names its landing page on its element; the
                // others link to it.
                const std::string written = layout == Layout::Today ? " data-lp=\"" : " href=\"";
                EXPECT_NE(html.find(written + htmlEscape(ad.target) + "\""), std::string::npos) << ad.target;
                EXPECT_NE(html.find(">" + htmlEscape(ad.title) + "</a>"), std::string::npos) << ad.title;
            }
            // Past the last page: no results, no ads.
            EXPECT_TRUE(layoutAds(layout, kKeyword, 4, settings).empty());
            const std::string last = page(kKeyword, 4);
            EXPECT_EQ(last.find("ads-sample"), std::string::npos);
            const auto predicted = predictedRows(layout, kKeyword, 2, settings);
            ASSERT_EQ(predicted.size(), size_t(ads + (layout == Layout::Today ? 12 : 10)));
            EXPECT_EQ(predictedPlaces(layout, kKeyword, 2, settings).size(), predicted.size());
            if (layout != Layout::Today) {
                EXPECT_EQ(harvest(html), predicted); // the ads link out directly
            }
        }
    }
    EXPECT_TRUE(layoutAds(Layout::Classic, kKeyword, 1, { .ads = 2 }).empty());
}
