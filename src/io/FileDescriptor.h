#pragma once

#include <QString>

#include <sys/types.h>

// The descriptors of the file module: their owner, appending, and the
// whole writes every writer of the module makes. The system calls go
// through io/SystemCalls.h, where tests make them fail.
namespace tess::io {

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

// Opens the file for appending, creating it when missing (and emptying it
// when `truncate`). Returns a closed descriptor on failure, with errno set.
FileDescriptor openForAppend(const QString& path, bool truncate);

// Writes all of `data`, retrying interrupted and short writes. False on
// failure, with errno set.
bool writeAll(int fd, const char* data, qsizetype size);

// Makes reads and writes of the descriptor wait again; false on failure,
// with errno set.
bool clearNonBlocking(int fd);

// Why a file that is not a regular file is turned down, by the kind of
// file `mode` says it is.
QString notRegular(mode_t mode);

} // namespace tess::io
