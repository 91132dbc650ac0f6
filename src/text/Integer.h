#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <cstdint>

namespace tess::text {

// Reads a whole number the way the framework's string-to-integer
// conversion does: leading blanks, an optional sign, decimal digits (or a
// "$"/"0x" hexadecimal form), within the signed 32-bit range. Anything else
// throws ConvertError naming the text.
std::int32_t toInteger(QStringView text);
std::int32_t toInteger(QByteArrayView gbkText);

} // namespace tess::text
