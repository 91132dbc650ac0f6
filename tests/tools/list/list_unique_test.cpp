#include "ListTestFiles.h"
#include "tools/list/KeyedLines.h"
#include "tools/list/UniqueLines.h"

#include <QSet>

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

using namespace tess;

namespace {

// Lines from memory.
class Lines final : public tools::LineStream {
public:
    explicit Lines(QByteArrayList lines)
        : m_lines(std::move(lines))
    {
    }
    bool next(tools::ListLine& line) override
    {
        if (m_at >= m_lines.size())
            return false;
        line.setText(m_lines[m_at++]);
        return true;
    }

private:
    QByteArrayList m_lines;
    qsizetype m_at = 0;
};

// Many hosts under fewer domains, in mixed case, with lines without a host
// among them.
QByteArrayList randomLines(int count, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArrayList lines;
    for (int i = 0; i < count; ++i) {
        const unsigned pick = random() % 20;
        if (pick == 0) {
            lines.append("no host " + QByteArray::number(random() % 50));
            continue;
        }
        QByteArray host = "h" + QByteArray::number(random() % 300) + ".d"
            + QByteArray::number(random() % 2000) + (pick % 2 ? ".cn" : ".com.cn");
        if (pick % 3 == 0)
            host = host.toUpper();
        lines.append("http://" + host + "/p" + QByteArray::number(random() % 4));
    }
    return lines;
}

// Lines from memory, then an error where the lines run out.
class FailingLines final : public tools::LineStream {
public:
    explicit FailingLines(QByteArrayList lines)
        : m_lines(std::move(lines))
    {
    }
    bool next(tools::ListLine& line) override
    {
        if (!m_lines.next(line))
            throw std::runtime_error("unreadable");
        return true;
    }

private:
    Lines m_lines;
};

QByteArrayList unique(const QByteArrayList& in, tools::LineKey key, qint64 budget, bool* spilled)
{
    Lines lines(in);
    QTemporaryDir dir;
    tools::UniqueStep step(lines, key, budget, dir.path(), dir.filePath(QStringLiteral("t.txt")));
    QByteArrayList out;
    for (tools::ListLine line; step.next(line);)
        out.append(line.text().toByteArray());
    *spilled = step.spilled();
    return out;
}

TEST(ListUnique, SpilledPastTheBudgetGivesTheSameLinesAsInMemory)
{
    const QByteArrayList in = randomLines(30000, 7);
    for (const tools::LineKey key :
        { tools::LineKey::Address, tools::LineKey::Host, tools::LineKey::Domain }) {
        bool spilledLarge = true;
        bool spilledTiny = false;
        const QByteArrayList inMemory = unique(in, key, qint64(256) << 20, &spilledLarge);
        const QByteArrayList spilled = unique(in, key, 64 << 10, &spilledTiny);
        EXPECT_FALSE(spilledLarge);
        EXPECT_TRUE(spilledTiny);
        EXPECT_EQ(spilled, inMemory);
        // The first line of each key, in input order, and every line
        // without a host.
        QSet<QByteArray> seen;
        QByteArrayList expected;
        for (const QByteArray& text : in) {
            tools::ListLine line;
            line.setText(text);
            if (!line.site()) {
                expected.append(text);
                continue;
            }
            const QByteArray k = tools::lineKey(line, key);
            if (!seen.contains(k)) {
                seen.insert(k);
                expected.append(text);
            }
        }
        EXPECT_EQ(inMemory, expected);
    }
}

TEST(ListUnique, TheCommandSpillsToTheSameTarget)
{
    const QByteArray in = test::crLfLines(randomLines(20000, 11));
    QTemporaryDir dir;
    const QStringList steps { QStringLiteral("--trim"), QStringLiteral("root"), QStringLiteral("--unique"),
        QStringLiteral("domain") };
    EXPECT_EQ(test::listed(dir, in, steps, 32 << 10), test::listed(dir, in, steps, qint64(64) << 20));
}

TEST(ListUnique, KeySetHoldsKeysExactlyWithinItsBudget)
{
    tools::KeySet keys(qint64(5) << 20);
    EXPECT_EQ(keys.insert("a.cn"), tools::KeySet::Result::Added);
    EXPECT_EQ(keys.insert("a.cn"), tools::KeySet::Result::Present);
    EXPECT_EQ(keys.insert(""), tools::KeySet::Result::Added);
    EXPECT_TRUE(keys.contains("a.cn"));
    EXPECT_FALSE(keys.contains("b.cn"));
    tools::KeySet::Result last = tools::KeySet::Result::Added;
    int added = 0;
    for (int i = 0; i < 1000000 && last != tools::KeySet::Result::Full; ++i) {
        last = keys.insert("key" + QByteArray::number(i));
        added += last == tools::KeySet::Result::Added;
    }
    EXPECT_EQ(last, tools::KeySet::Result::Full);
    EXPECT_LE(keys.cost(), qint64(5) << 20);
    EXPECT_GT(added, 10000);
    EXPECT_TRUE(keys.contains("key0"));
}

// Keys the size of domains: how many fit a budget depends on the bytes each
// slot of the table takes (about 22 a key with the table's slack and the
// blocks' unused ends; twice the slot, 38).
TEST(ListUnique, KeySetFitsShortKeysInUnderThirtyBytesOfBudgetEachBesidesTheirOwn)
{
    for (const qint64 budget : { qint64(5) << 20, qint64(40) << 20 }) {
        SCOPED_TRACE(budget);
        tools::KeySet keys(budget);
        qint64 keyBytes = 0;
        for (int i = 0;; ++i) {
            const QByteArray key = "www.example" + QByteArray::number(i) + ".cn";
            if (keys.insert(key) == tools::KeySet::Result::Full)
                break;
            keyBytes += key.size();
        }
        EXPECT_EQ(keys.insert("www.example0.cn"), tools::KeySet::Result::Present);
        EXPECT_LT(double(budget - keyBytes) / double(keys.size()), 30.0) << keys.size() << " keys";
    }
}

// Blocks are handed from thread to thread a few thousand lines at a time:
// enough lines for many blocks, in a ring of fewer, come in their order,
// each with the key and hash it would have had read where it is used.
TEST(ListKeyedLines, EveryLineInOrderWithItsKeyAcrossManyBlocks)
{
    const QByteArrayList in = randomLines(50000, 3);
    for (const tools::LineKey kind :
        { tools::LineKey::Address, tools::LineKey::Host, tools::LineKey::Domain }) {
        Lines lines(in);
        tools::KeyedLines keyed(lines, kind);
        qsizetype at = 0;
        tools::KeyedLine got;
        for (; keyed.next(got); ++at) {
            ASSERT_LT(at, in.size());
            tools::ListLine line;
            line.setText(in[at]);
            ASSERT_EQ(got.text, QByteArrayView(in[at]));
            ASSERT_EQ(got.hasSite, line.site().has_value());
            const QByteArray key = got.hasSite ? tools::lineKey(line, kind) : QByteArray();
            ASSERT_EQ(got.key, QByteArrayView(key)) << in[at].constData();
            ASSERT_EQ(got.hash, got.hasSite ? tools::keyHash(key) : 0);
            // The domain goes along where finding the key found it.
            ASSERT_EQ(got.domain, QByteArrayView(line.knownDomain()));
        }
        EXPECT_EQ(at, in.size());
        EXPECT_FALSE(keyed.next(got));
    }
}

// An error of the lines before comes after every line read before it, as
// it would have without the thread; a reader that stops early lets the
// thread go.
TEST(ListKeyedLines, AnErrorInItsPlaceAndAReaderThatStopsEarly)
{
    const QByteArrayList in = randomLines(10000, 5);
    FailingLines failing(in);
    tools::KeyedLines keyed(failing, tools::LineKey::Domain);
    qsizetype read = 0;
    tools::KeyedLine got;
    EXPECT_THROW(
        {
            while (keyed.next(got))
                ++read;
        },
        std::runtime_error);
    EXPECT_EQ(read, in.size());
    for (const int taken : { 0, 1, 5000 }) {
        Lines lines(randomLines(100000, 9));
        tools::KeyedLines early(lines, tools::LineKey::Host);
        for (int i = 0; i < taken; ++i)
            ASSERT_TRUE(early.next(got));
    }
}

// The registrable domain --trim root found for a line is the one the steps
// after --unique see, not one read again from the trimmed line.
TEST(ListUnique, TheDomainFoundBeforeGoesOn)
{
    const QByteArrayList in { "http://A.B.Example.com.cn/x", "no host", "https://www.example.com.cn/",
        "http://shop.example.org/" };
    Lines lines(in);
    tools::TrimStep trimmed(lines, tools::TrimTo::Root);
    QTemporaryDir dir;
    tools::UniqueStep step(
        trimmed, tools::LineKey::Domain, qint64(16) << 20, dir.path(), dir.filePath(QStringLiteral("t.txt")));
    QByteArrayList texts;
    QByteArrayList domains;
    for (tools::ListLine line; step.next(line);) {
        texts.append(line.text().toByteArray());
        domains.append(line.knownDomain().toByteArray());
    }
    EXPECT_EQ(texts, QByteArrayList({ "http://Example.com.cn/", "no host", "http://example.org/" }));
    EXPECT_EQ(domains, QByteArrayList({ "example.com.cn", "", "example.org" }));
}

// An error past the lines --unique passed on comes from next() in its place.
TEST(ListUnique, AnErrorOfTheLinesBeforeComesAfterTheLinesReadBeforeIt)
{
    FailingLines failing({ "http://a.cn/", "http://b.cn/", "http://a.cn/x" });
    QTemporaryDir dir;
    tools::UniqueStep step(
        failing, tools::LineKey::Domain, qint64(16) << 20, dir.path(), dir.filePath(QStringLiteral("t.txt")));
    tools::ListLine line;
    ASSERT_TRUE(step.next(line));
    EXPECT_EQ(line.text(), QByteArrayView("http://a.cn/"));
    ASSERT_TRUE(step.next(line));
    EXPECT_EQ(line.text(), QByteArrayView("http://b.cn/"));
    EXPECT_THROW(step.next(line), std::runtime_error);
}

} // namespace
