#pragma once

#include <QByteArray>
#include <QString>

// File names are bytes to the system, and a name need not be UTF-8: a file
// named in GBK on a UTF-8 desktop is an ordinary sight here. These carry
// such a name through a QString unchanged: valid UTF-8 is decoded as usual,
// and each byte that is not part of valid UTF-8 becomes a lone low
// surrogate U+DC80..U+DCFF, which encodePath() turns back into the byte.
namespace tess::io {

QString decodePath(const QByteArray& bytes);
QByteArray encodePath(const QString& path);

} // namespace tess::io
