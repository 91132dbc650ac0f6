#pragma once

#include <QString>

namespace tess::io {

// The program's own folder, with a trailing "/", where the state file and
// the scratch file live and where the file dialogs open: the folder of the
// program file when keepsOwnFiles() says so (as when run from the build
// tree), otherwise the per-user data folder, created on first use.
QString exeDir();

// Whether the program's files may live in the program's folder: it is a
// writable folder, and not a bin folder shared by installed programs.
bool keepsOwnFiles(const QString& programDir);

// Points exeDir() somewhere else (tests); an empty path restores the default.
void setExeDir(const QString& dir);

} // namespace tess::io
