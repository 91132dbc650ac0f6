#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace tess::tools {

// What `tessaroon merge -o TARGET [--memory SIZE] SOURCE...` asks for.
struct MergeArguments {
    QString target;
    QStringList sources;
    qint64 memoryBudget = 0; // bytes; 0: the default share of the memory
};

// Reads the words after "merge"; nothing when they do not fit the form,
// with what does not fit in `whatIsWrong` when it is given.
std::optional<MergeArguments> parseMergeArguments(const QStringList& words, QString* whatIsWrong = nullptr);

// What the merge command prints when its words do not fit.
const char* mergeUsage();

// The merge from the command line: the same merge as the window's, in the
// collation locale of the environment. Prints the completion text to `out`
// and returns 0; prints the error to `err` and returns 1 when the merge
// fails. When `err` is a terminal it shows the progress there on one
// updating line.
int runMergeCommand(const MergeArguments& arguments, FILE* out, FILE* err);

} // namespace tess::tools
