#pragma once

#include "io/FileReader.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

// The two ways a keyword file is read. They agree on ordinary text and differ
// on lone CR bytes, NUL bytes and byte 26; the window applies them one after
// the other (count first, then load) so each can fail on its own.
namespace tess::tools {

// Splits a whole file's bytes into its lines. A line ends at CR, LF or NUL;
// after it one CR and then one LF are skipped. Nothing after the first NUL
// byte is read, and a line end at the very end adds no empty line.
io::Lines splitList(QByteArrayView bytes);

// Counts lines as a line-by-line text reader sees them: a line ends at LF
// (a CR before it belongs to the line end), byte 26 where a line would begin
// ends the text, NUL is an ordinary byte.
qsizetype countLines(QByteArrayView bytes);

// countLines() over a file read in chunks. Throws text::InOutError ("File
// not found", "Invalid filename", "File access denied", "I/O error %d") when
// the file cannot be opened or read.
qsizetype countFileLines(const QString& path);

// The file read whole and split by splitList(). Throws text::FileOpenError
// when it cannot be opened and text::StreamReadError on a short read.
io::Lines loadList(const QString& path);

// The UTF-16 form `bytes` are in, "UTF-16LE" or "UTF-16BE": by the byte
// order mark, or without one by NUL bytes in every other place, as ASCII
// text in UTF-16 has and GBK text never has. Nothing for any other text.
std::optional<QString> detectUtf16(QByteArrayView bytes);

} // namespace tess::tools
