#include "harvest/ResultsLog.h"
#include "harvest/RowFormats.h"
#include "support/Files.h"
#include "support/Python.h"
#include "text/Gbk.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>

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
const RowColumns kTwo { RowColumn::Address, RowColumn::Title };
const RowColumns kThree { RowColumn::Address, RowColumn::Title, RowColumn::Engine };

HarvestedRow row(const QByteArray& address, const QByteArray& title, const QString& engine = {})
{
    return { .address = address, .title = title, .engine = engine };
}

// A row with everything known, from 360's second page.
HarvestedRow fullRow()
{
    return { .address = "http://a.example/?q=1",
        .title = text::toGbk(u"广州 \"服装\", 批发"),
        .keyword = text::toGbk(u"服装"),
        .engine = QStringLiteral("360"),
        .page = 2,
        .rank = 13,
        .kind = RowKind::Result,
        .time = QDateTime(QDate(2026, 12, 8), QTime(22, 30, 5), QTimeZone(8 * 3600)) };
}

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
        EXPECT_EQ(formatRow(RowFormat::Csv, kTwo, row(c.addressGbk, c.titleGbk)), c.row) << c.name;
}

TEST(RowFormats, TsvKeepsTheLayoutFilesHaveAlwaysHad)
{
    const RowColumns columns = defaultRowColumns(RowFormat::Tsv, false);
    EXPECT_EQ(columns, kTwo);
    EXPECT_EQ(
        formatRow(RowFormat::Tsv, columns, fullRow()), "http://a.example/?q=1\t" + fullRow().title + "\r\n");
    EXPECT_EQ(formatRow(RowFormat::Tsv, columns, row("http://a.example/", "a\r\nb\tc")),
        "http://a.example/\ta  b c\r\n");
    EXPECT_EQ(formatRow(RowFormat::Tsv, defaultRowColumns(RowFormat::Tsv, true), fullRow()),
        "http://a.example/?q=1\t" + fullRow().title + "\t360\r\n");
    // Chosen columns: numbers and times as text, what is not known empty.
    const RowColumns chosen { RowColumn::Keyword, RowColumn::Page, RowColumn::Rank, RowColumn::Time };
    EXPECT_EQ(formatRow(RowFormat::Tsv, chosen, fullRow()),
        fullRow().keyword + "\t2\t13\t2026-12-08T22:30:05+08:00\r\n");
    EXPECT_EQ(formatRow(RowFormat::Tsv, chosen, row("http://a/", "t")), "\t\t\t\r\n");
    EXPECT_EQ(rowsPreamble(RowFormat::Tsv, kTwo), QByteArray());
    EXPECT_EQ(rowsPreamble(RowFormat::Csv, kTwo), kBom + "address,title\r\n");
    EXPECT_EQ(rowsPreamble(RowFormat::Csv, defaultRowColumns(RowFormat::Csv, false)),
        kBom + "keyword,engine,page,rank,kind,address,title,time\r\n");
}

TEST(RowFormats, NamesAndFileNamesChooseTheFormat)
{
    EXPECT_EQ(rowFormatNamed(QStringLiteral("csv")), RowFormat::Csv);
    EXPECT_EQ(rowFormatNamed(QStringLiteral("TSV")), RowFormat::Tsv);
    EXPECT_EQ(rowFormatNamed(QStringLiteral("JsonL")), RowFormat::Jsonl);
    EXPECT_EQ(rowFormatNamed(QStringLiteral("xlsx")), RowFormat::Xlsx);
    EXPECT_EQ(rowFormatNamed(QStringLiteral("json")), std::nullopt);
    EXPECT_EQ(rowFormatNamed(QStringLiteral("txt")), std::nullopt);
    EXPECT_EQ(rowFormatNamed(QString()), std::nullopt);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/out.csv")), RowFormat::Csv);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/OUT.CSV")), RowFormat::Csv);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/out.csv.txt")), RowFormat::Tsv);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/csv")), RowFormat::Tsv);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/out.jsonl")), RowFormat::Jsonl);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/Out.XLSX")), RowFormat::Xlsx);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d.xlsx/out")), RowFormat::Tsv);
    EXPECT_EQ(rowFormatForFileName(QStringLiteral("/d/out.json")), RowFormat::Tsv);
}

TEST(RowFormats, SavingTheScratchRowsGivesTheSameFileAsWritingThemDirectly)
{
    const HarvestedRows rows { row("http://a.example/", "one, two"),
        row("http://b.example/", text::toGbk(u"标题 \"引\"")), row("http://c.example/", ""), fullRow() };
    QTemporaryDir dir;
    ResultsLog log(dir.filePath(QStringLiteral("scratch")));
    log.restart();
    for (const HarvestedRow& r : rows)
        log.append(r);
    log.flush();
    const RowColumns all = allRowColumns();
    for (const RowFormat format : { RowFormat::Tsv, RowFormat::Csv, RowFormat::Jsonl })
        EXPECT_EQ(formatRows(format, all, log.rows()), formatRows(format, all, rows)) << int(format);
    EXPECT_EQ(formatRows(RowFormat::Csv, all, {}), rowsPreamble(RowFormat::Csv, all));
}

TEST(RowFormats, RowsOfSeveralEnginesCarryTheEngineInATsvColumnAndACsvOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rows.csv"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        RowWriter writer(file.handle(), RowFormat::Csv, kThree);
        ASSERT_TRUE(writer.begin());
        writer.append(row("http://a.example/", "t, 1", QStringLiteral("360")));
        writer.append(row("http://b.example/", "u", QStringLiteral("sogou")));
        ASSERT_TRUE(writer.flush());
    }
    const QByteArray csv
        = kBom + "address,title,engine\r\nhttp://a.example/,\"t, 1\",360\r\nhttp://b.example/,u,sogou\r\n";
    EXPECT_EQ(test::readFile(path), csv);
    const RowColumns tsv = defaultRowColumns(RowFormat::Tsv, true);
    EXPECT_EQ(formatRows(RowFormat::Tsv, tsv,
                  { row("http://a.example/", "t, 1", QStringLiteral("360")), row("http://c.example/", "v") }),
        "http://a.example/\tt, 1\t360\r\nhttp://c.example/\tv\t\r\n");
}

TEST(RowFormats, ColumnsAreParsedByNameAndAnUnknownOneIsNamed)
{
    struct Case {
        const char* list;
        RowColumns columns; // empty: an error naming `unknown`
        const char* unknown;
    } cases[] = {
        { "address,title", kTwo, "" },
        { "Keyword, RANK ,time", { RowColumn::Keyword, RowColumn::Rank, RowColumn::Time }, "" },
        { "keyword,engine,page,rank,kind,address,title,time", allRowColumns(), "" },
        { "address,url", {}, "url" },
        { "address,", {}, "" },
    };
    for (const Case& c : cases) {
        const auto parsed = parseRowColumns(QString::fromLatin1(c.list));
        if (c.columns.isEmpty()) {
            ASSERT_TRUE(std::holds_alternative<QString>(parsed)) << c.list;
            EXPECT_TRUE(
                std::get<QString>(parsed).contains(QStringLiteral("\"%1\"").arg(QLatin1String(c.unknown))))
                << std::get<QString>(parsed).toStdString();
        } else {
            EXPECT_EQ(std::get<RowColumns>(parsed), c.columns) << c.list;
        }
    }
}

// Read back by Python's csv module, as a spreadsheet's import would read it.
TEST(RowFormats, CsvNeutralisesWhatASpreadsheetWouldTakeForAFormula)
{
    struct Case {
        QByteArray title; // GBK
        QString read; // the field as a CSV reader gives it
    } cases[] = {
        { "=1+2", QStringLiteral("'=1+2") },
        { "+86 20 1234", QStringLiteral("'+86 20 1234") },
        { "-2+3", QStringLiteral("'-2+3") },
        { "@SUM(A1)", QStringLiteral("'@SUM(A1)") },
        { "\tx", QStringLiteral("'\tx") },
        { "\rx", QStringLiteral("'\rx") },
        { "=HYPERLINK(\"http://e.example/\",\"x,y\")",
            QStringLiteral("'=HYPERLINK(\"http://e.example/\",\"x,y\")") },
        { text::toGbk(u"=广州"), QStringLiteral("'=广州") },
        { "a=b", QStringLiteral("a=b") },
        { "say \"hi\", then\r\nleave", QStringLiteral("say \"hi\", then\r\nleave") },
        { "", QString() },
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rows.csv"));
    HarvestedRows rows;
    for (const Case& c : cases)
        rows.append({ .address = "=cmd|' /C calc'!A0",
            .title = c.title,
            .keyword = "-k",
            .engine = QStringLiteral("360") });
    test::writeFile(path, formatRows(RowFormat::Csv, allRowColumns(), rows));
    QByteArray error;
    const auto read
        = test::runPython(QStringLiteral("import csv, json, sys\n"
                                         "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                                         "    print(json.dumps(list(csv.reader(f))))\n"),
            { path }, &error);
    ASSERT_TRUE(read) << error.toStdString();
    const QJsonArray table = QJsonDocument::fromJson(*read).array();
    ASSERT_EQ(table.size(), std::size(cases) + 1);
    EXPECT_EQ(table[0].toVariant().toStringList().join(u','),
        QStringLiteral("keyword,engine,page,rank,kind,address,title,time"));
    for (qsizetype i = 0; i < qsizetype(std::size(cases)); ++i) {
        const QJsonArray fields = table[i + 1].toArray();
        ASSERT_EQ(fields.size(), 8);
        EXPECT_EQ(fields[6].toString(), cases[i].read) << i;
        EXPECT_EQ(fields[0].toString(), QStringLiteral("'-k"));
        EXPECT_EQ(fields[5].toString(), QStringLiteral("'=cmd|' /C calc'!A0"));
        EXPECT_EQ(fields[2].toString(), QString()); // page not known
        EXPECT_EQ(fields[4].toString(), QStringLiteral("link"));
    }
}

TEST(RowFormats, JsonLinesHaveEveryColumnWithNumbersAndNulls)
{
    HarvestedRow bare = row("http://b.example/", "a\"b\\c\x01\n");
    bare.kind = RowKind::Ad;
    const QByteArray lines = formatRows(RowFormat::Jsonl, allRowColumns(), { fullRow(), bare });
    const QList<QByteArray> split = lines.split('\n');
    ASSERT_EQ(split.size(), 3);
    EXPECT_TRUE(split[2].isEmpty());
    QJsonParseError error;
    const QJsonDocument first = QJsonDocument::fromJson(split[0], &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << split[0].toStdString();
    const QJsonObject full = first.object();
    EXPECT_EQ(full.keys().size(), 8);
    EXPECT_EQ(full[QStringLiteral("keyword")].toString(), QStringLiteral("服装"));
    EXPECT_EQ(full[QStringLiteral("engine")].toString(), QStringLiteral("360"));
    EXPECT_EQ(full[QStringLiteral("page")].toInt(), 2);
    EXPECT_EQ(full[QStringLiteral("rank")].toInt(), 13);
    EXPECT_EQ(full[QStringLiteral("kind")].toString(), QStringLiteral("result"));
    EXPECT_EQ(full[QStringLiteral("address")].toString(), QStringLiteral("http://a.example/?q=1"));
    EXPECT_EQ(full[QStringLiteral("title")].toString(), QStringLiteral("广州 \"服装\", 批发"));
    EXPECT_EQ(full[QStringLiteral("time")].toString(), QStringLiteral("2026-12-08T22:30:05+08:00"));
    // The keys in the columns' order.
    EXPECT_TRUE(split[0].startsWith("{\"keyword\":")) << split[0].toStdString();
    const QJsonObject b = QJsonDocument::fromJson(split[1], &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << split[1].toStdString();
    EXPECT_TRUE(b[QStringLiteral("page")].isNull());
    EXPECT_TRUE(b[QStringLiteral("rank")].isNull());
    EXPECT_TRUE(b[QStringLiteral("time")].isNull());
    EXPECT_EQ(b[QStringLiteral("keyword")].toString(), QString());
    EXPECT_EQ(b[QStringLiteral("kind")].toString(), QStringLiteral("ad"));
    EXPECT_EQ(b[QStringLiteral("title")].toString(), QStringLiteral("a\"b\\c\x01\n"));
}

TEST(RowWriter, RowsReachTheFileOnlyWhenFlushed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.csv"));
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    RowWriter writer(fd, RowFormat::Csv, kTwo);
    ASSERT_TRUE(writer.begin());
    writer.append(row("http://a.example/", "a,b"));
    writer.append(row("http://b.example/", "c"));
    EXPECT_EQ(test::readFile(path), rowsPreamble(RowFormat::Csv, kTwo));
    ASSERT_TRUE(writer.flush());
    EXPECT_EQ(test::readFile(path),
        rowsPreamble(RowFormat::Csv, kTwo) + "http://a.example/,\"a,b\"\r\nhttp://b.example/,c\r\n");
    EXPECT_EQ(writer.rowCount(), 2);
    ::close(fd);
}

TEST(RowWriter, AFullDeviceFailsTheFlushAndEveryOneAfter)
{
    const int fd = ::open("/dev/full", O_WRONLY);
    if (fd < 0)
        GTEST_SKIP() << "no /dev/full";
    RowWriter tsv(fd, RowFormat::Tsv, kTwo);
    EXPECT_TRUE(tsv.begin()); // nothing to write yet
    tsv.append(row("http://a.example/", "t"));
    errno = 0;
    EXPECT_FALSE(tsv.flush());
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_FALSE(tsv.flush());
    RowWriter csv(fd, RowFormat::Csv, kTwo);
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
    RowWriter writer(fd, RowFormat::Tsv, kTwo);
    ASSERT_TRUE(writer.begin());
    writer.append(row("http://a.example/", "first page"));
    ASSERT_TRUE(writer.flush());
    const QByteArray firstPage = test::readFile(path);

    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(firstPage.size() + 10);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    writer.append(row("http://b.example/", "second page, cut short"));
    writer.append(row("http://c.example/", "second page"));
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
    const QString path = test::writeFile(dir.filePath(QStringLiteral("out.csv")),
        rowsPreamble(RowFormat::Csv, kTwo) + "http://a.example/,a\r\n");
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    RowWriter writer(fd, RowFormat::Csv, kTwo);
    ASSERT_TRUE(writer.begin());
    writer.append(row("http://b.example/", "b"));
    ASSERT_TRUE(writer.flush());
    EXPECT_EQ(test::readFile(path),
        rowsPreamble(RowFormat::Csv, kTwo) + "http://a.example/,a\r\nhttp://b.example/,b\r\n");
    ::close(fd);
}

} // namespace
