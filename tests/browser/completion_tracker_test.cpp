#include "browser/CompletionTracker.h"
#include "support/FakeBrowser.h"

#include <gtest/gtest.h>

using tess::browser::CompletionTracker;

TEST(CompletionTracker, OnlyTheFirstCommittedFramesCompletionSetsTheTag)
{
    tess::test::FakeBrowser browser;
    CompletionTracker tracker;
    tracker.attach(browser);
    browser.server = [](const QByteArray&) {
        return tess::test::FakePage { QStringLiteral("http://x/"), {}, {}, 3, {} };
    };
    browser.Navigate("http://x/");
    browser.finishLoad();
    EXPECT_EQ(tracker.tag(), CompletionTracker::PageLoaded);

    // Inner frames finishing alone set nothing.
    tracker.setTag(0);
    tracker.navigateComplete2(7);
    tracker.documentComplete(8);
    EXPECT_EQ(tracker.tag(), 0);
    tracker.documentComplete(7);
    EXPECT_EQ(tracker.tag(), CompletionTracker::PageLoaded);
}

TEST(CompletionTracker, ASupersededNavigationKeepsItsSlot)
{
    CompletionTracker tracker;
    tracker.navigateComplete2(1); // never completes
    tracker.navigateComplete2(2); // a new request: the slot still holds 1
    tracker.documentComplete(2);
    EXPECT_EQ(tracker.tag(), 0);
    tracker.documentComplete(1);
    EXPECT_EQ(tracker.tag(), CompletionTracker::PageLoaded);
}
