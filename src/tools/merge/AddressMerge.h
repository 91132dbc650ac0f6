#pragma once

#include "io/FileReader.h"
#include "text/Errors.h"
#include "tools/merge/SpillFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <exception>
#include <functional>

namespace tess::tools {

class LineCollation;

// The sources' bytes joined in the given order, nothing between them (a
// last line without a line end runs on into the next file's first line).
// Throws text::FileOpenError naming the source that cannot be opened and
// text::StreamReadError on a short read.
// `options` say whether a pipe may stand for a file.
QByteArray joinSources(const QStringList& sources, io::ReadOptions options = {});

// How far a merge has got: reading and sorting the sources, then merging
// the sorted runs into the target. `percent` is -1 when the sources' size
// is not known (pipes).
enum class MergePhase { Sorting, Merging };
using MergeProgress = std::function<void(MergePhase phase, int percent)>;

// Thrown out of a merge that was asked to stop; the target is untouched
// and the temporary files are gone.
class MergeCancelled final : public std::exception {
public:
    const char* what() const noexcept override { return "merge cancelled"; }
};

struct MergeOptions {
    // Bytes the merge may hold at once, give or take a few MB; 0: half of
    // the physical memory. Sources larger than it fits are sorted in parts
    // that wait in a temporary file.
    qint64 memoryBudget = 0;
    // Threads that sort at once; 0: one per core.
    unsigned threads = 0;
    // Where the temporary file goes; empty: TMPDIR, else the target's folder.
    QString spillFolder;
    // Set from another thread to stop the merge (MergeCancelled).
    const std::atomic<bool>* cancel = nullptr;
    // Called on the merging thread, a few times a second at most.
    MergeProgress progress;
    // Whether a pipe may stand for a source file.
    io::ReadOptions sourceOptions;
};

// Merges the sources into `target`: their distinct lines (letter case
// ignored, the first occurrence kept as written) in ascending order under
// `order`, CR LF after every line, an empty line at the top when any source
// held one. Every source is read before the target is touched, and the
// target is replaced whole, so it may be one of the sources and any failure
// leaves it exactly as it was. Returns the number of lines written.
// Throws the errors of joinSources(), text::FileCreateError naming the
// target when it cannot be created, text::StreamWriteError, SpillError when
// the temporary file cannot be written and MergeCancelled.
qsizetype mergeFiles(const QStringList& sources, const QString& target, const LineCollation& order,
    const MergeOptions& options);
qsizetype mergeFiles(const QStringList& sources, const QString& target, const LineCollation& order,
    io::ReadOptions sourceOptions = {});

// How a merge tells its user how it is getting on; the window shows the
// texts in its status bar, the command line prints the last one. Each part
// is optional.
struct MergeReport {
    // Raised before the sources are read: "数据正处理中...".
    std::function<void(const QString& text)> working;
    // Raised once the target is written: "文件合并整理完毕！共计：N".
    std::function<void(const QString& text)> finished;
};

// As above, in the collation locale of the environment, telling `report`
// how it is getting on.
qsizetype mergeFiles(const QStringList& sources, const QString& target, const MergeReport& report = {},
    const MergeOptions& options = {});

} // namespace tess::tools
