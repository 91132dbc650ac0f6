#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Files the program writes are replaced whole: the new content is made
// complete beside the target, then renamed over it, so a failure never
// leaves a half-written file. The system calls go through
// io/SystemCalls.h, where tests make them fail.
namespace tess::io {

// Replaces the file with `content`. The content goes to a file without a
// name in the target's folder (O_TMPFILE), written to disk, then linked in
// under a temporary name and renamed over the target at once; whatever
// ends the program before the link, SIGKILL included, leaves nothing
// behind. Where the folder's file system has no nameless files, the
// content goes to a named temporary file in the folder
// (".tessaroon-<pid>-XXXXXX.tmp", short whatever the target's name) and is
// renamed the same way. Throws FileCreateError when the file or its
// temporary companion cannot be created (missing folder, read-only target,
// a new file in a folder that takes none) and StreamWriteError naming the
// file and the system's reason when writing fails; the old file then
// stays as it was. The program's temporary files left by an earlier crash
// in the folder are removed on the way.
//
// When the folder takes no new file but the file itself is writable, the
// file is written where it stands: the new content is first made whole in
// a nameless file of the temporary folder (where that folder allows one),
// room for it is reserved, then it is copied over the old content, cut to
// length and written to disk. A failure up to the first byte copied
// leaves the old content; only a later one can leave the file damaged.
//
// A symbolic link is followed: the file it names is replaced, in that
// file's own folder, and the link stays. A link naming no file yet gets
// the file it names created.
//
// A named pipe or a character device (/dev/null, a terminal) is written
// into as it stands, never replaced; a named pipe nobody reads is refused
// instead of waited on, and a reader that leaves makes a write error, not
// the end of the program. A folder, socket or block device is refused
// (the latter two with the reason).
void replaceFile(const QString& path, const QByteArray& content);

// Where a producer of new content for replaceFile() puts it.
class ContentSink {
public:
    virtual ~ContentSink() = default;
    // Writes all of the bytes; throws StreamWriteError naming the target and
    // the system's reason when it cannot.
    virtual void write(const char* data, qsizetype size) = 0;
};
using ContentProducer = std::function<void(ContentSink& sink)>;

// As above, for content too large to hold at once: `produce` writes it
// piece by piece. Whatever `produce` throws leaves the old file as it was
// (written where it stands too, unless the temporary folder could not
// hold the content) and is passed on. `sizeHint`, the expected size or 0,
// reserves the room up front where a file is written where it stands.
void replaceFile(const QString& path, const ContentProducer& produce, qint64 sizeHint);

} // namespace tess::io
