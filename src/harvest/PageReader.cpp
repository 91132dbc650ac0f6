#include "harvest/PageReader.h"

#include "text/CaseKey.h"

namespace tess::harvest {
namespace {

// "上一页", "下一页" in GBK.
const QByteArray PreviousPage("\xC9\xCF\xD2\xBB\xD2\xB3");
const QByteArray NextPage("\xCF\xC2\xD2\xBB\xD2\xB3");

} // namespace

bool ReadPagerState(const QByteArray& bodyText)
{
    bool more = false;
    qsizetype start = 0;
    while (start <= bodyText.size()) {
        qsizetype end = start;
        while (end < bodyText.size() && bodyText[end] != '\r' && bodyText[end] != '\n')
            ++end;
        const QByteArrayView line(bodyText.constData() + start, end - start);
        if (line.contains(NextPage) && line.contains('[') && line.contains(']')
            && (line.startsWith(PreviousPage) || line.startsWith('1')))
            more = true;
        if (end >= bodyText.size())
            break;
        // CR LF ends one line; so does a lone CR or LF.
        start = end + 1;
        if (bodyText[end] == '\r' && start < bodyText.size() && bodyText[start] == '\n')
            ++start;
    }
    return more;
}

QByteArray SiteDomain(const QByteArray& location)
{
    const qsizetype slashes = location.indexOf("//");
    QByteArray s = slashes >= 0 ? location.mid(slashes + 2, 255) : location.mid(1, 255);
    const qsizetype slash = s.indexOf('/');
    s = slash >= 0 ? s.left(slash) : QByteArray();
    for (int i = 0; i < 6; ++i) {
        const qsizetype dot = s.indexOf('.');
        if (dot <= 0)
            continue;
        const QByteArray rest = s.mid(dot + 1);
        const qsizetype nextDot = rest.indexOf('.');
        if (nextDot > 0)
            s = rest;
    }
    return s;
}

bool IsOutboundLink(const QByteArray& href, const QByteArray& siteDomain)
{
    return href.startsWith("http://") && (siteDomain.isEmpty() || !href.contains(siteDomain));
}

bool PageLinkList::contains(const QByteArray& address) const
{
    return m_keys.contains(text::caseKey(address));
}

void PageLinkList::add(const QByteArray& address) { m_keys.insert(text::caseKey(address)); }

} // namespace tess::harvest
