#include "MainWindowFixture.h"
#include "harvest/ResultsLog.h"

#include "browser/webengine/WebEngineBrowserHost.h"
#include "support/FailingCalls.h"
#include "support/LocalPorts.h"
#include "support/Python.h"

#include "LayoutPages.h"

#include <QWebEnginePage>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

using namespace tess;
using namespace tess::test;

namespace {

class HarvestEndToEnd : public MainWindowFixture {
protected:
    void startEngine(sample::EngineSettings settings, const QString& rules = {})
    {
        engine = std::make_unique<sample::SampleEngine>(settings);
        port = engine->start(0);
        ASSERT_GT(port, 0);
        // Today's rules ask over https unless the address names a scheme.
        openWindow((rules.isEmpty() ? QByteArray() : QByteArray("http://"))
                + "127.0.0.1:" + QByteArray::number(port),
            rules);
        form->findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->setValue(1);
    }

    QStringList stateLines() const
    {
        return text::fromGbk(readFile(dir.filePath(QStringLiteral("tessaroon.ini"))))
            .split(QStringLiteral("\r\n"));
    }

    QString scratch() const { return dir.filePath(QStringLiteral("mirovadel.tmp")); }

    std::unique_ptr<sample::SampleEngine> engine;
    int port = 0;
};

TEST_F(HarvestEndToEnd, ImportedKeywordsAreSearchedPageByPageIntoTheResultsList)
{
    startEngine({ 3, false });
    const QString keywords
        = writeFile(QStringLiteral("词表.txt"), text::toGbk(u"广州 服装\r\n上海 服饰\r\n"));
    importKeywords(keywords);
    EXPECT_EQ(form->findChild<QLineEdit*>(QStringLiteral("Edit5"))->text(), keywords);
    EXPECT_EQ(form->panelText(1), QStringLiteral("2"));

    form->startSearch();
    EXPECT_EQ(dialogs.texts(QStringLiteral("input")).last(),
        QStringLiteral("搜索参数设置|请输入关键字搜索断点位置        |0"));
    ASSERT_TRUE(waitForStatus(QStringLiteral("搜索已经结束！"), 90000));

    // Two keywords of three pages, ten results a page; the upper-case
    // copies, https, mail, script and the engine's own links are skipped.
    EXPECT_EQ(form->panelText(5), QStringLiteral("60"));
    std::vector<long long> offsets;
    for (const auto& r : engine->requests())
        if (r.path == "/baidu")
            offsets.push_back(r.pn.value_or(-1));
    EXPECT_EQ(offsets, (std::vector<long long> { 0, 10, 20, 0, 10, 20 }));
    EXPECT_EQ(resultsCount(form.get()), 60);
    const QString first = resultsCell(form.get(), 0, 0);
    EXPECT_TRUE(first.startsWith(QStringLiteral("http://www.k"))) << first.toStdString();
    EXPECT_TRUE(resultsCell(form.get(), 0, 1).contains(QStringLiteral("广州 服装")));

    EXPECT_EQ(stateLines(),
        (QStringList { keywords, QStringLiteral("1"), QStringLiteral("qcno"), QStringLiteral("1"), {} }));

    // Save results writes every row of the run.
    const QString saved = dir.filePath(QStringLiteral("results.txt"));
    dialogs.saveAnswers.push_back(saved);
    form->saveResults();
    const QByteArray bytes = readFile(saved);
    EXPECT_EQ(bytes.count("\r\n"), 60);
    EXPECT_TRUE(bytes.startsWith(text::toGbk(first) + '\t'));

    // A second run, with the browser's cache now filled, runs as the first.
    form->startSearch();
    ASSERT_TRUE(waitForStatus(QStringLiteral("正在搜索..."), 5000));
    ASSERT_TRUE(waitForStatus(QStringLiteral("搜索已经结束！"), 90000));
    EXPECT_EQ(form->panelText(5), QStringLiteral("30")); // position 1 offered: the second keyword
}

TEST_F(HarvestEndToEnd, TodaysRulesTakeTheTargetsAndWaitForTheVerificationToBePassed)
{
    sample::EngineSettings settings;
    settings.pagesPerKeyword = 2;
    settings.layout = sample::Layout::Today;
    settings.verifyAfter = 3; // the second keyword's first page
    startEngine(settings, QStringLiteral("today"));
    EXPECT_EQ(form->findChild<QToolButton*>(QStringLiteral("RulesBox"))->text(), QStringLiteral("现行 ▾"));
    importKeywords(writeFile(QStringLiteral("词表.txt"), text::toGbk(u"广州 服装\r\n上海 服饰\r\n")));

    form->startSearch();
    ASSERT_TRUE(waitForStatus(QStringLiteral("请在下方浏览器中完成验证，完成后自动继续"), 60000));
    EXPECT_EQ(form->panelText(5), QStringLiteral("24"));
    EXPECT_FALSE(form->findChild<QToolButton*>(QStringLiteral("RulesBox"))->isEnabled());
    // Nothing goes on while no one passes it.
    runEventsFor(3000);
    EXPECT_EQ(form->panelText(6), QStringLiteral("请在下方浏览器中完成验证，完成后自动继续"));
    form->browserHost().page()->runJavaScript(QStringLiteral("document.getElementById('verify').click()"));
    ASSERT_TRUE(waitForStatus(QStringLiteral("搜索已经结束！"), 60000)) << form->panelText(6).toStdString();

    // Every page's ten targets in page order, its two cards' links among
    // them; nothing of the engine's own.
    QStringList expected;
    for (const char16_t* word : { u"广州 服装", u"上海 服饰" }) {
        const QByteArray gbk = text::toGbk(QStringView(word));
        for (int page = 1; page <= 2; ++page) {
            const auto cards = sample::todayCardLinks(gbk.toStdString(), page);
            for (int i = 0; i < 10; ++i) {
                expected << QString::fromStdString(sample::todayTarget(gbk.toStdString(), page, i));
                if (i == 2 || i == 6)
                    expected << QString::fromStdString(cards.at(i == 2 ? 0 : 1));
            }
        }
    }
    QStringList rows;
    for (int i = 0; i < resultsCount(form.get()); ++i)
        rows << resultsCell(form.get(), i, 0);
    EXPECT_EQ(rows, expected);
    EXPECT_TRUE(resultsCell(form.get(), 0, 1).contains(QStringLiteral("示例文章")));
    std::vector<long long> offsets;
    // Today's rules ask at /s, in UTF-8.
    for (const auto& r : engine->requests())
        if (r.path == "/s")
            offsets.push_back(r.pn.value_or(-1));
    // The verification page sends the browser back to the interrupted page;
    // the run then asks for that page itself.
    EXPECT_EQ(offsets, (std::vector<long long> { 0, 10, 0, 0, 0, 10 }));

    const QString saved = dir.filePath(QStringLiteral("results.txt"));
    dialogs.saveAnswers.push_back(saved);
    form->saveResults();
    EXPECT_TRUE(readFile(saved).startsWith(expected.first().toLatin1() + '\t'));
    EXPECT_EQ(readFile(saved).count("\r\n"), 48);
}

TEST_F(HarvestEndToEnd, StopSaveAndRestartRestoreTheRunsPosition)
{
    startEngine({ 10, true });
    const QString keywords = writeFile(QStringLiteral("k.txt"), "alpha\r\nbeta\r\ngamma\r\n");
    importKeywords(keywords);
    form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->setChecked(true);
    form->startSearch();
    // Past the on-screen cap of a hundred rows.
    ASSERT_TRUE(waitUntil([&] { return form->panelText(5).toInt() >= 120; }, 120000));
    form->stopSearch();
    EXPECT_EQ(form->panelText(6), QStringLiteral("终止搜索..."));
    ASSERT_TRUE(waitForStatus(QStringLiteral("搜索已经结束！"), 30000));
    const int harvested = form->panelText(5).toInt();
    EXPECT_LE(resultsCount(form.get()), 110);
    EXPECT_EQ(stateLines().mid(1, 3),
        (QStringList { QStringLiteral("0"), QStringLiteral("qcyes"), QStringLiteral("1") }));

    const QString saved = dir.filePath(QStringLiteral("all.txt"));
    dialogs.saveAnswers.push_back(saved);
    form->saveResults();
    EXPECT_EQ(readFile(saved).count("\r\n"), harvested);

    // Save progress, then a new start of the program restores it.
    form->findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->setValue(7);
    form->saveProgress();
    EXPECT_EQ(dialogs.texts(QStringLiteral("plain")).last(), QStringLiteral("已经保存当前网址搜索进程"));
    openWindow(QByteArray("127.0.0.1:") + QByteArray::number(port));
    EXPECT_EQ(form->findChild<QLineEdit*>(QStringLiteral("Edit5"))->text(), keywords);
    EXPECT_EQ(form->run().keywordIndex(), 0);
    EXPECT_TRUE(form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->isChecked());
    EXPECT_EQ(form->findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->value(), 7);
}

TEST_F(HarvestEndToEnd, AHostThatRefusesConnectionsMovesTheRunToTheNextKeyword)
{
    const quint16 closed = closedLocalPort();
    ASSERT_GT(closed, 0);
    openWindow(QByteArray("127.0.0.1:") + QByteArray::number(closed));
    form->findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->setValue(1);
    importKeywords(writeFile(QStringLiteral("k.txt"), "one\r\ntwo\r\n"));
    form->startSearch();
    ASSERT_TRUE(waitForStatus(QStringLiteral("搜索已经结束！（2 页未能载入，0 个关键字过长被跳过）"), 60000));
    EXPECT_EQ(form->panelText(3), QStringLiteral("2")); // both keywords were asked for
    EXPECT_EQ(form->panelText(5), QStringLiteral("0"));
}

// A list of every broken or hostile answer, then an ordinary keyword: the
// run gets through unattended, harvests only real result pages, and says
// at the end what it had to give up.
TEST_F(HarvestEndToEnd, AnUnattendedRunGetsThroughEveryHostileAnswer)
{
    startEngine({ 1, false });
    QByteArray list;
    for (const char* kind : { "alert", "confirm", "prompt", "beforeunload", "never", "script", "download",
             "nocontent", "auth", "refresh", "error500", "reset", "utf8" })
        list += QByteArray("hostile-") + kind + "\r\n";
    list += QByteArray(40000, 'x') + "\r\n"; // too long to ask for
    list += "plain\r\n";
    importKeywords(writeFile(QStringLiteral("hostile.txt"), list));
    form->startSearch();
    ASSERT_TRUE(
        waitUntil([&] { return form->panelText(6).startsWith(QStringLiteral("搜索已经结束！")); }, 300000))
        << form->panelText(6).toStdString();
    EXPECT_EQ(form->panelText(6), QStringLiteral("搜索已经结束！（8 页未能载入，1 个关键字过长被跳过）"));
    // Ten results from each page that really was a result page: the three
    // with dialogs, the one that asks before it is left, the UTF-8 one and
    // the ordinary one.
    EXPECT_EQ(form->panelText(5), QStringLiteral("60"));
    EXPECT_TRUE(dialogs.texts(QStringLiteral("error")).isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // no page dialog left open

    const QString saved = dir.filePath(QStringLiteral("rows.txt"));
    dialogs.saveAnswers.push_back(saved);
    form->saveResults();
    const QString rows = text::fromGbk(readFile(saved));
    EXPECT_TRUE(rows.contains(QStringLiteral("hostile-utf8_示例站点1号"))); // read as UTF-8
    EXPECT_TRUE(rows.contains(QStringLiteral("plain_示例站点10号")));
    EXPECT_FALSE(rows.contains(QStringLiteral("elsewhere"))); // the refresh's target is no result page
    EXPECT_FALSE(rows.contains(QStringLiteral("hostile-error500"))); // nor an error status's body
    // No login burst: the 401 was asked for once.
    int authRequests = 0;
    for (const auto& r : engine->requests())
        authRequests += r.wordGbk == "hostile-auth";
    EXPECT_EQ(authRequests, 1);
}

TEST_F(HarvestEndToEnd, StopDuringALoadThatNeverCompletesFinishesWithinTheBound)
{
    startEngine({ 1, false });
    const QString keywords = writeFile(QStringLiteral("k.txt"), "plain\r\nhostile-never\r\nlater\r\n");
    importKeywords(keywords);
    form->startSearch();
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const auto& r : engine->requests())
                if (r.wordGbk == "hostile-never")
                    return true;
            return false;
        },
        30000));
    QElapsedTimer clock;
    clock.start();
    form->stopSearch();
    ASSERT_TRUE(
        waitUntil([&] { return form->panelText(6).startsWith(QStringLiteral("搜索已经结束！")); }, 15000));
    EXPECT_LT(clock.elapsed(), 8000); // the interval is 1 s: the bound is 5 s
    EXPECT_EQ(stateLines().mid(0, 2), (QStringList { keywords, QStringLiteral("1") }));
}

} // namespace

TEST_F(HarvestEndToEnd, KillMinusNineThenRestartGivesBackThePositionAndTheRows)
{
    writeFile(QStringLiteral("k.txt"), "alpha\r\nbeta\r\ngamma\r\ndelta\r\n");
    // The whole program in a process of its own, until it is killed.
    QProcess child;
    child.start(QStringLiteral(TESS_KILLED_RUN_CHILD), { dir.path() });
    ASSERT_TRUE(child.waitForStarted(10000));

    // Two pages a keyword: kill the run once it is past its first keyword.
    const QString state = dir.filePath(QStringLiteral("tessaroon.ini"));
    ASSERT_TRUE(waitUntil([&] { return stateLines().value(1) == QStringLiteral("1"); }, 60000))
        << child.readAllStandardError().toStdString();
    ASSERT_TRUE(waitUntil([&] { return readFile(scratch()).count("\r\n") >= 30; }, 60000));
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(10000));
    const QByteArray left = readFile(scratch());
    const qsizetype rows = left.count("\r\n");

    openWindow();
    EXPECT_EQ(
        form->panelText(6), QStringLiteral("上次搜索意外中断，留下 %1 条结果，可点击“保存”保存").arg(rows));
    EXPECT_EQ(form->keywordFileText(), dir.filePath(QStringLiteral("k.txt")));
    EXPECT_GE(form->run().keywordIndex(), 1);
    const QString saved = dir.filePath(QStringLiteral("rescued.txt"));
    dialogs.saveAnswers.push_back(saved);
    form->saveResults();
    // The rows the killed run left, with their context, saved in the two
    // columns of a one-engine run.
    QByteArray expected;
    for (const QByteArray& line : left.left(left.lastIndexOf('\n')).split('\n')) {
        const harvest::HarvestedRow row = harvest::ResultsLog::parseRow(line);
        EXPECT_EQ(row.engine, QStringLiteral("classic"));
        expected += row.address + '\t' + row.title + "\r\n";
    }
    EXPECT_EQ(readFile(saved), expected);
    EXPECT_GE(rows, 30);
}

// A merge does not stall a search: while the merge (held at its first read
// until the test lets it go) runs on its thread, the poll timer keeps
// ticking and pages keep being harvested; both then finish.
TEST_F(HarvestEndToEnd, ASearchGoesOnWhileAMergeRuns)
{
    startEngine({ 10, false });
    importKeywords(writeFile(QStringLiteral("k.txt"), "alpha\r\n"));
    form->startSearch();
    ASSERT_TRUE(waitUntil([&] { return form->panelText(5).toInt() >= 10; }, 60000));

    const QString source = writeFile(QStringLiteral("list.txt"), "b\r\nA\r\na\r\n");
    const QString target = dir.filePath(QStringLiteral("merged.txt"));
    std::atomic<bool> release = false;
    const Qt::HANDLE windowThread = QThread::currentThreadId();
    InterceptedCalls calls([&](Call call) {
        if (call == Call::Read && QThread::currentThreadId() != windowThread)
            while (!release && !form->mergeStopping())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
    });
    dialogs.openAnswers.push_back({ source });
    dialogs.saveAnswers.push_back(target);
    form->mergeLists();
    ASSERT_TRUE(form->mergeRunning());
    const int before = form->panelText(5).toInt();
    ASSERT_TRUE(waitUntil([&] { return form->panelText(5).toInt() >= before + 20; }, 60000));
    EXPECT_TRUE(form->mergeRunning());

    release = true;
    ASSERT_TRUE(waitUntil([&] { return !form->mergeRunning(); }, 10000));
    EXPECT_EQ(readFile(target), QByteArray("A\r\nb\r\n"));
    ASSERT_TRUE(waitForStatus(QStringLiteral("搜索已经结束！"), 90000));
    EXPECT_EQ(form->panelText(5), QStringLiteral("100"));
}

TEST_F(HarvestEndToEnd, FourEnginesInTurnGiveEachEnginesPredictedTargetsAndNothingOfTheirOwn)
{
    struct Engine {
        const char* name;
        sample::Layout layout;
        std::unique_ptr<sample::SampleEngine> server = {};
    };
    Engine engines[] = { { "today", sample::Layout::Today }, { "360", sample::Layout::So360 },
        { "sogou", sample::Layout::Sogou }, { "bing", sample::Layout::Bing } };
    const sample::EngineSettings twoPages { 2, false, sample::Layout::Classic, 0 };
    QList<QByteArray> hosts;
    for (Engine& e : engines) {
        sample::EngineSettings settings = twoPages;
        settings.layout = e.layout;
        e.server = std::make_unique<sample::SampleEngine>(settings);
        const int p = e.server->start(0);
        ASSERT_GT(p, 0);
        hosts << QByteArray(e.name) + "=http://127.0.0.1:" + QByteArray::number(p);
    }
    openWindow(hosts,
        { QStringLiteral("today"), QStringLiteral("360"), QStringLiteral("sogou"), QStringLiteral("bing") });
    EXPECT_EQ(
        form->findChild<QToolButton*>(QStringLiteral("RulesBox"))->text(), QStringLiteral("现行 等 4 个 ▾"));
    form->findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->setValue(1);
    const QList<QByteArray> words { "alpha", text::toGbk(u"广州 服装"), "beta" };
    importKeywords(writeFile(QStringLiteral("k.txt"), words.join("\r\n") + "\r\n"));
    form->startSearch();
    ASSERT_TRUE(
        waitUntil([&] { return form->panelText(6).startsWith(QStringLiteral("搜索已经结束！")); }, 400000))
        << form->panelText(6).toStdString();

    QList<QByteArray> expected;
    for (const QByteArray& word : words) {
        for (const Engine& e : engines) {
            for (int page = 1; page <= 2; ++page) {
                for (const sample::PredictedRow& row :
                    sample::predictedRows(e.layout, word.toStdString(), page, twoPages))
                    expected << QByteArray::fromStdString(row.target) + '\t'
                            + text::toGbk(QString::fromStdString(row.title)) + '\t' + e.name;
            }
        }
    }
    const QString saved = dir.filePath(QStringLiteral("results.txt"));
    dialogs.saveAnswers.push_back(saved);
    form->saveResults();
    QList<QByteArray> rows = readFile(saved).split('\n');
    rows.removeLast();
    for (QByteArray& row : rows)
        row.chop(1);
    EXPECT_EQ(rows, expected);
    QStringList tallies;
    for (const Engine& e : engines) {
        const QString label = form->run().engines().at(&e - engines).rules.label;
        const QByteArray column = '\t' + QByteArray(e.name);
        tallies << QStringLiteral("%1 %2 条")
                       .arg(label)
                       .arg(std::count_if(expected.begin(), expected.end(),
                           [&](const QByteArray& row) { return row.endsWith(column); }));
    }
    EXPECT_EQ(form->panelText(6), QStringLiteral("搜索已经结束！各引擎：") + tallies.join(u'；'));
    // Sogou's redirector answers with a script: the browser followed it.
    const auto asked = engines[2].server->requests();
    const auto followed = std::count_if(asked.begin(), asked.end(),
        [](const sample::RequestRecord& r) { return r.path == "/link" && r.fetchMode == "navigate"; });
    EXPECT_GT(followed, 0);
    EXPECT_EQ(followed, std::count_if(asked.begin(), asked.end(), [](const sample::RequestRecord& r) {
        return r.path == "/link";
    }));
}

TEST_F(HarvestEndToEnd, SkippingABlockedEngineLetsTheOtherFinishTheList)
{
    sample::EngineSettings today { 2, false, sample::Layout::Today, 0 };
    sample::EngineSettings blocking { 2, false, sample::Layout::So360, 1 }; // its first request
    sample::SampleEngine first(today);
    sample::SampleEngine second(blocking);
    const int firstPort = first.start(0);
    const int secondPort = second.start(0);
    openWindow({ "today=http://127.0.0.1:" + QByteArray::number(firstPort),
                   "360=http://127.0.0.1:" + QByteArray::number(secondPort) },
        { QStringLiteral("today"), QStringLiteral("360") });
    form->findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->setValue(1);
    importKeywords(writeFile(QStringLiteral("k.txt"), "alpha\r\nbeta\r\n"));
    auto* bar = form->findChild<QWidget*>(QStringLiteral("VerificationBar"));
    auto* skip = form->findChild<QPushButton*>(QStringLiteral("SkipEngineButton"));
    EXPECT_FALSE(bar->isVisible());

    form->startSearch();
    const QString asked
        = QStringLiteral("360搜索要求验证：请在下方浏览器中完成验证，完成后自动继续；或按“跳过此引擎”");
    ASSERT_TRUE(waitForStatus(asked, 60000)) << form->panelText(6).toStdString();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(skip->isVisible());
    skip->click();
    EXPECT_FALSE(bar->isVisible());
    ASSERT_TRUE(
        waitUntil([&] { return form->panelText(6).startsWith(QStringLiteral("搜索已经结束！")); }, 60000))
        << form->panelText(6).toStdString();
    EXPECT_EQ(form->panelText(6),
        QStringLiteral("搜索已经结束！各引擎：现行 48 条；360搜索 0 条（自第 1 个关键字起已跳过）"));
    const auto requests = second.requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                  [](const sample::RequestRecord& r) { return r.path == "/s"; }),
        1);
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(HarvestEndToEnd, OneRowPerSiteAndTheExclusionListInTheWindow)
{
    startEngine({ 1, false });
    const QString never = writeFile(
        QStringLiteral("never.txt"), QByteArray::fromStdString(sample::resultAddress("alpha", 1)) + "\r\n");
    dialogs.openAnswers.push_back({ never });
    form->findChild<QToolButton*>(QStringLiteral("ExcludeListButton"))->click();
    EXPECT_EQ(form->findChild<QLineEdit*>(QStringLiteral("ExcludeListEdit"))->text(), never);
    form->findChild<QCheckBox*>(QStringLiteral("SiteUniqueBox"))->setChecked(true);
    importKeywords(writeFile(QStringLiteral("k.txt"), "alpha\r\nbeta\r\n"));
    form->startSearch();
    ASSERT_TRUE(
        waitUntil([&] { return form->panelText(6).startsWith(QStringLiteral("搜索已经结束！")); }, 90000));
    // Every sample result is under example.com: one site, its first row
    // not excluded.
    ASSERT_EQ(resultsCount(form.get()), 1);
    EXPECT_EQ(resultsCell(form.get(), 0, 0), QString::fromStdString(sample::resultAddress("alpha", 2)));
    EXPECT_EQ(form->panelText(6), QStringLiteral("搜索已经结束！（1 个网址在排除列表中）"));
    // 清除 takes the list away.
    form->findChild<QToolButton*>(QStringLiteral("ExcludeListClear"))->click();
    EXPECT_TRUE(form->run().excludedSites().isEmpty());
}

namespace {

// Each row of the sheet as "keyword|engine|page|rank|kind", then whether its
// address is its cell's link and whether its time is a date.
const QString kSheetRows = QStringLiteral(R"(
import sys, datetime, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).active
for r in ws.iter_rows(min_row=2):
    v = [c.value for c in r]
    link = r[5].hyperlink.target if r[5].hyperlink else None
    print("|".join(str(x) for x in v[:5]), link == v[5], isinstance(v[7], datetime.datetime), sep="|")
)");

} // namespace

TEST_F(HarvestEndToEnd, RowsKnowTheirKeywordRankAndKindAndTheWorkbookHoldsThem)
{
    sample::EngineSettings settings;
    settings.pagesPerKeyword = 2;
    settings.layout = sample::Layout::Today;
    settings.ads = 1;
    startEngine(settings, QStringLiteral("today"));
    importKeywords(writeFile(QStringLiteral("词表.txt"), text::toGbk(u"广州 服装\r\n")));
    form->startSearch();
    ASSERT_TRUE(waitForStatus(QStringLiteral("搜索已经结束！"), 60000)) << form->panelText(6).toStdString();
    // The advertisement comes first and has no rank; the results do.
    EXPECT_EQ(resultsCell(form.get(), 0, 2), QStringLiteral("广州 服装"));
    EXPECT_EQ(resultsCell(form.get(), 0, 3), QStringLiteral("现行"));
    EXPECT_EQ(resultsCell(form.get(), 0, 4), QString());
    EXPECT_EQ(resultsCell(form.get(), 1, 4), QStringLiteral("1"));

    const QString book = dir.filePath(QStringLiteral("结果.xlsx"));
    dialogs.saveAnswers.push_back(book);
    form->saveResults();
    QByteArray error;
    const std::optional<QByteArray> out = runPython(kSheetRows, { book }, &error);
    ASSERT_TRUE(out) << error.toStdString();
    QMap<QString, int> kinds;
    int lastRankOfPage1 = 0, firstRankOfPage2 = 0;
    for (const QString& line : QString::fromUtf8(*out).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(u'|');
        ASSERT_EQ(f.size(), 7) << line.toStdString();
        EXPECT_EQ(f[0], QStringLiteral("广州 服装"));
        EXPECT_EQ(f[1], QStringLiteral("today"));
        EXPECT_EQ(f.mid(5), (QStringList { QStringLiteral("True"), QStringLiteral("True") }))
            << line.toStdString();
        ++kinds[f[4]];
        EXPECT_EQ(f[3] == QStringLiteral("None"), f[4] != QStringLiteral("result")) << line.toStdString();
        if (f[4] == QStringLiteral("result") && f[2] == QStringLiteral("1"))
            lastRankOfPage1 = f[3].toInt();
        if (f[4] == QStringLiteral("result") && f[2] == QStringLiteral("2") && firstRankOfPage2 == 0)
            firstRankOfPage2 = f[3].toInt();
    }
    EXPECT_EQ(kinds.value(QStringLiteral("ad")), 2); // one a page
    EXPECT_GE(kinds.value(QStringLiteral("result")), 20);
    // Ranks go on from page to page.
    EXPECT_GT(firstRankOfPage2, lastRankOfPage1);

    // 不要广告: the next run takes none.
    form->findChild<QCheckBox*>(QStringLiteral("NoAdsBox"))->setChecked(true);
    dialogs.inputAnswers.push_back(QStringLiteral("0"));
    form->startSearch();
    ASSERT_TRUE(waitForStatus(QStringLiteral("搜索已经结束！"), 60000));
    for (int row = 0; row < resultsCount(form.get()); ++row)
        EXPECT_FALSE(resultsCell(form.get(), row, 0).contains(QStringLiteral("ads-sample"))) << row;
    EXPECT_EQ(resultsCount(form.get()),
        kinds.value(QStringLiteral("result")) + kinds.value(QStringLiteral("link")));
}
