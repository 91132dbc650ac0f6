#include "ListTestFiles.h"
#include "tools/list/UniqueLines.h"

#include <QSet>

#include <gtest/gtest.h>

#include <random>

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

} // namespace
