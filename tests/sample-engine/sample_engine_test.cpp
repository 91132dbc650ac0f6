#include "SampleCodec.h"
#include "SampleEngine.h"
#include "SamplePage.h"
#include "harvest/PageReader.h"

#include <QByteArray>

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <regex>
#include <string>
#include <utility>
#include <vector>

using namespace tess::sample;

namespace {

const std::string kZhongWen = "\xD6\xD0\xCE\xC4"; // 中文 in GBK

std::string stripTags(const std::string& html)
{
    static const std::regex tag("<[^>]*>");
    std::string text = std::regex_replace(html, tag, "");
    static const std::regex amp("&amp;");
    return std::regex_replace(text, amp, "&");
}

// The page's lines with the tags gone. The sample writes each block on a
// source line of its own, so this stands in for the browser's body text,
// which puts blocks on lines of their own.
std::vector<std::string> textLines(const std::string& html)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= html.size()) {
        const size_t end = std::min(html.find('\n', start), html.size());
        lines.push_back(stripTags(html.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

// The harvester's own pager test on the page's text.
bool offersNextPage(const std::string& gbkHtml)
{
    std::string bodyText;
    for (const std::string& line : textLines(gbkHtml))
        bodyText += line + '\n';
    return tess::harvest::readPagerState(QByteArray::fromStdString(bodyText));
}

std::string pagerText(const std::string& gbkHtml)
{
    for (const std::string& line : textLines(gbkHtml))
        if (contains(line, utf8ToGbk("页")) && contains(line, "["))
            return gbkToUtf8(line);
    return "<no pager>";
}

std::vector<std::string> hrefs(const std::string& html)
{
    static const std::regex href("href=\"([^\"]*)\"");
    std::vector<std::string> out;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), href); it != std::sregex_iterator(); ++it)
        out.push_back(stripTags((*it)[1].str()));
    return out;
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

class SampleEngineServer : public ::testing::Test {
protected:
    void startWith(EngineSettings settings)
    {
        m_engine = std::make_unique<SampleEngine>(settings);
        m_port = m_engine->start(0);
        m_client = std::make_unique<httplib::Client>("127.0.0.1", m_port);
        m_client->set_connection_timeout(5);
        m_client->set_read_timeout(5);
        // Targets go out as written, as a browser sends the harvester's requests.
        m_client->set_url_encode(false);
    }

    std::string page(const std::string& wordGbk, long long pn)
    {
        auto res = m_client->Get(searchTarget(wordGbk, pn));
        if (!res || res->status != 200) {
            ADD_FAILURE() << "request failed for pn=" << pn;
            return {};
        }
        return res->body;
    }

    std::unique_ptr<SampleEngine> m_engine;
    std::unique_ptr<httplib::Client> m_client;
    int m_port = 0;
};

} // namespace

TEST(SampleCodec, EncodesAndDecodesTheFormTheHarvesterSends)
{
    EXPECT_EQ(utf8ToGbk("下一页"), "\xCF\xC2\xD2\xBB\xD2\xB3");
    EXPECT_EQ(gbkToUtf8(kZhongWen), "中文");
    EXPECT_EQ(utf8ToGbk("a\xF0\x9F\x98\x80z"), "a?z"); // outside GBK

    EXPECT_EQ(formEncode(kZhongWen + " a-b.+"), "%D6%D0%CE%C4+a%2Db%2E%2B");
    struct {
        std::string encoded, decoded;
    } const cases[] = {
        { "%D6%D0%CE%C4+a%2Db%2E%2B", kZhongWen + " a-b.+" },
        { "%d6%d0", "\xD6\xD0" },
        { "100%", "100%" },
        { "%G1%4", "%G1%4" },
        { "", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(formDecode(c.encoded), c.decoded) << c.encoded;
}

TEST(SamplePage, ReadsWordAndOffsetFromTheQuery)
{
    struct {
        std::string query;
        std::string word;
        long long pn;
    } const cases[] = {
        { "lm=0&si=&rn=10&ie=gb2312&ct=0&word=%D6%D0%CE%C4+x&pn=20&cl=3", kZhongWen + " x", 20 },
        { "word=a&word=b&pn=10&pn=30", "a", 10 },
        { "word=a", "a", 0 },
        { "word=a&pn=-10", "a", 0 },
        { "word=a&pn=1x", "a", 0 },
        { "word=a&pn=99999999999999999999", "a", 9'999'999'990LL },
        { "", "", 0 },
    };
    for (const auto& c : cases) {
        const SearchRequest r = parseSearchQuery(c.query);
        EXPECT_EQ(r.wordGbk, c.word) << c.query;
        EXPECT_EQ(r.pn, c.pn) << c.query;
    }
}

TEST_F(SampleEngineServer, PagerLineShowsPositionAndWhetherMoreFollow)
{
    startWith({ .pagesPerKeyword = 12, .endlessPager = false });
    struct {
        long long pn;
        std::string line;
        bool more;
    } const cases[] = {
        { 0, "1 [2] [3] [4] [5] [6] [7] [8] [9] [10] 下一页", true },
        { 20, "上一页 [1] [2] 3 [4] [5] [6] [7] [8] [9] [10] 下一页", true },
        { 65, "上一页 [2] [3] [4] [5] [6] 7 [8] [9] [10] [11] 下一页", true },
        { 110, "上一页 [3] [4] [5] [6] [7] [8] [9] [10] [11] 12", false },
    };
    for (const auto& c : cases) {
        const std::string html = page("abc", c.pn);
        EXPECT_EQ(pagerText(html), c.line) << "pn=" << c.pn;
        EXPECT_EQ(offersNextPage(html), c.more) << "pn=" << c.pn;
    }

    // Past the last page: no results and no pager.
    const std::string beyond = page("abc", 120);
    EXPECT_FALSE(offersNextPage(beyond));
    EXPECT_FALSE(contains(beyond, "class=\"result\""));
}

TEST_F(SampleEngineServer, PagerLinksAskForTheNeighbouringOffsets)
{
    startWith({ .pagesPerKeyword = 5, .endlessPager = false });
    const std::string html = page(kZhongWen, 20);
    const auto links = hrefs(html);
    for (long long pn : { 0, 10, 30, 40 })
        EXPECT_NE(std::find(links.begin(), links.end(), searchTarget(kZhongWen, pn)), links.end()) << pn;
    EXPECT_TRUE(contains(searchTarget(kZhongWen, 10), "word=%D6%D0%CE%C4&pn=10&cl=3"));

    const std::string single = [&] {
        SampleEngine one({ .pagesPerKeyword = 1, .endlessPager = false });
        httplib::Client c("127.0.0.1", one.start(0));
        auto res = c.Get(searchTarget("abc", 0));
        return res ? res->body : std::string();
    }();
    EXPECT_FALSE(offersNextPage(single));
    EXPECT_TRUE(contains(single, "class=\"result\""));
}

TEST_F(SampleEngineServer, EndlessPagerStillOffersMoreAtTheLastOffsetTheRunReads)
{
    startWith({ .pagesPerKeyword = 3, .endlessPager = true });
    const std::string html = page("abc", 740);
    EXPECT_EQ(pagerText(html), "上一页 [70] [71] [72] [73] [74] 75 [76] [77] [78] [79] 下一页");
    EXPECT_TRUE(offersNextPage(html));
}

TEST_F(SampleEngineServer, ShowsTheGbkWordInTitleAndEveryResult)
{
    startWith({});
    std::vector<RequestRecord> seen;
    std::mutex seenMutex;
    m_engine->setObserver([&](const RequestRecord& r) {
        std::lock_guard lock(seenMutex);
        seen.push_back(r);
    });

    // Lower-case hex must read the same as the harvester's upper-case form.
    auto res = m_client->Get("/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=%d6%d0%ce%c4+a%26b&pn=10&cl=3");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=gbk");
    const std::string& html = res->body;
    EXPECT_TRUE(contains(html, "<meta charset=\"gbk\">"));
    const std::string shown = kZhongWen + " a&amp;b";
    EXPECT_TRUE(contains(html, "<title>" + shown + utf8ToGbk("_示例搜索") + "</title>"));
    EXPECT_FALSE(contains(html, "a&b")); // the keyword is escaped wherever it appears

    static const std::regex resultLink("<h3 class=\"t\"><a href=\"([^\"]*)\"[^>]*>([^<]*)</a>");
    const std::string word = kZhongWen + " a&b";
    long long r = 11;
    int count = 0;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), resultLink); it != std::sregex_iterator();
         ++it, ++r, ++count) {
        EXPECT_EQ(stripTags((*it)[1].str()), resultAddress(word, r));
        EXPECT_TRUE(contains((*it)[2].str(), shown)) << r;
    }
    EXPECT_EQ(count, 10);

    std::lock_guard lock(seenMutex);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].path, "/baidu");
    EXPECT_EQ(seen[0].wordGbk, word);
    EXPECT_EQ(seen[0].pn, 10);
    EXPECT_EQ(m_engine->requestCount(), 1u);
}

TEST_F(SampleEngineServer, HarvestRulesLeaveExactlyTheTenResults)
{
    startWith({});
    const std::string html = page(kZhongWen, 30);
    const std::string host = "127.0.0.1:" + std::to_string(m_port);
    const auto links = hrefs(html);

    auto has = [&](auto predicate) { return std::any_of(links.begin(), links.end(), predicate); };
    EXPECT_TRUE(has([&](const std::string& l) { return startsWith(l, "http://" + host + "/link?"); }));
    EXPECT_TRUE(has([](const std::string& l) { return startsWith(l, "https://"); }));
    EXPECT_TRUE(has([](const std::string& l) { return startsWith(l, "mailto:"); }));
    EXPECT_TRUE(has([](const std::string& l) { return startsWith(l, "javascript:"); }));
    const std::string twin = "http://" + lower(resultAddress(kZhongWen, 32)).substr(7);
    EXPECT_TRUE(
        has([&](const std::string& l) { return l != resultAddress(kZhongWen, 32) && lower(l) == twin; }));

    // The page's own host reduces to "0.1:<port>"; relative links resolve to it,
    // as the browser gives them. Then the harvester's own rules pick the links.
    const QByteArray siteDomain = tess::harvest::siteDomain(
        QByteArray::fromStdString("http://" + host + searchTarget(kZhongWen, 30)));
    EXPECT_EQ(siteDomain.toStdString(), "0.1:" + std::to_string(m_port));
    tess::harvest::PageLinkList pageLinks;
    std::vector<std::string> taken;
    for (std::string link : links) {
        if (startsWith(link, "/"))
            link = "http://" + host + link;
        const QByteArray href = QByteArray::fromStdString(link);
        if (!tess::harvest::isOutboundLink(href, siteDomain) || pageLinks.contains(href))
            continue;
        pageLinks.add(href);
        taken.push_back(link);
    }
    std::vector<std::string> expected;
    for (long long r = 31; r <= 40; ++r)
        expected.push_back(resultAddress(kZhongWen, r));
    EXPECT_EQ(taken, expected);
}

TEST_F(SampleEngineServer, AnswersOtherPathsWith404)
{
    startWith({});
    for (const char* target : { "/", "/s?wd=abc", "/baidu/x", "/link?url=1" }) {
        auto res = m_client->Get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 404) << target;
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=gbk");
    }
    const auto log = m_engine->requests();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].target, "/baidu/x");
    EXPECT_EQ(log[2].status, 404);
    EXPECT_FALSE(log[2].pn.has_value());
}

TEST(SampleEngineLifecycle, StartsStopsAndRestartsCleanly)
{
    SampleEngine engine;
    const int port = engine.start(0);
    EXPECT_GT(port, 0);
    EXPECT_THROW(engine.start(0), std::runtime_error);

    SampleEngine rival;
    EXPECT_THROW(rival.start(port), std::runtime_error); // port taken
    EXPECT_FALSE(rival.isRunning());

    engine.stop();
    engine.stop();
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(engine.port(), 0);
    EXPECT_FALSE(httplib::Client("127.0.0.1", port).Get("/baidu?word=a"));

    const int again = engine.start(0);
    auto res = httplib::Client("127.0.0.1", again).Get("/baidu?word=a");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);

    // Destroyed while running, right after starting.
    for (int i = 0; i < 5; ++i) {
        SampleEngine shortLived;
        shortLived.start(0);
    }
}

// ---- Today's layout, the redirector and the verification page ----

namespace {

std::string decodeEntities(std::string text)
{
    static const std::pair<const char*, const char*> entities[]
        = { { "&lt;", "<" }, { "&gt;", ">" }, { "&quot;", "\"" }, { "&#39;", "'" }, { "&amp;", "&" } };
    for (const auto& [entity, plain] : entities)
        text = std::regex_replace(text, std::regex(entity), plain);
    return text;
}

// What a browser shows of a piece of markup, as UTF-8.
std::string shownText(const std::string& gbkHtml)
{
    static const std::regex tag("<[^>]*>");
    return gbkToUtf8(decodeEntities(std::regex_replace(gbkHtml, tag, "")));
}

// The first group of the first match, entities decoded; "<none>" without one.
std::string firstMatch(const std::string& text, const std::string& pattern)
{
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? decodeEntities(m[1].str()) : "<none>";
}

size_t occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The page's result containers in page order, each up to the next one.
std::vector<std::string> containers(const std::string& html)
{
    std::vector<std::string> out;
    for (size_t at = html.find("<div class=\"result"); at != std::string::npos;) {
        const size_t next = html.find("<div class=\"result", at + 1);
        out.push_back(
            html.substr(at, (next == std::string::npos ? html.find("<div id=\"rs\">") : next) - at));
        at = next;
    }
    return out;
}

const std::string kKeyword = kZhongWen + " a&b"; // escaped wherever the page shows it

class SampleEngineToday : public SampleEngineServer {
protected:
    void SetUp() override { startWith({ .pagesPerKeyword = 12, .layout = Layout::Today }); }

    std::string host() const { return "127.0.0.1:" + std::to_string(m_port); }

    // Where the redirector's answer leads, read without following it;
    // "<status N>" when it leads nowhere.
    std::string answeredTarget(const std::string& address, RedirectForm* form = nullptr)
    {
        auto res = m_client->Get(address.substr(("http://" + host()).size()));
        if (!res || (res->status != 200 && res->status != 302))
            return "<status " + std::to_string(res ? res->status : 0) + ">";
        const std::string meta = firstMatch(res->body, "content=\"0;URL='([^']*)'\"");
        if (form)
            *form = res->status == 302 ? RedirectForm::Location
                : meta != "<none>"     ? RedirectForm::MetaRefresh
                                       : RedirectForm::Script;
        if (res->status == 302)
            return res->get_header_value("Location");
        return meta != "<none>" ? meta
                                : firstMatch(res->body, "window\\.location\\.replace\\(\"([^\"]*)\"\\)");
    }
};

} // namespace

TEST_F(SampleEngineToday, ResultsHideTheirTargetsBehindTheRedirector)
{
    auto res = m_client->Get(searchTarget(kKeyword, 10));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=gbk");
    const std::string& html = res->body;
    EXPECT_TRUE(contains(html, "charset=gbk\">"));

    const auto all = containers(html);
    ASSERT_EQ(all.size(), 12u);
    long long r = 11;
    for (size_t i = 0; i < all.size(); ++i) {
        const std::string& c = all[i];
        const std::string mu = firstMatch(c.substr(0, c.find('>')), " mu=\"([^\"]*)\"");
        if (i == 3 || i == 8) { // the cards, after the page's third and seventh result
            EXPECT_TRUE(startsWith(c, "<div class=\"result-op c-container\""));
            EXPECT_TRUE(
                startsWith(mu, "https://baike.baidu.com/") || startsWith(mu, "https://haokan.baidu.com/"))
                << mu;
            continue;
        }
        const TodayResult expected = todayResult(kKeyword, r);
        EXPECT_TRUE(startsWith(c, "<div class=\"result c-container\" id=\"" + std::to_string(r) + "\"")) << r;
        EXPECT_EQ(
            firstMatch(c, "<h3 class=\"t\"><a href=\"([^\"]*)\""), redirectAddress(host(), expected.token));
        EXPECT_EQ(shownText(firstMatch(c, "<h3 class=\"t\"><a [^>]*>(.*)</a></h3>")), expected.title);
        // The target is on the page only in mu, and only on some results.
        EXPECT_EQ(mu, expected.carriesMu ? expected.target : "<none>") << r;
        EXPECT_EQ(occurrences(html, htmlEscape(expected.target)), expected.carriesMu ? 1u : 0u) << r;
        const std::string shown = shownText(firstMatch(c, "<span class=\"c-showurl\">([^<]*)</span>"));
        EXPECT_TRUE(
            shown.ends_with("...") && contains(expected.target, "://" + shown.substr(0, shown.size() - 3)))
            << shown;
        EXPECT_TRUE(contains(c, "<a href=\"http://cache.baiducontent.com/c?m=")) << r;
        ++r;
    }
    EXPECT_EQ(occurrences(html, " mu=\"https://blog."), 5u);
    EXPECT_EQ(todayResult(kKeyword, 11).title, "中文 a&b_示例文章11");
    EXPECT_EQ(todayTarget(kKeyword, 2, 0), todayResult(kKeyword, 11).target);
}

// What today's rules should make of a page: every redirect link becomes its
// target, the engine's own hosts, scripts and mail stay out, and the cards'
// direct links come through where they stand.
TEST_F(SampleEngineToday, RedirectTargetsAndCardLinksAreAllThatLeavesTheEngine)
{
    const std::string html = page(kKeyword, 50);
    std::vector<std::string> taken;
    std::map<std::string, int> skipped;
    for (const std::string& raw : hrefs(html)) {
        const std::string link = decodeEntities(raw);
        const size_t hostStart = link.find("://") + 3;
        const std::string host
            = "." + link.substr(hostStart, link.find_first_of("/?", hostStart) - hostStart);
        if (!startsWith(link, "http")) {
            ++skipped[link.substr(0, link.find_first_of(":?"))];
        } else if (host == "." + this->host()) {
            if (contains(link, "/link?url="))
                taken.push_back(answeredTarget(link));
        } else if (host.ends_with(".baidu.com") || host.ends_with(".baiducontent.com")
            || host.ends_with(".hao123.com")) {
            ++skipped[host.substr(host.rfind('.', host.rfind('.') - 1) + 1)];
        } else {
            taken.push_back(link);
        }
    }

    std::vector<std::string> expected;
    const auto cards = todayCardLinks(kKeyword, 6);
    for (int i = 0; i < 10; ++i) {
        expected.push_back(todayTarget(kKeyword, 6, i));
        if (i == 2 || i == 6)
            expected.push_back(cards[i == 2 ? 0 : 1]);
    }
    EXPECT_EQ(taken, expected);
    const std::map<std::string, int> expectedSkips = { { "/baidu", 11 }, { "baiducontent.com", 10 },
        { "hao123.com", 1 }, { "baidu.com", 3 + 2 }, { "javascript", 2 }, { "mailto", 1 } };
    EXPECT_EQ(skipped, expectedSkips); // search form pager, snapshots, portal, related searches and cards
}

TEST_F(SampleEngineToday, PagerShowsItsItemsRunTogetherAndNoResultsPagesHaveNone)
{
    const std::string none = utf8ToGbk("无结果");
    struct {
        std::string word;
        long long pn;
        std::string text; // as the page shows it; "" for a page without results
        long long previous, next; // offsets the 上一页 and 下一页 links ask for; -1: no link
    } const cases[] = {
        { "abc", 0, "12345678910下一页>", -1, 10 },
        { "abc", 10, "<上一页12345678910下一页 >", 0, 20 },
        { "abc", 70, "<上一页3456789101112下一页 >", 60, 80 },
        { "abc", 100, "<上一页3456789101112下一页>", 90, 110 },
        { "abc", 110, "<上一页3456789101112", 100, -1 },
        { "abc", 120, "", -1, -1 }, // past the last page
        { none, 0, "", -1, -1 },
        { none + "x", 10, "", -1, -1 },
        { "x" + none, 0, "12345678910下一页>", -1, 10 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(gbkToUtf8(c.word) + " pn=" + std::to_string(c.pn));
        const std::string html = page(c.word, c.pn);
        const size_t pager = html.find("<div id=\"page\">");
        EXPECT_EQ(pager == std::string::npos
                ? ""
                : shownText(html.substr(pager, html.find("</div>", pager) - pager)),
            c.text);
        const std::string sorry = "很抱歉，没有找到与“" + gbkToUtf8(c.word) + "”相关的网页。";
        EXPECT_EQ(contains(shownText(html), sorry), c.text.empty());
        EXPECT_EQ(occurrences(html, "<div class=\"result c-container\""), c.text.empty() ? 0u : 10u);
        EXPECT_EQ(firstMatch(html, "<a href=\"([^\"]*)\" class=\"n\">&lt;"),
            c.previous < 0 ? "<none>" : searchTarget(c.word, c.previous));
        EXPECT_EQ(firstMatch(html, "<a href=\"([^\"]*)\" class=\"n\">[^<]*&gt;"),
            c.next < 0 ? "<none>" : searchTarget(c.word, c.next));
    }
}

TEST_F(SampleEngineToday, RedirectorAnswersInThreeFormsAndRefusesUnknownTokens)
{
    const std::string abc = "abc";
    const std::string nowhere = "<status 404>";
    struct {
        std::string token;
        RedirectForm form;
        std::string target;
    } const cases[] = {
        { redirectToken(abc, 3), RedirectForm::Location, todayResult(abc, 3).target },
        { redirectToken(abc, 4), RedirectForm::MetaRefresh, todayResult(abc, 4).target },
        { redirectToken(abc, 5), RedirectForm::Script, todayResult(abc, 5).target },
        // A target with a query: escaped in the page, intact in the answer.
        { redirectToken(abc, 10), RedirectForm::MetaRefresh,
            "http://www.k" + shortHash(abc) + "-10.example.net/item/10.html?from=sample&id=10" },
        { redirectToken(kKeyword, 12), RedirectForm::Location, todayTarget(kKeyword, 2, 1) },
        { std::string(kOtherEngineToken), RedirectForm::Location, "https://www.baidu.com/s?wd=x" },
        { "1", RedirectForm::Location, nowhere }, { "k616263-r0", RedirectForm::Location, nowhere },
        { "k616263-r07", RedirectForm::Location, nowhere },
        { "k61626-r7", RedirectForm::Location, nowhere }, // half a byte
        { shortHash(abc) + "-3", RedirectForm::Location, nowhere }, // the classic page's snapshot links
    };
    for (const auto& c : cases) {
        RedirectForm form = RedirectForm::Location;
        EXPECT_EQ(answeredTarget(redirectAddress(host(), c.token), &form), c.target) << c.token;
        EXPECT_EQ(form, c.form) << c.token;
        const auto predicted = redirectFor(c.token);
        EXPECT_EQ(predicted ? predicted->target : nowhere, c.target) << c.token;
    }
    EXPECT_EQ(redirectToken(abc, 12), "k616263-r12");
}

TEST_F(SampleEngineToday, NeverAnsweringTokenEndsWhenTheEngineStops)
{
    httplib::Client patient("127.0.0.1", m_port);
    patient.set_read_timeout(1);
    EXPECT_FALSE(patient.Get(std::string(kRedirectPath) + "?url=" + std::string(kNeverAnsweringToken)));
    m_engine->stop(); // must not wait for the answer
    EXPECT_FALSE(m_engine->isRunning());
}

TEST(SampleEngineVerification, SendsSearchesToTheVerificationPageUntilItIsPassed)
{
    struct {
        Layout layout;
        int verifyAfter;
    } const cases[] = { { Layout::Classic, 1 }, { Layout::Today, 3 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.verifyAfter);
        SampleEngine engine({ .layout = c.layout, .verifyAfter = c.verifyAfter });
        const int port = engine.start(0);
        const std::string origin = "http://127.0.0.1:" + std::to_string(port);
        httplib::Client client("127.0.0.1", port);
        client.set_url_encode(false);
        auto status = [&](const std::string& target) {
            auto res = client.Get(target);
            return res ? res->status : 0;
        };

        for (int n = 1; n < c.verifyAfter; ++n)
            EXPECT_EQ(status(searchTarget("abc", (n - 1) * 10)), 200) << n;
        // The Nth request and the ones after it, whatever they ask for.
        const std::string asked = searchTarget(kZhongWen, 20);
        auto sent = client.Get(asked);
        ASSERT_TRUE(sent);
        EXPECT_EQ(sent->status, 302);
        // The client hands out Location decoded once; the request's own
        // escapes (%D6...) must have survived that.
        EXPECT_EQ(sent->get_header_value("Location"),
            origin + "/static/captcha/index.html?backurl=" + origin + asked);
        EXPECT_EQ(status(searchTarget("xyz", 0)), 302);

        auto check = client.Get("/static/captcha/index.html?backurl=" + percentEncode(origin + asked));
        ASSERT_TRUE(check);
        EXPECT_EQ(check->get_header_value("Content-Type"), "text/html; charset=utf-8");
        const std::string& html = check->body;
        EXPECT_TRUE(contains(html, "<meta charset=\"utf-8\">"));
        EXPECT_EQ(firstMatch(html, "<title>([^<]*)</title>"), "百度安全验证");
        EXPECT_FALSE(contains(html, "href")) << "no links at all";
        EXPECT_EQ(firstMatch(html, "<button id=\"verify\"[^>]* data-backurl=\"([^\"]*)\""), origin + asked);
        EXPECT_TRUE(contains(html, "fetch('/static/captcha/pass', { method: 'POST' })"));

        auto pass = client.Post("/static/captcha/pass");
        ASSERT_TRUE(pass);
        EXPECT_EQ(pass->status, 200);
        EXPECT_EQ(status(asked), 200);
        EXPECT_EQ(status(searchTarget("xyz", 0)), 200);

        std::vector<int> statuses;
        for (const RequestRecord& r : engine.requests())
            statuses.push_back(r.status);
        std::vector<int> expected(static_cast<size_t>(c.verifyAfter - 1), 200);
        expected.insert(expected.end(), { 302, 302, 200, 200, 200, 200 });
        EXPECT_EQ(statuses, expected);
        const RequestRecord redirected = engine.requests()[static_cast<size_t>(c.verifyAfter - 1)];
        EXPECT_EQ(redirected.wordGbk, kZhongWen);
        EXPECT_EQ(redirected.pn, 20);
    }
}
