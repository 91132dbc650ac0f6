#include "text/CaseKey.h"
#include "text/Gbk.h"
#include "tools/merge/LineCollation.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace tess;
using tess::tools::LineCollation;

namespace {

QByteArray gbk(const char16_t* s) { return text::toGbk(QStringView(s)); }

} // namespace

TEST(LineCollation, SameLineExactlyWhenOnlyLetterCaseDiffers)
{
    for (const char* locale : { "", "zh_CN", "en_US_POSIX", "th" }) {
        SCOPED_TRACE(locale);
        const LineCollation order { QString::fromLatin1(locale) };
        const QByteArray same[][2] = {
            { "HTTP://A.com/X", "http://a.COM/x" },
            { gbk(u"ＡＢ"), gbk(u"ａｂ") },
            // Bytes that are no part of a GBK character (0x81 needs a trail
            // byte after it) beside letters that are letters.
            { "X\x81", "x\x81" },
            { "A\x81/b\xFE", "a\x81/B\xFE" },
            { gbk(u"中Q") + "\x82", gbk(u"中q") + "\x82" },
        };
        for (const auto& pair : same) {
            EXPECT_EQ(order.compare(pair[0], pair[1]), 0) << pair[0].toHex().constData();
            EXPECT_EQ(LineCollation::caseKey(pair[0]), LineCollation::caseKey(pair[1]));
            EXPECT_TRUE(LineCollation::sameLine(pair[0], pair[1]));
        }
        const QByteArray distinct[][2] = {
            { gbk(u"乤"), gbk(u"丄") }, // GBK 81 61 and 81 41: the trail bytes are no letters
            { gbk(u"ａ"), QByteArray("a") }, // width
            { gbk(u"é"), QByteArray("e") }, // accent
            { "a\x01"
              "b",
                "ab" }, // a control character the collator ignores
            { "a-b", "ab" }, // punctuation
            { "a", "" },
            // Undecodable bytes all look alike decoded; they differ as bytes.
            { "x\x81", "x\x82" }, { "x\xFE", "x\x81" }, { "\x81/", "\x82/" },
            { gbk(u"中") + "\x81", gbk(u"中") + "\x82" },
            { "x\x81\x7F", "x\x82\x7F" }, // 0x7F is no trail byte: two characters
        };
        for (const auto& pair : distinct) {
            const int ab = order.compare(pair[0], pair[1]);
            EXPECT_NE(ab, 0) << pair[0].toHex().constData();
            EXPECT_EQ(order.compare(pair[1], pair[0]), -ab);
            EXPECT_FALSE(LineCollation::sameLine(pair[0], pair[1]));
            EXPECT_NE(LineCollation::caseKey(pair[0]), LineCollation::caseKey(pair[1]));
        }
    }
}

// An undecodable byte sorts as U+FFFD would, after the text before it and
// after every character; lines alike but for such bytes, which the
// collator cannot tell apart, follow one another in the bytes' order.
TEST(LineCollation, UndecodableBytesSortByTheirTextThenByTheirValue)
{
    const QByteArray ascending[]
        = { "x", "x" + gbk(u"中"), "x\x81", "X\x82", "x\xFE", "x\xFE\x7F", "y", gbk(u"中") + "\x81" };
    for (const char* locale : { "", "th" }) {
        SCOPED_TRACE(locale);
        const LineCollation order { QString::fromLatin1(locale) };
        for (size_t i = 0; i + 1 < std::size(ascending); ++i) {
            EXPECT_LT(order.compare(ascending[i], ascending[i + 1]), 0) << i;
            EXPECT_LE(order.sortKey(ascending[i]), order.sortKey(ascending[i + 1])) << i;
        }
    }
}

TEST(LineCollation, MixedChineseAndLatinOrderUnderAPinnedLocale)
{
    const QByteArray lines[] = { gbk(u"中国"), QByteArray("Zebra"), gbk(u"北京"), QByteArray("apple"),
        gbk(u"上海"), QByteArray("10"), gbk(u"ａpple"), QByteArray("-x") };
    auto sorted = [&](const char* locale) {
        const LineCollation order { QString::fromLatin1(locale) };
        std::vector<QByteArray> v(std::begin(lines), std::end(lines));
        std::sort(v.begin(), v.end(),
            [&](const QByteArray& a, const QByteArray& b) { return order.compare(a, b) < 0; });
        QStringList out;
        for (const QByteArray& l : v)
            out << text::fromGbk(l);
        return out.join(u' ');
    };
    // Chinese in pinyin order before Latin; the root order puts Latin first.
    EXPECT_EQ(sorted("zh_CN"), u"-x 10 北京 上海 中国 apple ａpple Zebra");
    EXPECT_EQ(sorted(""), u"-x 10 apple ａpple Zebra 上海 中国 北京");
}

TEST(LineCollation, TableKeysMatchTheCollatorsWhereTheTableApplies)
{
    struct Expect {
        const char* locale;
        bool table;
    };
    // Czech "ch" is one letter: the table cannot cover c and h.
    for (const Expect& e : { Expect { "", true }, Expect { "zh_CN", true }, Expect { "en_US_POSIX", true },
             Expect { "cs", true }, Expect { "th", true } }) {
        SCOPED_TRACE(e.locale);
        const LineCollation order { QString::fromLatin1(e.locale) };
        ASSERT_EQ(order.hasAsciiTable(), e.table);
        uint32_t seed = 7;
        for (int i = 0; i < 3000; ++i) {
            QByteArray line;
            const int len = static_cast<int>(seed % 90);
            for (int k = 0; k < len; ++k) {
                seed = seed * 1103515245u + 12345u;
                line += static_cast<char>(1 + (seed >> 16) % 127);
            }
            line.replace('\r', 'r').replace('\n', 'n');
            const QByteArray fromTable = order.tableKey(line);
            if (!fromTable.isEmpty()) {
                ASSERT_EQ(fromTable, order.sortKey(line)) << line.toHex().constData();
            }
        }
    }
    EXPECT_FALSE(LineCollation(QStringLiteral("cs")).tableCovers('c'));
    EXPECT_FALSE(LineCollation(QStringLiteral("")).tableCovers(0x81));
}

// Every ASCII line of up to two bytes (three under the root order), with
// keys of the collator's own from lines outside the table, which land in
// the gaps between weights: sorted by key, each neighbour must compare the
// same way by compact key, equality included. Both orders being total,
// that makes them one order.
TEST(LineCollation, CompactKeysSortExactlyAsTheKeys)
{
    const QByteArray foreign[]
        = { gbk(u"中"), gbk(u"ａ"), gbk(u"é"), gbk(u"Ω"), QByteArray("\x81"), gbk(u"ａb中"), gbk(u"ß"),
              QByteArray("ch"), QByteArray("a\x01"), QByteArray(), gbk(u"ㄅ"), gbk(u"１") };
    for (const char* locale : { "", "zh_CN", "en_US_POSIX", "cs", "th" }) {
        SCOPED_TRACE(locale);
        const LineCollation order { QString::fromLatin1(locale) };
        ASSERT_TRUE(order.hasWeightCodes());
        std::vector<uint8_t> bytes;
        for (unsigned b = 1; b < 0x80; ++b)
            if (order.tableCovers(static_cast<uint8_t>(b)) && order.weightCode(static_cast<uint8_t>(b)) != 0)
                bytes.push_back(static_cast<uint8_t>(b));
        const QByteArray tails[]
            = { order.levelTail(0), order.levelTail(1), order.levelTail(2), order.levelTail(3) };
        std::vector<QByteArray> keys;
        auto addTableLine = [&](std::initializer_list<uint8_t> line) {
            QByteArray key;
            for (uint8_t b : line)
                key.append(reinterpret_cast<const char*>(order.weight(b).bytes), order.weight(b).size);
            keys.push_back(key + tails[line.size()]);
        };
        addTableLine({});
        for (uint8_t a : bytes) {
            addTableLine({ a });
            for (uint8_t b : bytes) {
                addTableLine({ a, b });
                if (*locale == 0)
                    for (uint8_t c : bytes)
                        addTableLine({ a, b, c });
            }
        }
        for (const QByteArray& f : foreign) {
            keys.push_back(order.sortKey(f));
            for (uint8_t a : bytes) {
                const char one[] = { static_cast<char>(a) };
                keys.push_back(order.sortKey(QByteArray(one, 1) + f));
                keys.push_back(order.sortKey(f + QByteArray(one, 1)));
            }
        }
        std::sort(keys.begin(), keys.end());
        QByteArray previous = order.compactKey(keys[0]);
        for (size_t i = 1; i < keys.size(); ++i) {
            const QByteArray compact = order.compactKey(keys[i]);
            if (keys[i] == keys[i - 1])
                ASSERT_EQ(compact, previous) << keys[i].toHex().constData();
            else
                ASSERT_LT(previous, compact)
                    << keys[i - 1].toHex().constData() << " < " << keys[i].toHex().constData();
            previous = compact;
        }
    }
}

TEST(LineCollation, LocaleComesFromTheEnvironmentInTheUsualOrder)
{
    const QByteArray saved[] = { qgetenv("LC_ALL"), qgetenv("LC_COLLATE"), qgetenv("LANG") };
    qunsetenv("LC_ALL");
    qputenv("LC_COLLATE", "zh_CN.GBK");
    qputenv("LANG", "de_DE.UTF-8@euro");
    EXPECT_EQ(LineCollation::localeFromEnvironment(), u"zh_CN");
    qputenv("LC_ALL", "C.UTF-8");
    EXPECT_EQ(LineCollation::localeFromEnvironment(), u"");
    qunsetenv("LC_ALL");
    qunsetenv("LC_COLLATE");
    EXPECT_EQ(LineCollation::localeFromEnvironment(), u"de_DE");
    const char* names[] = { "LC_ALL", "LC_COLLATE", "LANG" };
    for (int i = 0; i < 3; ++i)
        saved[i].isNull() ? qunsetenv(names[i]) : qputenv(names[i], saved[i]);
}
