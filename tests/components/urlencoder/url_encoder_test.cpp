#include "components/urlencoder/UrlEncoder.h"

#include <gtest/gtest.h>

using tess::components::UrlEncoder;

namespace {
QByteArray encode(const QByteArray& in)
{
    UrlEncoder u;
    u.inputString = in;
    return u.encode();
}
} // namespace

TEST(UrlEncoder, EncodesByteByByte)
{
    EXPECT_EQ(encode("a b"), QByteArray("a+b"));
    EXPECT_EQ(encode("\xD6\xD0"), QByteArray("%D6%D0"));
    EXPECT_EQ(encode("+-._~*"), QByteArray("%2B%2D%2E%5F%7E%2A"));
    EXPECT_EQ(encode("AZaz09"), QByteArray("AZaz09"));
    EXPECT_EQ(encode(QByteArray("\x00\x7F\xFF", 3)), QByteArray("%00%7F%FF"));
    EXPECT_EQ(encode("   "), QByteArray("+++"));
    EXPECT_EQ(encode(""), QByteArray());
}

TEST(UrlEncoder, ResultIsPureAsciiAndInputIsLeftAlone)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    UrlEncoder u;
    u.inputString = all;
    const QByteArray out = u.encode();
    for (char c : out)
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    EXPECT_EQ(u.inputString, all);
}

TEST(UrlEncoder, AFailedEncodeIsReportedAndReturnsTheInput)
{
    UrlEncoder u;
    u.inputString = QByteArray(UrlEncoder::kMaxInputBytes + 1, 'x');
    EXPECT_EQ(u.encode(), u.inputString); // unassigned onError: still no throw
    QString op;
    UrlEncoder* sender = nullptr;
    u.onError = [&](UrlEncoder* s, const QString& operation, const QString&) {
        sender = s;
        op = operation;
    };
    EXPECT_EQ(u.encode(), u.inputString);
    EXPECT_EQ(op, QStringLiteral("Error during encode"));
    EXPECT_EQ(sender, &u);
}
