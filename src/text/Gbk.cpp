#include "text/Gbk.h"

#include <unicode/ucnv.h>

#include <memory>
#include <stdexcept>

namespace tess::text {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// One converter per thread: a converter keeps state between calls.
UConverter* gbkConverter()
{
    thread_local Converter converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        Converter c(ucnv_open("GBK", &status));
        if (U_FAILURE(status))
            throw std::runtime_error("the GBK converter is not available");
        status = U_ZERO_ERROR;
        ucnv_setSubstChars(c.get(), "?", 1, &status);
        return c;
    }();
    return converter.get();
}

} // namespace

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

QByteArray toGbk(QStringView text)
{
    if (text.isEmpty())
        return {};
    // Plain ASCII is the same in GBK: skip the converter.
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLatin1();

    UConverter* cnv = gbkConverter();
    ucnv_resetFromUnicode(cnv);
    QByteArray out(static_cast<qsizetype>(UCNV_GET_MAX_BYTES_FOR_STRING(text.size(), 2)), Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()),
        reinterpret_cast<const UChar*>(text.utf16()), static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status))
        throw std::runtime_error("GBK conversion failed");
    out.truncate(n);
    return out;
}

QString fromGbk(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);

    return toUnicodeWith(gbkConverter(), bytes);
}

QString toUnicodeWith(UConverter* converter, QByteArrayView bytes)
{
    ucnv_resetToUnicode(converter);
    QString out(bytes.size(), Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()),
        static_cast<int32_t>(out.size()), bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status))
        throw std::runtime_error("GBK conversion failed");
    out.truncate(n);
    return out;
}

} // namespace tess::text
