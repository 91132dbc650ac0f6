// Saving a long run's rows: 100,000 rows with GBK titles of the length
// result pages give, as an xlsx workbook and as CSV, from the rows in
// memory to the file on disk.
#include "harvest/RowFormats.h"
#include "harvest/WorkbookWriter.h"
#include "io/FileReplace.h"
#include "text/Gbk.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimeZone>

#include <benchmark/benchmark.h>

using namespace tess;
using namespace tess::harvest;

namespace {

constexpr int kRows = 100000;

HarvestedRows makeRows()
{
    static const QString titles[] = {
        QStringLiteral("广州服装批发市场_最新款式女装男装童装一手货源"),
        QStringLiteral("2026年冬季新款羽绒服 厂家直销 支持一件代发"),
        QStringLiteral("服装加工厂-专业定制工作服、校服、团体服装"),
        QStringLiteral("【官方网站】品牌女装加盟 零加盟费 全国招商"),
    };
    const QDateTime start(QDate(2026, 12, 8), QTime(22, 30, 5), QTimeZone(8 * 3600));
    HarvestedRows rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        rows.append({ .address = "http://www.site" + QByteArray::number(i % 9973) + ".example.com/list/item"
                + QByteArray::number(i) + ".html?from=search&id=" + QByteArray::number(i * 7),
            .title = text::toGbk(titles[i % 4] + QString::number(i)),
            .keyword = text::toGbk(QStringLiteral("广州 服装 %1").arg(i / 100)),
            .engine = i % 2 ? QStringLiteral("today") : QStringLiteral("360"),
            .page = 1 + (i % 100) / 10,
            .rank = 1 + i % 100,
            .kind = i % 17 == 0 ? RowKind::Ad : RowKind::Result,
            .time = start.addSecs(i) });
    }
    return rows;
}

const HarvestedRows& rows()
{
    static const HarvestedRows all = makeRows();
    return all;
}

void BM_SaveXlsx(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rows.xlsx"));
    rows();
    for (auto _ : state)
        saveWorkbook(path, allRowColumns(), rows());
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SaveXlsx)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveCsv(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rows.csv"));
    rows();
    for (auto _ : state)
        io::replaceFile(path, formatRows(RowFormat::Csv, allRowColumns(), rows()));
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_SaveCsv)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
