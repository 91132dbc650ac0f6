#include "tools/merge/AddressMerge.h"

#include "text/Errors.h"
#include "text/TextFile.h"
#include "tools/merge/DistinctSort.h"
#include "tools/merge/HugePages.h"
#include "tools/merge/LineCollation.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tess::tools {

QByteArray joinSources(const QStringList& sources)
{
    // One buffer for all sources: the sort needs the joined text anyway, and
    // a copy per source would double the largest file in memory.
    qsizetype expected = 0;
    for (const QString& path : sources)
        expected += QFileInfo(path).size();
    // Room to spare, so the read that finds the end needs no larger buffer:
    // growing it would copy everything read so far.
    constexpr qsizetype kSlack = 65536;
    QByteArray joined;
    joined.reserve(expected + kSlack);
    adviseHugePages(joined.data(), static_cast<size_t>(joined.capacity()));

    for (const QString& path : sources) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw text::FileOpenError(path);
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer { fd };
        struct stat st { };
        if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
            throw text::FileOpenError(path);
        for (;;) {
            if (joined.capacity() - joined.size() < kSlack / 2)
                joined.reserve(joined.size() + std::max<qsizetype>(joined.size() / 2, 1 << 20));
            const qsizetype at = joined.size();
            const qsizetype room = joined.capacity() - at;
            joined.resize(joined.capacity());
            const ssize_t n = ::read(fd, joined.data() + at, static_cast<size_t>(room));
            joined.truncate(at + std::max<ssize_t>(n, 0));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw text::StreamReadError();
            }
            if (n == 0)
                break;
        }
    }
    return joined;
}

qsizetype mergeFiles(const QStringList& sources, const QString& target, const LineCollation& order)
{
    DistinctLines merged;
    {
        const QByteArray joined = joinSources(sources);
        merged = sortDistinct(joined, order);
    }
    text::replaceFile(target, merged.content);
    return merged.count;
}

qsizetype mergeFiles(const QStringList& sources, const QString& target)
{
    const LineCollation order(LineCollation::localeFromEnvironment());
    return mergeFiles(sources, target, order);
}

} // namespace tess::tools
