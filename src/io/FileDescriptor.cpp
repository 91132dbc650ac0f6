#include "io/FileDescriptor.h"

#include "io/PathName.h"
#include "io/SystemCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace tess::io {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        reset();
        m_fd = other.release();
    }
    return *this;
}

int FileDescriptor::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool FileDescriptor::reset()
{
    if (m_fd < 0)
        return true;
    const int fd = release();
    return systemCalls().close(fd) == 0;
}

FileDescriptor openForAppend(const QString& path, bool truncate)
{
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (truncate ? O_TRUNC : 0);
    return FileDescriptor(systemCalls().open(encodePath(path).constData(), flags, 0666));
}

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = systemCalls().write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool clearNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

QString notRegular(mode_t mode)
{
    const char* kind = S_ISFIFO(mode) ? "named pipe"
        : S_ISCHR(mode)               ? "character device"
        : S_ISBLK(mode)               ? "block device"
        : S_ISSOCK(mode)              ? "socket"
                                      : "unknown kind";
    return QStringLiteral("not a regular file (%1)").arg(QLatin1StringView(kind));
}

} // namespace tess::io
