#include "tools/list/LineSteps.h"

#include "text/Gbk.h"
#include "tools/merge/LineCollation.h"

#include <QUrl>

#include <algorithm>
#include <cstring>

namespace tess::tools {

namespace {

// Hosts are short: a loop of its own beats a call into the library.
qsizetype dotsIn(QByteArrayView name)
{
    qsizetype dots = 0;
    for (const char c : name)
        dots += c == '.' ? 1 : 0;
    return dots;
}

// sites::writtenRegistrableDomain() with the domain known already: the
// domain's labels as the line writes them, in the line or in `domain`.
QByteArrayView writtenDomain(QByteArrayView line, const sites::SiteAddress& site, const QByteArray& domain)
{
    QByteArrayView written = line.sliced(site.hostStart, site.hostEnd - site.hostStart);
    if (written.endsWith('.'))
        written.chop(1);
    // An IP address is its own domain; an IPv6 one keeps its brackets, or
    // the trimmed line would name no host.
    if (site.isIp)
        return written;
    if (dotsIn(written) != dotsIn(site.hostKey))
        return domain;
    // As many labels from the right as the domain has.
    qsizetype start = written.size();
    for (qsizetype dots = dotsIn(domain) + 1; start > 0; --start) {
        if (written[start - 1] == '.' && --dots == 0)
            break;
    }
    return written.sliced(start);
}

} // namespace

const QByteArray& ListLine::domain()
{
    if (m_domain.isEmpty() && site()) {
        // Copied into the buffer the last line's domain had: no allocation
        // a line.
        const QByteArrayView domain
            = QByteArrayView(m_site->hostKey).sliced(sites::registrableDomainStart(*m_site));
        m_domain.resize(domain.size());
        std::memcpy(m_domain.data(), domain.data(), size_t(domain.size()));
    }
    return m_domain;
}

QByteArrayView trimmedLine(ListLine& line, TrimTo to, QByteArray& buffer)
{
    const std::optional<sites::SiteAddress>& site = line.site();
    const QByteArrayView text = line.text();
    if (!site)
        return text;
    if (to == TrimTo::Path)
        return text.first(site->queryStart);
    buffer.resize(0);
    buffer.append(text.data(), site->schemeEnd);
    if (to == TrimTo::Root)
        buffer.append(writtenDomain(text, *site, line.domain()));
    else
        buffer.append(text.data() + site->hostStart, site->portEnd - site->hostStart);
    buffer.append('/');
    return buffer;
}

bool TrimStep::next(ListLine& line)
{
    if (!m_upstream.next(line))
        return false;
    const QByteArrayView trimmed = trimmedLine(line, m_to, m_buffer);
    if (trimmed.data() != line.text().data() || trimmed.size() != line.text().size())
        line.setTextOfSameSite(trimmed);
    return true;
}

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

bool isLead(uchar c) { return c >= 0x81 && c <= 0xFE; }
bool isTrail(uchar c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

} // namespace

WordFinder::WordFinder(const QByteArrayList& words)
{
    for (const QByteArray& word : words) {
        if (!word.isEmpty())
            m_words.append(word.toLower());
    }
}

bool WordFinder::foundIn(QByteArrayView line) const
{
    // The line folded where it has single-byte characters, and where each
    // character starts: a trail byte is no letter and no place to start.
    m_folded.resize(line.size());
    m_starts.assign(size_t(line.size()) + 1, false);
    for (qsizetype i = 0; i < line.size();) {
        m_starts[size_t(i)] = true;
        const uchar c = uchar(line[i]);
        if (isLead(c) && i + 1 < line.size() && isTrail(uchar(line[i + 1]))) {
            m_folded[i] = line[i];
            m_folded[i + 1] = line[i + 1];
            i += 2;
        } else {
            m_folded[i] = lower(line[i]);
            ++i;
        }
    }
    m_starts[size_t(line.size())] = true;
    const QByteArrayView folded(m_folded);
    for (const QByteArray& word : m_words) {
        for (qsizetype from = 0;;) {
            const qsizetype at = folded.indexOf(word, from);
            if (at < 0)
                break;
            if (m_starts[size_t(at)] && m_starts[size_t(at + word.size())])
                return true;
            from = at + 1;
        }
    }
    return false;
}

QByteArray lineKey(ListLine& line, LineKey kind)
{
    if (kind == LineKey::Address)
        return LineCollation::caseKey(line.text());
    const std::optional<sites::SiteAddress>& site = line.site();
    if (!site)
        return {};
    switch (kind) {
    case LineKey::Host:
        return site->hostKey;
    case LineKey::Domain:
        return line.domain();
    default:
        return sites::publicSuffix(*site);
    }
}

QSet<QByteArray> suffixSet(const QString& list)
{
    QSet<QByteArray> suffixes;
    for (QString suffix : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        suffix = suffix.trimmed().toLower();
        while (suffix.startsWith(QLatin1Char('.')))
            suffix.remove(0, 1);
        while (suffix.endsWith(QLatin1Char('.')))
            suffix.chop(1);
        // A suffix in Unicode is compared as the host's is, in punycode.
        const QByteArray ace = QUrl::toAce(suffix);
        suffixes.insert(ace.isEmpty() ? suffix.toUtf8() : ace);
    }
    return suffixes;
}

} // namespace tess::tools
