#include "MainWindowFixture.h"
#include "app/HarvestAssembly.h"
#include "harvest/RowFormats.h"
#include "ui/Application.h"

#include "components/tray/qt/QtTaskbarIcon.h"
#include "text/Errors.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QTimeZone>
#include <QToolButton>
#include <QTreeView>

using namespace tess;
using namespace tess::test;

namespace {

class MainWindow : public MainWindowFixture {
protected:
    void SetUp() override { openWindow(); }
    QAction* action(const char* name) { return form->findChild<QAction*>(QLatin1String(name)); }
};

TEST_F(MainWindow, IsLaidOutWithItsCommandsListAndPanels)
{
    EXPECT_EQ(form->size(), QSize(576, 439));
    const char* names[] = { "SpeedButton4", "SpeedButton2", "SpeedButton3", "SpeedButton5", "SpeedButton8",
        "SpeedButton6", "SpeedButton1", "ListToolButton", "SpeedButton9", "SpeedButton10" };
    const char16_t* captions[]
        = { u"导入", u"搜索", u"终止", u"保存", u"进程", u"创建", u"合并", u"列表", u"关于", u"退出" };
    int left = -1;
    for (size_t i = 0; i < std::size(names); ++i) {
        QToolButton* b = button(names[i]);
        ASSERT_NE(b, nullptr) << names[i];
        EXPECT_EQ(b->text(), QString::fromUtf16(captions[i]));
        EXPECT_TRUE(b->isEnabled());
        EXPECT_GT(b->x(), left);
        left = b->x();
        // Every command fits the window's width: none goes into the
        // toolbar's overflow menu.
        EXPECT_TRUE(b->isVisible()) << names[i];
        EXPECT_LE(b->mapTo(form.get(), QPoint(b->width(), 0)).x(), form->width()) << names[i];
    }
    EXPECT_EQ(button("ListToolButton")->toolTip(),
        QStringLiteral("列表工具：截取、去重、过滤、相减、分割、统计网址列表"));
    auto* list = form->findChild<QTreeView*>(QStringLiteral("ListView1"));
    EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("网址"));
    EXPECT_EQ(list->columnWidth(0), 175);
    EXPECT_EQ(list->columnWidth(1), 350);
    EXPECT_EQ(form->panelText(0), QStringLiteral("总数："));
    EXPECT_EQ(form->panelText(2), QStringLiteral("进程："));
    EXPECT_EQ(form->panelText(4), QStringLiteral("数量："));
    EXPECT_EQ(form->findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->value(), 5);
    EXPECT_EQ(form->trayIcon().hint(), text::toGbk(u"『Tessaroon』V2.0 "));
    EXPECT_TRUE(form->trayIcon().isVisible());
}

TEST_F(MainWindow, MinimisingHidesToTheTrayAndTheMenuBringsItBack)
{
    EXPECT_FALSE(action("N17")->isEnabled());
    form->showMinimized();
    ASSERT_TRUE(waitUntil([&] { return !form->isVisible(); }, 5000));
    EXPECT_TRUE(action("N17")->isEnabled());
    EXPECT_FALSE(action("N18")->isEnabled());

    action("N17")->trigger();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isMinimized());
    EXPECT_FALSE(action("N17")->isEnabled());
    EXPECT_TRUE(action("N18")->isEnabled());

    action("N18")->trigger();
    EXPECT_FALSE(form->isVisible());
    // A click on the tray icon shows it again.
    ASSERT_TRUE(form->trayIcon().onClick);
    form->trayIcon().onClick(&form->trayIcon());
    EXPECT_TRUE(form->isVisible());
}

// Without a tray there is nothing to bring a hidden window back from: the
// window is minimised as usual and stays where the desktop can find it.
TEST_F(MainWindow, WithoutATrayMinimisingLeavesTheWindowFindable)
{
    trayAvailable = false;
    form->showMinimized();
    runEventsFor(200);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isMinimized());
    EXPECT_FALSE(action("N17")->isEnabled());
    EXPECT_TRUE(action("N18")->isEnabled());

    // The tray appears later (a panel started after the program): from then
    // on minimising hides into it again.
    form->showNormal();
    trayAvailable = true;
    form->showMinimized();
    ASSERT_TRUE(waitUntil([&] { return !form->isVisible(); }, 5000));
}

TEST_F(MainWindow, AMaximisedWindowComesBackFromTheTrayMaximised)
{
    form->showMaximized();
    ASSERT_TRUE(waitUntil([&] { return form->isMaximized(); }, 2000));
    action("N18")->trigger();
    EXPECT_FALSE(form->isVisible());
    action("N17")->trigger();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isMaximized());
}

// A box over a window hidden in the tray would stand alone; the window
// comes back first and carries it.
TEST_F(MainWindow, AnErrorWhileHiddenBringsTheWindowBackUnderItsBox)
{
    action("N18")->trigger();
    ASSERT_FALSE(form->isVisible());
    form->reportError(QStringLiteral("Cannot create file /x/tessaroon.ini"));
    ASSERT_TRUE(waitUntil([&] { return !dialogs.texts(QStringLiteral("error")).isEmpty(); }, 2000));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(ui::boxOwner(), form.get());
    EXPECT_EQ(dialogs.texts(QStringLiteral("error")),
        QStringList { QStringLiteral("Cannot create file /x/tessaroon.ini") });
}

TEST_F(MainWindow, ClosingAsksFirstAndRemovesTheScratchFileAtExit)
{
    writeFile(QStringLiteral("mirovadel.tmp"), "left over");
    dialogs.confirmAnswers = { false, false };
    button("SpeedButton10")->click();
    action("N23")->trigger();
    EXPECT_EQ(dialogs.texts(QStringLiteral("confirm")),
        (QStringList { QStringLiteral("确认退出Tessaroon吗?"), QStringLiteral("确认退出Tessaroon吗?") }));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(QFile::exists(form->scratchPath()));

    dialogs.confirmAnswers = { true };
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(QFile::exists(form->scratchPath()));
}

TEST_F(MainWindow, HandlerErrorsReachTheStandardErrorBox)
{
    // Search with no keyword list: the error escapes the handler.
    button("SpeedButton2")->click();
    EXPECT_EQ(
        dialogs.texts(QStringLiteral("error")), QStringList { QStringLiteral("请先导入关键字列表文件") });
    EXPECT_EQ(text::standardErrorText(dialogs.texts(QStringLiteral("error")).first()),
        QStringLiteral("请先导入关键字列表文件."));
}

TEST_F(MainWindow, ABadStateFileLineIsReportedAfterTheLinesBeforeIt)
{
    form.reset();
    writeFile(QStringLiteral("tessaroon.ini"), "/k.txt\r\n3\r\nqcyes\r\nabc\r\n");
    openWindow();
    EXPECT_EQ(form->keywordFileText(), QStringLiteral("/k.txt"));
    EXPECT_EQ(form->run().keywordIndex(), 3);
    EXPECT_TRUE(form->dedupeChecked());
    ASSERT_TRUE(waitUntil([&] { return !dialogs.texts(QStringLiteral("error")).isEmpty(); }, 2000));
    EXPECT_EQ(
        dialogs.texts(QStringLiteral("error")).first(), QStringLiteral("'abc' is not a valid integer value"));
}

TEST_F(MainWindow, BrokenRuleFilesAreListedInOneBoxSayingWhatBecameOfTheirSets)
{
    form.reset();
    const QString folder = dir.filePath(QStringLiteral("rules"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("rules")));
    auto rulesFile = [&](const QString& name, const QByteArray& body) {
        return QDir::toNativeSeparators(test::writeFile(folder + u'/' + name, "tessaroon-rules 1\n" + body));
    };
    const QString changed = rulesFile(QStringLiteral("00.rules"), "name = classic\npager = numbers\n");
    const QString added = rulesFile(QStringLiteral("01.rules"), "name = mine\nrequest-path = /snormal\n");
    for (int i = 2; i < 60; ++i)
        rulesFile(QStringLiteral("%1.rules").arg(i, 2, 10, QLatin1Char('0')), "scheme = ftp\n");
    const app::RuleChoice choice = app::chooseRules({}, QStringLiteral("classic"), folder);
    openWindow(QByteArray(), QString(), choice.errors);

    ASSERT_TRUE(waitUntil([&] { return !dialogs.shown.empty(); }, 2000));
    runEventsFor(100);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const ScriptedDialogs::Shown& box = dialogs.shown.front();
    EXPECT_EQ(box.kind, QStringLiteral("list"));
    EXPECT_EQ(box.text, QStringLiteral("60 个规则文件有误："));
    ASSERT_EQ(box.entries.size(), 51);
    EXPECT_EQ(box.entries[0],
        QStringLiteral(
            "规则文件 %1 第 3 行：取值无效：pager 只能是 bracketed-line 或 next-link，不能是“numbers”\n"
            "此文件未被采用，仍使用内置规则。")
            .arg(changed));
    EXPECT_TRUE(box.entries[1].startsWith(QStringLiteral("规则文件 %1 第 3 行：").arg(added)))
        << box.entries[1].toStdString();
    EXPECT_TRUE(box.entries[1].endsWith(QStringLiteral("\n此文件未被采用，规则 mine 不可用。")))
        << box.entries[1].toStdString();
    EXPECT_TRUE(box.entries[49].endsWith(QStringLiteral("\n此文件未被采用。")))
        << box.entries[49].toStdString();
    EXPECT_EQ(box.entries[50], QStringLiteral("……以及另外 10 个"));
}

} // namespace

TEST_F(MainWindow, SaveResultsWritesTheFormatTheNameOrTheFilterAsksFor)
{
    // Rows a run left in the scratch file, with where they came from: a
    // title with a comma, one with quotes, one in GBK.
    harvest::HarvestedRows rows {
        { .address = "http://a.example/",
            .title = "one, two",
            .keyword = "k",
            .engine = QStringLiteral("today"),
            .page = 1,
            .rank = 1,
            .kind = harvest::RowKind::Result },
        { .address = "http://b.example/", .title = "say \"hi\"", .engine = QStringLiteral("today") },
        { .address = "http://c.example/",
            .title = text::toGbk(u"标题"),
            .engine = QStringLiteral("today"),
            .time = QDateTime(QDate(2026, 12, 8), QTime(22, 30, 5), QTimeZone(8 * 3600)) },
    };
    QByteArray scratch;
    for (const harvest::HarvestedRow& row : rows)
        scratch += harvest::ResultsLog::formatRow(row);
    // One engine: TSV keeps the two columns files have always had.
    const QByteArray tsv
        = "http://a.example/\tone, two\r\nhttp://b.example/\tsay \"hi\"\r\nhttp://c.example/\t"
        + text::toGbk(u"标题") + "\r\n";
    const harvest::RowColumns all = harvest::allRowColumns();
    const QByteArray csv = harvest::formatRows(harvest::RowFormat::Csv, all, rows);
    ASSERT_TRUE(csv.contains("\r\nk,today,1,1,result,http://a.example/,\"one, two\",\r\n"));
    const QByteArray jsonl = harvest::formatRows(harvest::RowFormat::Jsonl, all, rows);
    form.reset();
    writeFile(QStringLiteral("mirovadel.tmp"), scratch);
    openWindow();

    struct Case {
        const char* name;
        int filter; // as the dialog ends on it; -1: not known
        QByteArray saved; // empty: a workbook
    };
    for (const Case& c : { Case { "a.csv", -1, csv }, Case { "b.CSV", 0, csv }, Case { "c.txt", 1, csv },
             Case { "d", 1, csv }, Case { "e.txt", 0, tsv }, Case { "f", -1, tsv },
             Case { "g.csv.txt", 4, tsv }, Case { "h.jsonl", -1, jsonl }, Case { "i.txt", 2, jsonl },
             Case { "j.xlsx", 0, {} }, Case { "k", 3, {} } }) {
        const QString target = dir.filePath(QString::fromLatin1(c.name));
        dialogs.saveAnswers.push_back(target);
        dialogs.saveFilters.push_back(c.filter);
        form->saveResults();
        if (c.saved.isEmpty())
            EXPECT_TRUE(readFile(target).startsWith("PK\x03\x04")) << c.name; // a zip: the workbook
        else
            EXPECT_EQ(readFile(target), c.saved) << c.name;
    }
    for (const char* pattern : { "*.txt", "*.csv", "*.jsonl", "*.xlsx" })
        EXPECT_TRUE(dialogs.fileDialogs.back().filter.contains(QLatin1String(pattern))) << pattern;
}

TEST_F(MainWindow, SaveResultsTakesTheEarlierScratchLayoutsWithTheEngineColumnRule)
{
    struct Case {
        const char* name;
        QByteArray scratch;
        QByteArray tsv;
    } cases[] = {
        { "two columns", "http://a.example/\ta\r\nhttp://b.example/\tb\r\n",
            "http://a.example/\ta\r\nhttp://b.example/\tb\r\n" },
        // Rows of two engines: the engine third, empty where not known.
        { "engine third", "http://a.example/\ta\t360\r\nhttp://b.example/\tb\r\n",
            "http://a.example/\ta\t360\r\nhttp://b.example/\tb\t\r\n" },
        { "two engines",
            "http://a.example/\ta\t360\t\t\t\tresult\t\r\nhttp://b.example/\tb\ttoday\t\t\t\tad\t\r\n",
            "http://a.example/\ta\t360\r\nhttp://b.example/\tb\ttoday\r\n" },
    };
    for (const Case& c : cases) {
        form.reset();
        writeFile(QStringLiteral("mirovadel.tmp"), c.scratch);
        openWindow();
        const QString target = dir.filePath(QStringLiteral("out.txt"));
        dialogs.saveAnswers.push_back(target);
        form->saveResults();
        EXPECT_EQ(readFile(target), c.tsv) << c.name;
    }
}
