#include "SampleEngine.h"
#include "support/Files.h"
#include "text/Gbk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace tess;
using test::readFile;
using test::writeFile;

namespace {

// `tessaroon keywords` as a user runs it: the real program in a process of
// its own, against the sample engine.
class KeywordsCommand : public ::testing::Test {
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

    QStringList args(const QByteArray& seeds, const QStringList& more = {})
    {
        const QString seedFile = writeFile(dir.filePath(QStringLiteral("seeds.txt")), seeds);
        return QStringList { QStringLiteral("keywords"), QStringLiteral("--seed"), seedFile,
            QStringLiteral("--interval"), QStringLiteral("1"), QStringLiteral("--engine-host"),
            QStringLiteral("http://127.0.0.1:%1").arg(port) }
        + more;
    }

    Result run(const QStringList& arguments)
    {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TESS_PROGRAM), arguments);
        EXPECT_TRUE(p.waitForStarted(10000));
        EXPECT_TRUE(p.waitForFinished(90000)) << "the mining did not end";
        return { p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromLocal8Bit(p.readAllStandardError()) };
    }

    // Each search request: "word:pn".
    QStringList searches() const
    {
        QStringList out;
        for (const auto& r : engine->requests())
            if (r.path == "/baidu" || r.path == "/s")
                out << text::fromGbk(QByteArray::fromStdString(r.wordGbk)) + u':'
                        + QString::number(r.pn.value_or(-1));
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<sample::SampleEngine> engine;
    int port = 0;
};

TEST_F(KeywordsCommand, AsksTheFirstPageOfEachSeedOnceAndWritesTheKeywordsAsGbkCrLf)
{
    startEngine({ 3, false });
    const QByteArray seeds
        = text::toGbk(u"广州 服装\r\nalpha\r\nALPHA\r\n\r\nＡＬＰＨＡ\r\n  广州   服装 \r\n");
    const Result r = run(args(seeds));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(searches(), (QStringList { QStringLiteral("广州 服装:0"), QStringLiteral("alpha:0") }));
    EXPECT_EQ(r.out, text::toGbk(u"广州 服装\r\nalpha\r\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("depth 0, asked 2/2, 2 found"))) << r.err.toStdString();

    const QString out = dir.filePath(QStringLiteral("词.txt"));
    const Result toFile
        = run(args(seeds, { QStringLiteral("-o"), out, QStringLiteral("--max"), QStringLiteral("1") }));
    ASSERT_EQ(toFile.exitCode, 0) << toFile.err.toStdString();
    EXPECT_TRUE(toFile.out.isEmpty());
    EXPECT_EQ(readFile(out), text::toGbk(u"广州 服装\r\n"));
}

TEST_F(KeywordsCommand, AVerificationPageDropsTheEngineAndKeepsWhatWasFound)
{
    sample::EngineSettings settings;
    settings.layout = sample::Layout::Today;
    settings.verifyAfter = 2; // the second keyword's page
    startEngine(settings);
    const Result r
        = run(args("alpha\r\nbeta\r\ngamma\r\n", { QStringLiteral("--rules"), QStringLiteral("today") }));
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("verification page"))) << r.err.toStdString();
    // Only the page read before the block gave related searches; "ALPHA"
    // is the seed again.
    EXPECT_EQ(r.out, text::toGbk(u"alpha\r\nbeta\r\ngamma\r\nalpha 教程\r\nalpha 下载\r\n"));
}

// The sample engine lists "K 教程", "K 下载" and K in capitals for a
// keyword K; the capitals are K again.
TEST_F(KeywordsCommand, GrowsTheTreeBreadthFirstToTheDepthAndTheBound)
{
    sample::EngineSettings settings;
    settings.layout = sample::Layout::Today;
    startEngine(settings);
    const QStringList today { QStringLiteral("--rules"), QStringLiteral("today") };
    const Result whole
        = run(args("vue\r\n", today + QStringList { QStringLiteral("--depth"), QStringLiteral("2") }));
    ASSERT_EQ(whole.exitCode, 0) << whole.err.toStdString();
    EXPECT_EQ(whole.out,
        text::toGbk(u"vue\r\nvue 教程\r\nvue 下载\r\nvue 教程 教程\r\nvue 教程 下载\r\nvue 下载 教程\r\n"
                    u"vue 下载 下载\r\n"));
    EXPECT_EQ(searches(),
        (QStringList {
            QStringLiteral("vue:0"), QStringLiteral("vue 教程:0"), QStringLiteral("vue 下载:0") }));

    // Full after the second keyword's searches: the third is never asked.
    const qsizetype before = searches().size();
    const Result cut = run(args("vue\r\n",
        today
            + QStringList { QStringLiteral("--depth"), QStringLiteral("2"), QStringLiteral("--max"),
                QStringLiteral("5") }));
    ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();
    EXPECT_EQ(cut.out, text::toGbk(u"vue\r\nvue 教程\r\nvue 下载\r\nvue 教程 教程\r\nvue 教程 下载\r\n"));
    EXPECT_EQ(
        searches().mid(before), (QStringList { QStringLiteral("vue:0"), QStringLiteral("vue 教程:0") }));
}

TEST_F(KeywordsCommand, CtrlCWritesEveryKeywordFoundSoFar)
{
    sample::EngineSettings settings;
    settings.layout = sample::Layout::Today;
    startEngine(settings);
    const QString out = dir.filePath(QStringLiteral("out.txt"));
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(TESS_PROGRAM),
        args("vue\r\n",
            { QStringLiteral("--rules"), QStringLiteral("today"), QStringLiteral("--depth"),
                QStringLiteral("6"), QStringLiteral("-o"), out }));
    ASSERT_TRUE(p.waitForStarted(10000));
    // The seed and the first keyword it gave are asked, a second is on its way.
    QByteArray err;
    QElapsedTimer clock;
    clock.start();
    while (!err.contains("asked 2/") && clock.elapsed() < 60000) {
        p.waitForReadyRead(200);
        err += p.readAllStandardError();
    }
    ASSERT_TRUE(err.contains("asked 2/")) << err.toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(30000));
    err += p.readAllStandardError();
    EXPECT_EQ(p.exitCode(), 130) << err.toStdString();
    const QByteArray found = readFile(out);
    EXPECT_TRUE(
        found.startsWith(text::toGbk(u"vue\r\nvue 教程\r\nvue 下载\r\nvue 教程 教程\r\nvue 教程 下载\r\n")))
        << text::fromGbk(found).toStdString();
    EXPECT_LT(found.count("\r\n"), 60) << "stopped long before depth 6";
}

TEST_F(KeywordsCommand, ASeedFileWithoutKeywordsIsSaid)
{
    startEngine({ 1, false });
    const Result r = run(args(" \r\n\r\n"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("holds no keyword"))) << r.err.toStdString();
    EXPECT_TRUE(engine->requests().empty());
}

} // namespace
