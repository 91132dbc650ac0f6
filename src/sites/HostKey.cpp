#include "sites/HostKey.h"

#include "text/Gbk.h"

#include <unicode/uidna.h>

#include <QVarLengthArray>

#include <arpa/inet.h>

namespace tess::sites::detail {
namespace {

QByteArray asciiLower(QByteArrayView host)
{
    QByteArray key(host.size(), Qt::Uninitialized);
    char* out = key.data();
    for (char c : host)
        *out++ = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
    return key;
}

// One UTS #46 converter for every thread: ICU's are immutable once open.
const UIDNA* idnConverter()
{
    static const UIDNA* const converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        UIDNA* idna = uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII, &status);
        return U_SUCCESS(status) ? idna : nullptr;
    }();
    return converter;
}

// Browsers leave hyphens and lengths alone (no CheckHyphens, no DNS length
// check), and so do we: a host they open is a host here.
constexpr uint32_t kIgnoredIdnErrors = UIDNA_ERROR_HYPHEN_3_4 | UIDNA_ERROR_LEADING_HYPHEN
    | UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_LABEL_TOO_LONG | UIDNA_ERROR_DOMAIN_NAME_TOO_LONG;

bool isDottedName(QByteArrayView name)
{
    return !name.isEmpty() && !name.startsWith('.') && !name.endsWith('.') && !name.contains("..");
}

// The ASCII form of a UTF-8 host; nothing when UTS #46 turns it down.
std::optional<QByteArray> idnKey(QByteArrayView host)
{
    const UIDNA* idna = idnConverter();
    if (!idna || host.size() > 1024)
        return std::nullopt;
    QVarLengthArray<char, 256> out(256);
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = uidna_nameToASCII_UTF8(idna, host.data(), static_cast<int32_t>(host.size()), out.data(),
        static_cast<int32_t>(out.size()), &info, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(length);
        info = UIDNA_INFO_INITIALIZER;
        status = U_ZERO_ERROR;
        length = uidna_nameToASCII_UTF8(idna, host.data(), static_cast<int32_t>(host.size()), out.data(),
            static_cast<int32_t>(out.size()), &info, &status);
    }
    if (U_FAILURE(status) || (info.errors & ~kIgnoredIdnErrors) != 0)
        return std::nullopt;
    QByteArrayView key(out.data(), length);
    // "例子。" maps to a name with a trailing dot, which the compared form drops.
    if (key.endsWith('.'))
        key.chop(1);
    if (!isDottedName(key) || !text::isAscii(key))
        return std::nullopt;
    return asciiLower(key);
}

} // namespace

std::optional<QByteArray> ipv4Key(QByteArrayView host)
{
    QByteArray key;
    qsizetype start = 0;
    for (int part = 0; part < 4; ++part) {
        qsizetype end = start;
        int value = 0;
        while (end < host.size() && host[end] >= '0' && host[end] <= '9' && end - start < 3)
            value = value * 10 + (host[end++] - '0');
        if (end == start || value > 255)
            return std::nullopt;
        const bool last = part == 3;
        if (last ? end != host.size() : (end == host.size() || host[end] != '.'))
            return std::nullopt;
        if (!last)
            key.append(QByteArray::number(value)).append('.');
        else
            key.append(QByteArray::number(value));
        start = end + 1;
    }
    return key;
}

std::optional<QByteArray> ipv6Key(QByteArrayView inside)
{
    char text[INET6_ADDRSTRLEN];
    if (inside.size() >= static_cast<qsizetype>(sizeof text))
        return std::nullopt;
    std::copy(inside.begin(), inside.end(), text);
    text[inside.size()] = '\0';
    in6_addr address;
    if (inet_pton(AF_INET6, text, &address) != 1 || !inet_ntop(AF_INET6, &address, text, sizeof text))
        return std::nullopt;
    return QByteArray(text);
}

QByteArray nameKey(QByteArrayView host)
{
    if (!text::isAscii(host) && host.isValidUtf8()) {
        if (std::optional<QByteArray> key = idnKey(host))
            return std::move(*key);
    }
    return asciiLower(host);
}

} // namespace tess::sites::detail
