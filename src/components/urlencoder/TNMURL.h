#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace tess::components {

// Turns an 8-bit string into the form used in the query part of a web
// address: byte by byte, a blank becomes "+", ASCII letters and digits stay,
// every other byte becomes "%" and two upper-case hexadecimal digits. A GBK
// keyword is so encoded as its GBK bytes, and the result is pure ASCII.
class TNMURL final {
public:
    using TOnErrorEvent
        = std::function<void(TNMURL* sender, const QString& operation, const QString& errMsg)>;

    // Inputs are held with a 16-bit byte count; longer ones fail to encode.
    static constexpr qsizetype MaxInputBytes = 65535;

    QByteArray InputString;
    // Raised when encoding fails; the encoded result is then InputString as is.
    TOnErrorEvent OnError;

    // Encodes the current InputString; InputString itself is left alone.
    QByteArray Encode();
};

} // namespace tess::components
