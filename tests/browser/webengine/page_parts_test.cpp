// The page's parts (organic results, advertisements, related searches) as
// the real browser reads them: with the built-in rule sets' selectors on
// pages marked up as each engine's are, and on the sample engine's layouts.

#include "LayoutPages.h"
#include "SampleEngine.h"
#include "support/EventLoop.h"
#include "support/LocalHttpServer.h"

#include "browser/webengine/WebEngineBrowserHost.h"
#include "harvest/PageHarvest.h"
#include "harvest/RuleSet.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using tess::browser::BrowserHost;
using tess::browser::FrameId;
using tess::browser::PageLink;
using tess::browser::WebEngineBrowserHost;
using tess::harvest::RowKind;
using tess::harvest::RuleSet;
using tess::test::LocalHttpServer;
using tess::test::runEventsFor;
using tess::test::waitUntil;

namespace {

constexpr int kLoadTimeoutMs = 15000;

QByteArray page(const QByteArray& body)
{
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>t</title></head><body>" + body
        + "</body></html>";
}

BrowserHost::PageParts partsOf(const RuleSet& rules)
{
    return { rules.resultContainer, rules.adMarkers, rules.relatedSearches };
}

class PagePartsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(profileDir.isValid());
        host = std::make_unique<WebEngineBrowserHost>(profileDir.path());
        host->view()->resize(800, 600);
        host->view()->show();
        host->onDocumentComplete = [this](FrameId) { ++completions; };
    }

    void TearDown() override
    {
        host.reset();
        runEventsFor(500);
    }

    bool load(const QByteArray& url)
    {
        const int before = completions;
        host->navigate(url);
        return waitUntil([&] { return completions > before; }, kLoadTimeoutMs);
    }

    QTemporaryDir profileDir;
    LocalHttpServer server;
    std::unique_ptr<WebEngineBrowserHost> host;
    int completions = 0;
};

// Where one link of a page stands.
struct Place {
    const char* text; // the link's text, to tell which
    int resultIndex;
    bool ad;
};

struct MarkupCase {
    const char* engine;
    BrowserHost::PageParts parts;
    QByteArray body;
    std::vector<Place> links;
    int resultCount;
    QStringList related;
};

void expectParts(const tess::browser::PageSnapshot& s, const MarkupCase& c)
{
    ASSERT_EQ(s.links.size(), qsizetype(c.links.size())) << c.engine;
    for (size_t i = 0; i < c.links.size(); ++i) {
        const PageLink& link = s.links.at(qsizetype(i));
        EXPECT_EQ(link.text, QString::fromUtf8(c.links[i].text)) << c.engine << " link " << i;
        EXPECT_EQ(link.resultIndex, c.links[i].resultIndex) << c.engine << " " << c.links[i].text;
        EXPECT_EQ(link.ad, c.links[i].ad) << c.engine << " " << c.links[i].text;
    }
    EXPECT_EQ(s.resultCount, c.resultCount) << c.engine;
    EXPECT_EQ(s.relatedSearches, c.related) << c.engine << ": " << s.relatedSearches.join(u'|').toStdString();
}

const QByteArray kBingBody
    = "<ol id=\"b_results\">"
      "<li class=\"b_ad\"><ul><li><h2><a href=\"http://ad.example/\">广告</a></h2></li></ul></li>"
      "<li class=\"b_algo\"><div class=\"b_tpcn\"><a class=\"tilk\" href=\"http://r1.example/\">站</a>"
      "</div><h2><a href=\"http://r1.example/\">一</a></h2></li>"
      "<li class=\"b_ans\"><div class=\"b_rs\"><ul><li><a href=\"/search?q=x1\">x1</a></li>"
      "<li><a href=\"/search?q=x2\">x2  and\n more</a></li></ul></div></li>"
      "<li class=\"b_algo\"><h2><a href=\"http://r2.example/\">二</a></h2>"
      "<div class=\"sb_adsWv2\"><a href=\"http://ad2.example/\">ad2</a></div></li>"
      "</ol><div class=\"b_rs\"><a href=\"/search?q=x3\">x3</a><span>x4</span>"
      "<a href=\"/search?q=x1\">x1</a><a href=\"/search?q=\"> </a></div>";

} // namespace

TEST_F(PagePartsTest, EachEnginesSelectorsPlaceItsLinks)
{
    const MarkupCase cases[] = {
        { "today", partsOf(tess::harvest::todayRules()),
            "<div id=\"content_left\">"
            "<div><div class=\"EC_result c-container\" data-lp=\"https://lp.example/\"><h3><a "
            "href=\"https://www.baidu.com/baidu.php?url=x\">广告一</a></h3></div></div>"
            "<div class=\"result c-container\" id=\"1\"><h3 class=\"t\"><a "
            "href=\"http://a1.example/\">一</a></h3>"
            "<a href=\"http://cache.example/\">快照</a></div>"
            "<div class=\"result-op c-container\" tpl=\"recommend_list\"><a href=\"/s?wd=r1\">大家 还在搜</a>"
            "<a href=\"/s?wd=r2\">r2</a></div>"
            "<div class=\"result c-container\" id=\"2\"><div><h3><a "
            "href=\"http://a2.example/\">二</a></h3></div></div>"
            "</div><div class=\"result c-container\"><a href=\"http://out.example/\">外</a></div>"
            "<div id=\"rs\"><table><tr><th><a href=\"/s?wd=r1\">  大家\n  还在搜 </a></th>"
            "<th><a href=\"/s?wd=r3\">r3</a></th></tr></table></div>"
            "<a href=\"https://www.baidu.com/baidu.php?url=y\">裸广告</a>",
            { { "广告一", -1, true }, { "一", 0, false }, { "快照", 0, false }, { "大家 还在搜", -1, false },
                { "r2", -1, false }, { "二", 1, false }, { "外", -1, false }, { "大家 还在搜", -1, false },
                { "r3", -1, false }, { "裸广告", -1, true } },
            2, { u"大家 还在搜"_s, u"r2"_s, u"r3"_s } },
        { "360", partsOf(tess::harvest::threeSixtyRules()),
            "<ul id=\"e_idea_pp\" class=\"e_result\"><li><a href=\"http://ad1.example/\">推广</a></li></ul>"
            "<div id=\"main\"><ul class=\"result\">"
            "<li class=\"res-list\"><h3 class=\"res-title\"><a href=\"http://r1.example/\">一</a></h3></li>"
            "<li class=\"res-list\"><div class=\"g-mohe\"><a "
            "href=\"https://baike.so.com/\">百科</a></div></li>"
            "<li><span>其他人还搜了</span><a href=\"/s?q=o1\">o1</a> <a href=\"/s?q=o2\">o2</a></li>"
            "<li class=\"res-list\"><h3 class=\"res-title\"><a href=\"http://r2.example/\">二</a></h3></li>"
            "</ul></div><ul id=\"e_idea_pp_vip_bottom\" class=\"e_result\"><li><a "
            "href=\"http://ad2.example/\">推广二</a></li></ul>"
            "<div id=\"rs\"><a href=\"/s?q=o2\">o2</a> <a href=\"/s?q=o3\">o3</a></div>",
            { { "推广", -1, true }, { "一", 0, false }, { "百科", 1, false }, { "o1", -1, false },
                { "o2", -1, false }, { "二", 2, false }, { "推广二", -1, true }, { "o2", -1, false },
                { "o3", -1, false } },
            3, { u"o1"_s, u"o2"_s, u"o3"_s } },
        { "sogou", partsOf(tess::harvest::sogouRules()),
            "<div class=\"sponsored\" id=\"leftbottomleadContainer\"><a "
            "href=\"http://ad.example/\">推广</a></div>"
            "<div class=\"results\">"
            "<div class=\"rb\"><h3 class=\"pt\"><a href=\"http://r1.example/\">一</a></h3></div>"
            "<div class=\"vrwrap\"><div class=\"struct201102\"><h3 class=\"vr-title\"><a "
            "href=\"http://r2.example/\">二</a></h3></div></div>"
            "<div class=\"vrwrap middle-better-hintBox\"><a href=\"/web?query=h1\">h1</a></div>"
            "<div><div class=\"vrwrap\"><a href=\"http://nested.example/\">嵌</a></div></div>"
            "</div><div id=\"hint_container\"><a href=\"/web?query=h2\">h2</a> <a "
            "href=\"/web?query=h1\">h1</a></div>",
            { { "推广", -1, true }, { "一", 0, false }, { "二", 1, false }, { "h1", -1, false },
                { "嵌", -1, false }, { "h2", -1, false }, { "h1", -1, false } },
            2, { u"h1"_s, u"h2"_s } },
        { "bing", partsOf(tess::harvest::bingRules()), kBingBody,
            { { "广告", -1, true }, { "站", 0, false }, { "一", 0, false }, { "x1", -1, false },
                { "x2 and more", -1, false }, { "二", 1, false }, { "ad2", 1, true }, { "x3", -1, false },
                { "x1", -1, false }, { "", -1, false } },
            2, { u"x1"_s, u"x2 and more"_s, u"x3"_s } },
        { "classic", partsOf(tess::harvest::classicRules()), kBingBody,
            { { "广告", -1, false }, { "站", -1, false }, { "一", -1, false }, { "x1", -1, false },
                { "x2 and more", -1, false }, { "二", -1, false }, { "ad2", -1, false }, { "x3", -1, false },
                { "x1", -1, false }, { "", -1, false } },
            0, {} },
        // Selectors that do not parse, or that this browser does not know,
        // are no part at all; the others still count.
        { "invalid", { u"div["_s, u":has(a)"_s, u"###"_s }, kBingBody,
            { { "广告", -1, false }, { "站", -1, false }, { "一", -1, false }, { "x1", -1, false },
                { "x2 and more", -1, false }, { "二", -1, false }, { "ad2", -1, false }, { "x3", -1, false },
                { "x1", -1, false }, { "", -1, false } },
            0, {} },
        { "partly invalid", { u"li.b_algo"_s, u"li.b_ad:has(a), ("_s, u"div.b_rs a"_s }, kBingBody,
            { { "广告", -1, false }, { "站", 0, false }, { "一", 0, false }, { "x1", -1, false },
                { "x2 and more", -1, false }, { "二", 1, false }, { "ad2", 1, false }, { "x3", -1, false },
                { "x1", -1, false }, { "", -1, false } },
            2, { u"x1"_s, u"x2 and more"_s, u"x3"_s } },
    };
    for (const MarkupCase& c : cases) {
        const QByteArray path = "/" + QByteArray(c.engine).replace(' ', '-') + ".html";
        server.setPage(path, page(c.body));
        host->setPageParts(c.parts);
        ASSERT_TRUE(load(server.url(path))) << c.engine;
        expectParts(host->snapshot(), c);
    }
}

TEST_F(PagePartsTest, APageOfThousandsOfLinksIsPlacedInOnePass)
{
    constexpr int kResults = 5000;
    QByteArray body = "<div id=\"list\">";
    for (int i = 0; i < kResults; ++i) {
        const QByteArray n = QByteArray::number(i);
        body += (i % 7 == 0 ? "<div class=\"r ad\">" : "<div class=\"r\">")
            + QByteArray("<p><span><a href=\"http://") + n + ".example/\">" + n + "</a></span></p></div>";
    }
    body += "</div><a href=\"http://tail.example/\">tail</a>";
    server.setPage("/big.html", page(body));
    host->setPageParts({ u"#list > div.r"_s, u".ad"_s, u"#none a"_s });
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(load(server.url("/big.html")));
    const tess::browser::PageSnapshot& s = host->snapshot();
    ASSERT_EQ(s.links.size(), kResults + 1);
    EXPECT_EQ(s.resultCount, kResults);
    for (int i = 0; i < kResults; ++i) {
        ASSERT_EQ(s.links.at(i).resultIndex, i);
        ASSERT_EQ(s.links.at(i).ad, i % 7 == 0) << i;
    }
    EXPECT_EQ(s.links.last().resultIndex, -1);
    EXPECT_FALSE(s.links.last().ad);
    // Far more than the load and the snapshot take; a quadratic walk over
    // the containers would not make it.
    EXPECT_LT(timer.elapsed(), 10000);
}

namespace {

struct LayoutCase {
    tess::sample::Layout layout;
    const RuleSet& rules;
    std::string wordGbk;
};

RowKind kindOf(const tess::sample::PredictedPlace& place)
{
    return place.ad ? RowKind::Ad : place.resultIndex >= 0 ? RowKind::Result : RowKind::Link;
}

} // namespace

// The built-in sets read each layout's pages as the sample engine predicts:
// its ads, its organic results by container and every other link.
TEST_F(PagePartsTest, TheBuiltInSetsPlaceEveryRowOfTheSampleEnginesLayouts)
{
    using tess::sample::Layout;
    const LayoutCase cases[] = {
        { Layout::Today, tess::harvest::todayRules(), "vue" },
        { Layout::So360, tess::harvest::threeSixtyRules(), "VUE" },
        { Layout::Sogou, tess::harvest::sogouRules(), "\xD6\xD0\xCE\xC4 a&b" },
        { Layout::Bing, tess::harvest::bingRules(), "vue" },
        { Layout::Classic, tess::harvest::classicRules(), "vue" },
    };
    for (const int ads : { 0, 2 }) {
        for (const LayoutCase& c : cases) {
            const tess::sample::EngineSettings settings {
                .pagesPerKeyword = 3, .layout = c.layout, .ads = ads
            };
            SCOPED_TRACE(c.rules.name.toStdString() + ", ads " + std::to_string(ads));
            tess::sample::SampleEngine engine(settings);
            const QByteArray engineHost = "127.0.0.1:" + QByteArray::number(engine.start(0));
            host->setTargetAttributes(c.rules.targetAttributes);
            host->setPageParts(partsOf(c.rules));
            const std::string target = tess::sample::layoutSearchTarget(c.layout, c.wordGbk, 1);
            ASSERT_TRUE(load("http://" + engineHost + QByteArray::fromStdString(target)));

            const tess::browser::PageSnapshot& s = host->snapshot();
            const tess::harvest::PageHarvest harvest = tess::harvest::harvestPage(s, c.rules, engineHost);
            const auto places = tess::sample::predictedPlaces(c.layout, c.wordGbk, 1, settings);
            // The classic page has no parts: every row, whatever it is, a link.
            if (c.layout != Layout::Classic) {
                const auto predicted = tess::sample::predictedRows(c.layout, c.wordGbk, 1, settings);
                ASSERT_EQ(harvest.rows.size(), qsizetype(predicted.size()));
            }
            EXPECT_FALSE(harvest.rows.isEmpty());
            const auto adsShown = tess::sample::layoutAds(c.layout, c.wordGbk, 1, settings);
            for (qsizetype i = 0; i < harvest.rows.size(); ++i) {
                const tess::harvest::PageRow& row = harvest.rows.at(i);
                const tess::sample::PredictedPlace place
                    = places.empty() ? tess::sample::PredictedPlace {} : places.at(size_t(i));
                EXPECT_EQ(row.kind, kindOf(place)) << "row " << i << " " << row.address.toStdString();
                EXPECT_EQ(row.resultIndex, place.resultIndex) << "row " << i;
                if (size_t(i) < adsShown.size()) {
                    EXPECT_EQ(row.address.toStdString(), adsShown[size_t(i)].target);
                }
            }
            EXPECT_EQ(s.resultCount, tess::sample::predictedResultCount(c.layout, c.wordGbk, 1, settings));
            QStringList related;
            if (c.layout != Layout::Classic) {
                for (const std::string& text : tess::sample::relatedSearchTexts(c.wordGbk))
                    related.append(QString::fromStdString(text));
            }
            EXPECT_EQ(s.relatedSearches, related) << s.relatedSearches.join(u'|').toStdString();
        }
    }
}
