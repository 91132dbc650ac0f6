#include "tools/list/SortStep.h"

#include "io/FileReplace.h"
#include "tools/merge/AddressMerge.h"
#include "tools/merge/LineCollation.h"

#include <QDir>

namespace tess::tools {

namespace {

// Writes into a temporary file; a full disk is the spill file's error.
class TemporarySink final : public io::ContentSink {
public:
    TemporarySink(QTemporaryFile& file, const QString& folder)
        : m_file(file)
        , m_folder(folder)
    {
    }
    void write(const char* data, qsizetype size) override
    {
        if (m_file.write(data, size) != size)
            throw SpillError(m_folder, m_file.error() == QFileDevice::ResourceError ? ENOSPC : EIO);
    }

private:
    QTemporaryFile& m_file;
    const QString& m_folder;
};

} // namespace

SortStep::SortStep(LineStream& upstream, qint64 budget, const QString& spillFolder)
    : m_upstream(upstream)
    , m_budget(budget)
    , m_folder(spillFolder.isEmpty() ? QDir::tempPath() : spillFolder)
{
}

SortStep::~SortStep() = default;

void SortStep::sortUpstream()
{
    const QString pattern = m_folder + QStringLiteral("/.tessaroon-list-XXXXXX");
    m_unsorted = std::make_unique<QTemporaryFile>(pattern);
    m_sorted = std::make_unique<QTemporaryFile>(pattern);
    if (!m_unsorted->open() || !m_sorted->open())
        throw SpillError(m_folder, EACCES);
    {
        TemporarySink sink(*m_unsorted, m_folder);
        LineWriter writer(sink);
        for (ListLine line; m_upstream.next(line);)
            writer.write(line.text());
        writer.flush();
        if (!m_unsorted->flush())
            throw SpillError(m_folder, ENOSPC);
    }
    m_sorted->close();
    MergeOptions options;
    options.memoryBudget = m_budget;
    options.spillFolder = m_folder;
    const LineCollation order(LineCollation::localeFromEnvironment());
    mergeFiles({ m_unsorted->fileName() }, m_sorted->fileName(), order, options);
    m_unsorted.reset();
    m_lines = std::make_unique<SourceLines>(QStringList { m_sorted->fileName() }, io::ReadOptions {});
}

bool SortStep::next(ListLine& line)
{
    if (!m_lines)
        sortUpstream();
    return m_lines->next(line);
}

} // namespace tess::tools
