#include "harvest/ResultsLog.h"
#include "support/Files.h"
#include "text/Gbk.h"

#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using tess::harvest::HarvestedRow;
using tess::harvest::HarvestedRows;
using tess::harvest::ResultsLog;
using tess::harvest::RowKind;
using tess::test::readFile;
using tess::test::writeFile;

namespace {

QByteArray rows(int from, int to)
{
    QByteArray out;
    for (int i = from; i < to; ++i)
        out += ResultsLog::formatRow({ "http://r" + QByteArray::number(i) + ".example/", "t" });
    return out;
}

void appendPage(ResultsLog& log, int from, int to)
{
    for (int i = from; i < to; ++i)
        log.append({ "http://r" + QByteArray::number(i) + ".example/", "t" });
    log.flush();
}

// Limits how large this process may make a file, as a nearly full disk
// would; writes past the limit fail instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_saved {};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

TEST(ResultsLog, RowsTheFileRefusesAreKeptInMemoryAndReportedOnce)
{
    QTemporaryDir dir;
    ResultsLog log(dir.filePath(QStringLiteral("mirovadel.tmp")));
    QStringList reports;
    log.onWriteFailure = [&](const QString& m) { reports << m; };
    log.restart();
    appendPage(log, 0, 3);
    const qint64 firstPage = rows(0, 3).size();
    {
        // The next page fits only in part: the file keeps whole rows only.
        FileSizeLimit limit(static_cast<rlim_t>(firstPage + 10));
        appendPage(log, 3, 6);
        appendPage(log, 6, 9);
    }
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports.first().contains(log.path())) << reports.first().toStdString();
    EXPECT_EQ(readFile(log.path()), rows(0, 3));
    EXPECT_EQ(log.rowCount(), 9);
    EXPECT_EQ(log.contents(), rows(0, 9));

    // A new run tries the file again.
    log.restart();
    appendPage(log, 0, 2);
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(log.contents(), rows(0, 2));
}

TEST(ResultsLog, AFileThatCannotBeCreatedLosesNoRow)
{
    QTemporaryDir dir;
    ResultsLog log(dir.filePath(QStringLiteral("no/such/folder/mirovadel.tmp")));
    QStringList reports;
    log.onWriteFailure = [&](const QString& m) { reports << m; };
    log.restart();
    appendPage(log, 0, 4);
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(log.contents(), rows(0, 4));
}

TEST(ResultsLog, RecoverTakesOverTheWholeRowsACrashedRunLeft)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mirovadel.tmp"));
    struct Case {
        const char* name;
        QByteArray left;
        qint64 rows;
        QByteArray saved;
    } cases[] = {
        { "WholeRows", rows(0, 3), 3, rows(0, 3) },
        { "TornLastRow", rows(0, 2) + "http://torn.exa", 2, rows(0, 2) },
        { "Empty", "", 0, "" },
    };
    for (const Case& c : cases) {
        writeFile(path, c.left);
        ResultsLog log(path);
        EXPECT_EQ(log.recover(), c.rows) << c.name;
        EXPECT_EQ(log.contents(), c.saved) << c.name;
        // The next run starts the file afresh.
        log.restart();
        appendPage(log, 7, 8);
        EXPECT_EQ(log.contents(), rows(7, 8)) << c.name;
    }
    ResultsLog none(dir.filePath(QStringLiteral("absent.tmp")));
    EXPECT_EQ(none.recover(), 0);
}

namespace {

// Compares what a saved file shows of a row.
void expectSameRow(const HarvestedRow& read, const HarvestedRow& written, const char* name)
{
    EXPECT_EQ(read.address, written.address) << name;
    EXPECT_EQ(read.title, written.title) << name;
    EXPECT_EQ(read.keyword, written.keyword) << name;
    EXPECT_EQ(read.engine, written.engine) << name;
    EXPECT_EQ(read.page, written.page) << name;
    EXPECT_EQ(read.rank, written.rank) << name;
    EXPECT_EQ(read.kind, written.kind) << name;
    EXPECT_EQ(read.time, written.time) << name;
    EXPECT_EQ(read.time.offsetFromUtc(), written.time.offsetFromUtc()) << name;
}

} // namespace

TEST(ResultsLog, EveryRowKeepsWhereItCameFromAndARecoveredLogGivesItBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mirovadel.tmp"));
    const HarvestedRow full { .address = "http://a.example/",
        .title = tess::text::toGbk(u"广州\t服装\r\n批发"),
        .keyword = tess::text::toGbk(u"服装"),
        .engine = QStringLiteral("360"),
        .page = 3,
        .rank = 21,
        .kind = RowKind::Ad,
        .time = QDateTime(QDate(2026, 12, 8), QTime(22, 30, 5), QTimeZone(8 * 3600)) };
    const HarvestedRow bare { .address = "http://b.example/", .title = "", .kind = RowKind::Result };
    {
        ResultsLog log(path);
        log.restart();
        log.append(full);
        log.append(bare);
        log.flush();
    }
    EXPECT_EQ(readFile(path),
        "http://a.example/\t" + tess::text::toGbk(u"广州 服装  批发") + "\t360\t" + full.keyword
            + "\t3\t21\tad\t2026-12-08T22:30:05+08:00\r\nhttp://b.example/\t\t\t\t\t\tresult\t\r\n");
    ResultsLog log(path);
    EXPECT_EQ(log.recover(), 2);
    const HarvestedRows rows = log.rows();
    ASSERT_EQ(rows.size(), 2);
    HarvestedRow blanked = full;
    blanked.title = tess::text::toGbk(u"广州 服装  批发");
    expectSameRow(rows[0], blanked, "full");
    expectSameRow(rows[1], bare, "bare");
}

TEST(ResultsLog, RecoverTakesOverScratchFilesOfTheEarlierLayouts)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mirovadel.tmp"));
    struct Case {
        const char* name;
        QByteArray left;
        HarvestedRows rows;
    } cases[] = {
        { "two columns", "http://a.example/\tt\r\nhttp://b.example/\t\r\n",
            { { "http://a.example/", "t" }, { "http://b.example/", "" } } },
        { "engine third", "http://a.example/\tt\t360\r\nhttp://b.example/\tu\r\nhttp://torn",
            { { .address = "http://a.example/", .title = "t", .engine = QStringLiteral("360") },
                { "http://b.example/", "u" } } },
        { "address alone", "http://a.example/\r\n", { { "http://a.example/", "" } } },
    };
    for (const Case& c : cases) {
        writeFile(path, c.left);
        ResultsLog log(path);
        EXPECT_EQ(log.recover(), c.rows.size()) << c.name;
        const HarvestedRows rows = log.rows();
        ASSERT_EQ(rows.size(), c.rows.size()) << c.name;
        for (qsizetype i = 0; i < rows.size(); ++i)
            expectSameRow(rows[i], c.rows[i], c.name); // kind: any link
    }
}

TEST(ResultsLog, RowsTheDiskRefusedAreReadBackWithTheirContext)
{
    QTemporaryDir dir;
    ResultsLog log(dir.filePath(QStringLiteral("no/such/folder/mirovadel.tmp")));
    log.restart();
    const HarvestedRow row { .address = "http://a.example/",
        .title = "t",
        .keyword = "k",
        .engine = QStringLiteral("today"),
        .page = 1,
        .rank = 1,
        .kind = RowKind::Result };
    log.append(row);
    log.flush();
    const HarvestedRows rows = log.rows();
    ASSERT_EQ(rows.size(), 1);
    expectSameRow(rows[0], row, "in memory");
}
