#include "support/FakeBrowser.h"

#include <gtest/gtest.h>

using tess::test::FakeBrowser;
using tess::test::FakePage;

// Every host is read the same way: through the snapshot it handed over.
TEST(BrowserHost, TheSnapshotIsTheLastPageHandedOverAndEmptyBeforeTheFirst)
{
    FakeBrowser browser;
    EXPECT_EQ(browser.snapshot().location, QString());
    EXPECT_TRUE(browser.snapshot().links.isEmpty());

    browser.server = [](const QByteArray&) {
        return FakePage { QStringLiteral("http://e.example/s?wd=x"), QStringLiteral("body\n1 [2] 下一页"),
            { { QStringLiteral("http://a.example/"), QStringLiteral("A") },
                { QStringLiteral("mailto:b@example"), QString() } },
            0, {} };
    };
    browser.navigate("http://e.example/s?wd=x");
    browser.finishLoad();
    const tess::browser::PageSnapshot& page = browser.snapshot();
    EXPECT_EQ(page.location, QStringLiteral("http://e.example/s?wd=x"));
    EXPECT_EQ(page.bodyText, QStringLiteral("body\n1 [2] 下一页"));
    ASSERT_EQ(page.links.size(), 2);
    EXPECT_EQ(page.links[1].href, QStringLiteral("mailto:b@example"));
    EXPECT_EQ(page.links[0].text, QStringLiteral("A"));
}
