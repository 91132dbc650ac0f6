#include "components/urlencoder/TNMURL.h"

#include <gtest/gtest.h>

using tess::components::TNMURL;

namespace {
QByteArray encode(const QByteArray& in)
{
    TNMURL u;
    u.InputString = in;
    return u.Encode();
}
} // namespace

TEST(TNMURL, EncodesByteByByte)
{
    EXPECT_EQ(encode("a b"), QByteArray("a+b"));
    EXPECT_EQ(encode("\xD6\xD0"), QByteArray("%D6%D0"));
    EXPECT_EQ(encode("+-._~*"), QByteArray("%2B%2D%2E%5F%7E%2A"));
    EXPECT_EQ(encode("AZaz09"), QByteArray("AZaz09"));
    EXPECT_EQ(encode(QByteArray("\x00\x7F\xFF", 3)), QByteArray("%00%7F%FF"));
    EXPECT_EQ(encode("   "), QByteArray("+++"));
    EXPECT_EQ(encode(""), QByteArray());
}

TEST(TNMURL, ResultIsPureAsciiAndInputIsLeftAlone)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    TNMURL u;
    u.InputString = all;
    const QByteArray out = u.Encode();
    for (char c : out)
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    EXPECT_EQ(u.InputString, all);
}

TEST(TNMURL, AFailedEncodeReportsThroughOnErrorAndReturnsTheInput)
{
    TNMURL u;
    u.InputString = QByteArray(TNMURL::MaxInputBytes + 1, 'x');
    EXPECT_EQ(u.Encode(), u.InputString); // unassigned OnError: still no throw
    QString op;
    TNMURL* sender = nullptr;
    u.OnError = [&](TNMURL* s, const QString& operation, const QString&) {
        sender = s;
        op = operation;
    };
    EXPECT_EQ(u.Encode(), u.InputString);
    EXPECT_EQ(op, QStringLiteral("Error during encode"));
    EXPECT_EQ(sender, &u);
}
