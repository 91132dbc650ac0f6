#include "harvest/PageReader.h"
#include "harvest/RequestAddress.h"
#include "text/Gbk.h"

#include <gtest/gtest.h>

using namespace tess::harvest;
using tess::text::toGbk;

TEST(RequestAddress, EncodesTheTrimmedGbkKeywordIntoTheEnginesQuery)
{
    const QByteArray base
        = buildRequestBase(classicRules(), { {}, "www.baidu.com" }, trimKeyword(toGbk(u" \t中国 a-b\r")));
    EXPECT_EQ(base,
        QByteArray("http://www.baidu.com/baidu?lm=0&si=&rn=10&ie=gb2312&ct=0&word=%D6%D0%B9%FA+a%2Db&pn="));
    EXPECT_EQ(requestAddress(classicRules(), base, 74), base + "740&cl=3");
    EXPECT_EQ(trimKeyword("   "), QByteArray());
}

TEST(PagerTest, NeedsNextPageAndBracketsOnALineBeginningWithPreviousPageOrOne)
{
    struct Case {
        const char16_t* body;
        bool more;
    } cases[] = {
        { u"1 [2] [3] [4] 下一页", true },
        { u"结果\r\n上一页 [1] 2 [3] 下一页\r\n版权", true },
        { u"上一页 [1] [2] 3", false }, // last page: no next page
        { u"2 [3] 下一页", false }, // neither 上一页 nor 1
        { u"1 2 3 下一页", false }, // no brackets
        { u"相关搜索\n 1 [2] 下一页", false }, // a leading blank is not "1"
        { u"10 [11] 下一页", true }, // begins with the byte "1"
        { u"上一页 [1] 2 [3] 下一页\r上一页", true }, // a lone CR ends a line too
        { u"", false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(readPagerState(toGbk(QStringView(c.body))), c.more)
            << QString::fromUtf16(c.body).toStdString();
}

TEST(SiteDomain, DropsLeadingLabelsWhileTwoRemainAtMostSixTimes)
{
    struct Case {
        const char* location;
        const char* domain;
    } cases[] = {
        { "http://www.baidu.com/baidu?word=x", "baidu.com" },
        { "http://a.b.com.cn/x", "com.cn" },
        { "http://a.b.c.d/", "c.d" },
        { "http://a.b.c.d.e.f.g.h.i/", "g.h.i" },
        { "http://www.baidu.com", "" }, // no "/" after the host
        { "http://127.0.0.1:8642/baidu", "0.1:8642" },
        { "http://localhost:8642/baidu", "localhost:8642" },
        { "http://.a.b.c/", ".a.b.c" }, // a leading "." stops it
        { "abc.def.ghi/x", "def.ghi" }, // no "//": from the second character
        { "", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(siteDomain(c.location), QByteArray(c.domain)) << c.location;
}

TEST(OutboundLinks, OnlyPlainHttpLinksOutsideTheEnginesDomain)
{
    EXPECT_TRUE(isOutboundLink("http://shop.example.com/", "baidu.com"));
    EXPECT_FALSE(isOutboundLink("http://www.baidu.com/link?u=1", "baidu.com"));
    EXPECT_FALSE(isOutboundLink("http://x.com/?from=baidu.com", "baidu.com"));
    EXPECT_FALSE(isOutboundLink("https://shop.example.com/", "baidu.com"));
    EXPECT_FALSE(isOutboundLink("HTTP://shop.example.com/", "baidu.com"));
    EXPECT_FALSE(isOutboundLink("mailto:a@b.c", "baidu.com"));
    EXPECT_FALSE(isOutboundLink("javascript:void(0)", "baidu.com"));
    // An empty domain is never contained: the engine's own links pass too.
    EXPECT_TRUE(isOutboundLink("http://www.baidu.com/x", ""));
}

TEST(PageLinkList, ComparesWithoutRegardToLetterCaseOnly)
{
    PageLinkList list;
    list.add("http://Example.com/A");
    EXPECT_TRUE(list.contains("http://example.COM/a"));
    EXPECT_FALSE(list.contains("http://example.com/a/"));
    list.add(toGbk(u"http://例子.com/乤"));
    EXPECT_FALSE(list.contains("http://\xC0\xFD\xD7\xD3.com/\x81\x41")); // 丄 is not 乤 in upper case
    list.clear();
    EXPECT_EQ(list.size(), 0);
}
