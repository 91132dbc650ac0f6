#include "tools/merge/SpillFile.h"

#include "io/PathName.h"
#include "io/SystemCalls.h"
#include "io/TemporaryFiles.h"
#include "tools/merge/RunMerge.h"

#include <QDir>
#include <QFileInfo>

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
    m_runs.push_back({ m_size, run.size() });
    m_size += run.size();
}

std::vector<std::unique_ptr<RunReader>> SpillFile::readers(qsizetype bufferSize) const
{
    std::vector<std::unique_ptr<RunReader>> runs;
    for (const Run& r : m_runs)
        runs.push_back(std::make_unique<FileRun>(m_fd.get(), r.offset, r.length, bufferSize));
    return runs;
}

} // namespace tess::tools
