#pragma once

#include <QStringList>

#include <cstdio>

namespace tess::tools {

// The merge from the command line: `args` are the words after the program
// name, starting with "merge": merge -o TARGET SOURCE...
// The same merge as the window's, in the collation locale of the environment.
// Prints the completion text to `out` and returns 0; prints the error to
// `err` and returns 1 when the merge fails, or the usage and 2 when the
// arguments are wrong.
int mergeMain(const QStringList& args, FILE* out, FILE* err);

} // namespace tess::tools
