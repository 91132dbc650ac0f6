#pragma once

#include "io/FileDescriptor.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// Reading the program's files: a reader for files read piece by piece, and
// the whole-file and line readers built on it.
namespace tess::io {

using Lines = QList<QByteArray>;

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
    void readAllInto(QByteArray& out, qsizetype slack = kDefaultSlack);
    // Hands the rest of the file to `consume` chunk by chunk, until the end
    // or until `consume` returns false.
    void readChunks(const std::function<bool(const char* data, qsizetype size)>& consume);

    static constexpr qsizetype kDefaultSlack = 65536;

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

} // namespace tess::io
