#include "SampleCodec.h"
#include "SampleEngine.h"
#include "SamplePage.h"
#include "harvest/PageReader.h"

#include <QByteArray>

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

using namespace tess::sample;

namespace {

const std::string ZhongWen = "\xD6\xD0\xCE\xC4"; // 中文 in GBK

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
    return tess::harvest::ReadPagerState(QByteArray::fromStdString(bodyText));
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
        engine = std::make_unique<SampleEngine>(settings);
        port = engine->start(0);
        client = std::make_unique<httplib::Client>("127.0.0.1", port);
        client->set_connection_timeout(5);
        client->set_read_timeout(5);
        // Targets go out as written, as a browser sends the harvester's requests.
        client->set_url_encode(false);
    }

    std::string page(const std::string& wordGbk, long long pn)
    {
        auto res = client->Get(searchTarget(wordGbk, pn));
        if (!res || res->status != 200) {
            ADD_FAILURE() << "request failed for pn=" << pn;
            return {};
        }
        return res->body;
    }

    std::unique_ptr<SampleEngine> engine;
    std::unique_ptr<httplib::Client> client;
    int port = 0;
};

} // namespace

TEST(SampleCodec, EncodesAndDecodesTheFormTheHarvesterSends)
{
    EXPECT_EQ(utf8ToGbk("下一页"), "\xCF\xC2\xD2\xBB\xD2\xB3");
    EXPECT_EQ(gbkToUtf8(ZhongWen), "中文");
    EXPECT_EQ(utf8ToGbk("a\xF0\x9F\x98\x80z"), "a?z"); // outside GBK

    EXPECT_EQ(formEncode(ZhongWen + " a-b.+"), "%D6%D0%CE%C4+a%2Db%2E%2B");
    struct {
        std::string encoded, decoded;
    } const cases[] = {
        { "%D6%D0%CE%C4+a%2Db%2E%2B", ZhongWen + " a-b.+" },
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
        { "lm=0&si=&rn=10&ie=gb2312&ct=0&word=%D6%D0%CE%C4+x&pn=20&cl=3", ZhongWen + " x", 20 },
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
    const std::string html = page(ZhongWen, 20);
    const auto links = hrefs(html);
    for (long long pn : { 0, 10, 30, 40 })
        EXPECT_NE(std::find(links.begin(), links.end(), searchTarget(ZhongWen, pn)), links.end()) << pn;
    EXPECT_TRUE(contains(searchTarget(ZhongWen, 10), "word=%D6%D0%CE%C4&pn=10&cl=3"));

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
    engine->setObserver([&](const RequestRecord& r) {
        std::lock_guard lock(seenMutex);
        seen.push_back(r);
    });

    // Lower-case hex must read the same as the harvester's upper-case form.
    auto res = client->Get("/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=%d6%d0%ce%c4+a%26b&pn=10&cl=3");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=gbk");
    const std::string& html = res->body;
    EXPECT_TRUE(contains(html, "<meta charset=\"gbk\">"));
    const std::string shown = ZhongWen + " a&amp;b";
    EXPECT_TRUE(contains(html, "<title>" + shown + utf8ToGbk("_示例搜索") + "</title>"));
    EXPECT_FALSE(contains(html, "a&b")); // the keyword is escaped wherever it appears

    static const std::regex resultLink("<h3 class=\"t\"><a href=\"([^\"]*)\"[^>]*>([^<]*)</a>");
    const std::string word = ZhongWen + " a&b";
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
    EXPECT_EQ(engine->requestCount(), 1u);
}

TEST_F(SampleEngineServer, HarvestRulesLeaveExactlyTheTenResults)
{
    startWith({});
    const std::string html = page(ZhongWen, 30);
    const std::string host = "127.0.0.1:" + std::to_string(port);
    const auto links = hrefs(html);

    auto has = [&](auto predicate) { return std::any_of(links.begin(), links.end(), predicate); };
    EXPECT_TRUE(has([&](const std::string& l) { return startsWith(l, "http://" + host + "/link?"); }));
    EXPECT_TRUE(has([](const std::string& l) { return startsWith(l, "https://"); }));
    EXPECT_TRUE(has([](const std::string& l) { return startsWith(l, "mailto:"); }));
    EXPECT_TRUE(has([](const std::string& l) { return startsWith(l, "javascript:"); }));
    const std::string twin = "http://" + lower(resultAddress(ZhongWen, 32)).substr(7);
    EXPECT_TRUE(
        has([&](const std::string& l) { return l != resultAddress(ZhongWen, 32) && lower(l) == twin; }));

    // The page's own host reduces to "0.1:<port>"; relative links resolve to it,
    // as the browser gives them. Then the harvester's own rules pick the links.
    const QByteArray siteDomain
        = tess::harvest::SiteDomain(QByteArray::fromStdString("http://" + host + searchTarget(ZhongWen, 30)));
    EXPECT_EQ(siteDomain.toStdString(), "0.1:" + std::to_string(port));
    tess::harvest::PageLinkList pageLinks;
    std::vector<std::string> taken;
    for (std::string link : links) {
        if (startsWith(link, "/"))
            link = "http://" + host + link;
        const QByteArray href = QByteArray::fromStdString(link);
        if (!tess::harvest::IsOutboundLink(href, siteDomain) || pageLinks.contains(href))
            continue;
        pageLinks.add(href);
        taken.push_back(link);
    }
    std::vector<std::string> expected;
    for (long long r = 31; r <= 40; ++r)
        expected.push_back(resultAddress(ZhongWen, r));
    EXPECT_EQ(taken, expected);
}

TEST_F(SampleEngineServer, AnswersOtherPathsWith404)
{
    startWith({});
    for (const char* target : { "/", "/s?wd=abc", "/baidu/x", "/link?url=1" }) {
        auto res = client->Get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 404) << target;
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=gbk");
    }
    const auto log = engine->requests();
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
