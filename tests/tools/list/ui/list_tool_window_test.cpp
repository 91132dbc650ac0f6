#include "tools/list/ui/ListToolWindow.h"

#include "support/Errors.h"
#include "support/EventLoop.h"
#include "support/FailingCalls.h"
#include "support/Files.h"
#include "support/ScriptedDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace tess;
using namespace tess::test;
using tools::ListToolWindow;

namespace {

QByteArray crLf(const QByteArrayList& lines)
{
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    return out;
}

// The window with its dialogs scripted, its sources and target in a
// folder of its own.
class ListTool : public ::testing::Test {
protected:
    template <typename T> T* child(const QString& name) { return window.findChild<T*>(name); }

    void tick(const char* step, const QString& value = {})
    {
        const QString name = QLatin1String(step);
        child<QCheckBox>(name + QStringLiteral("Check"))->setChecked(true);
        if (auto* combo = child<QComboBox>(name + QStringLiteral("Value")))
            combo->setCurrentIndex(combo->findData(value));
        else if (auto* edit = child<QLineEdit>(name + QStringLiteral("Value")))
            edit->setText(value);
        else if (auto* spin = child<QSpinBox>(name + QStringLiteral("Value")))
            spin->setValue(value.toInt());
    }
    // Adds the sources through 添加… and names the target through 浏览….
    void choose(const QStringList& sources, const QString& target)
    {
        dialogs.openAnswers.push_back(sources);
        child<QPushButton>(QStringLiteral("AddSourcesButton"))->click();
        dialogs.saveAnswers.push_back(target);
        child<QPushButton>(QStringLiteral("TargetBrowse"))->click();
    }
    void runToTheEnd()
    {
        child<QPushButton>(QStringLiteral("RunButton"))->click();
        ASSERT_TRUE(waitUntil([&] { return !window.running(); }, 20000));
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    ListToolWindow window;
};

TEST_F(ListTool, TickedStepsGiveTheCommandLinesArgumentsInItsOrder)
{
    struct Case {
        std::vector<std::pair<const char*, const char*>> ticks; // in the order ticked
        std::vector<const char*> words; // the same on the command line, before -o
    };
    const Case cases[] = {
        { { { "Sort", "" }, { "DropTld", "com,net" }, { "Trim", "host" }, { "Unique", "domain" } },
            { "--trim", "host", "--unique", "domain", "--drop-tld", "com,net", "--sort" } },
        { { { "DropListed", "/tmp/black.txt" }, { "KeepContaining", "shop,mall" }, { "KeepTld", "cn,com.cn" },
              { "DropMatching", "^ftp:" }, { "Split", "250" } },
            { "--keep-tld", "cn,com.cn", "--keep-containing", "shop,mall", "--drop-matching",
                "^ftp:", "--drop-listed", "/tmp/black.txt", "--split", "250" } },
        { { { "Count", "tld" }, { "KeepListed", "/tmp/white.txt" }, { "DropContaining", "ad" },
              { "KeepMatching", "\\.cn/" }, { "Trim", "path" } },
            { "--trim", "path", "--drop-containing", "ad", "--keep-matching", "\\.cn/", "--keep-listed",
                "/tmp/white.txt", "--count", "tld" } },
    };
    choose({ path("b.txt"), path("a.txt") }, path("out.txt"));
    for (const Case& c : cases) {
        QStringList words;
        for (const char* word : c.words)
            words.append(QString::fromUtf8(word));
        SCOPED_TRACE(words.join(u' ').toStdString());
        for (QCheckBox* check : window.findChildren<QCheckBox*>())
            check->setChecked(false);
        for (const auto& [step, value] : c.ticks)
            tick(step, QString::fromUtf8(value));
        const std::optional<tools::ListArguments> expected = tools::parseListArguments(
            words + QStringList { QStringLiteral("-o"), path("out.txt"), path("b.txt"), path("a.txt") });
        ASSERT_TRUE(expected);
        const tools::ListArguments got = window.arguments();
        ASSERT_EQ(got.steps.size(), expected->steps.size());
        for (size_t i = 0; i < got.steps.size(); ++i) {
            EXPECT_EQ(got.steps[i].kind, expected->steps[i].kind) << i;
            EXPECT_EQ(got.steps[i].value, expected->steps[i].value) << i;
        }
        EXPECT_EQ(got.split, expected->split);
        EXPECT_EQ(got.count, expected->count);
        EXPECT_EQ(got.sources, expected->sources);
        EXPECT_EQ(got.target, expected->target);
    }
}

TEST_F(ListTool, ARunWritesTheTargetAndSaysWhatItReadAndWrote)
{
    const QString source = writeFile(path("in.txt"),
        crLf({ "http://www.b.cn/x", "not an address", "http://a.cn/", "http://shop.b.cn/y",
            "http://c.com/" }));
    choose({ source }, path("out.txt"));
    tick("Trim", QStringLiteral("root"));
    tick("Unique", QStringLiteral("address"));
    tick("KeepTld", QStringLiteral("cn"));
    tick("Sort");
    runToTheEnd();
    EXPECT_EQ(readFile(path("out.txt")), crLf({ "http://a.cn/", "http://b.cn/" }));
    EXPECT_EQ(window.statusText(), QStringLiteral("读入 5 行，写出 2 行，其中 1 行没有主机"));
    EXPECT_TRUE(child<QPushButton>(QStringLiteral("RunButton"))->isEnabled());
    EXPECT_TRUE(child<QTableWidget>(QStringLiteral("CountTable"))->isHidden());
    EXPECT_TRUE(dialogs.texts(QStringLiteral("error")).isEmpty());

    // A source that is gone: the engine's error in the standard box.
    dialogs.openAnswers.push_back({ path("gone.txt") });
    child<QPushButton>(QStringLiteral("AddSourcesButton"))->click();
    runToTheEnd();
    EXPECT_EQ(dialogs.texts(QStringLiteral("error")),
        QStringList { QStringLiteral("Cannot open file ") + path("gone.txt") });
    EXPECT_EQ(readFile(path("out.txt")), crLf({ "http://a.cn/", "http://b.cn/" }));
}

TEST_F(ListTool, ACountFillsTheTableLargestFirstWithBarsAgainstTheLargest)
{
    const QString source = writeFile(path("in.txt"),
        crLf({ "http://a.b.cn/", "http://x.com/", "http://c.b.cn/", "http://b.cn/1", "http://y.x.com/",
            "http://z.org/" }));
    choose({ source }, path("count.txt"));
    tick("Count", QStringLiteral("domain"));
    window.show();
    runToTheEnd();
    EXPECT_EQ(window.statusText(), QStringLiteral("读入 6 行，写出 3 行，其中 0 行没有主机"));
    auto* table = child<QTableWidget>(QStringLiteral("CountTable"));
    ASSERT_TRUE(table->isVisible());
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("数量"));
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("键"));
    const std::tuple<const char*, const char*, double> rows[]
        = { { "3", "b.cn", 1.0 }, { "2", "x.com", 2.0 / 3 }, { "1", "z.org", 1.0 / 3 } };
    ASSERT_EQ(table->rowCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(table->item(i, 0)->text(), QLatin1String(std::get<0>(rows[i])));
        EXPECT_EQ(table->item(i, 1)->text(), QLatin1String(std::get<1>(rows[i])));
        EXPECT_DOUBLE_EQ(table->item(i, 2)->data(Qt::UserRole).toDouble(), std::get<2>(rows[i]));
    }
}

TEST_F(ListTool, AFormThatCannotRunIsRefusedWithABoxAndNothingRuns)
{
    struct Case {
        std::vector<std::pair<const char*, const char*>> ticks;
        bool sources;
        bool target;
        QString said; // how the box's text starts
    };
    const Case cases[] = {
        { { { "Sort", "" }, { "KeepMatching", "a(b" } }, true, true,
            QStringLiteral("“保留匹配”的表达式有误：bad pattern a(b: ") },
        { { { "DropMatching", "[z-a]" } }, true, true,
            QStringLiteral("“去除匹配”的表达式有误：bad pattern [z-a]: ") },
        { { { "KeepTld", "" } }, true, true, QStringLiteral("请填写“保留后缀”的内容") },
        { { { "Split", "10" }, { "Count", "host" } }, true, true,
            QStringLiteral("“分割”与“统计”只能选择其一") },
        { {}, false, true, QStringLiteral("请添加源文件") },
        { {}, true, false, QStringLiteral("请指定目标文件") },
    };
    const QString source = writeFile(path("in.txt"), crLf({ "http://a.cn/" }));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said.toStdString());
        for (QCheckBox* check : window.findChildren<QCheckBox*>())
            check->setChecked(false);
        child<QListWidget>(QStringLiteral("SourceList"))->clear();
        child<QLineEdit>(QStringLiteral("TargetEdit"))->clear();
        choose(c.sources ? QStringList { source } : QStringList {}, c.target ? path("out.txt") : QString());
        if (!c.target)
            dialogs.saveAnswers.clear();
        for (const auto& [step, value] : c.ticks)
            tick(step, QString::fromUtf8(value));
        dialogs.shown.clear();
        child<QPushButton>(QStringLiteral("RunButton"))->click();
        EXPECT_FALSE(window.running());
        const QStringList errors = dialogs.texts(QStringLiteral("error"));
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors.first().startsWith(c.said)) << errors.first().toStdString();
        EXPECT_FALSE(QFile::exists(path("out.txt")));
    }
}

// Closing the window while a long list reads its sources (held here until
// the window stops it) stops the list, the target as it was.
TEST_F(ListTool, ClosingWhileRunningStopsTheListAndKeepsTheTarget)
{
    QByteArray lines;
    for (int i = 0; i < 100000; ++i)
        lines += "http://www.example" + QByteArray::number(i * 7919 % 100000) + ".cn/\r\n";
    const QString source = writeFile(path("big.txt"), lines);
    const QString target = writeFile(path("target.txt"), "old\r\n");
    choose({ source }, target);
    tick("Sort");
    tick("Count", QStringLiteral("host"));
    window.show();

    std::atomic<int> held = 0;
    const Qt::HANDLE windowThread = QThread::currentThreadId();
    InterceptedCalls calls([&](Call call) {
        if (call == Call::Read && QThread::currentThreadId() != windowThread) {
            ++held;
            while (!window.stopping())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return 0;
    });
    child<QPushButton>(QStringLiteral("RunButton"))->click();
    ASSERT_TRUE(window.running());
    EXPECT_FALSE(child<QPushButton>(QStringLiteral("RunButton"))->isEnabled());
    EXPECT_TRUE(window.statusText().startsWith(QStringLiteral("正在处理…")));
    ASSERT_TRUE(waitUntil([&] { return held > 0; }, 10000));

    window.close();
    EXPECT_FALSE(window.running());
    EXPECT_FALSE(window.isVisible());
    runEventsFor(100);
    EXPECT_EQ(readFile(target), QByteArray("old\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
        (QStringList { QStringLiteral("big.txt"), QStringLiteral("target.txt") }));
    EXPECT_TRUE(dialogs.texts(QStringLiteral("error")).isEmpty());
    EXPECT_TRUE(child<QTableWidget>(QStringLiteral("CountTable"))->isHidden());
}

} // namespace
