#include "io/FolderLock.h"

#include "io/PathName.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tess::io {

FolderLock::Result FolderLock::acquire(const QString& folder)
{
    const QByteArray path = encodePath(folder + QLatin1String(kFileName));
    FileDescriptor file(::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!file.isOpen())
        return Result::Unavailable;
    while (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        return errno == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
    }
    m_file = std::move(file);
    return Result::Acquired;
}

} // namespace tess::io
