#pragma once

#include "tools/list/LineStream.h"

#include <QString>
#include <QTemporaryFile>

#include <memory>

namespace tess::tools {

// --sort: the lines so far, merged as `tessaroon merge` merges them (the
// collation of the environment, lines that differ only in letter case
// kept once), then handed on in that order. The lines wait in temporary
// files in `spillFolder` (empty: TMPDIR).
class SortStep final : public LineStream {
public:
    SortStep(LineStream& upstream, qint64 budget, const QString& spillFolder);
    ~SortStep() override;
    bool next(ListLine& line) override;

private:
    void sortUpstream();

    LineStream& m_upstream;
    qint64 m_budget;
    QString m_folder;
    std::unique_ptr<QTemporaryFile> m_unsorted;
    std::unique_ptr<QTemporaryFile> m_sorted;
    std::unique_ptr<SourceLines> m_lines;
};

} // namespace tess::tools
