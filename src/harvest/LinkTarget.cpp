#include "harvest/LinkTarget.h"

#include "harvest/PageReader.h"

namespace tess::harvest {
namespace {

// Where the host part of an absolute address ends: at its path, query or
// fragment, or the address's end. -1 when the address is not absolute.
qsizetype hostEnd(const QByteArray& address)
{
    const qsizetype slashes = address.indexOf("//");
    const qsizetype colon = address.indexOf(':');
    if (slashes < 0 || colon < 0 || colon + 1 != slashes)
        return -1;
    qsizetype end = slashes + 2;
    while (end < address.size() && address[end] != '/' && address[end] != '?' && address[end] != '#')
        ++end;
    return end;
}

// The query of an absolute address, without "?" and the fragment.
QByteArrayView queryOf(const QByteArray& address)
{
    const qsizetype start = hostEnd(address);
    if (start < 0)
        return {};
    const qsizetype question = address.indexOf('?', start);
    const qsizetype hash = address.indexOf('#', start);
    if (question < 0 || (hash >= 0 && hash < question))
        return {};
    const qsizetype end = hash < 0 ? address.size() : hash;
    return QByteArrayView(address).sliced(question + 1, end - question - 1);
}

int base64UrlDigit(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '-')
        return 62;
    if (c == '_')
        return 63;
    return -1;
}

} // namespace

QByteArray pathOf(const QByteArray& address)
{
    const qsizetype start = hostEnd(address);
    if (start < 0 || start >= address.size() || address[start] != '/')
        return {};
    qsizetype end = start;
    while (end < address.size() && address[end] != '?' && address[end] != '#')
        ++end;
    return address.mid(start, end - start);
}

std::optional<QByteArray> queryValue(const QByteArray& address, const QByteArray& key)
{
    const QByteArrayView query = queryOf(address);
    qsizetype start = 0;
    while (start <= query.size() && !query.isEmpty()) {
        qsizetype end = query.indexOf('&', start);
        if (end < 0)
            end = query.size();
        const QByteArrayView pair = query.sliced(start, end - start);
        if (pair.size() > key.size() && pair.startsWith(key) && pair[key.size()] == '=')
            return pair.sliced(key.size() + 1).toByteArray();
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<QByteArray> decodeBase64Url(QByteArrayView encoded)
{
    // Padding only at the end, and only as much as makes whole groups.
    qsizetype length = encoded.size();
    while (length > 0 && encoded[length - 1] == '=')
        --length;
    const qsizetype padding = encoded.size() - length;
    if (length % 4 == 1 || (padding > 0 && (encoded.size() % 4 != 0 || padding > 2)))
        return std::nullopt;
    QByteArray out;
    out.reserve(length * 3 / 4);
    quint32 bits = 0;
    int held = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const int digit = base64UrlDigit(encoded[i]);
        if (digit < 0)
            return std::nullopt;
        bits = (bits << 6) | quint32(digit);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out.append(char((bits >> held) & 0xFF));
        }
    }
    return out;
}

std::optional<QByteArray> decodeTargetValue(
    const RuleSet::TargetParameter& parameter, const QByteArray& value)
{
    QByteArray decoded = QByteArray::fromPercentEncoding(value);
    if (!decoded.startsWith(parameter.prefix))
        return std::nullopt;
    decoded.remove(0, parameter.prefix.size());
    if (parameter.coding == RuleSet::TargetParameter::Coding::Base64Url) {
        std::optional<QByteArray> bytes = decodeBase64Url(decoded);
        if (!bytes)
            return std::nullopt;
        decoded = std::move(*bytes);
    }
    QByteArray target = escapeForAddress(decoded);
    if (!isAcceptableTarget(target))
        return std::nullopt;
    return target;
}

ParameterTarget findParameterTarget(
    const QList<RuleSet::TargetParameter>& parameters, const QByteArray& address)
{
    if (parameters.isEmpty())
        return {};
    const QByteArray path = pathOf(address);
    for (const RuleSet::TargetParameter& p : parameters) {
        if (path != p.path)
            continue;
        const std::optional<QByteArray> value = queryValue(address, p.key);
        if (!value)
            continue;
        return { true, decodeTargetValue(p, *value).value_or(QByteArray()) };
    }
    return {};
}

} // namespace tess::harvest
