#pragma once

#include <QString>

namespace tess::text {

// The program's own folder, with a trailing "/", where the state file and
// the scratch file live and where the file dialogs open: the folder of the
// program file when it is writable (as when run from the build tree),
// otherwise the per-user data folder, created on first use.
QString exeDir();

// Points exeDir() somewhere else (tests); an empty path restores the default.
void setExeDir(const QString& dir);

} // namespace tess::text
