#include "harvest/WorkbookWriter.h"
#include "support/Files.h"
#include "support/Python.h"
#include "text/Errors.h"
#include "text/Gbk.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace tess;
using namespace tess::harvest;

namespace {

// What openpyxl, a reader of its own, finds in the workbook: the sheet's
// cells, links, frozen pane, filter, widths and the time cell's type.
const QString kReadBack = QStringLiteral(
    "import json, sys, openpyxl, datetime\n"
    "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
    "rows = []\n"
    "for row in ws.iter_rows():\n"
    "    cells = []\n"
    "    for c in row:\n"
    "        v = c.value\n"
    "        if isinstance(v, datetime.datetime): v = 'datetime:' + v.isoformat()\n"
    "        cells.append({'v': v, 'link': c.hyperlink.target if c.hyperlink else None,\n"
    "                      'format': c.number_format})\n"
    "    rows.append(cells)\n"
    "widths = {k: d.width for k, d in ws.column_dimensions.items()}\n"
    "print(json.dumps({'sheets': len(ws.parent.worksheets), 'rows': rows, 'freeze': ws.freeze_panes,\n"
    "                  'filter': ws.auto_filter.ref, 'widths': widths}))\n");

QJsonObject readBack(const QString& path)
{
    QByteArray error;
    const auto out = test::runPython(kReadBack, { path }, &error);
    EXPECT_TRUE(out) << error.toStdString();
    return out ? QJsonDocument::fromJson(*out).object() : QJsonObject();
}

HarvestedRow row(int i)
{
    return { .address = "http://site" + QByteArray::number(i) + ".example/p?a=1&b=2",
        .title = text::toGbk(QStringLiteral("广州服装批发 第%1条").arg(i)),
        .keyword = text::toGbk(u"服装"),
        .engine = QStringLiteral("today"),
        .page = 1 + i / 10,
        .rank = i + 1,
        .kind = RowKind::Result,
        .time = QDateTime(QDate(2026, 12, 8), QTime(22, 30, 5), QTimeZone(8 * 3600)) };
}

TEST(WorkbookWriter, ASpreadsheetReaderFindsValuesLinksDatesAndTheFrozenFilteredHeader)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rows.xlsx"));
    HarvestedRow bare { .address = "ftp://files.example/x", .title = "=1+2", .kind = RowKind::Ad };
    HarvestedRow longLink = row(2);
    longLink.address = "http://long.example/" + QByteArray(2100, 'a');
    saveWorkbook(path, allRowColumns(), { row(0), bare, longLink });

    const QJsonObject book = readBack(path);
    EXPECT_EQ(book[QStringLiteral("sheets")].toInt(), 1);
    EXPECT_EQ(book[QStringLiteral("freeze")].toString(), QStringLiteral("A2"));
    EXPECT_EQ(book[QStringLiteral("filter")].toString(), QStringLiteral("A1:H4"));
    const QJsonArray rows = book[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 4);
    QStringList header;
    for (const QJsonValue& c : rows[0].toArray())
        header << c[QStringLiteral("v")].toString();
    EXPECT_EQ(header.join(u','), QStringLiteral("keyword,engine,page,rank,kind,address,title,time"));

    const QJsonArray first = rows[1].toArray();
    EXPECT_EQ(first[0][QStringLiteral("v")].toString(), QStringLiteral("服装"));
    EXPECT_EQ(first[1][QStringLiteral("v")].toString(), QStringLiteral("today"));
    EXPECT_EQ(first[2][QStringLiteral("v")].toDouble(), 1.0);
    EXPECT_EQ(first[3][QStringLiteral("v")].toDouble(), 1.0);
    EXPECT_EQ(first[4][QStringLiteral("v")].toString(), QStringLiteral("result"));
    EXPECT_EQ(first[5][QStringLiteral("v")].toString(), QStringLiteral("http://site0.example/p?a=1&b=2"));
    EXPECT_EQ(first[5][QStringLiteral("link")].toString(), QStringLiteral("http://site0.example/p?a=1&b=2"));
    EXPECT_EQ(first[6][QStringLiteral("v")].toString(), QStringLiteral("广州服装批发 第0条"));
    // The wall-clock time of the row's own offset, as a date cell.
    EXPECT_EQ(first[7][QStringLiteral("v")].toString(), QStringLiteral("datetime:2026-12-08T22:30:05"));
    EXPECT_EQ(first[7][QStringLiteral("format")].toString(), QStringLiteral("yyyy-mm-dd hh:mm:ss"));

    const QJsonArray second = rows[2].toArray();
    EXPECT_TRUE(second[2][QStringLiteral("v")].isNull()); // page not known
    EXPECT_EQ(second[4][QStringLiteral("v")].toString(), QStringLiteral("ad"));
    EXPECT_TRUE(second[5][QStringLiteral("link")].isNull()); // no web address
    EXPECT_EQ(second[6][QStringLiteral("v")].toString(), QStringLiteral("=1+2")); // text, not a formula
    EXPECT_TRUE(second[7][QStringLiteral("v")].isNull());
    // Longer than a link may be: plain text.
    EXPECT_TRUE(rows[3].toArray()[5][QStringLiteral("link")].isNull());
    EXPECT_EQ(rows[3].toArray()[5][QStringLiteral("v")].toString().size(), 2120);

    // Fitted widths: the CJK title wider than the kind, the long address capped.
    const QJsonObject widths = book[QStringLiteral("widths")].toObject();
    EXPECT_GT(widths[QStringLiteral("G")].toDouble(), widths[QStringLiteral("E")].toDouble());
    EXPECT_GE(widths[QStringLiteral("G")].toDouble(), 18.0); // 广州服装批发 第0条: 18 places
    EXPECT_LE(widths[QStringLiteral("F")].toDouble(), 81.0);
}

TEST(WorkbookWriter, ChosenColumnsOnlyAndNoTemporaryFileLeft)
{
    QTemporaryDir dir;
    const QString path = test::writeFile(dir.filePath(QStringLiteral("rows.xlsx")), "old");
    saveWorkbook(path, { RowColumn::Address, RowColumn::Title }, { row(0) });
    const QJsonArray rows = readBack(path)[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toArray().size(), 2);
    EXPECT_EQ(rows[1].toArray()[0][QStringLiteral("link")].toString(),
        QStringLiteral("http://site0.example/p?a=1&b=2"));
    EXPECT_EQ(
        QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("rows.xlsx") });
}

TEST(WorkbookWriter, AFailureLeavesTheOldFileAndSaysWhy)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/rows.xlsx"));
    EXPECT_THROW(saveWorkbook(missing, allRowColumns(), { row(0) }), text::AppError);
    EXPECT_FALSE(QFile::exists(missing));
}

// Excel calls a sheet with more links damaged: the rest are plain text.
TEST(WorkbookWriter, LinksStopAtWhatASheetHolds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("many.xlsx"));
    HarvestedRows rows;
    for (int i = 0; i < 65532; ++i)
        rows.append({ .address = "http://s" + QByteArray::number(i) + ".example/", .title = "t" });
    saveWorkbook(path, { RowColumn::Address }, rows);
    QByteArray error;
    // Counted in the sheet's XML: loading this many links in openpyxl takes minutes.
    const auto out = test::runPython(
        QStringLiteral("import sys, zipfile, re\n"
                       "xml = zipfile.ZipFile(sys.argv[1]).read('xl/worksheets/sheet1.xml').decode()\n"
                       "links = re.findall(r'<hyperlink ref=\"([A-Z]+[0-9]+)\"', xml)\n"
                       "print(len(links), links[-1], xml.count('<row '))\n"),
        { path }, &error);
    ASSERT_TRUE(out) << error.toStdString();
    EXPECT_EQ(out->trimmed(), "65530 A65531 65533");
}

} // namespace
