#include "io/FileReplace.h"
#include "support/Files.h"
#include "text/Gbk.h"
#include "tools/mining/KeywordMiner.h"

#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tess;
using tools::KeywordMiner;
using tools::MiningOptions;

namespace {

using Words = std::vector<const char*>;

QStringList listOf(const Words& words)
{
    QStringList list;
    for (const char* word : words)
        list.append(QString::fromUtf8(word));
    return list;
}

// An engine whose related searches are known in advance.
const QMap<QString, QStringList> kRelated {
    { QStringLiteral("茶"), { QStringLiteral("绿茶"), QStringLiteral("红茶"), QStringLiteral("茶具") } },
    { QStringLiteral("咖啡"), { QStringLiteral("咖啡豆"), QStringLiteral("红茶") } },
    { QStringLiteral("绿茶"), { QStringLiteral("龙井"), QStringLiteral("茶") } },
    { QStringLiteral("红茶"), { QStringLiteral("祁门红茶"), QStringLiteral("正山小种") } },
    { QStringLiteral("茶具"), { QStringLiteral("茶杯") } },
    { QStringLiteral("咖啡豆"), { QStringLiteral("咖啡机") } },
};

// Asks each keyword the miner hands out, as the search run does; the
// keywords asked, in order.
QStringList grow(KeywordMiner& miner, const QMap<QString, QStringList>& related = kRelated)
{
    QStringList asked;
    while (const std::optional<QByteArray> keyword = miner.nextToAsk()) {
        asked.append(text::fromGbk(*keyword));
        miner.addRelated(miner.asked() - 1, related.value(asked.last()));
    }
    return asked;
}

class BytesSink final : public io::ContentSink {
public:
    void write(const char* data, qsizetype size) override { bytes.append(data, size); }
    QByteArray bytes;
};

QStringList keywordsOf(KeywordMiner& miner)
{
    BytesSink sink;
    miner.writeTo(sink);
    QStringList out;
    for (const QByteArray& line : sink.bytes.split('\n'))
        if (!line.isEmpty())
            out.append(text::fromGbk(line.chopped(1)));
    return out;
}

KeywordMiner minerWith(MiningOptions options, const QStringList& seeds)
{
    KeywordMiner miner(std::move(options));
    for (const QString& seed : seeds)
        miner.addSeed(text::toGbk(seed));
    return miner;
}

TEST(KeywordMiner, GrowsBreadthFirstToTheDepthAndStopsAtTheBound)
{
    const QStringList seeds { QStringLiteral("茶"), QStringLiteral("咖啡") };
    struct Case {
        int depth;
        qint64 max;
        Words asked;
        Words found;
    };
    const Case cases[] = {
        { 0, 0, {}, { "茶", "咖啡" } },
        { 1, 0, { "茶", "咖啡" }, { "茶", "咖啡", "绿茶", "红茶", "茶具", "咖啡豆" } },
        { 2, 0, { "茶", "咖啡", "绿茶", "红茶", "茶具", "咖啡豆" },
            { "茶", "咖啡", "绿茶", "红茶", "茶具", "咖啡豆", "龙井", "祁门红茶", "正山小种", "茶杯",
                "咖啡机" } },
        // The bound ends the asking too: 红茶 and the rest are found but never asked.
        { 2, 7, { "茶", "咖啡", "绿茶" }, { "茶", "咖啡", "绿茶", "红茶", "茶具", "咖啡豆", "龙井" } },
        // Seeds count against it.
        { 2, 1, {}, { "茶" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth << " max " << c.max);
        KeywordMiner miner = minerWith({ .depth = c.depth, .max = c.max }, seeds);
        EXPECT_EQ(grow(miner), listOf(c.asked));
        EXPECT_EQ(keywordsOf(miner), listOf(c.found));
        EXPECT_TRUE(miner.stopMessage().isEmpty());
    }
}

TEST(KeywordMiner, DepthsFollowTheKeywordsTheyWereFoundOn)
{
    KeywordMiner miner = minerWith({ .depth = 2 }, { QStringLiteral("茶"), QStringLiteral("咖啡") });
    grow(miner);
    const int expected[] = { 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 2 };
    ASSERT_EQ(miner.size(), qint64(std::size(expected)));
    for (qint64 i = 0; i < miner.size(); ++i)
        EXPECT_EQ(miner.depthOf(i), expected[i]) << i;
}

TEST(KeywordMiner, KeysIgnoreLetterCaseWidthAndBlanks)
{
    const QString abc = QStringLiteral("abc教程");
    const std::pair<QString, QString> cases[] = {
        { QStringLiteral("ABC教程"), abc },
        { QStringLiteral("ＡＢＣ教程"), abc },
        { QStringLiteral("ａｂｃ教程"), abc },
        { QStringLiteral("  ABC \t 教程　"), QStringLiteral("abc 教程") },
        { QStringLiteral("Straße"), QStringLiteral("strasse") },
        { QStringLiteral("①"), QStringLiteral("1") },
    };
    for (const auto& [keyword, key] : cases)
        EXPECT_EQ(tools::miningKey(keyword), key) << keyword.toStdString();
}

TEST(KeywordMiner, RepeatsAreDroppedSeedsAndFoundAlike)
{
    KeywordMiner miner = minerWith({ .depth = 1 },
        { QStringLiteral("ABC教程"), QStringLiteral("abc教程"), QStringLiteral("ＡＢＣ教程"),
            QStringLiteral("  "), QStringLiteral("ABC  教程"), QStringLiteral("abc 教程") });
    grow(miner,
        { { QStringLiteral("ABC教程"),
            { QStringLiteral("Abc教程"), QStringLiteral("abc 教程"), QStringLiteral("abc教程 视频"),
                QStringLiteral("ABC教程  视频") } } });
    // The first form found is the one kept, blanks made one.
    EXPECT_EQ(keywordsOf(miner),
        (QStringList {
            QStringLiteral("ABC教程"), QStringLiteral("ABC 教程"), QStringLiteral("abc教程 视频") }));
}

TEST(KeywordMiner, RequiredAndExcludedWordsChooseWhatIsFoundButNeverASeed)
{
    const QMap<QString, QStringList> related { { QStringLiteral("Tea"),
        { QStringLiteral("绿茶 TEA"), QStringLiteral("红茶"), QStringLiteral("ｔｅａ 价格"),
            QStringLiteral("tea 图片") } } };
    struct Case {
        Words require;
        Words exclude;
        Words found;
    };
    const Case cases[] = {
        { {}, {}, { "Tea", "绿茶 TEA", "红茶", "ｔｅａ 价格", "tea 图片" } },
        { { "TEA" }, {}, { "Tea", "绿茶 TEA", "ｔｅａ 价格", "tea 图片" } },
        { { "价格", "红" }, {}, { "Tea", "红茶", "ｔｅａ 价格" } },
        { {}, { "图片", "ＴＥＡ 价" }, { "Tea", "绿茶 TEA", "红茶" } },
        { { "tea" }, { "绿" }, { "Tea", "ｔｅａ 价格", "tea 图片" } },
        // The seed has none of the required words and one excluded: kept.
        { { "茶" }, { "tea" }, { "Tea", "红茶" } },
    };
    for (const Case& c : cases) {
        const QStringList require = listOf(c.require);
        const QStringList exclude = listOf(c.exclude);
        SCOPED_TRACE(require.join(u',').toStdString() + " / " + exclude.join(u',').toStdString());
        KeywordMiner miner = minerWith({ .require = require, .exclude = exclude }, { QStringLiteral("Tea") });
        grow(miner, related);
        EXPECT_EQ(keywordsOf(miner), listOf(c.found));
    }
}

TEST(KeywordMiner, TheMemoryBudgetStopsTheGrowthAndKeepsWhatWasFound)
{
    KeywordMiner miner = minerWith({ .depth = 2, .memoryBudget = 5 * KeywordMiner::kBytesPerKey },
        { QStringLiteral("茶"), QStringLiteral("咖啡") });
    EXPECT_EQ(grow(miner), (QStringList { QStringLiteral("茶"), QStringLiteral("咖啡") }));
    EXPECT_TRUE(miner.full());
    EXPECT_EQ(keywordsOf(miner),
        (QStringList { QStringLiteral("茶"), QStringLiteral("咖啡"), QStringLiteral("绿茶"),
            QStringLiteral("红茶"), QStringLiteral("茶具") }));
    EXPECT_EQ(miner.stopMessage(),
        QStringLiteral("the memory budget of 160 bytes holds 5 keywords; the list stopped growing there "
                       "(a larger --memory finds more)"));
}

TEST(KeywordMiner, TheListIsSavedAsGbkWithCrLfLineEnds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("词.txt"));
    test::writeFile(path, "old content that is longer than the new one\r\n");
    KeywordMiner miner
        = minerWith({ .spillFolder = dir.path() }, { QStringLiteral("茶"), QStringLiteral("Tea") });
    grow(miner);
    miner.save(path);
    EXPECT_EQ(test::readFile(path),
        QByteArray("\xB2\xE8\r\nTea\r\n\xC2\xCC\xB2\xE8\r\n\xBA\xEC\xB2\xE8\r\n\xB2\xE8\xBE\xDF\r\n"));
    EXPECT_EQ(miner.outputSize(), test::readFile(path).size());
    // The temporary file has no name: nothing is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("词.txt") });
}

TEST(KeywordMiner, AManyChunkListComesBackWhole)
{
    // Past the file's chunk both ways: lines cut across reads.
    QStringList seeds;
    for (int i = 0; i < 20000; ++i)
        seeds.append(QStringLiteral("关键词 %1").arg(i));
    KeywordMiner miner = minerWith({ .depth = 1 }, seeds);
    EXPECT_EQ(grow(miner), seeds);
    EXPECT_EQ(keywordsOf(miner), seeds);
}

} // namespace
