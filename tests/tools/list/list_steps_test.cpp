#include "ListTestFiles.h"
#include "tools/list/LineSteps.h"

#include <gtest/gtest.h>

using namespace tess;
using test::crLfLines;

namespace {

QStringList words(const char* text) { return QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts); }

TEST(ListSteps, EachStepKeepsOrRewritesTheLinesItShould)
{
    struct Case {
        const char* steps;
        QByteArrayList in;
        QByteArrayList out;
    };
    const Case cases[] = {
        { "--trim root", { "http://A.b.Example.com/p?q=1", "www.x.cn/a/b", "hello" },
            { "http://Example.com/", "x.cn/", "hello" } },
        { "--trim host", { "https://u:p@A.example.cn:8080/x?y", "b.cn", "" },
            { "https://A.example.cn:8080/", "b.cn/", "" } },
        { "--trim path", { "http://a.cn/p/q?x=1#f", "http://a.cn/p#f?x", "http://a.cn" },
            { "http://a.cn/p/q", "http://a.cn/p", "http://a.cn" } },
        { "--unique address", { "http://A.cn/x", "http://a.cn/X", "http://b.cn/", "word", "word" },
            { "http://A.cn/x", "http://b.cn/", "word", "word" } },
        { "--unique host", { "http://a.x.cn/1", "https://A.X.cn/2", "http://b.x.cn/" },
            { "http://a.x.cn/1", "http://b.x.cn/" } },
        { "--unique domain", { "http://a.x.cn/1", "http://b.x.cn/2", "http://y.cn/", "http://X.cn/3" },
            { "http://a.x.cn/1", "http://y.cn/" } },
        { "--keep-tld cn,com.cn", { "http://a.cn/", "http://b.com.cn/", "http://c.com/", "none" },
            { "http://a.cn/", "http://b.com.cn/" } },
        { "--drop-tld cn,com.cn", { "http://a.cn/", "http://b.com.cn/", "http://c.com/", "none" },
            { "http://c.com/", "none" } },
        { "--keep-containing shop,MALL", { "http://SHOP.cn/", "http://mall.cn/", "http://x.cn/" },
            { "http://SHOP.cn/", "http://mall.cn/" } },
        { "--drop-containing shop", { "http://SHOP.cn/", "http://x.cn/" }, { "http://x.cn/" } },
        { "--keep-matching ^https:", { "https://a.cn/", "http://b.cn/" }, { "https://a.cn/" } },
        { "--drop-matching \\.gov\\.", { "http://a.gov.cn/", "http://b.cn/" }, { "http://b.cn/" } },
        { "--sort", { "http://b.cn/", "http://A.cn/", "http://a.cn/", "http://B.cn/" },
            { "http://A.cn/", "http://b.cn/" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        QTemporaryDir dir;
        EXPECT_EQ(test::listed(dir, crLfLines(c.in), words(c.steps)), crLfLines(c.out));
    }
}

TEST(ListSteps, TrimmedRootsAreTheSitesUnitsWrittenDomains)
{
    // The trim finds the domain once and cuts the written host itself.
    const QByteArray lines[] = { "http://A.b.Example.com.cn/p", "https://www.Example.co.uk./x",
        "a.b.github.io/x", "http://[::1]:8/x", "http://127.0.0.1/x",
        "http://\xE4\xBE\x8B\xE5\xAD\x90.\xE4\xB8\xAD\xE5\x9B\xBD/", "http://xn--fsqu00a.xn--fiqs8s/",
        "http://com.cn/", "ftp://u:p@Host.Example.org:21/" };
    for (const QByteArray& text : lines) {
        tools::ListLine line;
        line.setText(text);
        ASSERT_TRUE(line.site()) << text.toStdString();
        // An IPv6 address keeps its brackets, or the line would name no host.
        const QByteArray written = sites::writtenRegistrableDomain(text, *line.site());
        const QByteArray expected
            = text.first(line.site()->schemeEnd) + (text.contains('[') ? '[' + written + ']' : written) + '/';
        QByteArray buffer;
        EXPECT_EQ(tools::trimmedLine(line, tools::TrimTo::Root, buffer).toByteArray(), expected);
        // The trimmed line keeps its domain.
        line.setTextOfSameSite(buffer);
        tools::ListLine fresh;
        fresh.setText(buffer);
        EXPECT_EQ(line.domain(), fresh.domain()) << buffer.toStdString();
    }
}

TEST(ListSteps, ApplyInTheOrderGiven)
{
    const QByteArrayList in { "http://a.x.cn/1", "http://b.x.cn/2" };
    struct Case {
        const char* steps;
        QByteArrayList out;
    };
    const Case cases[] = {
        { "--trim root --unique address", { "http://x.cn/" } },
        { "--unique address --trim root", { "http://x.cn/", "http://x.cn/" } },
        { "--keep-containing b. --trim root", { "http://x.cn/" } },
        { "--trim root --keep-containing b.", {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        QTemporaryDir dir;
        EXPECT_EQ(test::listed(dir, crLfLines(in), words(c.steps)), crLfLines(c.out));
    }
}

TEST(ListSteps, ContainingWordsStartAtCharactersNotInsideGbkOnes)
{
    // 0x81 0x41 is one GBK character whose second byte reads as "A"; B0A1 is 啊.
    struct Case {
        QByteArray line;
        QByteArray word;
        bool found;
    };
    const Case cases[] = {
        { "x\x81\x41y", "a", false }, { "x\x81\x41y a", "a", true },
        { "\xB0\xA1\xB0\xA1", "\xA1\xB0", false }, { "http://\xB0\xA1.cn/", "\xB0\xA1", true },
        { "HTTP://Shop.CN/", "shop.cn", true },
        { "ab\xB0", "\xB0", true }, // a lone lead byte at the end is a character of its own
    };
    for (const Case& c : cases) {
        const tools::WordFinder finder({ c.word });
        EXPECT_EQ(finder.foundIn(c.line), c.found) << c.line.toHex().toStdString();
    }
}

TEST(ListSteps, ListedHostsAndTheRestSplitTheInput)
{
    QTemporaryDir dir;
    const QString listFile = test::writeFile(
        dir.filePath(QStringLiteral("sites.txt")), "# mine\r\nexample.cn\r\nhttp://b.org/x\r\n\r\n");
    const QByteArrayList in { "http://a.example.cn/1", "example.cn", "http://other.cn/", "http://b.org/y",
        "http://sub.b.org/", "not a host" };
    const QByteArray kept = test::listed(dir, crLfLines(in), { QStringLiteral("--keep-listed"), listFile });
    const QByteArray dropped
        = test::listed(dir, crLfLines(in), { QStringLiteral("--drop-listed"), listFile });
    EXPECT_EQ(
        kept, crLfLines({ "http://a.example.cn/1", "example.cn", "http://b.org/y", "http://sub.b.org/" }));
    EXPECT_EQ(dropped, crLfLines({ "http://other.cn/", "not a host" }));
}

TEST(ListSteps, LinesEndAnyWayInAndCrLfOut)
{
    QTemporaryDir dir;
    EXPECT_EQ(test::listed(dir, "a.cn\r\nb.cn\nc.cn\rd.cn\r\n\ne.cn", {}),
        crLfLines({ "a.cn", "b.cn", "c.cn", "d.cn", "", "e.cn" }));
    EXPECT_EQ(test::listed(dir, "", {}), QByteArray());
}

TEST(ListSteps, TheEndLineCountsLinesInOutAndWithoutAHost)
{
    QTemporaryDir dir;
    tools::ListCounts counts;
    test::listed(dir,
        crLfLines({ "http://a.cn/", "http://b.com/", "words", "http://c.cn/x", "http://c.cn/y" }),
        { QStringLiteral("--keep-tld"), QStringLiteral("cn") }, 0, &counts);
    EXPECT_EQ(counts.linesIn, 5);
    EXPECT_EQ(counts.linesOut, 3);
    EXPECT_EQ(counts.withoutHost, 1);
    EXPECT_EQ(
        tools::listDoneText(counts), QStringLiteral("list done: 5 lines in, 3 lines out, 1 without a host"));
}

} // namespace
