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

QByteArray gbk(const char16_t* s)
{
    return text::toGbk(QStringView(s));
}

} // namespace

TEST(LineCollation, SameLineExactlyWhenOnlyLetterCaseDiffers)
{
    for (const char* locale : {"", "zh_CN", "en_US_POSIX"}) {
        SCOPED_TRACE(locale);
        const LineCollation order{QString::fromLatin1(locale)};
        EXPECT_EQ(order.compare("HTTP://A.com/X", "http://a.COM/x"), 0);
        EXPECT_EQ(order.compare(gbk(u"ＡＢ"), gbk(u"ａｂ")), 0);
        const QByteArray distinct[][2] = {
            {gbk(u"乤"), gbk(u"丄")},        // GBK 81 61 and 81 41: the trail bytes are no letters
            {gbk(u"ａ"), QByteArray("a")}, // width
            {gbk(u"é"), QByteArray("e")},  // accent
            {"a\x01" "b", "ab"},            // a control character the collator ignores
            {"a-b", "ab"},                  // punctuation
            {"a", ""},
        };
        for (const auto& pair : distinct) {
            const int ab = order.compare(pair[0], pair[1]);
            EXPECT_NE(ab, 0) << pair[0].toHex().constData();
            EXPECT_EQ(order.compare(pair[1], pair[0]), -ab);
            EXPECT_FALSE(text::sameIgnoringCase(pair[0], pair[1]));
        }
    }
}

TEST(LineCollation, MixedChineseAndLatinOrderUnderAPinnedLocale)
{
    const QByteArray lines[] = {gbk(u"中国"), QByteArray("Zebra"), gbk(u"北京"), QByteArray("apple"),
                                gbk(u"上海"), QByteArray("10"), gbk(u"ａpple"), QByteArray("-x")};
    auto sorted = [&](const char* locale) {
        const LineCollation order{QString::fromLatin1(locale)};
        std::vector<QByteArray> v(std::begin(lines), std::end(lines));
        std::sort(v.begin(), v.end(), [&](const QByteArray& a, const QByteArray& b) { return order.compare(a, b) < 0; });
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
    for (const Expect& e : {Expect{"", true}, Expect{"zh_CN", true}, Expect{"en_US_POSIX", true}, Expect{"cs", true}}) {
        SCOPED_TRACE(e.locale);
        const LineCollation order{QString::fromLatin1(e.locale)};
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

TEST(LineCollation, LocaleComesFromTheEnvironmentInTheUsualOrder)
{
    const QByteArray saved[] = {qgetenv("LC_ALL"), qgetenv("LC_COLLATE"), qgetenv("LANG")};
    qunsetenv("LC_ALL");
    qputenv("LC_COLLATE", "zh_CN.GBK");
    qputenv("LANG", "de_DE.UTF-8@euro");
    EXPECT_EQ(LineCollation::localeFromEnvironment(), u"zh_CN");
    qputenv("LC_ALL", "C.UTF-8");
    EXPECT_EQ(LineCollation::localeFromEnvironment(), u"");
    qunsetenv("LC_ALL");
    qunsetenv("LC_COLLATE");
    EXPECT_EQ(LineCollation::localeFromEnvironment(), u"de_DE");
    const char* names[] = {"LC_ALL", "LC_COLLATE", "LANG"};
    for (int i = 0; i < 3; ++i)
        saved[i].isNull() ? qunsetenv(names[i]) : qputenv(names[i], saved[i]);
}
