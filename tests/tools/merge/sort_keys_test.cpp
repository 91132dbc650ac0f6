#include "tools/merge/LineCollation.h"
#include "tools/merge/SortKeys.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tess::tools;
using keys::kInTail;
using keys::WordFill;

namespace {

// Words read one after another until the key's 0 byte, cut after it, then
// the word a further read gives: the sort relies on it being 0.
struct ReadKey {
    QByteArray key;
    uint64_t after = ~uint64_t(0);
};

ReadKey readKey(const std::function<uint64_t()>& nextWord)
{
    ReadKey out;
    for (int words = 0; words < 64; ++words) {
        const uint64_t w = nextWord();
        for (int shift = 56; shift >= 0; shift -= 8) {
            out.key += static_cast<char>((w >> shift) & 0xFF);
            if (((w >> shift) & 0xFF) == 0) {
                out.after = nextWord();
                return out;
            }
        }
    }
    return out; // no 0 byte: the key never ended
}

// A table line's key as the sort reads it: the primary part from
// `primary`, which answers false once that part is used up, then the tail.
ReadKey readTableKey(QByteArrayView line, keys::LevelTails& tails,
    const std::function<bool(uint32_t&, WordFill&)>& primary, uint32_t cursor = 0)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(line.data());
    const auto length = static_cast<uint32_t>(line.size());
    return readKey([&] {
        WordFill fill;
        if (!(cursor & kInTail) && !primary(cursor, fill))
            cursor = kInTail;
        if (cursor & kInTail)
            cursor = tails.read(bytes, length, cursor & ~kInTail, fill);
        return fill.word();
    });
}

// Two-byte weights (":/?=&!") at every offset in a word, so that some
// straddle the words' ends; exactly one word of one-byte weights; none.
const char* const kTableLines[] = {
    "",
    "a",
    "abcdefgh",
    "http://www.Example.cn/a?b=1&c=22",
    "!a!!b!!!c!!!!d!!!!!e!!!!!!f!!!!!!!g",
    "abcdefghijklmnopqrstuvwxyz0123456789",
};

} // namespace

TEST(SortKeys, TableLinesReadWordByWordGiveTheTableKey)
{
    const LineCollation order { QString() };
    ASSERT_TRUE(order.hasAsciiTable());
    for (const char* line : kTableLines) {
        SCOPED_TRACE(line);
        const keys::TableKeys table(line, order, false);
        keys::LevelTails tails(order, table.everyByteWeighs());
        const auto* bytes = reinterpret_cast<const uint8_t*>(line);
        const auto length = static_cast<uint32_t>(qstrlen(line));
        const ReadKey got = readTableKey(line, tails,
            [&](uint32_t& cursor, WordFill& fill) { return table.readLine(bytes, length, cursor, fill); });
        EXPECT_EQ(got.key.toHex(' '), order.tableKey(line).toHex(' '));
        EXPECT_EQ(got.after, 0u);
    }

    // Bytes the table ignores carry no weight, and the tail counts only
    // the bytes that do.
    const QByteArray ignoring("a\x07"
                              "b\x01\x02");
    const keys::TableKeys table(ignoring, order, false);
    keys::LevelTails tails(order, table.everyByteWeighs());
    const ReadKey got = readTableKey(ignoring, tails, [&](uint32_t& cursor, WordFill& fill) {
        return table.readLine(reinterpret_cast<const uint8_t*>(ignoring.data()), 5, cursor, fill);
    });
    EXPECT_EQ(got.key.toHex(' '), order.tableKey("ab").toHex(' '));
}

TEST(SortKeys, TableLinesWithCodesGiveTheCompactKeyFromTheLineOrTheText)
{
    const LineCollation order { QString() };
    ASSERT_TRUE(order.hasWeightCodes());
    for (const char* line : kTableLines) {
        SCOPED_TRACE(line);
        const QByteArray want = order.compactKey(order.tableKey(line)).toHex(' ');
        const auto length = static_cast<uint32_t>(qstrlen(line));

        const keys::TableKeys lineKeys(line, order, true);
        ASSERT_TRUE(lineKeys.codes());
        keys::LevelTails tails(order, lineKeys.everyByteWeighs());
        const ReadKey fromLine = readTableKey(line, tails, [&](uint32_t& cursor, WordFill& fill) {
            return lineKeys.readLine(reinterpret_cast<const uint8_t*>(line), length, cursor, fill);
        });
        EXPECT_EQ(fromLine.key.toHex(' '), want);
        EXPECT_EQ(fromLine.after, 0u);

        // Straight from the text, where the line ends at its CR LF.
        const QByteArray text = QByteArray("zz\r\n") + line + "\r\nyy";
        const keys::TableKeys textKeys(text, order, true);
        ASSERT_TRUE(textKeys.direct());
        const ReadKey fromText = readTableKey(
            line, tails, [&](uint32_t& cursor, WordFill& fill) { return textKeys.readText(cursor, fill); },
            4);
        EXPECT_EQ(fromText.key.toHex(' '), want);
        EXPECT_EQ(fromText.after, 0u);
    }
}

TEST(SortKeys, CollatorKeysReadBackAsAddedEachStoppingAtItsEnd)
{
    keys::CollatorKeys arena;
    const QByteArray added[] = {
        QByteArray("\x30\x31\x32\x33\x34\x35\x36\x37\x38\x39\x3a", 11) + '\0',
        QByteArray(1, '\0'),
        QByteArray("\x41\x42\x43\x44\x45\x46\x47", 7) + '\0',
    };
    uint32_t offsets[3];
    for (int i = 0; i < 3; ++i)
        offsets[i] = arena.add(added[i]);
    EXPECT_EQ(offsets[0], 0u);
    EXPECT_EQ(offsets[1], 12u);
    EXPECT_EQ(offsets[2], 13u);
    for (int i = 0; i < 3; ++i) {
        uint32_t cursor = offsets[i];
        const ReadKey got = readKey([&] {
            WordFill fill;
            cursor = arena.read(cursor, fill);
            return fill.word();
        });
        EXPECT_EQ(got.key.toHex(' '), added[i].toHex(' ')) << i;
        EXPECT_EQ(got.after, 0u) << i;
    }
}

// Thai ignores most punctuation, so its table lines hold bytes without
// codes: read from the line they must still give the compact key, the tail
// counting only the bytes that weigh.
TEST(SortKeys, TableLinesHoldingIgnoredBytesGiveTheCompactKey)
{
    const LineCollation order { QStringLiteral("th") };
    ASSERT_EQ(order.weightCode('/'), 0);
    const keys::TableKeys table("http://a.cn/", order, true);
    ASSERT_TRUE(table.takes('/'));
    keys::LevelTails tails(order, table.everyByteWeighs());
    for (const char* line : kTableLines) {
        SCOPED_TRACE(line);
        const auto length = static_cast<uint32_t>(qstrlen(line));
        const ReadKey got = readTableKey(line, tails, [&](uint32_t& cursor, WordFill& fill) {
            return table.readLine(reinterpret_cast<const uint8_t*>(line), length, cursor, fill);
        });
        EXPECT_EQ(got.key.toHex(' '), order.compactKey(order.sortKey(line)).toHex(' '));
        EXPECT_EQ(got.after, 0u);
    }
}
