#include "ListTestFiles.h"
#include "text/Errors.h"
#include "tools/merge/AddressMerge.h"

#include <QDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

using namespace tess;
using test::crLfLines;

namespace {

TEST(ListCommand, WrongWordsAreNamed)
{
    struct Case {
        QStringList words;
        const char* named;
    };
    const QString o = QStringLiteral("-o");
    const QString t = QStringLiteral("t.txt");
    const QString s = QStringLiteral("s.txt");
    const Case cases[] = {
        { { QStringLiteral("--keep-matching"), QStringLiteral("a(b"), o, t, s },
            "--keep-matching: bad pattern a(b: missing closing parenthesis at offset 3" },
        { { QStringLiteral("--trim"), QStringLiteral("site"), o, t, s }, "--trim is root|host|path: site" },
        { { QStringLiteral("--unique"), QStringLiteral("url"), o, t, s }, "--unique is address|host|domain" },
        { { QStringLiteral("--count"), QStringLiteral("x"), o, t, s }, "--count is host|domain|tld" },
        { { QStringLiteral("--split"), QStringLiteral("0"), o, t, s }, "--split needs a whole number" },
        { { QStringLiteral("--split"), QStringLiteral("2"), QStringLiteral("--count"), QStringLiteral("host"),
              o, t, s },
            "exclude each other" },
        { { QStringLiteral("--memory"), QStringLiteral("lots"), o, t, s }, "--memory needs a size" },
        { { QStringLiteral("--bogus"), o, t, s }, "unknown option --bogus" },
        { { o, t, o, t, s }, "-o given twice" },
        { { QStringLiteral("--sort"), s }, "-o TARGET is missing" },
        { { o, t }, "no SOURCE" },
        { { o, t, QStringLiteral("--trim") }, "--trim needs a value" },
    };
    for (const Case& c : cases) {
        QString wrong;
        EXPECT_FALSE(tools::parseListArguments(c.words, &wrong)) << c.named;
        EXPECT_TRUE(wrong.contains(QLatin1String(c.named))) << wrong.toStdString();
    }
}

TEST(ListCommand, StepsKeepTheirOrderAndOptionsTheirValues)
{
    const std::optional<tools::ListArguments> a
        = tools::parseListArguments({ QStringLiteral("--trim"), QStringLiteral("root"),
            QStringLiteral("--sort"), QStringLiteral("--unique"), QStringLiteral("domain"),
            QStringLiteral("--memory"), QStringLiteral("64M"), QStringLiteral("-o"), QStringLiteral("t.txt"),
            QStringLiteral("--split"), QStringLiteral("10"), QStringLiteral("a"), QStringLiteral("b") });
    ASSERT_TRUE(a);
    ASSERT_EQ(a->steps.size(), 3u);
    EXPECT_EQ(a->steps[0].kind, tools::ListStep::Kind::Trim);
    EXPECT_EQ(a->steps[1].kind, tools::ListStep::Kind::Sort);
    EXPECT_EQ(a->steps[2].value, QStringLiteral("domain"));
    EXPECT_EQ(a->memoryBudget, qint64(64) << 20);
    EXPECT_EQ(a->split, 10);
    EXPECT_EQ(a->sources, (QStringList { QStringLiteral("a"), QStringLiteral("b") }));
}

TEST(ListCommand, SplitPartsAreNumberedBesideTheTarget)
{
    struct Case {
        const char* target;
        qint64 number;
        const char* part;
    };
    const Case cases[] = {
        { "out.txt", 1, "out-001.txt" },
        { "/d.x/out.txt", 12, "/d.x/out-012.txt" },
        { "/d.x/out", 3, "/d.x/out-003" },
        { "a.b.csv", 1000, "a.b-1000.csv" },
        { "/d/.list", 2, "/d/.list-002" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(tools::splitPartName(QString::fromLatin1(c.target), c.number), QString::fromLatin1(c.part));

    QTemporaryDir dir;
    const QString part = dir.filePath(QStringLiteral("out-%1.txt"));
    EXPECT_EQ(test::listed(dir, crLfLines({ "a", "b", "c", "d", "e" }),
                  { QStringLiteral("--split"), QStringLiteral("2") }),
        "<missing>");
    EXPECT_EQ(test::readFile(part.arg(QStringLiteral("001"))), crLfLines({ "a", "b" }));
    EXPECT_EQ(test::readFile(part.arg(QStringLiteral("002"))), crLfLines({ "c", "d" }));
    EXPECT_EQ(test::readFile(part.arg(QStringLiteral("003"))), crLfLines({ "e" }));
    EXPECT_EQ(test::readFile(part.arg(QStringLiteral("004"))), "<missing>");

    QTemporaryDir empty;
    test::listed(empty, "", { QStringLiteral("--split"), QStringLiteral("2") });
    EXPECT_EQ(test::readFile(empty.filePath(QStringLiteral("out-001.txt"))), QByteArray());
}

TEST(ListCommand, CountsGoLargestFirstThenByKey)
{
    const QByteArrayList in { "http://b.x.cn/1", "http://c.cn/", "http://a.x.cn/2", "http://d.com/", "words",
        "http://c.cn/3", "http://x.cn/" };
    struct Case {
        const char* by;
        QByteArrayList out;
    };
    const Case cases[] = {
        { "domain", { "3\tx.cn", "2\tc.cn", "1\td.com" } },
        { "host", { "2\tc.cn", "1\ta.x.cn", "1\tb.x.cn", "1\td.com", "1\tx.cn" } },
        { "tld", { "5\tcn", "1\tcom" } },
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        tools::ListCounts counts;
        EXPECT_EQ(test::listed(dir, crLfLines(in), { QStringLiteral("--count"), QString::fromLatin1(c.by) },
                      0, &counts),
            crLfLines(c.out))
            << c.by;
        EXPECT_EQ(counts.linesOut, c.out.size());
    }
}

TEST(ListCommand, ErrorsAreSaidAndExitWithOne)
{
    QTemporaryDir dir;
    const QString source = test::writeFile(dir.filePath(QStringLiteral("in.txt")), "a.cn\r\n");
    struct Case {
        QStringList words;
        const char* said;
    };
    const Case cases[] = {
        { { QStringLiteral("-o"), dir.filePath(QStringLiteral("t.txt")),
              dir.filePath(QStringLiteral("missing.txt")) },
            "Cannot open file" },
        { { QStringLiteral("-o"), dir.filePath(QStringLiteral("no/t.txt")), source }, "Cannot create file" },
        { { QStringLiteral("--keep-listed"), dir.filePath(QStringLiteral("nolist.txt")), QStringLiteral("-o"),
              dir.filePath(QStringLiteral("t.txt")), source },
            "nolist.txt" },
        { { QStringLiteral("-o"), QStringLiteral("/dev/full"), source }, "Stream write error" },
    };
    for (const Case& c : cases) {
        const std::optional<tools::ListArguments> arguments = tools::parseListArguments(c.words);
        ASSERT_TRUE(arguments);
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(tools::runListCommand(*arguments, out, err), 1) << c.said;
        std::rewind(err);
        char text[512] = {};
        const size_t n = std::fread(text, 1, sizeof text - 1, err);
        EXPECT_TRUE(QByteArray(text, qsizetype(n)).contains(c.said)) << text;
        std::fclose(out);
        std::fclose(err);
    }
}

} // namespace

// Asked to stop, before the first line or while the sources are read (the
// steps that hold every line read on till the end first), the list stops
// with the merge's exception, the target as it was and nothing left beside it.
TEST(ListCommand, AStopLeavesTheTargetAsItWas)
{
    QByteArray big;
    for (int i = 0; i < 200000; ++i)
        big += "http://www.example" + QByteArray::number(i % 5000) + ".cn/\r\n";
    struct Case {
        const char* name;
        QStringList steps;
        bool stopAtOnce;
    };
    const Case cases[] = {
        { "at once", {}, true },
        { "while sorting", { QStringLiteral("--sort") }, false },
        { "while counting", { QStringLiteral("--count"), QStringLiteral("host") }, false },
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString source = test::writeFile(dir.filePath(QStringLiteral("in.txt")), big);
        const QString target = test::writeFile(dir.filePath(QStringLiteral("out.txt")), "old\r\n");
        const std::optional<tools::ListArguments> arguments
            = tools::parseListArguments(c.steps + QStringList { QStringLiteral("-o"), target, source });
        ASSERT_TRUE(arguments);
        std::atomic<bool> stop = c.stopAtOnce;
        tools::ListOptions options;
        options.spillFolder = dir.path();
        options.cancel = &stop;
        options.progress = [&](int) { stop = true; };
        EXPECT_THROW(tools::runList(*arguments, options), tools::MergeCancelled) << c.name;
        EXPECT_EQ(test::readFile(target), QByteArray("old\r\n")) << c.name;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            (QStringList { QStringLiteral("in.txt"), QStringLiteral("out.txt") }))
            << c.name;
    }
}
