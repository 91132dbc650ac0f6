#pragma once

#include <QByteArray>
#include <QSet>

namespace tess::harvest {

// The pager test: true when the page offers a further result page. The
// engine's pager line lists the page numbers, all but the current one in
// square brackets, begins with "上一页" on every page but the first (where
// it begins with "1") and ends with "下一页" while another page exists.
// Works on the body text's GBK bytes, line by line.
bool ReadPagerState(const QByteArray& bodyText);

// The part of the page's host that marks the engine's own links: leading
// labels are dropped while at least two would remain, at most six times
// (a.b.c gives b.c, a.b.c.d gives c.d). A page address without a "/" after
// its host gives "".
QByteArray SiteDomain(const QByteArray& location);

// Whether a link is an outbound web link worth taking: it begins with
// "http://" exactly and does not contain the engine's own domain.
bool IsOutboundLink(const QByteArray& href, const QByteArray& siteDomain);

// Addresses already taken, compared without regard to letter case.
class PageLinkList final {
public:
    bool contains(const QByteArray& address) const;
    void add(const QByteArray& address);
    void clear() { m_keys.clear(); }
    qsizetype size() const { return m_keys.size(); }

private:
    QSet<QByteArray> m_keys;
};

} // namespace tess::harvest
