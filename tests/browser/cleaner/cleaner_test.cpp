#include "browser/cleaner/FakeBrowserProfile.h"
#include "browser/cleaner/ProfileCleaner.h"

#include <gtest/gtest.h>

namespace {

using tess::browser::clearHistoryThenCache;
using tess::test::FakeBrowserProfile;

struct Case {
    const char* name;
    bool historyFails;
    bool cacheFails;
    QStringList expectedCalls;
};

class CleanerTest : public ::testing::TestWithParam<Case> { };

TEST_P(CleanerTest, HistoryThenCacheSilentlyAndStopsAtFirstFailure)
{
    const Case& c = GetParam();
    FakeBrowserProfile profile;
    profile.historyFails = c.historyFails;
    profile.cacheFails = c.cacheFails;
    EXPECT_NO_THROW(clearHistoryThenCache(profile));
    EXPECT_EQ(profile.calls, c.expectedCalls);
}

INSTANTIATE_TEST_SUITE_P(Cases, CleanerTest,
    ::testing::Values(
        Case { "BothWork", false, false, { QStringLiteral("history"), QStringLiteral("cache") } },
        Case { "HistoryFailsCacheUntouched", true, false, { QStringLiteral("history") } },
        Case { "CacheFailsSilently", false, true, { QStringLiteral("history"), QStringLiteral("cache") } },
        Case { "BothFail", true, true, { QStringLiteral("history") } }),
    [](const auto& c) { return std::string(c.param.name); });

TEST(CleanerRoutines, LetFailuresThrough)
{
    FakeBrowserProfile profile;
    profile.historyFails = true;
    profile.cacheFails = true;
    EXPECT_THROW(tess::browser::clearHistory(profile), std::runtime_error);
    EXPECT_THROW(tess::browser::clearCache(profile), std::runtime_error);
}

} // namespace
