#pragma once

#include <QByteArray>
#include <QString>

// The temporary files replaceFile() writes before renaming them over their
// targets: their names, the list of those being written (removed should a
// signal stop the program) and the removal of ones a crash left behind.
namespace tess::io {

// "<folder>/.tessaroon-<pid>-XXXXXX.tmp", for mkostemps() with a suffix of
// 4. The name is short whatever the target's is, so a target with a name
// of the longest legal length still has a companion, and it carries the
// writer's process id, so a later run can tell a leftover from a file
// being written.
QByteArray temporaryFilePattern(const QByteArray& folder);

// Keeps the temporary file on the list the signal cleanup removes, for as
// long as it lives. With too many files on the list at once, or a path
// longer than the system allows, the file goes unlisted: the stale-file
// sweep removes it should a signal leave it.
class LiveTemporaryFile final {
public:
    explicit LiveTemporaryFile(const QByteArray& path);
    ~LiveTemporaryFile();
    LiveTemporaryFile(const LiveTemporaryFile&) = delete;
    LiveTemporaryFile& operator=(const LiveTemporaryFile&) = delete;

private:
    int m_slot = -1;
};

// Removes the folder's temporary files of the program's naming that no
// writer will finish: made by a process that is gone (or by this one, but
// not being written), or untouched for an hour. Files touched in the last
// minute are always kept, as a writer this process cannot see (another
// container sharing the folder) may be at work on them. Errors are ignored:
// the sweep only tidies.
void removeStaleTemporaryFiles(const QByteArray& folder);
// The same for the folder of `file`, which need not exist yet; nothing for
// an empty name (standard output).
void removeStaleTemporaryFilesBeside(const QString& file);

} // namespace tess::io
