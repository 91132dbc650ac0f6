// The address reader on any line: it stays within the line, its offsets come
// in order, the compared host has no upper case, the registrable domain and
// the public suffix are tails of the compared host at a label's start, and
// siteKey says what reading the line and asking for its domain says.
#include "FuzzCheck.h"

#include "sites/SiteAddress.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <optional>

using namespace tess::sites;

namespace {

// `tail` is the whole of `key`, or what follows one of its dots.
bool isLabelTail(const QByteArray& key, const QByteArray& tail)
{
    return tail == key
        || (key.endsWith(tail) && key.size() > tail.size() && key[key.size() - tail.size() - 1] == '.');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input's bytes: AddressSanitizer sees a read past them.
    const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArrayView view(line.constData(), line.size());
    const std::optional<SiteAddress> address = readSiteAddress(view);
    if (!address) {
        FUZZ_CHECK(siteKey(view).isEmpty());
        return 0;
    }
    const SiteAddress& a = *address;
    FUZZ_CHECK(0 <= a.schemeEnd && a.schemeEnd <= a.hostStart && a.hostStart < a.hostEnd);
    FUZZ_CHECK(a.hostEnd <= a.portEnd && a.portEnd <= a.queryStart && a.queryStart <= view.size());
    FUZZ_CHECK(!a.hostKey.isEmpty());
    for (char c : a.hostKey)
        FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
    const QByteArray domain = registrableDomain(a);
    FUZZ_CHECK(!domain.isEmpty() && isLabelTail(a.hostKey, domain));
    const QByteArray suffix = publicSuffix(a);
    FUZZ_CHECK(suffix.isEmpty() || isLabelTail(domain, suffix));
    FUZZ_CHECK(a.isIp ? (domain == a.hostKey && suffix.isEmpty()) : true);
    FUZZ_CHECK(siteKey(view) == domain);
    const QByteArray written = writtenRegistrableDomain(view, a);
    FUZZ_CHECK(!written.isEmpty());
    return 0;
}
