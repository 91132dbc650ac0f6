#include "LayoutPages.h"
#include "SampleEngine.h"
#include "harvest/ResultsLog.h"
#include "harvest/RowFormats.h"
#include "support/Files.h"
#include "support/LocalPorts.h"
#include "text/Gbk.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace tess;
using test::readFile;
using test::writeFile;

namespace {

// `tessaroon harvest` as a user runs it: the real program in a process of
// its own, against the sample engine.
class HarvestCommand : public ::testing::Test {
protected:
    struct Result {
        int exitCode = -1;
        QByteArray out; // standard output
        QString err;
    };

    void startEngine(sample::EngineSettings settings)
    {
        engine = std::make_unique<sample::SampleEngine>(settings);
        port = engine->start(0);
        ASSERT_GT(port, 0);
    }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port); }

    QStringList baseArgs(const QString& keywords) const
    {
        return { QStringLiteral("harvest"), QStringLiteral("-k"), keywords, QStringLiteral("--interval"),
            QStringLiteral("1"), QStringLiteral("--engine-host"), host() };
    }

    void start(QProcess& p, const QStringList& args)
    {
        p.setWorkingDirectory(dir.path());
        // The user's rule files are the test's.
        QProcessEnvironment env = environment;
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TESS_PROGRAM), args);
        ASSERT_TRUE(p.waitForStarted(10000));
    }

    Result run(const QStringList& args, int timeoutMs = 90000)
    {
        QProcess p;
        start(p, args);
        EXPECT_TRUE(p.waitForFinished(timeoutMs)) << "the harvest did not end";
        return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromLocal8Bit(p.readAllStandardError()) };
    }

    // The keywords the engine was asked for, one entry per first page.
    QList<QByteArray> searchedWords() const
    {
        QList<QByteArray> out;
        for (const auto& r : engine->requests())
            if ((r.path == "/baidu" || r.path == "/s") && r.pn.value_or(-1) == 0)
                out << QByteArray::fromStdString(r.wordGbk);
        return out;
    }

    // The sample engine's results for `wordGbk`, in page order: addresses
    // follow from the keyword, titles contain it.
    static void expectRows(const QList<QByteArray>& rows, const QByteArray& wordGbk, int first, int count)
    {
        for (int r = 0; r < count; ++r) {
            const QByteArray& row = rows.value(first + r);
            const QByteArray address
                = QByteArray::fromStdString(sample::resultAddress(wordGbk.toStdString(), r + 1));
            EXPECT_TRUE(row.startsWith(address + '\t')) << row.toStdString();
            EXPECT_TRUE(row.mid(address.size() + 1).contains(wordGbk)) << row.toStdString();
        }
    }

    static QList<QByteArray> lines(const QByteArray& crlf)
    {
        QList<QByteArray> out = crlf.split('\n');
        if (!out.isEmpty() && out.last().isEmpty())
            out.removeLast();
        for (QByteArray& l : out)
            l.chop(1); // the CR
        return out;
    }

    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    std::unique_ptr<sample::SampleEngine> engine;
    int port = 0;
};

TEST_F(HarvestCommand, HarvestsTheSampleEnginesResultsAsTheWindowSavesThem)
{
    startEngine({ 2, false });
    const QByteArray guangzhou = text::toGbk(u"广州 服装");
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), guangzhou + "\r\nalpha\r\n");
    const QDir programFolder = QFileInfo(QStringLiteral(TESS_PROGRAM)).dir();
    const QStringList before
        = programFolder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    // Standard output, the window's layout.
    const Result tsv = run(baseArgs(keywords));
    ASSERT_EQ(tsv.exitCode, 0) << tsv.err.toStdString();
    const QList<QByteArray> rows = lines(tsv.out);
    ASSERT_EQ(rows.size(), 40);
    expectRows(rows, guangzhou, 0, 20);
    expectRows(rows, "alpha", 20, 20);
    EXPECT_EQ(tsv.out.count("\r\n"), 40);
    EXPECT_TRUE(tsv.err.contains(QStringLiteral("keyword 2 of 2, page 2, 40 rows"))) << tsv.err.toStdString();

    // The same rows as CSV, into a file.
    const QString csvPath = dir.filePath(QStringLiteral("out.csv"));
    QStringList args = baseArgs(keywords);
    args << QStringLiteral("--format") << QStringLiteral("csv") << QStringLiteral("-o") << csvPath
         << QStringLiteral("--columns") << QStringLiteral("address,title");
    const Result csv = run(args);
    ASSERT_EQ(csv.exitCode, 0) << csv.err.toStdString();
    EXPECT_TRUE(csv.out.isEmpty());
    const harvest::RowColumns two { harvest::RowColumn::Address, harvest::RowColumn::Title };
    QByteArray expected = harvest::rowsPreamble(harvest::RowFormat::Csv, two);
    for (const QByteArray& row : rows)
        expected += harvest::formatRow(harvest::RowFormat::Csv, two, harvest::ResultsLog::parseRow(row));
    EXPECT_EQ(readFile(csvPath), expected);

    // Neither run left anything beside the program: no state file, no
    // scratch file, no lock.
    EXPECT_EQ(programFolder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
}

TEST_F(HarvestCommand, EveryFormatHasTheRowsWithWhereTheyCameFrom)
{
    startEngine({ 1, false });
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), "alpha\r\n");
    const Result tsv = run(baseArgs(keywords));
    ASSERT_EQ(tsv.exitCode, 0) << tsv.err.toStdString();
    const QList<QByteArray> rows = lines(tsv.out);
    ASSERT_EQ(rows.size(), 10);

    // JSON Lines by the extension: every column, one object a line.
    const QString jsonl = dir.filePath(QStringLiteral("out.jsonl"));
    const Result j = run(baseArgs(keywords) << QStringLiteral("-o") << jsonl);
    ASSERT_EQ(j.exitCode, 0) << j.err.toStdString();
    const QList<QByteArray> objects = readFile(jsonl).split('\n');
    ASSERT_EQ(objects.size(), 11);
    for (int i = 0; i < 10; ++i) {
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(objects[i], &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << objects[i].toStdString();
        EXPECT_EQ(o.keys().size(), 8);
        EXPECT_EQ(o[QStringLiteral("address")].toString().toLatin1(), rows[i].left(rows[i].indexOf('\t')));
        EXPECT_EQ(o[QStringLiteral("engine")].toString(), QStringLiteral("classic"));
        EXPECT_TRUE(o[QStringLiteral("title")].toString().contains(QStringLiteral("alpha")));
    }

    // CSV by the extension: the header of every column, the engine in its place.
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    ASSERT_EQ(run(baseArgs(keywords) << QStringLiteral("-o") << csv).exitCode, 0);
    const QList<QByteArray> csvLines = lines(readFile(csv));
    ASSERT_EQ(csvLines.size(), 11);
    EXPECT_EQ(csvLines[0], "\xEF\xBB\xBFkeyword,engine,page,rank,kind,address,title,time");
    EXPECT_TRUE(csvLines[1].contains(",classic,")) << csvLines[1].toStdString();

    // A workbook needs a file, and is written whole at the end; its rows'
    // scratch file is gone then.
    const Result noFile = run(baseArgs(keywords) << QStringLiteral("--format") << QStringLiteral("xlsx"));
    EXPECT_EQ(noFile.exitCode, 2);
    EXPECT_TRUE(noFile.err.contains(QStringLiteral("needs -o FILE"))) << noFile.err.toStdString();
    const QString xlsx = dir.filePath(QStringLiteral("out.xlsx"));
    const Result x = run(baseArgs(keywords) << QStringLiteral("-o") << xlsx);
    ASSERT_EQ(x.exitCode, 0) << x.err.toStdString();
    EXPECT_TRUE(readFile(xlsx).startsWith("PK"));
    EXPECT_FALSE(QFile::exists(xlsx + QStringLiteral(".rows.txt")));
    // Not replaced unasked.
    EXPECT_EQ(run(baseArgs(keywords) << QStringLiteral("-o") << xlsx).exitCode, 2);
    EXPECT_EQ(
        run(baseArgs(keywords) << QStringLiteral("-o") << xlsx << QStringLiteral("--force")).exitCode, 0);
}

TEST_F(HarvestCommand, ASliceAndTheSliceAfterItSearchEveryKeywordOnce)
{
    startEngine({ 1, false });
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), "k0\r\nk1\r\nk2\r\nk3\r\n");
    struct Slice {
        QStringList range;
        QList<QByteArray> words;
    };
    const Slice slices[] = {
        { { QStringLiteral("--from"), QStringLiteral("0"), QStringLiteral("--to"), QStringLiteral("2") },
            { "k0", "k1" } },
        { { QStringLiteral("--from"), QStringLiteral("2") }, { "k2", "k3" } },
        { { QStringLiteral("--from"), QStringLiteral("1"), QStringLiteral("--to"), QStringLiteral("2") },
            { "k1" } },
        // A --to past the list is the list's end.
        { { QStringLiteral("--from"), QStringLiteral("3"), QStringLiteral("--to"), QStringLiteral("99") },
            { "k3" } },
    };
    for (const Slice& s : slices) {
        SCOPED_TRACE(s.range.join(u' ').toStdString());
        const qsizetype asked = searchedWords().size();
        const Result r = run(baseArgs(keywords) + s.range);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(searchedWords().mid(asked), s.words);
        EXPECT_EQ(lines(r.out).size(), 10 * s.words.size());
    }
    // Nothing left to search is a wrong command line, not a silent success.
    const Result none = run(baseArgs(keywords) << QStringLiteral("--from") << QStringLiteral("4"));
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.err.contains(QStringLiteral("nothing to search"))) << none.err.toStdString();
}

TEST_F(HarvestCommand, ASignalStopsLikeTheStopCommandAndTellsWhereToResume)
{
    startEngine({ 10, true });
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), "alpha\r\nbeta\r\n");
    for (const auto& [signo, status] : { std::pair { SIGINT, 130 }, std::pair { SIGTERM, 143 } }) {
        SCOPED_TRACE(signo);
        const QString out = dir.filePath(QStringLiteral("out%1.csv").arg(signo));
        const QString state = dir.filePath(QStringLiteral("state%1.ini").arg(signo));
        QProcess p;
        start(p,
            baseArgs(keywords) << QStringLiteral("-o") << out << QStringLiteral("--format")
                               << QStringLiteral("csv") << QStringLiteral("--state") << state);
        // Two pages in, the third on its way.
        QElapsedTimer clock;
        clock.start();
        while (readFile(out).count("\r\n") < 21 && clock.elapsed() < 60000)
            QThread::msleep(50);
        ASSERT_GE(readFile(out).count("\r\n"), 21) << p.readAllStandardError().toStdString();
        ::kill(static_cast<pid_t>(p.processId()), signo);
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), status) << err.toStdString();

        // Whole pages of whole rows: the header and ten rows a page.
        const QByteArray rows = readFile(out);
        EXPECT_TRUE(rows.endsWith("\r\n"));
        EXPECT_EQ((rows.count("\r\n") - 1) % 10, 0) << rows.count("\r\n");
        EXPECT_GE(rows.count("\r\n") - 1, 20);
        // The endless first keyword was in flight: it is where to resume.
        EXPECT_TRUE(err.contains(QStringLiteral("resume with --from 0"))) << err.toStdString();
        EXPECT_EQ(readFile(state), keywords.toLocal8Bit() + "\r\n0\r\nqcno\r\n1\r\n");
        EXPECT_EQ(searchedWords().count("beta"), 0);
    }
}

// A redirector that never answers would hold the run for the redirects'
// bound, ten seconds a pair; a stop cuts the page short instead, within the
// stop's bound, and its keyword is the one to resume.
TEST_F(HarvestCommand, AStopWhileRedirectsAreAskedForEndsWithinTheBound)
{
    sample::EngineSettings settings;
    settings.layout = sample::Layout::Today;
    startEngine(settings);
    const QString keywords
        = writeFile(dir.filePath(QStringLiteral("k.txt")), "hostile-stalledredirects\r\nbeta\r\n");
    QStringList args = baseArgs(keywords);
    args.last() = QStringLiteral("http://") + host();
    QProcess p;
    start(p, args << QStringLiteral("--rules") << QStringLiteral("today"));
    QElapsedTimer clock;
    clock.start();
    while (engine->stalledRedirects() == 0 && clock.elapsed() < 60000)
        QThread::msleep(20);
    ASSERT_GT(engine->stalledRedirects(), 0) << p.readAllStandardError().toStdString();

    clock.restart();
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_LT(clock.elapsed(), 8000) << err.toStdString(); // the interval is 1 s: the bound is 5 s
    EXPECT_EQ(p.exitCode(), 130) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("resume with --from 0"))) << err.toStdString();
    // The page's own results are kept.
    EXPECT_GE(lines(p.readAllStandardOutput()).size(), 10);
    EXPECT_EQ(searchedWords().count("beta"), 0);
}

TEST_F(HarvestCommand, AVerificationPageStopsTheRunWithThePositionKept)
{
    sample::EngineSettings settings;
    settings.pagesPerKeyword = 2;
    settings.layout = sample::Layout::Today;
    settings.verifyAfter = 2; // the first keyword's second page
    startEngine(settings);
    // A broken rule file is reported and changes nothing.
    QDir(dir.path()).mkpath(QStringLiteral("config/tessaroon/rules"));
    writeFile(dir.filePath(QStringLiteral("config/tessaroon/rules/mine.rules")),
        "tessaroon-rules 1\nname = today\npager = numbers\n");
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), "alpha\r\nbeta\r\n");
    QStringList args = baseArgs(keywords);
    args.last() = QStringLiteral("http://") + host();
    const Result r = run(args << QStringLiteral("--rules") << QStringLiteral("today"));
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("mine.rules 第 3 行"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("verification page"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("resume with --from 0"))) << r.err.toStdString();
    // The first page's ten targets and two card links, nothing after.
    const QList<QByteArray> rows = lines(r.out);
    ASSERT_EQ(rows.size(), 12);
    EXPECT_TRUE(
        rows.first().startsWith(QByteArray::fromStdString(sample::todayTarget("alpha", 1, 0)) + '\t'));
    EXPECT_EQ(searchedWords(), QList<QByteArray> { "alpha" });

    const Result unknown = run(baseArgs(keywords) << QStringLiteral("--rules") << QStringLiteral("nosuch"));
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("classic, today"))) << unknown.err.toStdString();
}

TEST_F(HarvestCommand, ARefusedEngineHostEndsWithTheMissingPagesCounted)
{
    port = test::closedLocalPort();
    ASSERT_GT(port, 0);
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), "one\r\ntwo\r\n");
    const Result r = run(baseArgs(keywords) << QStringLiteral("--format") << QStringLiteral("csv"), 60000);
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("2 页未能载入"))) << r.err.toStdString();
    EXPECT_EQ(r.out, harvest::rowsPreamble(harvest::RowFormat::Csv, harvest::allRowColumns()));
}

TEST_F(HarvestCommand, AnOutputOrKeywordFileThatCannotBeUsedIsAnErrorWithAMessage)
{
    startEngine({ 1, false });
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), "one\r\n");
    struct Case {
        QStringList args;
        int status;
        QString message;
    };
    const QString missingFolder = dir.filePath(QStringLiteral("no/such/out.txt"));
    const Case cases[] = {
        { baseArgs(keywords) << QStringLiteral("-o") << missingFolder, 1,
            QStringLiteral("cannot write %1").arg(missingFolder) },
        // Opens, then refuses the first bytes: the CSV header.
        { baseArgs(keywords) << QStringLiteral("-o") << QStringLiteral("/dev/full")
                             << QStringLiteral("--format") << QStringLiteral("csv"),
            1, QStringLiteral("cannot write /dev/full") },
        // Opens, then refuses the first page's rows.
        { baseArgs(keywords) << QStringLiteral("-o") << QStringLiteral("/dev/full"), 1,
            QStringLiteral("cannot write /dev/full") },
        { baseArgs(dir.filePath(QStringLiteral("missing.txt"))), 1, QStringLiteral("missing.txt") },
        { baseArgs(writeFile(dir.filePath(QStringLiteral("empty.txt")), "")), 1,
            QStringLiteral("empty.txt") },
        { baseArgs(keywords) << QStringLiteral("--interval") << QStringLiteral("0"), 2,
            QStringLiteral("--interval") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const Result r = run(c.args);
        EXPECT_EQ(r.exitCode, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
}

} // namespace

namespace {

TEST_F(HarvestCommand, AnOutputThatIsAnInputIsRefusedAndTheInputKept)
{
    startEngine({ 1, false });
    const QByteArray words = "one\r\ntwo\r\n";
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), words);
    const QString state = writeFile(dir.filePath(QStringLiteral("s.ini")), "k.txt\r\n0\r\nqcno\r\n1\r\n");
    const QString hardLink = dir.filePath(QStringLiteral("hard.txt"));
    const QString softLink = dir.filePath(QStringLiteral("soft.txt"));
    ASSERT_EQ(::link(keywords.toLocal8Bit().constData(), hardLink.toLocal8Bit().constData()), 0);
    ASSERT_TRUE(QFile::link(keywords, softLink));
    struct Case {
        QStringList extra;
        QString message;
    };
    const Case cases[] = {
        { { QStringLiteral("-o"), keywords }, QStringLiteral("is the keyword file") },
        { { QStringLiteral("-o"), hardLink }, QStringLiteral("is the keyword file") },
        { { QStringLiteral("-o"), softLink, QStringLiteral("--force") },
            QStringLiteral("is the keyword file") },
        { { QStringLiteral("-o"), state, QStringLiteral("--state"), state },
            QStringLiteral("is the state file") },
        { { QStringLiteral("--state"), softLink }, QStringLiteral("is the keyword file") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra.join(u' ').toStdString());
        const Result r = run(baseArgs(keywords) + c.extra);
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(readFile(keywords), words);
    }
}

TEST_F(HarvestCommand, AnOutputHoldingRowsIsAddedToOrReplacedOnlyWhenAsked)
{
    startEngine({ 1, false });
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), "one\r\n");
    const QString out = dir.filePath(QStringLiteral("out.csv"));
    // Without the time, which differs from run to run.
    const QStringList csv = baseArgs(keywords)
        << QStringLiteral("--format") << QStringLiteral("csv") << QStringLiteral("--columns")
        << QStringLiteral("address,title") << QStringLiteral("-o") << out;
    ASSERT_EQ(run(csv).exitCode, 0);
    const QByteArray first = readFile(out);
    ASSERT_EQ(first.count("\r\n"), 11);

    const Result again = run(csv);
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_TRUE(
        again.err.contains(QStringLiteral("--append")) && again.err.contains(QStringLiteral("--force")))
        << again.err.toStdString();
    EXPECT_EQ(readFile(out), first);

    // Added after the rows there, under the one header.
    ASSERT_EQ(run(QStringList(csv) << QStringLiteral("--append")).exitCode, 0);
    EXPECT_EQ(readFile(out), first + first.mid(first.indexOf("\r\n") + 2));
    ASSERT_EQ(run(QStringList(csv) << QStringLiteral("--force")).exitCode, 0);
    EXPECT_EQ(readFile(out), first);
}

TEST_F(HarvestCommand, RowsTheOutputRefusedAreSearchedAgainOnResume)
{
    startEngine({ 1, false });
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), "one\r\ntwo\r\n");

    // A device that is always full.
    const Result full = run(baseArgs(keywords) << QStringLiteral("-o") << QStringLiteral("/dev/full"));
    EXPECT_EQ(full.exitCode, 1) << full.err.toStdString();
    EXPECT_TRUE(full.err.contains(QStringLiteral("resume with --from 0"))) << full.err.toStdString();

    // A reader of standard output that has gone away, as `| head -c 0`
    // leaves it; the default effect of SIGPIPE, as a shell gives it.
    int ends[2] = { -1, -1 };
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    ::close(ends[0]);
    const int writeEnd = ends[1];
    QProcess p;
    p.setChildProcessModifier([writeEnd] {
        ::dup2(writeEnd, STDOUT_FILENO);
        ::signal(SIGPIPE, SIG_DFL);
    });
    start(p, baseArgs(keywords));
    ::close(writeEnd);
    ASSERT_TRUE(p.waitForFinished(90000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("cannot write standard output"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("resume with --from 0"))) << err.toStdString();
}

TEST_F(HarvestCommand, AHangUpStopsLikeSigtermAndLeavesNoProfileBehind)
{
    startEngine({ 10, true });
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), "alpha\r\nbeta\r\n");
    const QString tmp = dir.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(tmp));
    environment.insert(QStringLiteral("TMPDIR"), tmp);
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    QProcess p;
    start(p, baseArgs(keywords) << QStringLiteral("-o") << out);
    QElapsedTimer clock;
    clock.start();
    while (readFile(out).count("\r\n") < 10 && clock.elapsed() < 60000)
        QThread::msleep(50);
    ASSERT_GE(readFile(out).count("\r\n"), 10) << p.readAllStandardError().toStdString();
    EXPECT_FALSE(QDir(tmp).entryList({ QStringLiteral("tessaroon-*") }, QDir::Dirs).isEmpty());
    ::kill(static_cast<pid_t>(p.processId()), SIGHUP);
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 129) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("resume with --from 0"))) << err.toStdString();
    EXPECT_EQ(QDir(tmp).entryList({ QStringLiteral("tessaroon-*") }, QDir::Dirs), QStringList());
}

TEST_F(HarvestCommand, KeywordFilesAreReadAsTheyAreOrRefusedWithWhy)
{
    startEngine({ 1, false });
    struct Case {
        QByteArray file;
        int status;
        QString message;
        QList<QByteArray> searched;
    };
    const QByteArray tooLong(40000, 'a');
    const Case cases[] = {
        { "one\r\n\r\n  \r\ntwo\r\n", 0, QStringLiteral("2 个空白关键字被跳过"), { "one", "two" } },
        { QByteArray("one\r\ntw\0o\r\nthree\r\n", 18), 0, QStringLiteral("file has 3 lines, 2 keywords read"),
            { "one", "tw" } },
        { QByteArray("\xFF\xFE"
                     "o\0n\0e\0\r\0\n\0",
              12),
            1, QStringLiteral("UTF-16LE"), {} },
        { QByteArray("o\0n\0e\0\r\0\n\0t\0w\0o\0", 16), 1, QStringLiteral("UTF-16LE"), {} },
        { QByteArray("\0o\0n\0e\0\r\0\n", 10), 1, QStringLiteral("UTF-16BE"), {} },
        { tooLong + "\r\n" + tooLong + "\r\n", 3, QStringLiteral("every keyword was too long"), {} },
        { tooLong + "\r\n\r\n", 3, QStringLiteral("every keyword was too long or blank"), {} },
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        const qsizetype asked = searchedWords().size();
        const QString keywords = writeFile(dir.filePath(QStringLiteral("k%1.txt").arg(++n)), c.file);
        const Result r = run(baseArgs(keywords));
        EXPECT_EQ(r.exitCode, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(searchedWords().mid(asked), c.searched);
    }
}

TEST_F(HarvestCommand, WrongWordsAndAMissingDisplayAreSaidNotTaken)
{
    struct Case {
        QStringList args;
        int status;
        QString message;
    };
    const Case cases[] = {
        { { QStringLiteral("lists"), QStringLiteral("k.txt") }, 2,
            QStringLiteral("unknown command lists (the commands are harvest, keywords, merge and list)") },
        { { QStringLiteral("--bogus") }, 2, QStringLiteral("unknown option --bogus") },
        { { QStringLiteral("merge"), QStringLiteral("-o"), QStringLiteral("A"), QStringLiteral("-o"),
              QStringLiteral("B"), QStringLiteral("s.txt") },
            2, QStringLiteral("-o given twice") },
        { { QStringLiteral("merge"), QStringLiteral("-o"), QStringLiteral("A"), QStringLiteral("--memory"),
              QStringLiteral("junk"), QStringLiteral("s.txt") },
            2, QStringLiteral("--memory needs a size") },
        { { QStringLiteral("harvest"), QStringLiteral("-k"), QStringLiteral("k.txt"), QStringLiteral("-o"),
              QString() },
            2, QStringLiteral("-o needs a file name") },
        { { QStringLiteral("list"), QStringLiteral("--drop-matching"), QStringLiteral("(x"),
              QStringLiteral("-o"), QStringLiteral("A"), QStringLiteral("s.txt") },
            2,
            QStringLiteral(
                "tessaroon list: --drop-matching: bad pattern (x: missing closing parenthesis at offset 2") },
        { { QStringLiteral("list"), QStringLiteral("-o"), QStringLiteral("A"),
              QStringLiteral("no-such-source.txt") },
            1, QStringLiteral("Cannot open file no-such-source.txt") },
        { {}, 1, QStringLiteral("tessaroon harvest") },
    };
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QString::fromLatin1(name));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const Result r = run(c.args, 30000);
        EXPECT_EQ(r.exitCode, c.status) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
    }
}

} // namespace

// Four sample engines, one per layout, each on a port of its own.
TEST_F(HarvestCommand, AnEngineThatBlocksIsDroppedWhileTheOthersFinishAndItsResumeLineIsPrinted)
{
    struct Engine {
        const char* name;
        sample::Layout layout;
        std::unique_ptr<sample::SampleEngine> server = {};
    };
    Engine engines[] = { { "today", sample::Layout::Today }, { "360", sample::Layout::So360 },
        { "sogou", sample::Layout::Sogou }, { "bing", sample::Layout::Bing } };
    QStringList args { QStringLiteral("harvest"), QStringLiteral("-k"),
        writeFile(dir.filePath(QStringLiteral("k.txt")), "alpha\r\nbeta\r\n"), QStringLiteral("--interval"),
        QStringLiteral("1"), QStringLiteral("--rules"), QStringLiteral("today,360,sogou,bing") };
    for (Engine& e : engines) {
        sample::EngineSettings settings;
        settings.pagesPerKeyword = 2;
        settings.layout = e.layout;
        // 360 answers its first request, then blocks: alpha's second page.
        settings.verifyAfter = e.layout == sample::Layout::So360 ? 2 : 0;
        e.server = std::make_unique<sample::SampleEngine>(settings);
        const int p = e.server->start(0);
        ASSERT_GT(p, 0);
        args << QStringLiteral("--engine-host")
             << QStringLiteral("%1=http://127.0.0.1:%2").arg(QLatin1String(e.name)).arg(p);
    }
    const Result r = run(args, 240000);
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_TRUE(
        r.err.contains(QStringLiteral("360 was dropped at keyword 0; resume it with --rules 360 --from 0")))
        << r.err.toStdString();
    // Every engine's predicted rows in turn, the engine in a third column;
    // 360 gave its first page of alpha only.
    QList<QByteArray> expected;
    for (const char* word : { "alpha", "beta" }) {
        for (const Engine& e : engines) {
            const sample::EngineSettings settings { 2, false, e.layout, 0 };
            const int pages = e.layout == sample::Layout::So360 ? (QByteArray(word) == "alpha" ? 1 : 0) : 2;
            for (int page = 1; page <= pages; ++page) {
                for (const sample::PredictedRow& row : sample::predictedRows(e.layout, word, page, settings))
                    expected << QByteArray::fromStdString(row.target) + '\t'
                            + text::toGbk(QString::fromStdString(row.title)) + '\t' + e.name;
            }
        }
    }
    EXPECT_EQ(lines(r.out), expected);
    // Asked no more once it blocked.
    const auto& asked = engines[1].server->requests();
    EXPECT_EQ(std::count_if(
                  asked.begin(), asked.end(), [](const sample::RequestRecord& q) { return q.path == "/s"; }),
        2);
}

TEST_F(HarvestCommand, OneRowPerSiteAndTheExclusionListApplyToTheHarvest)
{
    startEngine({ 1, false });
    const QString keywords = writeFile(dir.filePath(QStringLiteral("k.txt")), "alpha\r\n");
    // Every sample result is a host under example.com: one site.
    const QByteArray first = QByteArray::fromStdString(sample::resultAddress("alpha", 1));
    const QByteArray second = QByteArray::fromStdString(sample::resultAddress("alpha", 2));
    const Result one = run(baseArgs(keywords) << QStringLiteral("--unique") << QStringLiteral("domain"));
    EXPECT_EQ(one.exitCode, 0) << one.err.toStdString();
    const QList<QByteArray> rows = lines(one.out);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(rows.first().startsWith(first + '\t'));

    // The first result's host excluded: the site's first row is the second result.
    const QString excluded = writeFile(dir.filePath(QStringLiteral("never.txt")), first + "\r\n");
    const Result other = run(baseArgs(keywords) << QStringLiteral("--unique") << QStringLiteral("domain")
                                                << QStringLiteral("--drop-listed") << excluded);
    EXPECT_EQ(other.exitCode, 0) << other.err.toStdString();
    ASSERT_EQ(lines(other.out).size(), 1);
    EXPECT_TRUE(lines(other.out).first().startsWith(second + '\t'));

    const Result wrong = run(baseArgs(keywords) << QStringLiteral("--unique") << QStringLiteral("host"));
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("--unique takes domain"))) << wrong.err.toStdString();
    const Result missing = run(
        baseArgs(keywords) << QStringLiteral("--drop-listed") << dir.filePath(QStringLiteral("none.txt")));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("--drop-listed"))) << missing.err.toStdString();
    const Result onto = run(baseArgs(keywords)
        << QStringLiteral("--drop-listed") << excluded << QStringLiteral("-o") << excluded);
    EXPECT_EQ(onto.exitCode, 2);
}
