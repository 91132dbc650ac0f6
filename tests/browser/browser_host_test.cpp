#include "support/FakeBrowser.h"

#include <gtest/gtest.h>

using tess::test::FakeBrowser;
using tess::test::FakePage;

// Every host is read the same way: through the snapshot it handed over.
TEST(BrowserHost, GettersReadTheLastSnapshotAndAnswerEmptyOutOfRange)
{
    FakeBrowser browser;
    EXPECT_EQ(browser.LocationURL(), QString());
    EXPECT_EQ(browser.LinkCount(), 0);
    EXPECT_EQ(browser.LinkHref(0), QString());

    browser.server = [](const QByteArray&) {
        return FakePage { QStringLiteral("http://e.example/s?wd=x"), QStringLiteral("body\n1 [2] 下一页"),
            { { QStringLiteral("http://a.example/"), QStringLiteral("A") },
                { QStringLiteral("mailto:b@example"), QString() } },
            0, {} };
    };
    browser.Navigate("http://e.example/s?wd=x");
    browser.finishLoad();
    EXPECT_EQ(browser.LocationURL(), QStringLiteral("http://e.example/s?wd=x"));
    EXPECT_EQ(browser.BodyText(), QStringLiteral("body\n1 [2] 下一页"));
    ASSERT_EQ(browser.LinkCount(), 2);
    EXPECT_EQ(browser.LinkHref(1), QStringLiteral("mailto:b@example"));
    EXPECT_EQ(browser.LinkText(0), QStringLiteral("A"));
    for (int i : { -1, 2, 1000 }) {
        EXPECT_EQ(browser.LinkHref(i), QString()) << i;
        EXPECT_EQ(browser.LinkText(i), QString()) << i;
    }
    EXPECT_EQ(browser.snapshot().links.size(), 2);
}
