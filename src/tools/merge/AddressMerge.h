#pragma once

#include "text/TextFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace tess::tools {

class LineCollation;

// The sources' bytes joined in the given order, nothing between them (a
// last line without a line end runs on into the next file's first line).
// Throws text::FileOpenError naming the source that cannot be opened and
// text::StreamReadError on a short read.
// `options` say whether a pipe may stand for a file.
QByteArray joinSources(const QStringList& sources, text::ReadOptions options = {});

// Merges the sources into `target`: their distinct lines (letter case
// ignored, the first occurrence kept as written) in ascending order under
// `order`, CR LF after every line, an empty line at the top when any source
// held one. Every source is read before the target is touched, and the
// target is replaced whole, so it may be one of the sources and any failure
// leaves it exactly as it was. Returns the number of lines written.
// Throws the errors of joinSources(), text::FileCreateError naming the
// target when it cannot be created and text::StreamWriteError.
qsizetype mergeFiles(const QStringList& sources, const QString& target, const LineCollation& order,
    text::ReadOptions sourceOptions = {});

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
    text::ReadOptions sourceOptions = {});

} // namespace tess::tools
