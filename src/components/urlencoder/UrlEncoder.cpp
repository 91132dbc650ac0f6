#include "components/urlencoder/UrlEncoder.h"

#include <stdexcept>

namespace tess::components {
namespace {

QByteArray encodeBytes(const QByteArray& in)
{
    if (in.size() > UrlEncoder::kMaxInputBytes)
        throw std::length_error("Input string too long");
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
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
            out += kHexDigits[b >> 4];
            out += kHexDigits[b & 0x0F];
        }
    }
    return out;
}

} // namespace

QByteArray UrlEncoder::encode()
{
    try {
        return encodeBytes(inputString);
    } catch (const std::exception& e) {
        if (onError)
            onError(this, QStringLiteral("Error during encode"), QString::fromLocal8Bit(e.what()));
        return inputString;
    }
}

} // namespace tess::components
