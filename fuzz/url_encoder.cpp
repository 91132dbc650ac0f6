// The query encoder on any bytes: the result is plain ASCII of letters,
// digits, "+" and "%XX" with upper-case hexadecimal digits only, decodes
// back to the input, matches the framework's percent-encoding with the
// same rules, and leaves the input alone. (Inputs too long to encode are
// left to the unit tests: building them here would slow every run down.)
#include "FuzzCheck.h"

#include "components/urlencoder/UrlEncoder.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

using tess::components::UrlEncoder;

namespace {

bool letterOrDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower case is not what the encoder writes
}

// "+" back to a blank, "%XX" back to its byte; nothing for anything else.
std::optional<QByteArray> decode(const QByteArray& encoded)
{
    QByteArray out;
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            out += ' ';
        } else if (letterOrDigit(c)) {
            out += c;
        } else if (c == '%' && i + 2 < encoded.size() && hexValue(encoded[i + 1]) >= 0
            && hexValue(encoded[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(encoded[i + 1]) * 16 + hexValue(encoded[i + 2]));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    UrlEncoder encoder;
    encoder.inputString = input;
    int errors = 0;
    encoder.onError = [&](UrlEncoder* sender, const QString& operation, const QString&) {
        FUZZ_CHECK(sender == &encoder);
        FUZZ_CHECK(operation == QStringLiteral("Error during encode"));
        ++errors;
    };
    const QByteArray out = encoder.encode();
    FUZZ_CHECK(encoder.inputString == input);

    if (input.size() > UrlEncoder::kMaxInputBytes) {
        FUZZ_CHECK(errors == 1 && out == input);
        return 0;
    }
    FUZZ_CHECK(errors == 0);
    qsizetype escaped = 0;
    for (char c : input)
        escaped += (c == ' ' || letterOrDigit(c)) ? 0 : 1;
    FUZZ_CHECK(out.size() == input.size() + 2 * escaped);
    for (char c : out)
        FUZZ_CHECK(letterOrDigit(c) || c == '+' || c == '%');
    const std::optional<QByteArray> back = decode(out);
    FUZZ_CHECK(back && *back == input);

    // The framework's encoder with the same choice of what stays: blanks
    // kept (then made "+"), "-._~" escaped too.
    QByteArray framework = input.toPercentEncoding(" ", "-._~");
    framework.replace(' ', '+');
    FUZZ_CHECK(out == framework);
    return 0;
}
