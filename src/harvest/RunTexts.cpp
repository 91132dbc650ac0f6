#include "harvest/RunTexts.h"

#include <QStringList>

namespace tess::harvest {
namespace {

QString pageGivenUpText(int keyword, const QString& why)
{
    return QStringLiteral("第 %1 个关键字的网页未能读取（%2），转到下一个关键字").arg(keyword).arg(why);
}

// "搜索已经结束！", followed by what was left out, if anything was.
QString finishedText(const RunCounts& counts)
{
    QString finished = QStringLiteral("搜索已经结束！");
    QStringList notes;
    if (counts.failedPages > 0 || counts.skippedKeywords > 0)
        notes << QStringLiteral("%1 页未能载入，%2 个关键字过长被跳过")
                     .arg(counts.failedPages)
                     .arg(counts.skippedKeywords);
    if (counts.blankKeywords > 0)
        notes << QStringLiteral("%1 个空白关键字被跳过").arg(counts.blankKeywords);
    if (counts.unresolvedLinks > 0)
        notes << QStringLiteral("%1 个跳转链接未能解析").arg(counts.unresolvedLinks);
    if (counts.excludedRows > 0)
        notes << QStringLiteral("%1 个网址在排除列表中").arg(counts.excludedRows);
    if (!notes.isEmpty())
        finished += QStringLiteral("（%1）").arg(notes.join(QStringLiteral("，")));
    return finished;
}

// Each engine's rows and failed pages, for a run that asked several.
QString enginesText(const QList<EngineTally>& engines)
{
    QStringList parts;
    for (const EngineTally& e : engines) {
        QString part = QStringLiteral("%1 %2 条").arg(e.label).arg(e.harvested);
        if (e.failedPages > 0)
            part += QStringLiteral("、%1 页未能载入").arg(e.failedPages);
        if (e.dropped)
            part += QStringLiteral("（自第 %1 个关键字起已跳过）").arg(e.droppedAtKeyword + 1);
        parts << part;
    }
    return QStringLiteral("各引擎：%1").arg(parts.join(QStringLiteral("；")));
}

QString skippedText(const RunNotice& notice)
{
    if (notice.count == 0)
        return QStringLiteral("已跳过%1，没有其余引擎，搜索结束").arg(notice.detail);
    return QStringLiteral("已跳过%1，本次搜索不再使用它，其余 %2 个引擎继续")
        .arg(notice.detail)
        .arg(notice.count);
}

} // namespace

QString runNoticeText(const RunNotice& notice)
{
    switch (notice.kind) {
    case RunNoticeKind::ClearingBrowserData:
        return QStringLiteral("清空IE数据...");
    case RunNoticeKind::Searching:
        return QStringLiteral("正在搜索...");
    case RunNoticeKind::KeywordTooLong:
        return QStringLiteral("第 %1 个关键字过长，已跳过").arg(notice.keyword);
    case RunNoticeKind::PageReload:
        return QStringLiteral("网页未能按时载入，第 %1 次重新请求").arg(notice.count);
    case RunNoticeKind::PageFailed:
        return pageGivenUpText(notice.keyword, notice.detail);
    case RunNoticeKind::PageElsewhere:
        return pageGivenUpText(notice.keyword, QStringLiteral("网页已转到别的网站：%1").arg(notice.detail));
    case RunNoticeKind::PageNotLoaded:
        return pageGivenUpText(notice.keyword, QStringLiteral("%1 次请求都未能载入").arg(notice.count));
    case RunNoticeKind::VerificationNeeded:
        if (notice.severalEngines)
            return QStringLiteral("%1要求验证：请在下方浏览器中完成验证，完成后自动继续；或按“跳过此引擎”")
                .arg(notice.detail);
        return QStringLiteral("请在下方浏览器中完成验证，完成后自动继续");
    case RunNoticeKind::EngineSkipped:
        return skippedText(notice);
    case RunNoticeKind::TooManyRedirects:
        return QStringLiteral("本页跳转链接过多，只解析前 %1 个").arg(notice.count);
    case RunNoticeKind::Stopping:
        return QStringLiteral("终止搜索...");
    case RunNoticeKind::Finished:
        if (notice.severalEngines)
            return finishedText(notice.counts) + enginesText(notice.counts.engines);
        return finishedText(notice.counts);
    case RunNoticeKind::BrowserNote:
        return notice.detail;
    }
    return {};
}

} // namespace tess::harvest
