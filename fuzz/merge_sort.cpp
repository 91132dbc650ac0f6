// The merge's sort against the plain way of doing it: the input's lines,
// inserted one by one into a sorted list by binary search under the same
// collation (root order), an equal line already there dropping the new
// one, give exactly what sortDistinct() gives, with either key form.
//
// Every input goes in as it is: NUL bytes are ordinary bytes of their line,
// and lines holding bytes GBK cannot decode compare by those bytes, which
// LineCollation::compare() does for the reference too.
//
// Then the way a large merge goes: the text cut into parts at line ends
// every few bytes (the first byte says how many), each part sorted on its
// own, the runs merged, one slice at a time and in slices at once, give
// the same again.
#include "FuzzCheck.h"

#include "io/FileReader.h"
#include "io/FileReplace.h"
#include "tools/merge/DistinctSortInternal.h"
#include "tools/merge/LineCollation.h"
#include "tools/merge/RunMerge.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

using namespace tess;

namespace {

// CR LF, a lone CR and a lone LF each end one line; a line end at the very
// end adds no empty line.
io::Lines splitLines(QByteArray text)
{
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    io::Lines lines = text.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

io::Lines sortedInsertion(const io::Lines& lines, const tools::LineCollation& order)
{
    io::Lines list;
    for (const QByteArray& line : lines) {
        const auto at = std::lower_bound(list.begin(), list.end(), line,
            [&](const QByteArray& a, const QByteArray& b) { return order.compare(a, b) < 0; });
        if (at == list.end() || order.compare(*at, line) != 0)
            list.insert(at, line);
    }
    return list;
}

// Parts of about `step` bytes, each ended where a line ends for sure: after
// an LF, or after a CR whose next byte is no LF.
std::vector<QByteArray> cutIntoParts(const QByteArray& text, qsizetype step)
{
    std::vector<QByteArray> parts;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = std::min(start + step, text.size());
        while (end < text.size() && !(text[end - 1] == '\n' || (text[end - 1] == '\r' && text[end] != '\n')))
            ++end;
        parts.push_back(text.sliced(start, end - start));
        start = end;
    }
    return parts;
}

class Collected final : public io::ContentSink {
public:
    void write(const char* data, qsizetype size) override { bytes.append(data, size); }
    QByteArray bytes;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const tools::LineCollation order { QString() };

    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const io::Lines want = sortedInsertion(splitLines(text), order);
    const QByteArray wantContent = io::joinCrLf(want);
    for (const tools::KeyForm form : { tools::KeyForm::Compact, tools::KeyForm::Plain }) {
        const tools::DistinctLines got = tools::sortDistinct(text, order, form);
        FUZZ_CHECK(got.count == want.size());
        FUZZ_CHECK(got.content == wantContent);
    }

    if (size == 0)
        return 0;
    static const tools::LineCollation second { QString() };
    static const tools::LineCollation third { QString() };
    std::vector<QByteArray> runs;
    for (const QByteArray& part : cutIntoParts(text, 1 + data[0] % 64))
        runs.push_back(tools::sortDistinct(part, order).content);
    {
        std::vector<std::unique_ptr<tools::RunReader>> readers;
        for (const QByteArray& run : runs)
            readers.push_back(std::make_unique<tools::MemoryRun>(run));
        Collected merged;
        FUZZ_CHECK(tools::mergeRuns(readers, order, merged) == want.size());
        FUZZ_CHECK(merged.bytes == wantContent);
    }
    Collected sliced;
    FUZZ_CHECK(tools::mergeMemoryRuns(runs, { &order, &second, &third }, sliced) == want.size());
    FUZZ_CHECK(sliced.bytes == wantContent);
    return 0;
}
