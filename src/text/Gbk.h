#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

struct UConverter;

// Every text the program keeps (file contents, keywords, addresses, link
// texts) is 8-bit GBK held as bytes. Conversion to and from Unicode happens
// only at the edges: the browser, the widgets and file names.
namespace tess::text {

// Unicode to GBK; a character GBK cannot hold becomes "?".
QByteArray toGbk(QStringView text);

// GBK to Unicode; a byte sequence that is not GBK becomes U+FFFD.
QString fromGbk(QByteArrayView bytes);
// Decodes GBK bytes with the given ICU converter, reset first; fromGbk()
// with a converter of the caller's own (one that keeps what it cannot
// decode, say).
QString toUnicodeWith(UConverter* converter, QByteArrayView bytes);

// True when every byte is below 0x80.
bool isAscii(QByteArrayView bytes);

} // namespace tess::text
