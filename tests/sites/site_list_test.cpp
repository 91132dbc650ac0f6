#include "sites/SiteAddress.h"

#include "support/Errors.h"
#include "support/Files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tess::sites;

namespace {

TEST(SiteListMatches, TheHostAndEveryDomainUnderIt)
{
    const SiteList list = SiteList::fromLines("example.com.cn\n"
                                              "http://User@Shop.Example.ORG.:81/x?y\n"
                                              "alice.github.io\n"
                                              "intranet\n"
                                              "[2001:db8::1]\n"
                                              "10.0.0.1\n");
    EXPECT_EQ(list.size(), 6);
    const struct {
        const char* line;
        bool listed;
    } cases[] = {
        { "http://example.com.cn/", true },
        { "https://a.b.EXAMPLE.com.cn./x", true },
        { "http://other.com.cn/", false },
        { "http://com.cn/", false },
        { "shop.example.org/page", true },
        { "http://x.shop.example.org/", true },
        { "http://example.org/", false }, // the list names a subdomain only
        { "http://alice.github.io/", true },
        { "http://blog.alice.github.io/", true },
        { "http://bob.github.io/", false },
        { "http://intranet/", true },
        { "http://wiki.intranet:8080/", true },
        { "intranet", false }, // a word in an address list, not a host
        { "http://[2001:DB8:0::1]:8080/", true },
        { "http://10.0.0.1/", true },
        { "http://1.10.0.0.1/", false }, // not an address: no walk to an IP's tail
        { "http://10.0.0.2/", false },
        { "", false },
        { "mailto:", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(list.matches(QByteArrayView(c.line)), c.listed);
    }
}

TEST(SiteListMatches, IdnEntriesMatchEitherForm)
{
    const SiteList utf8 = SiteList::fromLines("例子.中国\n");
    const SiteList ascii = SiteList::fromLines("XN--FSQU00A.xn--fiqs8s.\n");
    for (const SiteList* list : { &utf8, &ascii }) {
        EXPECT_TRUE(list->matches("http://www.例子.中国/"));
        EXPECT_TRUE(list->matches("http://www.xn--fsqu00a.XN--FIQS8S/"));
        EXPECT_FALSE(list->matches("http://中国/"));
    }
}

TEST(SiteListReading, SkipsBlanksAndCommentsInEitherLineEnd)
{
    const QByteArray text = "\xEF\xBB\xBF# sites\r\n"
                            "\r\n"
                            "  example.com  \r\n"
                            "\t\n"
                            "#comment.org\n"
                            "!not-a-host\n"
                            "\xd6\xd0\xce\xc4.cn\r\n"
                            "last.org";
    const SiteList list = SiteList::fromLines(text);
    EXPECT_EQ(list.size(), 3);
    EXPECT_TRUE(list.matches("http://www.example.com/"));
    EXPECT_TRUE(list.matches("http://\xd6\xd0\xce\xc4.CN/"));
    EXPECT_TRUE(list.matches("last.org"));
    EXPECT_FALSE(list.matches("http://comment.org/"));
    EXPECT_TRUE(SiteList::fromLines("").isEmpty());
    EXPECT_TRUE(SiteList::fromLines("\r\n# only a comment\r\n").isEmpty());
}

TEST(SiteListReading, LoadsAFileAndNamesOneItCannotRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path
        = tess::test::writeFile(dir.filePath(QStringLiteral("站点.txt")), "a.example.com\r\nb.cn\r\n");
    const SiteList list = SiteList::load(path);
    EXPECT_EQ(list.size(), 2);
    EXPECT_TRUE(list.matches("http://x.b.cn/"));

    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const QString error = tess::test::errorOf([&] { SiteList::load(missing); });
    EXPECT_TRUE(error.contains(missing)) << error.toStdString();
}

} // namespace
