#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Whole-file and line-by-line access to the program's text files. Files the
// program writes are replaced whole: the new content goes to a temporary
// file beside the target, which is then renamed over it, so a failure never
// leaves a half-written file.
namespace tess::text {

using Lines = QList<QByteArray>;

// Each line followed by CR LF, the last one included; no lines, no bytes.
QByteArray joinCrLf(const Lines& lines);

// Reads the file whole. Throws FileOpenError when it cannot be opened and
// StreamReadError on a short read.
QByteArray readWholeFile(const QString& path);

// Reads the file line by line: a line ends at LF, a CR directly before that
// LF belongs to the line end, a CR elsewhere is dropped. Throws InOutError
// when the file cannot be opened.
Lines readLinesLf(const QString& path);

// Replaces the file with `content`. Throws FileCreateError when the file or
// its temporary companion cannot be created (folder not writable, read-only
// target) and StreamWriteError when writing fails; the old file then stays
// as it was.
void replaceFile(const QString& path, const QByteArray& content);

} // namespace tess::text
