#include "text/Integer.h"

#include "text/Errors.h"
#include "text/Gbk.h"

#include <optional>

namespace tess::text {
namespace {

std::optional<std::int32_t> parse(QStringView s)
{
    qsizetype i = 0;
    while (i < s.size() && s[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < s.size() && s[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == QLatin1Char('0')
        && (s[i + 1] == QLatin1Char('x') || s[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > (std::int64_t { 1 } << 32))
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (base == 10 && (value > INT32_MAX || value < INT32_MIN))
        return std::nullopt;
    if (base == 16) {
        // Hexadecimal forms wrap into the signed range, as the framework's do.
        if (value > UINT32_MAX || value < -std::int64_t { UINT32_MAX })
            return std::nullopt;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

std::int32_t toInteger(QStringView text)
{
    if (auto v = parse(text))
        return *v;
    throw ConvertError(text.toString());
}

std::int32_t toInteger(QByteArrayView gbkText) { return toInteger(fromGbk(gbkText)); }

} // namespace tess::text
