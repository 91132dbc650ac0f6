#include "io/SystemCalls.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tess::io {

const SystemCalls SystemCalls::kReal {
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    ::read,
    ::write,
    ::fsync,
    ::close,
    ::rename,
    ::mkostemps,
    ::fchmod,
    ::ftruncate,
    ::fallocate,
    ::lseek,
    [](const char* folder, int flags, mode_t mode) { return ::open(folder, flags | O_TMPFILE, mode); },
    ::linkat,
};

SystemCalls& systemCalls()
{
    static SystemCalls calls = SystemCalls::kReal;
    return calls;
}

} // namespace tess::io
