#include "sites/AddressReader.h"
#include "sites/SiteAddress.h"

#include "io/FileReader.h"

namespace tess::sites {

SiteList SiteList::load(const QString& path) { return fromLines(io::readWholeFile(path)); }

SiteList SiteList::fromLines(QByteArrayView text)
{
    SiteList list;
    QByteArrayView rest = text;
    if (rest.startsWith("\xEF\xBB\xBF")) // a UTF-8 file saved with a byte order mark
        rest = rest.sliced(3);
    while (!rest.isEmpty()) {
        const qsizetype lf = rest.indexOf('\n');
        const QByteArrayView line = (lf < 0 ? rest : rest.first(lf)).trimmed();
        rest = lf < 0 ? QByteArrayView() : rest.sliced(lf + 1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (std::optional<SiteAddress> address = detail::readAddress(line, true))
            (address->isIp ? list.m_addresses : list.m_hosts).insert(std::move(address->hostKey));
    }
    return list;
}

bool SiteList::isEmpty() const { return m_hosts.isEmpty() && m_addresses.isEmpty(); }

qsizetype SiteList::size() const { return m_hosts.size() + m_addresses.size(); }

bool SiteList::matches(QByteArrayView line) const
{
    if (isEmpty())
        return false;
    const std::optional<SiteAddress> address = readSiteAddress(line.trimmed());
    if (!address)
        return false;
    const QByteArray& key = address->hostKey;
    if (address->isIp)
        return m_addresses.contains(key);
    // The host, then each domain above it, without copying the key.
    for (qsizetype start = 0;;) {
        if (m_hosts.contains(QByteArray::fromRawData(key.constData() + start, key.size() - start)))
            return true;
        const qsizetype dot = key.indexOf('.', start);
        if (dot < 0)
            return false;
        start = dot + 1;
    }
}

} // namespace tess::sites
