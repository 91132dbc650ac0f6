#include "harvest/ResultsLog.h"
#include "support/Files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using tess::harvest::ResultsLog;
using tess::test::readFile;
using tess::test::writeFile;

namespace {

QByteArray rows(int from, int to)
{
    QByteArray out;
    for (int i = from; i < to; ++i)
        out += ResultsLog::formatRow("http://r" + QByteArray::number(i) + ".example/", "t");
    return out;
}

void appendPage(ResultsLog& log, int from, int to)
{
    for (int i = from; i < to; ++i)
        log.append("http://r" + QByteArray::number(i) + ".example/", "t");
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
