#include "tools/import/KeywordImport.h"

#include <algorithm>
#include <cstring>

namespace tess::tools {
namespace {

constexpr char kCtrlZ = 26;

// Line-reader state carried from one chunk of a file to the next.
struct LineCounter {
    qsizetype count = 0;
    bool atLineStart = true;
    bool ended = false;

    void feed(const char* p, qsizetype n)
    {
        const char* const end = p + n;
        while (p < end && !ended) {
            if (atLineStart) {
                if (*p == kCtrlZ) {
                    ended = true;
                    return;
                }
                ++count;
                atLineStart = false;
            }
            const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p));
            if (!lf)
                return;
            p = static_cast<const char*>(lf) + 1;
            atLineStart = true;
        }
    }
};

} // namespace

io::Lines splitList(QByteArrayView bytes)
{
    io::Lines lines;
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end && *p != '\0') {
        const char* start = p;
        while (p < end && *p != '\r' && *p != '\n' && *p != '\0')
            ++p;
        lines.append(QByteArray(start, p - start));
        if (p < end && *p == '\r')
            ++p;
        if (p < end && *p == '\n')
            ++p;
    }
    return lines;
}

qsizetype countLines(QByteArrayView bytes)
{
    LineCounter counter;
    counter.feed(bytes.data(), bytes.size());
    return counter.count;
}

qsizetype countFileLines(const QString& path)
{
    io::FileReader reader(path, io::ReadFailure::InOut);
    LineCounter counter;
    reader.readChunks([&](const char* data, qsizetype size) {
        counter.feed(data, size);
        return !counter.ended;
    });
    return counter.count;
}

io::Lines loadList(const QString& path) { return splitList(io::readWholeFile(path)); }

std::optional<QString> detectUtf16(QByteArrayView bytes)
{
    const QString little = QStringLiteral("UTF-16LE");
    const QString big = QStringLiteral("UTF-16BE");
    if (bytes.startsWith("\xFF\xFE"))
        return little;
    if (bytes.startsWith("\xFE\xFF"))
        return big;
    // The start of the file tells as well as the whole of it.
    constexpr qsizetype kLooked = 4096;
    const qsizetype pairs = std::min(bytes.size(), kLooked) / 2;
    qsizetype nulFirst = 0;
    qsizetype nulSecond = 0;
    for (qsizetype i = 0; i < pairs; ++i) {
        nulFirst += bytes[2 * i] == '\0' ? 1 : 0;
        nulSecond += bytes[2 * i + 1] == '\0' ? 1 : 0;
    }
    // A stray NUL in GBK text is far from every other byte; UTF-16 text
    // with some ASCII in it has NULs on one side and hardly any on the other.
    auto oneSided = [pairs](qsizetype many, qsizetype few) { return many * 4 > pairs && few * 8 < many; };
    if (oneSided(nulSecond, nulFirst))
        return little;
    if (oneSided(nulFirst, nulSecond))
        return big;
    return std::nullopt;
}

} // namespace tess::tools
