#include "harvest/ResultsLog.h"
#include "harvest/RowFormats.h"
#include "support/Files.h"
#include "text/Gbk.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace tess;
using namespace tess::harvest;

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

struct CsvCase {
    const char* name;
    QByteArray addressGbk;
    QByteArray titleGbk;
    QByteArray row; // UTF-8
};

TEST(RowFormats, CsvQuotesOnlyFieldsThatNeedItAndDoublesQuotes)
{
    const QByteArray gbkTitle = text::toGbk(u"广州 服装");
    const CsvCase cases[] = {
        { "plain", "http://a.example/", "title", "http://a.example/,title\r\n" },
        { "empty title", "http://a.example/", "", "http://a.example/,\r\n" },
        { "comma", "http://a.example/", "one, two", "http://a.example/,\"one, two\"\r\n" },
        { "quote", "http://a.example/", "say \"hi\"", "http://a.example/,\"say \"\"hi\"\"\"\r\n" },
        { "lone quote", "http://a.example/", "\"", "http://a.example/,\"\"\"\"\r\n" },
        { "line feed", "http://a.example/", "a\nb", "http://a.example/,\"a\nb\"\r\n" },
        { "carriage return", "http://a.example/", "a\r\nb", "http://a.example/,\"a\r\nb\"\r\n" },
        { "tab kept unquoted", "http://a.example/", "a\tb", "http://a.example/,a\tb\r\n" },
        { "comma in address", "http://a.example/?q=1,2", "t", "\"http://a.example/?q=1,2\",t\r\n" },
        { "GBK becomes UTF-8", "http://a.example/", gbkTitle,
            QStringLiteral("http://a.example/,广州 服装\r\n").toUtf8() },
        { "GBK with comma", "http://a.example/", text::toGbk(u"甲,乙"),
            QStringLiteral("http://a.example/,\"甲,乙\"\r\n").toUtf8() },
    };
    for (const CsvCase& c : cases)
        EXPECT_EQ(formatRow(RowFormat::Csv, c.addressGbk, c.titleGbk), c.row) << c.name;
}

TEST(RowFormats, TsvIsTheScratchFilesLayout)
{
    const QByteArray rows[][2] = { { "http://a.example/", "t" }, { "http://a.example/", "a\r\nb\tc" },
        { "http://a.example/", text::toGbk(u"标题") } };
    for (const auto& r : rows)
        EXPECT_EQ(formatRow(RowFormat::Tsv, r[0], r[1]), ResultsLog::formatRow(r[0], r[1]));
    EXPECT_EQ(rowsPreamble(RowFormat::Tsv), QByteArray());
    EXPECT_EQ(rowsPreamble(RowFormat::Csv), kBom + "address,title\r\n");
}

TEST(RowFormats, NamesAndFileNamesChooseTheFormat)
{
    EXPECT_EQ(rowFormatNamed(QStringLiteral("csv")), RowFormat::Csv);
    EXPECT_EQ(rowFormatNamed(QStringLiteral("TSV")), RowFormat::Tsv);
    EXPECT_EQ(rowFormatNamed(QStringLiteral("txt")), std::nullopt);
    EXPECT_EQ(rowFormatNamed(QString()), std::nullopt);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/out.csv")), RowFormat::Csv);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/OUT.CSV")), RowFormat::Csv);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/out.csv.txt")), RowFormat::Tsv);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/csv")), RowFormat::Tsv);
}

TEST(RowFormats, ConvertingTheScratchContentsGivesTheSameRowsAsWritingThemDirectly)
{
    const QList<QPair<QByteArray, QByteArray>> rows { { "http://a.example/", "one, two" },
        { "http://b.example/", text::toGbk(u"标题 \"引\"") }, { "http://c.example/", "" },
        // Line breaks inside a title are already blanks in the scratch file.
        { "http://d.example/", "x\ny" } };
    QByteArray tsv, csv = rowsPreamble(RowFormat::Csv);
    for (const auto& r : rows) {
        tsv += ResultsLog::formatRow(r.first, r.second);
        csv += formatRow(RowFormat::Csv, r.first, QByteArray(r.second).replace('\n', ' '));
    }
    EXPECT_EQ(convertTsvRows(tsv, RowFormat::Csv), csv);
    EXPECT_EQ(convertTsvRows(tsv, RowFormat::Tsv), tsv);
    EXPECT_EQ(convertTsvRows({}, RowFormat::Csv), rowsPreamble(RowFormat::Csv));
    // A row without a TAB (a hand-edited file) is an address alone.
    EXPECT_EQ(convertTsvRows("http://e.example/\r\n", RowFormat::Csv),
        kBom + "address,title\r\nhttp://e.example/,\r\n");
}

TEST(RowFormats, RowsOfSeveralEnginesCarryTheEngineInATsvColumnAndACsvOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rows.csv"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        RowWriter writer(file.handle(), RowFormat::Csv, true);
        ASSERT_TRUE(writer.begin());
        writer.append("http://a.example/", "t, 1", "360");
        writer.append("http://b.example/", "u", "sogou");
        ASSERT_TRUE(writer.flush());
    }
    const QByteArray csv
        = kBom + "address,title,engine\r\nhttp://a.example/,\"t, 1\",360\r\nhttp://b.example/,u,sogou\r\n";
    EXPECT_EQ(test::readFile(path), csv);
    // Save results converts the scratch file's rows to the same file; a
    // row of the scratch file without an engine keeps the column empty.
    const QByteArray tsv = ResultsLog::formatRow("http://a.example/", "t, 1", "360")
        + ResultsLog::formatRow("http://b.example/", "u", "sogou");
    EXPECT_EQ(tsv, "http://a.example/\tt, 1\t360\r\nhttp://b.example/\tu\tsogou\r\n");
    EXPECT_EQ(convertTsvRows(tsv, RowFormat::Csv), csv);
    EXPECT_EQ(
        convertTsvRows(tsv + "http://c.example/\tv\r\n", RowFormat::Csv), csv + "http://c.example/,v,\r\n");
    // One engine: the two columns files have always had.
    EXPECT_EQ(formatRow(RowFormat::Tsv, "http://a.example/", "t", {}), "http://a.example/\tt\r\n");
}

TEST(RowWriter, RowsReachTheFileOnlyWhenFlushed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    RowWriter writer(fd, RowFormat::Csv);
    ASSERT_TRUE(writer.begin());
    writer.append("http://a.example/", "a,b");
    writer.append("http://b.example/", "c");
    EXPECT_EQ(test::readFile(path), rowsPreamble(RowFormat::Csv));
    ASSERT_TRUE(writer.flush());
    EXPECT_EQ(test::readFile(path),
        rowsPreamble(RowFormat::Csv) + "http://a.example/,\"a,b\"\r\nhttp://b.example/,c\r\n");
    EXPECT_EQ(writer.rowCount(), 2);
    ::close(fd);
}

TEST(RowWriter, AFullDeviceFailsTheFlushAndEveryOneAfter)
{
    const int fd = ::open("/dev/full", O_WRONLY);
    if (fd < 0)
        GTEST_SKIP() << "no /dev/full";
    RowWriter tsv(fd, RowFormat::Tsv);
    EXPECT_TRUE(tsv.begin()); // nothing to write yet
    tsv.append("http://a.example/", "t");
    errno = 0;
    EXPECT_FALSE(tsv.flush());
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_FALSE(tsv.flush());
    RowWriter csv(fd, RowFormat::Csv);
    EXPECT_FALSE(csv.begin());
    ::close(fd);
}

// A file size limit cuts a write short part-way through a row, as a disk
// filling up does.
TEST(RowWriter, AWriteCutShortLeavesTheRowsBeforeIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(fd, 0);
    RowWriter writer(fd, RowFormat::Tsv);
    ASSERT_TRUE(writer.begin());
    writer.append("http://a.example/", "first page");
    ASSERT_TRUE(writer.flush());
    const QByteArray firstPage = test::readFile(path);

    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(firstPage.size() + 10);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    writer.append("http://b.example/", "second page, cut short");
    writer.append("http://c.example/", "second page");
    const bool written = writer.flush();
    const int error = errno;
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, savedSignal);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(test::readFile(path), firstPage);
    ::close(fd);
}

TEST(RowWriter, RowsAddedToAFileGoUnderItsHeader)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(
        dir.filePath(QStringLiteral("out.csv")), rowsPreamble(RowFormat::Csv) + "http://a.example/,a\r\n");
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    RowWriter writer(fd, RowFormat::Csv);
    ASSERT_TRUE(writer.begin());
    writer.append("http://b.example/", "b");
    ASSERT_TRUE(writer.flush());
    EXPECT_EQ(test::readFile(path),
        rowsPreamble(RowFormat::Csv) + "http://a.example/,a\r\nhttp://b.example/,b\r\n");
    ::close(fd);
}

} // namespace
