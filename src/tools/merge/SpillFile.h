#pragma once

#include "io/FileDescriptor.h"
#include "text/Errors.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace tess::tools {

class LineCollation;
class RunReader;

// The temporary file of a merge too large for its memory could not be
// written: the folder is full, or refuses it.
class SpillError final : public text::AppError {
public:
    SpillError(const QString& folder, int error);
};

// The sorted runs of a merge too large for its memory, waiting one after
// the other in a temporary file that has no name: it goes with the program
// whatever ends it.
class SpillFile final {
public:
    // The file goes in `folder`; when that is empty, in TMPDIR, else in the
    // folder of `target`.
    SpillFile(const QString& folder, const QString& target);

    // Creates the file, unless it is open already. Throws SpillError.
    void open();
    // Appends a run at the end of the file; an empty one is skipped.
    // Throws SpillError.
    void append(const QByteArray& run);

    bool hasRuns() const { return !m_runs.empty(); }
    // The bytes of all runs.
    qint64 size() const { return m_size; }
    size_t runCount() const { return m_runs.size(); }
    // A reader of each run, in the order they were appended, each reading
    // `bufferSize` bytes at a time.
    std::vector<std::unique_ptr<RunReader>> readers(qsizetype bufferSize) const;
    // Merges each `fanIn` runs in a row into one run written at the end of
    // the file, in their order, so that the runs left merge as the old ones
    // did; the room of the merged runs is given back where the file system
    // allows. `tick` is called now and then and may throw to stop. Throws
    // SpillError.
    void mergeGroups(
        size_t fanIn, qsizetype bufferSize, const LineCollation& order, const std::function<void()>& tick);

private:
    struct Run {
        qint64 offset, length;
    };

    QString m_folder;
    const QString& m_target;
    io::FileDescriptor m_fd;
    std::vector<Run> m_runs;
    qint64 m_size = 0;
    qint64 m_end = 0; // of the file, where the next run goes
};

} // namespace tess::tools
