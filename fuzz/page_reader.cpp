// The results page reader's byte tests on any bytes: the pager test, the
// engine's own domain taken from the page address, and the outbound-link
// test that uses it. The input is the page address, a link and the page's
// body text, separated by 0xFF bytes (a byte GBK text never holds); parts
// not given are empty.
#include "FuzzCheck.h"

#include "harvest/PageReader.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

using namespace tess;

namespace {

// "上一页" and "下一页" in GBK.
const QByteArray kPreviousPage("\xC9\xCF\xD2\xBB\xD2\xB3");
const QByteArray kNextPage("\xCF\xC2\xD2\xBB\xD2\xB3");

// The pager test said another way: CR LF, a lone CR and a lone LF each end
// a line; a line offers a further page when it holds "下一页" and both
// square brackets and begins with "上一页" or "1".
bool referencePager(QByteArray body)
{
    body.replace("\r\n", "\n");
    body.replace('\r', '\n');
    for (const QByteArray& line : body.split('\n'))
        if (line.contains(kNextPage) && line.contains('[') && line.contains(']')
            && (line.startsWith(kPreviousPage) || line.startsWith('1')))
            return true;
    return false;
}

// The host part of a page address as siteDomain() reads it: from after the
// first "//" (from the second byte without one), at most 255 bytes, up to
// the first "/"; no "/" there, no host.
QByteArray hostPart(const QByteArray& location)
{
    const qsizetype slashes = location.indexOf("//");
    const QByteArray s = slashes >= 0 ? location.mid(slashes + 2, 255) : location.mid(1, 255);
    const qsizetype slash = s.indexOf('/');
    return slash >= 0 ? s.left(slash) : QByteArray();
}

// siteDomain() said another way, label by label: the first label goes
// while it and the next are not empty and a third follows, six times at
// most.
QByteArray referenceDomain(const QByteArray& location)
{
    QList<QByteArray> labels = hostPart(location).split('.');
    for (int i = 0; i < 6 && labels.size() >= 3 && !labels[0].isEmpty() && !labels[1].isEmpty(); ++i)
        labels.removeFirst();
    return labels.join('.');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> parts = input.split('\xFF');
    const QByteArray location = parts.value(0);
    const QByteArray href = parts.value(1);
    const QByteArray body = parts.mid(2).join('\xFF');

    const bool more = harvest::readPagerState(body);
    FUZZ_CHECK(more == referencePager(body));
    if (more)
        FUZZ_CHECK(body.contains(kNextPage) && body.contains('[') && body.contains(']'));

    const QByteArray domain = harvest::siteDomain(location);
    const QByteArray host = hostPart(location);
    // Labels dropped from the front of the host, never anything else.
    FUZZ_CHECK(host.endsWith(domain));
    FUZZ_CHECK(domain.isEmpty() == host.isEmpty());
    FUZZ_CHECK(domain.isEmpty() || domain == host || host.endsWith('.' + domain));
    FUZZ_CHECK(host.count('.') - domain.count('.') <= 6);
    FUZZ_CHECK(domain == referenceDomain(location));

    const bool outbound = harvest::isOutboundLink(href, domain);
    FUZZ_CHECK(outbound == (href.startsWith("http://") && (domain.isEmpty() || !href.contains(domain))));
    // The engine's own page is never a link out of it.
    if (!domain.isEmpty())
        FUZZ_CHECK(!harvest::isOutboundLink(location, domain));
    return 0;
}
