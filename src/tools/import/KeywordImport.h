#pragma once

#include "io/FileReader.h"

#include <QByteArrayView>
#include <QString>

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

} // namespace tess::tools
