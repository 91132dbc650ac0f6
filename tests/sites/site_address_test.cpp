#include "sites/SiteAddress.h"

#include <gtest/gtest.h>

#include <string>

using namespace tess::sites;

namespace {

// A line and each of its parts as written, so that every offset is checked
// by the text it cuts out: scheme line[0, schemeEnd), user info up to
// hostStart, host, port, and the line from queryStart on.
struct FieldCase {
    const char* line;
    const char* scheme;
    const char* userInfo;
    const char* host;
    const char* port;
    const char* fromQuery;
    bool isIp;
    const char* hostKey;
    const char* domain;
    const char* suffix;
    const char* written;
};

const FieldCase kFieldCases[] = {
    { "http://www.example.com.cn/path?q=1", "http://", "", "www.example.com.cn", "", "?q=1", false,
        "www.example.com.cn", "example.com.cn", "com.cn", "example.com.cn" },
    { "HTTPS://User:Pa:ss@WWW.Example.CO.UK.:8080/a#frag", "HTTPS://", "User:Pa:ss@", "WWW.Example.CO.UK.",
        ":8080", "#frag", false, "www.example.co.uk", "example.co.uk", "co.uk", "Example.CO.UK" },
    { "alice.github.io/blog", "", "", "alice.github.io", "", "", false, "alice.github.io", "alice.github.io",
        "github.io", "alice.github.io" },
    { "http://GitHub.io/", "http://", "", "GitHub.io", "", "", false, "github.io", "github.io", "github.io",
        "GitHub.io" },
    { "http://localhost:3000/", "http://", "", "localhost", ":3000", "", false, "localhost", "localhost", "",
        "localhost" },
    { "hxxp://intranet?x", "hxxp://", "", "intranet", "", "?x", false, "intranet", "intranet", "",
        "intranet" },
    { "ftp://192.168.001.010:21/pub", "ftp://", "", "192.168.001.010", ":21", "", true, "192.168.1.10",
        "192.168.1.10", "", "192.168.001.010" },
    { "http://[2001:DB8:0:0::1]:443/x?y", "http://", "", "[2001:DB8:0:0::1]", ":443", "?y", true,
        "2001:db8::1", "2001:db8::1", "", "2001:DB8:0:0::1" },
    { "[::1]", "", "", "[::1]", "", "", true, "::1", "::1", "", "::1" },
    { "http://例子.中国/路径", "http://", "", "例子.中国", "", "", false, "xn--fsqu00a.xn--fiqs8s",
        "xn--fsqu00a.xn--fiqs8s", "xn--fiqs8s", "例子.中国" },
    { "XN--FSQU00A.XN--FIQS8S", "", "", "XN--FSQU00A.XN--FIQS8S", "", "", false, "xn--fsqu00a.xn--fiqs8s",
        "xn--fsqu00a.xn--fiqs8s", "xn--fiqs8s", "XN--FSQU00A.XN--FIQS8S" },
    { "https://www.bücher.de/", "https://", "", "www.bücher.de", "", "", false, "www.xn--bcher-kva.de",
        "xn--bcher-kva.de", "de", "bücher.de" },
    // Ideographic full stops map to dots: the written form cannot be cut
    // at them, so it is the compared one.
    { "http://例子。中国/", "http://", "", "例子。中国", "", "", false, "xn--fsqu00a.xn--fiqs8s",
        "xn--fsqu00a.xn--fiqs8s", "xn--fiqs8s", "xn--fsqu00a.xn--fiqs8s" },
    // GBK bytes in the host are not UTF-8: compared byte for byte, ASCII
    // letters lowered.
    { "http://\xd6\xd0\xce\xc4.COM/", "http://", "", "\xd6\xd0\xce\xc4.COM", "", "", false,
        "\xd6\xd0\xce\xc4.com", "\xd6\xd0\xce\xc4.com", "com", "\xd6\xd0\xce\xc4.COM" },
    { "http://example.org/\xd6\xd0?\xce\xc4#\xb0\xa1", "http://", "", "example.org", "", "?\xce\xc4#\xb0\xa1",
        false, "example.org", "example.org", "org", "example.org" },
    { "user@shop.example.org", "", "user@", "shop.example.org", "", "", false, "shop.example.org",
        "example.org", "org", "example.org" },
    { "http://a@b@c.example.com:/", "http://", "a@b@", "c.example.com", ":", "", false, "c.example.com",
        "example.com", "com", "example.com" },
    { "example.com\r", "", "", "example.com", "", "", false, "example.com", "example.com", "com",
        "example.com" },
    { "http://example.com. 注释", "http://", "", "example.com.", "", "", false, "example.com", "example.com",
        "com", "example.com" },
    { "git+ssh://x_y.example.io", "git+ssh://", "", "x_y.example.io", "", "", false, "x_y.example.io",
        "example.io", "io", "example.io" },
    // Not a dotted quad, and under no known suffix: its own domain.
    { "http://1.2.3.4.5/", "http://", "", "1.2.3.4.5", "", "", false, "1.2.3.4.5", "1.2.3.4.5", "",
        "1.2.3.4.5" },
    { "http://256.1.1.1/", "http://", "", "256.1.1.1", "", "", false, "256.1.1.1", "256.1.1.1", "",
        "256.1.1.1" },
    { "a.b.example.zz", "", "", "a.b.example.zz", "", "", false, "a.b.example.zz", "a.b.example.zz", "",
        "a.b.example.zz" },
    { "http://co.uk", "http://", "", "co.uk", "", "", false, "co.uk", "co.uk", "co.uk", "co.uk" },
    // A fragment before a "?", and an "@" past the host: neither moves the
    // host or the query.
    { "http://Shop.Example.com/p@q#x?y", "http://", "", "Shop.Example.com", "", "#x?y", false,
        "shop.example.com", "example.com", "com", "Example.com" },
    { "example.org/@?#", "", "", "example.org", "", "?#", false, "example.org", "example.org", "org",
        "example.org" },
};

qsizetype length(const char* text) { return static_cast<qsizetype>(std::char_traits<char>::length(text)); }

TEST(SiteAddressFields, EachFieldOfHandWrittenLines)
{
    for (const FieldCase& c : kFieldCases) {
        SCOPED_TRACE(c.line);
        const QByteArrayView line(c.line);
        const std::optional<SiteAddress> a = readSiteAddress(line);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->schemeEnd, length(c.scheme));
        EXPECT_EQ(a->hostStart, a->schemeEnd + length(c.userInfo));
        EXPECT_EQ(a->hostEnd, a->hostStart + length(c.host));
        EXPECT_EQ(line.sliced(a->hostStart, a->hostEnd - a->hostStart), QByteArrayView(c.host));
        EXPECT_EQ(a->portEnd, a->hostEnd + length(c.port));
        EXPECT_EQ(a->queryStart, line.size() - length(c.fromQuery));
        EXPECT_EQ(line.sliced(a->queryStart), QByteArrayView(c.fromQuery));
        EXPECT_EQ(a->isIp, c.isIp);
        EXPECT_EQ(a->hostKey, QByteArray(c.hostKey));
        EXPECT_EQ(registrableDomain(*a), QByteArray(c.domain));
        EXPECT_EQ(a->hostKey.sliced(registrableDomainStart(*a)), QByteArray(c.domain));
        EXPECT_EQ(publicSuffix(*a), QByteArray(c.suffix));
        EXPECT_EQ(writtenRegistrableDomain(line, *a), QByteArray(c.written));
        EXPECT_EQ(siteKey(line), QByteArray(c.domain));
    }
}

TEST(SiteAddressFields, LinesWithoutAHost)
{
    const char* const lines[] = {
        "",
        "   http://example.com/", // taken as it is: the blank is no scheme and no host
        "hello",
        "localhost", // a lone word, unless a scheme says it is a host
        "localhost:8080",
        "mailto:",
        "javascript:void(0)",
        "/bare/path/index.html",
        "foo/bar.html",
        "http://",
        "http:///path",
        "http:/example.com",
        "1http://example.com", // no scheme starts with a digit
        "://example.com",
        "http://[::1",
        "http://[zz::1]/",
        "http://[::1]x/",
        "http://[fe80::1%25eth0]/",
        "http://a..b.com/",
        "http://.example.com/",
        "http://example.com../",
        "http://example.com:8o/",
        "http://exa%6dple.com/",
        "::1",
        "2001:db8::1",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(readSiteAddress(QByteArrayView(line)));
        EXPECT_EQ(siteKey(QByteArrayView(line)), QByteArray());
    }
}

TEST(SiteAddressFields, IpAddressesInTheirComparedForm)
{
    const struct {
        const char* line;
        const char* key;
    } cases[] = {
        { "http://0.0.0.0/", "0.0.0.0" },
        { "http://255.255.255.255./", "255.255.255.255" },
        { "http://[::FFFF:1.2.3.4]/", "::ffff:1.2.3.4" },
        { "http://[0:0:0:0:0:0:0:1]/", "::1" },
        { "http://[2001:0DB8:0000:0000:0000:0000:0000:0001]/", "2001:db8::1" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::optional<SiteAddress> a = readSiteAddress(QByteArrayView(c.line));
        ASSERT_TRUE(a);
        EXPECT_TRUE(a->isIp);
        EXPECT_EQ(a->hostKey, QByteArray(c.key));
        EXPECT_EQ(registrableDomain(*a), QByteArray(c.key));
        EXPECT_EQ(publicSuffix(*a), QByteArray());
    }
}

} // namespace
