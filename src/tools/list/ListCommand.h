#pragma once

#include "io/FileReader.h"
#include "tools/list/ListArguments.h"

#include <QString>

#include <atomic>
#include <cstdio>
#include <functional>

namespace tess::tools {

struct ListOptions {
    // What --unique and --sort may hold, shared among them; 0: the merge's
    // default. Past it they work in a temporary file.
    qint64 memoryBudget = 0;
    // Where the temporary files go; empty: TMPDIR, else the target's folder.
    QString spillFolder;
    // How much of the sources is read, now and then; -1 when not known.
    std::function<void(int percent)> progress;
    io::ReadOptions sourceOptions;
    // Set from another thread to stop the list (tools::MergeCancelled, as
    // the merge throws); the target is left as it was.
    const std::atomic<bool>* cancel = nullptr;
};

struct ListCounts {
    qint64 linesIn = 0;
    qint64 linesOut = 0; // the lines, or the count lines, written
    qint64 withoutHost = 0; // of the lines read
};

// Streams the sources through the steps into the target (or its parts,
// or the counts), each file replaced whole. Throws what the sources, the
// target and the spill file throw (text::AppError), naming the file, and
// MergeCancelled when asked to stop.
ListCounts runList(const ListArguments& arguments, const ListOptions& options = {});

// "list done: N lines in, M lines out, K without a host".
QString listDoneText(const ListCounts& counts);

// The name of part `number` of a split target: "out.txt" → "out-001.txt".
QString splitPartName(const QString& target, qint64 number);

// The list from the command line: prints the completion text to `out` and
// returns 0; prints the error to `err` and returns 1. Progress shows on
// `err` when it is a terminal.
int runListCommand(const ListArguments& arguments, FILE* out, FILE* err);

} // namespace tess::tools
