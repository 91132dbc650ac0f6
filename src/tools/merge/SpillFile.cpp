#include "tools/merge/SpillFile.h"

#include "io/PathName.h"
#include "io/SystemCalls.h"
#include "io/TemporaryFiles.h"
#include "tools/merge/RunMerge.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tess::tools {

SpillError::SpillError(const QString& folder, int error)
    : text::AppError(error == ENOSPC || error == EDQUOT
            ? QStringLiteral("临时文件夹 %1 空间不足，合并未完成，目标文件未改动")
                  .arg(QDir::toNativeSeparators(folder))
            : QStringLiteral("临时文件夹 %1 无法写入（%2），合并未完成，目标文件未改动")
                  .arg(QDir::toNativeSeparators(folder), text::systemReason(error)))
{
}

SpillFile::SpillFile(const QString& folder, const QString& target)
    : m_folder(folder)
    , m_target(target)
{
}

void SpillFile::open()
{
    if (m_fd.isOpen())
        return;
    if (m_folder.isEmpty())
        m_folder = qEnvironmentVariable("TMPDIR");
    if (m_folder.isEmpty())
        m_folder = QFileInfo(m_target).absolutePath();
    QByteArray name = io::temporaryFilePattern(io::encodePath(m_folder));
    m_fd = io::FileDescriptor(io::systemCalls().mkostemps(name.data(), 4, O_CLOEXEC));
    if (!m_fd.isOpen())
        throw SpillError(m_folder, errno);
    // Listed until it has no name, should a signal come in between.
    const io::LiveTemporaryFile listed(name);
    ::unlink(name.constData());
}

void SpillFile::append(const QByteArray& run)
{
    if (run.isEmpty())
        return;
    if (!io::writeAll(m_fd.get(), run.constData(), run.size()))
        throw SpillError(m_folder, errno);
    m_runs.push_back({ m_end, run.size() });
    m_size += run.size();
    m_end += run.size();
}

std::vector<std::unique_ptr<RunReader>> SpillFile::readers(qsizetype bufferSize) const
{
    std::vector<std::unique_ptr<RunReader>> runs;
    for (const Run& r : m_runs)
        runs.push_back(std::make_unique<FileRun>(m_fd.get(), r.offset, r.length, bufferSize));
    return runs;
}

namespace {

// Writes a merged run at the end of the spill file, counting its bytes.
class SpillSink final : public io::ContentSink {
public:
    SpillSink(int fd, const QString& folder)
        : m_fd(fd)
        , m_folder(folder)
    {
    }
    void write(const char* data, qsizetype size) override
    {
        if (!io::writeAll(m_fd, data, size))
            throw SpillError(m_folder, errno);
        m_written += size;
    }
    qint64 written() const { return m_written; }

private:
    int m_fd;
    const QString& m_folder;
    qint64 m_written = 0;
};

} // namespace

void SpillFile::mergeGroups(
    size_t fanIn, qsizetype bufferSize, const LineCollation& order, const std::function<void()>& tick)
{
    std::vector<Run> merged;
    for (size_t first = 0; first < m_runs.size(); first += fanIn) {
        const size_t end = std::min(m_runs.size(), first + fanIn);
        if (end - first == 1) {
            merged.push_back(m_runs[first]);
            continue;
        }
        std::vector<std::unique_ptr<RunReader>> group;
        for (size_t r = first; r < end; ++r)
            group.push_back(
                std::make_unique<FileRun>(m_fd.get(), m_runs[r].offset, m_runs[r].length, bufferSize));
        SpillSink sink(m_fd.get(), m_folder);
        mergeRuns(group, order, sink, tick);
        merged.push_back({ m_end, sink.written() });
        m_end += sink.written();
        // Only tidies: a file system without holes keeps the room.
        for (size_t r = first; r < end; ++r)
            io::systemCalls().fallocate(
                m_fd.get(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, m_runs[r].offset, m_runs[r].length);
    }
    m_runs = std::move(merged);
    m_size = 0;
    for (const Run& r : m_runs)
        m_size += r.length;
}

} // namespace tess::tools
