#include "sites/AddressReader.h"
#include "sites/HostKey.h"

#include <cstring>

namespace tess::sites {
namespace detail {
namespace {

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A scheme is a letter, then letters, digits, "+", "-" or "."; without its
// "://" the line has none ("mailto:" names no host through it).
qsizetype schemeEnd(QByteArrayView line)
{
    if (line.isEmpty() || !isLetter(line[0]))
        return 0;
    qsizetype i = 1;
    while (i < line.size()
        && (isLetter(line[i]) || isDigit(line[i]) || line[i] == '+' || line[i] == '-' || line[i] == '.'))
        ++i;
    return line.sliced(i).startsWith("://") ? i + 3 : 0;
}

// Blanks and control bytes end the address itself: lists carry notes after
// an address, and a stray CR must not join the host.
bool endsAuthority(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return c == '/' || c == '?' || c == '#' || byte <= 0x20 || byte == 0x7f;
}

// Bytes above 0x7f are let through for IDNs, in UTF-8 or not.
bool isHostByte(char c)
{
    return isLetter(c) || isDigit(c) || c == '-' || c == '_' || c == '.'
        || static_cast<unsigned char>(c) >= 0x80;
}

// A host name without its trailing dot: host bytes in labels none of which
// is empty.
bool isName(QByteArrayView name)
{
    char previous = '.';
    for (char c : name) {
        if (!isHostByte(c) || (c == '.' && previous == '.'))
            return false;
        previous = c;
    }
    return previous != '.';
}

bool readBracketedHost(QByteArrayView authority, SiteAddress& address)
{
    const qsizetype start = address.hostStart;
    const qsizetype close = authority.indexOf(']', start);
    if (close < 0)
        return false;
    std::optional<QByteArray> key = ipv6Key(authority.sliced(start + 1, close - start - 1));
    if (!key)
        return false;
    address.hostEnd = close + 1;
    address.isIp = true;
    address.hostKey = std::move(*key);
    return true;
}

bool readHost(QByteArrayView authority, SiteAddress& address)
{
    const qsizetype start = address.hostStart;
    if (start < authority.size() && authority[start] == '[')
        return readBracketedHost(authority, address);
    const qsizetype colon = authority.indexOf(':', start);
    address.hostEnd = colon < 0 ? authority.size() : colon;
    QByteArrayView host = authority.sliced(start, address.hostEnd - start);
    if (host.endsWith('.'))
        host.chop(1);
    if (!isName(host))
        return false;
    if (std::optional<QByteArray> ip = ipv4Key(host)) {
        address.isIp = true;
        address.hostKey = std::move(*ip);
    } else {
        address.hostKey = nameKey(host);
    }
    return true;
}

// Digits only, or none ("host:" is a host with an empty port).
bool readPort(QByteArrayView authority, SiteAddress& address)
{
    address.portEnd = address.hostEnd;
    if (address.hostEnd == authority.size())
        return true;
    if (authority[address.hostEnd] != ':')
        return false;
    for (qsizetype i = address.hostEnd + 1; i < authority.size(); ++i)
        if (!isDigit(authority[i]))
            return false;
    address.portEnd = authority.size();
    return true;
}

// The first "?" or "#" from `from`, else the line's size. The rest of a
// line is most of it: the library's search goes many bytes a step.
qsizetype queryStart(QByteArrayView line, qsizetype from)
{
    const char* begin = line.data() + from;
    const size_t size = size_t(line.size() - from);
    const char* query = static_cast<const char*>(std::memchr(begin, '?', size));
    const size_t before = query ? size_t(query - begin) : size;
    const char* fragment = static_cast<const char*>(std::memchr(begin, '#', before));
    const char* found = fragment ? fragment : query;
    return found ? from + (found - begin) : line.size();
}

} // namespace

std::optional<SiteAddress> readAddress(QByteArrayView line, bool bareNames)
{
    SiteAddress address;
    address.schemeEnd = schemeEnd(line);
    // The user info's "@" found on the way: one pass over the authority.
    qsizetype end = address.schemeEnd;
    qsizetype at = -1;
    for (; end < line.size() && !endsAuthority(line[end]); ++end) {
        if (line[end] == '@')
            at = end;
    }
    const QByteArrayView authority = line.first(end);
    address.hostStart = at >= 0 ? at + 1 : address.schemeEnd;
    if (!readHost(authority, address) || !readPort(authority, address))
        return std::nullopt;
    // Without a scheme a lone name is a word of text, not a host.
    if (!bareNames && address.schemeEnd == 0 && !address.isIp && !address.hostKey.contains('.'))
        return std::nullopt;
    address.queryStart = queryStart(line, address.portEnd);
    return address;
}

} // namespace detail

std::optional<SiteAddress> readSiteAddress(QByteArrayView line) { return detail::readAddress(line, false); }

QByteArray writtenRegistrableDomain(QByteArrayView line, const SiteAddress& address)
{
    QByteArrayView written = line.sliced(address.hostStart, address.hostEnd - address.hostStart);
    if (written.startsWith('['))
        return written.sliced(1, written.size() - 2).toByteArray();
    if (written.endsWith('.'))
        written.chop(1);
    if (address.isIp)
        return written.toByteArray();
    const QByteArray domain = registrableDomain(address);
    // An IDN whose dots were not ASCII ones ("。") has labels the written
    // host cannot be cut at.
    if (written.count('.') != address.hostKey.count('.'))
        return domain;
    const qsizetype labels = domain.count('.') + 1;
    qsizetype start = written.size();
    for (qsizetype n = 0; n < labels && start > 0; ++n)
        start = written.first(start - 1).lastIndexOf('.') + 1;
    return written.sliced(start).toByteArray();
}

QByteArray siteKey(QByteArrayView line)
{
    const std::optional<SiteAddress> address = readSiteAddress(line);
    return address ? registrableDomain(*address) : QByteArray();
}

} // namespace tess::sites
