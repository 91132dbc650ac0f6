#include "sites/SiteAddress.h"

#include <QHashFunctions>

#include <libpsl.h>

#include <vector>

namespace tess::sites {
namespace {

// The distribution's list (the publicsuffix package) is kept current by its
// updates; the copy built into the library is as old as the library and
// stands in only where the data file is missing or unreadable. Loaded once,
// kept for the life of the program.
const psl_ctx_t* suffixList()
{
    static const psl_ctx_t* const list = [] {
        const psl_ctx_t* latest = psl_latest(nullptr);
        return latest ? latest : psl_builtin();
    }();
    return list;
}

// Where the longest suffix the list names starts in a compared host; -1 for
// none. The list's implicit "*" rule is left out: a host under a suffix
// nobody registered is its own domain, not one label under an invented
// suffix. Labels left of a byte above 0x7f (a host that is not valid UTF-8)
// are never looked up: no rule holds raw bytes.
qsizetype suffixStart(const QByteArray& key)
{
    const psl_ctx_t* list = suffixList();
    if (!list)
        return -1;
    qsizetype start = 0;
    for (qsizetype i = key.size() - 1; i >= 0; --i) {
        if (static_cast<unsigned char>(key[i]) >= 0x80) {
            start = key.indexOf('.', i) + 1;
            if (start == 0)
                return -1;
            break;
        }
    }
    while (true) {
        if (psl_is_public_suffix2(list, key.constData() + start, PSL_TYPE_ANY | PSL_TYPE_NO_STAR_RULE))
            return start;
        const qsizetype dot = key.indexOf('.', start);
        if (dot < 0)
            return -1;
        start = dot + 1;
    }
}

// Address lists name the same hosts over and over, and a lookup in the list
// costs far more than a hash probe: each thread remembers the answers for
// the hosts it saw last, one host a slot, a newer one taking an older one's.
qsizetype knownSuffixStart(const QByteArray& key)
{
    struct Answer {
        QByteArray key;
        qsizetype start = -1;
    };
    constexpr size_t kSlots = 16384;
    thread_local std::vector<Answer> answers(kSlots);
    Answer& slot = answers[qHash(key) % kSlots];
    if (slot.key != key || slot.key.isNull()) {
        // A copy of its own: the key may be raw data of the caller's.
        slot.key = QByteArray(key.constData(), key.size());
        slot.start = suffixStart(key);
    }
    return slot.start;
}

} // namespace

QByteArray registrableDomain(const SiteAddress& address)
{
    const QByteArray& key = address.hostKey;
    if (address.isIp)
        return key;
    const qsizetype start = knownSuffixStart(key);
    if (start <= 0) // no known suffix, or the host is one
        return key;
    return key.sliced(key.lastIndexOf('.', start - 2) + 1);
}

QByteArray publicSuffix(const SiteAddress& address)
{
    if (address.isIp)
        return {};
    const qsizetype start = knownSuffixStart(address.hostKey);
    return start < 0 ? QByteArray() : address.hostKey.sliced(start);
}

} // namespace tess::sites
