#pragma once

#include "io/FileDescriptor.h"

#include <QString>

namespace tess::io {

// Keeps a second copy of the program off a program folder while this one
// uses it: the state file, the scratch file and the browser's data there
// are for one copy at a time. The lock is the system's (flock on a small
// file in the folder), so it goes with the process however it ends.
class FolderLock final {
public:
    enum class Result {
        Acquired,
        HeldElsewhere, // another copy holds the folder
        Unavailable, // no lock could be made (a read-only folder, say); run unlocked
    };

    FolderLock() = default;
    FolderLock(FolderLock&&) = default;
    FolderLock& operator=(FolderLock&&) = default;

    // Tries to lock `folder` (ending in "/") for this process.
    Result acquire(const QString& folder);

    static constexpr const char* kFileName = "tessaroon.lock";

private:
    FileDescriptor m_file;
};

} // namespace tess::io
