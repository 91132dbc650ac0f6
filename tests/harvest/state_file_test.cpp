#include "harvest/FakeWindow.h"
#include "harvest/SearchRun.h"
#include "support/FakeBrowser.h"
#include "support/Files.h"
#include "text/Errors.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tess;
using namespace tess::harvest;

namespace {

class StateFileTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("tessaroon.ini")); }
    void write(const QByteArray& bytes) { test::writeFile(path(), bytes); }
    QByteArray read() const { return test::readFile(path()); }

    QTemporaryDir dir;
    test::FakeWindow window;
    test::FakeBrowser browser;
    browser::CompletionTracker tracker;
    test::ManualTimer poll, watchdog;
    SearchRun run { { .window = window,
        .browser = browser,
        .tracker = tracker,
        .pollTimer = poll,
        .watchdogTimer = watchdog,
        .statePath = path(),
        .localAddress = [] { return QString(); },
        .pause = [](int) {} } };
};

TEST_F(StateFileTest, SavesFourGbkLinesAndRestoresThem)
{
    window.keywordFile = QStringLiteral("/home/用户/关键词.txt");
    window.dedupe = true;
    window.interval = 12;
    run.setKeywordIndex(0); // before any run: "-1"
    run.saveState();
    EXPECT_EQ(
        read(), QByteArray("/home/\xD3\xC3\xBB\xA7/\xB9\xD8\xBC\xFC\xB4\xCA.txt\r\n-1\r\nqcyes\r\n12\r\n"));

    test::FakeWindow fresh;
    SearchRun restored { { .window = fresh,
        .browser = browser,
        .tracker = tracker,
        .pollTimer = poll,
        .watchdogTimer = watchdog,
        .statePath = path() } };
    EXPECT_TRUE(restored.loadState());
    EXPECT_EQ(fresh.keywordFile, window.keywordFile);
    EXPECT_EQ(restored.keywordIndex(), -1);
    EXPECT_TRUE(fresh.dedupe);
    EXPECT_EQ(fresh.interval, 12);
}

TEST_F(StateFileTest, AHandEditedMinimumIndexIsSavedWithoutWrappingRound)
{
    write("a.txt\r\n-2147483648\r\nqcno\r\n5\r\n");
    ASSERT_TRUE(run.loadState());
    run.saveState();
    EXPECT_EQ(read(), QByteArray("a.txt\r\n-2147483648\r\nqcno\r\n5\r\n"));
}

TEST_F(StateFileTest, LoadAppliesLinesInOrderByTheLineRules)
{
    struct Case {
        QByteArray file;
        QString edit5;
        int index;
        bool dedupe;
        int interval;
        bool convertError;
    } cases[] = {
        { "a.txt\r\n7\r\nqcyes\r\n9\r\n", QStringLiteral("a.txt"), 7, true, 9, false },
        { "a.txt\n7\nQCYES\n5000", QStringLiteral("a.txt"), 7, false, 1000,
            false }, // case-sensitive; clamped
        { "a\rb.txt\r\n3\r\nqcyes\r\n2\r\n", QStringLiteral("ab.txt"), 3, true, 2, false }, // lone CR dropped
        { "only.txt\r\n4\r\n", QStringLiteral("only.txt"), 4, false, 5, true }, // line 4 missing
        { "p.txt\r\nfive\r\nqcyes\r\n9\r\n", QStringLiteral("p.txt"), 0, false, 5, true }, // stops at line 2
    };
    for (const auto& c : cases) {
        write(c.file);
        test::FakeWindow w;
        SearchRun r { { .window = w,
            .browser = browser,
            .tracker = tracker,
            .pollTimer = poll,
            .watchdogTimer = watchdog,
            .statePath = path() } };
        bool threw = false;
        try {
            r.loadState();
        } catch (const text::ConvertError&) {
            threw = true;
        }
        EXPECT_EQ(threw, c.convertError) << c.file.toStdString();
        EXPECT_EQ(w.keywordFile, c.edit5);
        EXPECT_EQ(r.keywordIndex(), c.index);
        EXPECT_EQ(w.dedupe, c.dedupe);
        EXPECT_EQ(w.interval, c.interval);
    }
}

TEST_F(StateFileTest, NoFileLeavesTheDefaults)
{
    EXPECT_FALSE(run.loadState());
    EXPECT_EQ(window.keywordFile, QString());
    EXPECT_EQ(run.keywordIndex(), 0);
    EXPECT_EQ(window.interval, 5);
}

TEST_F(StateFileTest, AFailedSaveKeepsThePreviousFile)
{
    window.keywordFile = QStringLiteral("old.txt");
    run.saveState();
    const QByteArray before = read();
    // A folder where the new file cannot be created next to the old one,
    // and an old file that cannot be written where it stands.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    QFile::setPermissions(path(), QFile::ReadOwner);
    window.keywordFile = QStringLiteral("new.txt");
    const bool root = ::geteuid() == 0; // root writes anywhere
    if (!root) {
        EXPECT_THROW(run.saveState(), text::FileCreateError);
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
    if (!root) {
        EXPECT_EQ(read(), before);
    }

    SearchRun elsewhere { { .window = window,
        .browser = browser,
        .tracker = tracker,
        .pollTimer = poll,
        .watchdogTimer = watchdog,
        .statePath = dir.filePath(QStringLiteral("gone/s.ini")) } };
    EXPECT_THROW(elsewhere.saveState(), text::FileCreateError);
}

} // namespace
