#include "browser/CompletionTracker.h"
#include "support/FakeBrowser.h"

#include <gtest/gtest.h>

using tess::browser::CompletionTracker;

TEST(CompletionTracker, OnlyTheFirstCommittedFramesCompletionMarksThePageLoaded)
{
    tess::test::FakeBrowser browser;
    CompletionTracker tracker;
    tracker.attach(browser);
    browser.server = [](const QByteArray&) {
        return tess::test::FakePage { QStringLiteral("http://x/"), {}, {}, 3, {} };
    };
    browser.navigate("http://x/");
    browser.finishLoad();
    EXPECT_TRUE(tracker.pageLoaded());

    // Inner frames finishing alone set nothing.
    tracker.clearPageLoaded();
    tracker.navigateComplete2(7);
    tracker.documentComplete(8);
    EXPECT_FALSE(tracker.pageLoaded());
    tracker.documentComplete(7);
    EXPECT_TRUE(tracker.pageLoaded());
}

TEST(CompletionTracker, ASupersededNavigationKeepsItsSlot)
{
    CompletionTracker tracker;
    tracker.navigateComplete2(1); // never completes
    tracker.navigateComplete2(2); // a new request: the slot still holds 1
    tracker.documentComplete(2);
    EXPECT_FALSE(tracker.pageLoaded());
    tracker.documentComplete(1);
    EXPECT_TRUE(tracker.pageLoaded());
}
