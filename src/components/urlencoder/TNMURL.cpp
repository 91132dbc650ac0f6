#include "components/urlencoder/TNMURL.h"

#include <stdexcept>

namespace tess::components {
namespace {

QByteArray encodeBytes(const QByteArray& in)
{
    if (in.size() > TNMURL::MaxInputBytes)
        throw std::length_error("Input string too long");
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(in.size() * 3);
    for (char ch : in) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == ' ') {
            out += '+';
        } else if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out += ch;
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        }
    }
    return out;
}

} // namespace

QByteArray TNMURL::Encode()
{
    try {
        return encodeBytes(InputString);
    } catch (const std::exception& e) {
        if (OnError)
            OnError(this, QStringLiteral("Error during encode"), QString::fromLocal8Bit(e.what()));
        return InputString;
    }
}

} // namespace tess::components
