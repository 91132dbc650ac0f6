#pragma once

#include <sys/types.h>

// The system calls through which the file module reads and writes. Tests
// swap entries to make one step fail as a full disk or a failing drive
// would; the program itself never changes them.
namespace tess::io {

struct SystemCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    ssize_t (*read)(int fd, void* buffer, size_t size);
    ssize_t (*write)(int fd, const void* data, size_t size);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*rename)(const char* from, const char* to);
    // Creates a file from a name pattern ending in "XXXXXX" and
    // `suffixLength` more bytes.
    int (*mkostemps)(char* pattern, int suffixLength, int flags);
    int (*fchmod)(int fd, mode_t mode);
    int (*ftruncate)(int fd, off_t length);
    int (*fallocate)(int fd, int mode, off_t offset, off_t length);
    off_t (*lseek)(int fd, off_t offset, int whence);
    // Opens a file without a name in `folder` (O_TMPFILE), for a new
    // file's content until it is linked in.
    int (*openNameless)(const char* folder, int flags, mode_t mode);
    int (*linkat)(int fromFolder, const char* from, int toFolder, const char* to, int flags);

    // The calls themselves.
    static const SystemCalls kReal;
};

// The table in use.
SystemCalls& systemCalls();

} // namespace tess::io
