#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// The one place the program reads and writes its files. Files the program
// writes are replaced whole: the new content goes to a temporary file beside
// the target, which is then renamed over it, so a failure never leaves a
// half-written file. The system calls go through io/SystemCalls.h, where
// tests make them fail.
namespace tess::io {

using Lines = QList<QByteArray>;

// A file descriptor that closes itself.
class FileDescriptor final {
public:
    explicit FileDescriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept
        : m_fd(other.release())
    {
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Gives the descriptor up without closing it.
    int release();
    // Closes the descriptor, if any; false when closing reported an error.
    bool reset();

private:
    int m_fd;
};

// Which error texts a failed read reports. The program reads its files in
// two ways, and each way keeps the texts users know from it.
enum class ReadFailure {
    // FileOpenError naming the file; StreamReadError naming the file and
    // the system's reason.
    Stream,
    // InOutError: "File not found", "Invalid filename", "File access
    // denied", "I/O error %d".
    InOut,
};

struct ReadOptions {
    // Also reads a pipe or a character device such as a terminal: for a
    // file the user names on purpose, as /dev/stdin or <(command) on the
    // command line. Reading then waits for the pipe's writer.
    bool allowPipes = false;
    // InOutError texts followed by the file and the system's reason, for
    // files whose errors would otherwise not say which file failed.
    bool detailedErrors = false;
};

// A file open for reading. A folder is refused as a file that cannot be
// opened, and so is anything else that is not a regular file (pipes and
// character devices unless allowed; sockets and block devices always),
// without waiting on it; interrupted reads are retried.
class FileReader final {
public:
    // Throws as `failure` says when the file cannot be opened or is
    // refused: FileOpenError or InOutError "File access denied", with why
    // it was refused.
    FileReader(const QString& path, ReadFailure failure, ReadOptions options = {});

    // The file's size when it was opened; 0 for a pipe.
    qint64 size() const { return m_size; }

    // Reads up to `size` bytes into `buffer`; 0 at the end of the file.
    qsizetype readSome(char* buffer, qsizetype size);
    // Appends the rest of the file to `out`, growing it as needed. A read
    // always has at least half of `slack` bytes of room, so a buffer
    // reserved with that much to spare is never grown for the read that
    // finds the end.
    void readAllInto(QByteArray& out, qsizetype slack = DefaultSlack);
    // Hands the rest of the file to `consume` chunk by chunk, until the end
    // or until `consume` returns false.
    void readChunks(const std::function<bool(const char* data, qsizetype size)>& consume);

    static constexpr qsizetype DefaultSlack = 65536;

private:
    [[noreturn]] void failToOpen(int error) const;
    [[noreturn]] void refuse(const QString& why) const;
    void checkKind(unsigned mode, bool allowPipes) const;

    QString m_path;
    ReadFailure m_failure;
    bool m_detailed;
    FileDescriptor m_fd;
    qint64 m_size = 0;
};

// Opens the file for appending, creating it when missing (and emptying it
// when `truncate`). Returns a closed descriptor on failure, with errno set.
FileDescriptor openForAppend(const QString& path, bool truncate);

// Writes all of `data`, retrying interrupted and short writes. False on
// failure, with errno set.
bool writeAll(int fd, const char* data, qsizetype size);

// Each line followed by CR LF, the last one included; no lines, no bytes.
QByteArray joinCrLf(const Lines& lines);

// Reads the file whole. Throws FileOpenError when it cannot be opened and
// StreamReadError naming the file and the system's reason when a read
// fails.
QByteArray readWholeFile(const QString& path);

// Reads the file line by line: a line ends at LF, a CR directly before that
// LF belongs to the line end, a CR elsewhere is dropped. Throws InOutError
// naming the file and the system's reason when the file cannot be opened or
// read (its one reader, the state file, has no other way to say which file
// failed).
Lines readLinesLf(const QString& path);

// Replaces the file with `content`. The content goes to a temporary file in
// the same folder (".tessaroon-<pid>-XXXXXX.tmp", short whatever the
// target's name), written to disk and renamed over the target. Throws
// FileCreateError when the file or its temporary companion cannot be
// created (missing folder, read-only target, a new file in a folder that
// takes none) and StreamWriteError naming the file and the system's reason
// when writing fails; the old file then stays as it was. The program's temporary files left by an earlier
// crash in the folder are removed on the way.
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
// hold the content) and is passed on. `sizeHint`, the expected size or 0, reserves the room up
// front where a file is written where it stands.
void replaceFile(const QString& path, const ContentProducer& produce, qint64 sizeHint);

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files replaceFile()
// is writing before the signal ends the program. Call once, early in main();
// a signal already ignored or handled elsewhere is left alone.
void installTemporaryFileCleanup();

} // namespace tess::io
