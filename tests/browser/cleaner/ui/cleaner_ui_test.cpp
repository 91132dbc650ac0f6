#include "browser/cleaner/ui/CleanerWindow.h"
#include "browser/webengine/WebEngineBrowserProfile.h"

#include "browser/cleaner/FakeBrowserProfile.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <gtest/gtest.h>

namespace {

using tess::browser::CleanerWindow;
using tess::browser::WebEngineBrowserProfile;
using tess::test::FakeBrowserProfile;

QToolButton* cleanButton(CleanerWindow& form)
{
    return form.findChild<QToolButton*>(QStringLiteral("SpeedButton4"));
}

TEST(CleanerWindow, ButtonClearsHistoryThenCacheAndStaysSilentOnFailure)
{
    FakeBrowserProfile profile;
    CleanerWindow form(profile);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(cleanButton(form), Qt::LeftButton);
    EXPECT_EQ(profile.calls, QStringList({ QStringLiteral("history"), QStringLiteral("cache") }));

    profile.calls.clear();
    profile.historyFails = true;
    QTest::mouseClick(cleanButton(form), Qt::LeftButton);
    EXPECT_EQ(profile.calls, QStringList({ QStringLiteral("history") }));
    EXPECT_TRUE(form.isVisible());
}

TEST(CleanerWindow, Layout)
{
    FakeBrowserProfile profile;
    CleanerWindow form(profile);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("清空IE历史数据"));
    QToolButton* button = cleanButton(form);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("清理"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("反馈改进意见"));
    EXPECT_EQ(button->geometry(), QRect(58, 20, 70, 37));
    EXPECT_FALSE(button->icon().pixmap(32, 32).isNull());
}

bool load(QWebEnginePage& page, const char* html)
{
    QSignalSpy finished(&page, &QWebEnginePage::loadFinished);
    page.load(QUrl(QStringLiteral("data:text/html,") + QString::fromUtf8(html)));
    return finished.wait(20000) && finished.first().first().toBool();
}

TEST(WebEngineBrowserProfile, EmptiesThePagesHistoryAndSurvivesItsPageAndProfile)
{
    auto* profile = new QWebEngineProfile(); // off the record
    auto* page = new QWebEnginePage(profile);
    ASSERT_TRUE(load(*page, "<p>one</p>"));
    ASSERT_TRUE(load(*page, "<p>two</p>"));
    ASSERT_TRUE(page->history()->canGoBack());

    WebEngineBrowserProfile cleaner = WebEngineBrowserProfile::forPage(page);
    cleaner.clearHistory();
    EXPECT_FALSE(page->history()->canGoBack());
    EXPECT_NO_THROW(cleaner.clearCache());

    delete page;
    EXPECT_NO_THROW(cleaner.clearHistory());
    delete profile;
    EXPECT_THROW(cleaner.clearHistory(), std::runtime_error);
    EXPECT_THROW(cleaner.clearCache(), std::runtime_error);

    // Through the window, a vanished profile is as silent as any other failure.
    CleanerWindow form(cleaner);
    EXPECT_NO_THROW(form.clearHistoryAndCache());
}

} // namespace
