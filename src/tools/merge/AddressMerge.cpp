#include "tools/merge/AddressMerge.h"

#include "text/TextFile.h"
#include "tools/merge/DistinctSort.h"
#include "tools/merge/HugePages.h"
#include "tools/merge/LineCollation.h"

#include <QFileInfo>

namespace tess::tools {

QByteArray joinSources(const QStringList& sources, text::ReadOptions options)
{
    // One buffer for all sources: the sort needs the joined text anyway, and
    // a copy per source would double the largest file in memory.
    qsizetype expected = 0;
    for (const QString& path : sources)
        expected += QFileInfo(path).size();
    // Room to spare, so the read that finds the end needs no larger buffer:
    // growing it would copy everything read so far.
    QByteArray joined;
    joined.reserve(expected + text::FileReader::DefaultSlack);
    adviseHugePages(joined.data(), static_cast<size_t>(joined.capacity()));

    for (const QString& path : sources)
        text::FileReader(path, text::ReadFailure::Stream, options).readAllInto(joined);
    return joined;
}

qsizetype mergeFiles(const QStringList& sources, const QString& target, const LineCollation& order,
    text::ReadOptions sourceOptions)
{
    DistinctLines merged;
    {
        const QByteArray joined = joinSources(sources, sourceOptions);
        merged = sortDistinct(joined, order);
    }
    text::replaceFile(target, merged.content);
    return merged.count;
}

qsizetype mergeFiles(const QStringList& sources, const QString& target, const MergeReport& report,
    text::ReadOptions sourceOptions)
{
    if (report.working)
        report.working(QStringLiteral("数据正处理中..."));
    const LineCollation order(LineCollation::localeFromEnvironment());
    const qsizetype count = mergeFiles(sources, target, order, sourceOptions);
    if (report.finished)
        report.finished(QStringLiteral("文件合并整理完毕！共计：%1").arg(count));
    return count;
}

} // namespace tess::tools
