#include "MainWindowFixture.h"

#include "support/FailingCalls.h"
#include "tools/builder/KeywordListBuilder.h"
#include "tools/list/ui/ListToolWindow.h"
#include "tools/merge/MergeCommand.h"

#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace tess;
using namespace tess::test;

namespace {

class ToolCommands : public MainWindowFixture {
protected:
    void SetUp() override { openWindow(); }
};

TEST_F(ToolCommands, ImportFailuresLeaveTheStateTheyFound)
{
    importKeywords(writeFile(QStringLiteral("good.txt"), "a\r\nb\r\nc"));
    EXPECT_EQ(form->panelText(1), QStringLiteral("3"));
    EXPECT_EQ(form->run().keywordList().size(), 3);
    EXPECT_EQ(form->panelText(6), QStringLiteral("欢迎使用 Tessaroon")); // count and list agree

    // Where the file's lines and its keywords part (here a lone CR), the
    // status bar says so.
    importKeywords(writeFile(QStringLiteral("mixed.txt"), "a\rb\r\nc\r\n"));
    EXPECT_EQ(form->panelText(1), QStringLiteral("2"));
    EXPECT_EQ(form->run().keywordList().size(), 3); // a lone CR ends a keyword too
    EXPECT_EQ(form->panelText(6), QStringLiteral("文件共 2 行，读入关键字 3 个"));
    importKeywords(writeFile(QStringLiteral("good.txt"), "a\r\nb\r\nc"));

    // A file that does not exist: the path shows, nothing else changes.
    const QString missing = dir.filePath(QStringLiteral("none.txt"));
    dialogs.openAnswers.push_back({ missing });
    button("SpeedButton4")->click();
    EXPECT_EQ(dialogs.texts(QStringLiteral("error")).last(), QStringLiteral("File not found"));
    EXPECT_EQ(form->keywordFileText(), missing);
    EXPECT_EQ(form->panelText(1), QStringLiteral("3"));
    EXPECT_EQ(form->run().keywordList().size(), 3);

    dialogs.openAnswers.push_back({ dir.filePath(QStringLiteral("nodir/none.txt")) });
    button("SpeedButton4")->click();
    EXPECT_EQ(dialogs.texts(QStringLiteral("error")).last(), QStringLiteral("Invalid filename"));

    // Cancelling changes nothing; importing keeps the keyword position.
    form->run().setKeywordIndex(7);
    form->importKeywords();
    importKeywords(writeFile(QStringLiteral("empty.txt"), ""));
    EXPECT_EQ(form->panelText(1), QStringLiteral("0"));
    EXPECT_TRUE(form->run().keywordList().isEmpty());
    EXPECT_EQ(form->run().keywordIndex(), 7);
    EXPECT_EQ(dialogs.fileDialogs.back().title, QStringLiteral("导入关键字列表文件"));
    EXPECT_EQ(dialogs.fileDialogs.back().initialDir, io::exeDir());

    // UTF-16 read as GBK would be one keyword of garbage: refused, the list
    // kept as it was.
    importKeywords(writeFile(QStringLiteral("k.txt"), "a\r\nb\r\n"));
    const QString wide = writeFile(QStringLiteral("wide.txt"), QByteArray("\xFF\xFEo\0n\0e\0", 8));
    dialogs.openAnswers.push_back({ wide });
    button("SpeedButton4")->click();
    EXPECT_EQ(dialogs.texts(QStringLiteral("error")).last(),
        QStringLiteral("关键字列表文件是 UTF-16LE 编码，请另存为 GBK 后再导入：%1").arg(wide));
    EXPECT_EQ(form->run().keywordList(), (harvest::KeywordList { "a", "b" }));
}

TEST_F(ToolCommands, MergeThroughTheDialogsMatchesTheCommandLine)
{
    const QString a = writeFile(QStringLiteral("a.txt"), "b\r\nA\r\n");
    const QString b = writeFile(QStringLiteral("b.txt"), "a\r\nc");
    const QString target = dir.filePath(QStringLiteral("merged.txt"));
    dialogs.openAnswers.push_back({ a, b });
    dialogs.saveAnswers.push_back(target);
    button("SpeedButton1")->click();
    ASSERT_TRUE(waitUntil([&] { return !form->mergeRunning(); }, 10000));
    EXPECT_EQ(readFile(target), QByteArray("A\r\nb\r\nc\r\n"));
    EXPECT_EQ(form->panelText(6), QStringLiteral("文件合并整理完毕！共计：3"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    const QString viaCli = dir.filePath(QStringLiteral("cli.txt"));
    FILE* sink = std::tmpfile();
    EXPECT_EQ(tools::runMergeCommand({ viaCli, { a, b } }, sink, sink), 0);
    std::fclose(sink);
    EXPECT_EQ(readFile(viaCli), readFile(target));

    // A source gone since it was chosen: the target stays as it was and the
    // busy pointer is restored.
    dialogs.openAnswers.push_back({ a, dir.filePath(QStringLiteral("gone.txt")) });
    dialogs.saveAnswers.push_back(target);
    button("SpeedButton1")->click();
    ASSERT_TRUE(waitUntil([&] { return !form->mergeRunning(); }, 10000));
    EXPECT_EQ(dialogs.texts(QStringLiteral("error")).last(),
        QStringLiteral("Cannot open file ") + dir.filePath(QStringLiteral("gone.txt")));
    EXPECT_EQ(readFile(target), QByteArray("A\r\nb\r\nc\r\n"));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// The merge runs off the interface thread: while it reads its sources
// (held here until the window has shown it is alive) a timer keeps firing,
// 合并 is disabled and the busy pointer shows the progress text; closing
// the window then stops the merge, the target as it was.
TEST_F(ToolCommands, TheWindowStaysAliveDuringAMergeAndClosingStopsIt)
{
    QByteArray lines;
    for (int i = 0; i < 20000; ++i)
        lines += "http://www.example" + QByteArray::number(i * 7919 % 20000) + ".cn/\r\n";
    const QString source = writeFile(QStringLiteral("big.txt"), lines);
    const QString target = writeFile(QStringLiteral("target.txt"), "old\r\n");

    for (const bool close : { false, true }) {
        SCOPED_TRACE(close ? "closed" : "finished");
        std::atomic<bool> release = false;
        std::atomic<int> held = 0;
        // Reads on the merge's thread wait for the test (or for the merge
        // being stopped); the window's own thread never reads here.
        const Qt::HANDLE windowThread = QThread::currentThreadId();
        InterceptedCalls calls([&](Call call) {
            if (call == Call::Read && QThread::currentThreadId() != windowThread) {
                ++held;
                while (!release && !form->mergeStopping())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return 0;
        });
        dialogs.openAnswers.push_back({ source });
        dialogs.saveAnswers.push_back(target);
        button("SpeedButton1")->click();
        ASSERT_TRUE(form->mergeRunning());
        EXPECT_FALSE(button("SpeedButton1")->isEnabled());
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(form->panelText(6).startsWith(QStringLiteral("数据正处理中...")));

        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(1);
        ASSERT_TRUE(waitUntil([&] { return ticks >= 5 && held > 0; }, 10000));
        EXPECT_TRUE(form->mergeRunning());

        if (close) {
            dialogs.confirmAnswers.push_back(true);
            form->close();
            EXPECT_FALSE(form->mergeRunning());
            EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
            EXPECT_EQ(readFile(target), QByteArray("old\r\n"));
        } else {
            release = true;
            ASSERT_TRUE(waitUntil([&] { return !form->mergeRunning(); }, 20000));
            EXPECT_TRUE(button("SpeedButton1")->isEnabled());
            EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
            EXPECT_EQ(form->panelText(6), QStringLiteral("文件合并整理完毕！共计：20000"));
            EXPECT_EQ(readFile(target).size(), lines.size());
            writeFile(QStringLiteral("target.txt"), "old\r\n");
        }
        // Only the two files: no temporary file left beside the target.
        EXPECT_EQ(QDir(dir.path()).entryList({ QStringLiteral("*.tmp") }, QDir::Files | QDir::Hidden),
            QStringList {});
    }
}

TEST_F(ToolCommands, TheBuildersListImportsAsKeywords)
{
    tools::KeywordListBuilder builder;
    form->setSecondaryWindows(nullptr, &builder, nullptr);
    QTimer::singleShot(0, &builder, [&] {
        builder.buildKeywordList();
        dialogs.saveAnswers.push_back(dir.filePath(QStringLiteral("kw.txt")));
        builder.saveKeywordList();
        builder.close();
    });
    button("SpeedButton6")->click(); // shows the builder modally until it closes
    importKeywords(dir.filePath(QStringLiteral("kw.txt")));
    EXPECT_EQ(form->panelText(1), QStringLiteral("16"));
    ASSERT_EQ(form->run().keywordList().size(), 16);
    EXPECT_EQ(text::fromGbk(form->run().keywordList().first()), QStringLiteral("广州 服装"));
}

// 列表 and Ctrl+L open the list tool over the main window.
TEST_F(ToolCommands, TheListButtonAndCtrlLOpenTheListTool)
{
    tools::ListToolWindow listTool;
    form->setSecondaryWindows(nullptr, nullptr, nullptr, &listTool);
    for (const bool key : { false, true }) {
        SCOPED_TRACE(key ? "Ctrl+L" : "列表");
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        bool shown = false;
        // Closes the window once it is up: exec() runs the events until then.
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, &listTool, [&] {
            if (listTool.isVisible()) {
                shown = listTool.isModal();
                listTool.close();
            }
        });
        closer.start(10);
        if (key) {
            // Through the window system, where shortcuts are looked up.
            QTest::keyClick(form->windowHandle(), Qt::Key_L, Qt::ControlModifier);
        } else {
            button("ListToolButton")->click();
        }
        waitUntil([&] { return shown; }, 3000);
        EXPECT_TRUE(shown);
        EXPECT_EQ(listTool.windowTitle(), QStringLiteral("列表工具"));
    }
}

} // namespace
