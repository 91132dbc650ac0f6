#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace tess::components {

// Turns an 8-bit string into the form used in the query part of a web
// address: byte by byte, a blank becomes "+", ASCII letters and digits stay,
// every other byte becomes "%" and two upper-case hexadecimal digits. A GBK
// keyword is so encoded as its GBK bytes, and the result is pure ASCII.
class UrlEncoder final {
public:
    using ErrorHandler
        = std::function<void(UrlEncoder* sender, const QString& operation, const QString& message)>;

    // Inputs are held with a 16-bit byte count; longer ones fail to encode.
    static constexpr qsizetype kMaxInputBytes = 65535;

    QByteArray inputString;
    // Raised when encoding fails; the encoded result is then inputString as is.
    ErrorHandler onError;

    // Encodes the current inputString; inputString itself is left alone.
    QByteArray encode();
};

} // namespace tess::components
