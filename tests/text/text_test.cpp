#include "text/CaseKey.h"
#include "text/Errors.h"
#include "text/Gbk.h"
#include "text/Integer.h"

#include <gtest/gtest.h>

using namespace tess::text;

namespace {

} // namespace

TEST(Gbk, ConvertsAtTheEdgesAndMarksWhatGbkCannotHold)
{
    EXPECT_EQ(toGbk(u"中文abc"),
        QByteArray("\xD6\xD0\xCE\xC4"
                   "abc"));
    EXPECT_EQ(fromGbk(QByteArray("\xD6\xD0\xCE\xC4"
                                 "abc")),
        QStringLiteral("中文abc"));
    // Characters outside GBK become question marks, one each.
    EXPECT_EQ(toGbk(u"a😀b\u0E01"), QByteArray("a?b?"));
    EXPECT_EQ(toGbk(u""), QByteArray());
    // The trail bytes 0x61/0x41 stay part of their characters.
    EXPECT_EQ(fromGbk(QByteArray("\x81\x61\x81\x41")), QStringLiteral("乤丄"));
}

TEST(CaseKey, EqualExactlyWhenOnlyLetterCaseDiffers)
{
    EXPECT_TRUE(sameIgnoringCase("HTTP://Example.COM/A", "http://example.com/a"));
    EXPECT_FALSE(sameIgnoringCase("http://a.com/", "http://a.com"));
    // GBK trail bytes that look like ASCII letters are not letters.
    EXPECT_FALSE(sameIgnoringCase("\x81\x61", "\x81\x41"));
    // Full-width letters differ from ASCII ones; their own case folds.
    EXPECT_FALSE(sameIgnoringCase(toGbk(u"ａ"), "a"));
    EXPECT_TRUE(sameIgnoringCase(toGbk(u"Ａ中"), toGbk(u"ａ中")));
    // Control characters and punctuation are not ignored.
    EXPECT_FALSE(sameIgnoringCase("a\x01"
                                  "b",
        "ab"));
    EXPECT_FALSE(sameIgnoringCase("a-b", "ab"));
    EXPECT_EQ(caseKey("AbC"), caseKey("aBc"));
}

TEST(StandardErrorText, AddsFullStopWhenLastCharacterSortsAfterIt)
{
    EXPECT_EQ(standardErrorText(QStringLiteral("请先导入关键字列表文件")),
        QStringLiteral("请先导入关键字列表文件."));
    EXPECT_EQ(standardErrorText(QStringLiteral("'x' is not a valid integer value")),
        QStringLiteral("'x' is not a valid integer value."));
    EXPECT_EQ(standardErrorText(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(standardErrorText(QStringLiteral("Stop!")), QStringLiteral("Stop!"));
    EXPECT_EQ(standardErrorText(QStringLiteral("a-")), QStringLiteral("a-"));
    EXPECT_EQ(standardErrorText(QString()), QString());
}

TEST(ErrorTexts, CarryTheFrameworkWording)
{
    EXPECT_EQ(
        FileCreateError(QStringLiteral("/x/y.txt")).message(), QStringLiteral("Cannot create file /x/y.txt"));
    EXPECT_EQ(
        FileOpenError(QStringLiteral("/x/y.txt")).message(), QStringLiteral("Cannot open file /x/y.txt"));
    EXPECT_EQ(StreamReadError().message(), QStringLiteral("Stream read error"));
    EXPECT_EQ(StreamWriteError().message(), QStringLiteral("Stream write error"));
    EXPECT_EQ(InOutError(2).message(), QStringLiteral("File not found"));
    EXPECT_EQ(InOutError(5).message(), QStringLiteral("File access denied"));
    EXPECT_EQ(InOutError(32).message(), QStringLiteral("I/O error 32"));
    EXPECT_EQ(
        ConvertError(QStringLiteral("abc")).message(), QStringLiteral("'abc' is not a valid integer value"));
}

TEST(Integer, ReadsWholeNumbersAndRejectsEverythingElse)
{
    EXPECT_EQ(toInteger(u"42"), 42);
    EXPECT_EQ(toInteger(u"-1"), -1);
    EXPECT_EQ(toInteger(u"  +7"), 7);
    EXPECT_EQ(toInteger(u"$10"), 16);
    EXPECT_EQ(toInteger(u"2147483647"), 2147483647);
    for (const char16_t* bad : { u"", u"abc", u"1.5", u"12 ", u"2147483648", u"-", u"一" }) {
        try {
            toInteger(QStringView(bad));
            ADD_FAILURE() << "accepted " << QString::fromUtf16(bad).toStdString();
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.message(),
                QStringLiteral("'%1' is not a valid integer value").arg(QString::fromUtf16(bad)));
        }
    }
}
