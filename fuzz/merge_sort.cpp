// The merge's sort against the plain way of doing it: the input's lines,
// inserted one by one into a sorted list by binary search under the same
// collation (root order), an equal line already there dropping the new
// one, give exactly what sortDistinct() gives, with either key form.
//
// Every input goes in as it is: NUL bytes are ordinary bytes of their line,
// and lines holding bytes GBK cannot decode compare by those bytes, which
// LineCollation::compare() does for the reference too.
#include "FuzzCheck.h"

#include "text/TextFile.h"
#include "tools/merge/DistinctSortInternal.h"
#include "tools/merge/LineCollation.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace tess;

namespace {

// CR LF, a lone CR and a lone LF each end one line; a line end at the very
// end adds no empty line.
text::Lines splitLines(QByteArray text)
{
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    text::Lines lines = text.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

text::Lines sortedInsertion(const text::Lines& lines, const tools::LineCollation& order)
{
    text::Lines list;
    for (const QByteArray& line : lines) {
        const auto at = std::lower_bound(list.begin(), list.end(), line,
            [&](const QByteArray& a, const QByteArray& b) { return order.compare(a, b) < 0; });
        if (at == list.end() || order.compare(*at, line) != 0)
            list.insert(at, line);
    }
    return list;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const tools::LineCollation order { QString() };

    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const text::Lines want = sortedInsertion(splitLines(text), order);
    const QByteArray wantContent = text::joinCrLf(want);
    for (const tools::KeyForm form : { tools::KeyForm::Compact, tools::KeyForm::Plain }) {
        const tools::DistinctLines got = tools::sortDistinct(text, order, form);
        FUZZ_CHECK(got.count == want.size());
        FUZZ_CHECK(got.content == wantContent);
    }
    return 0;
}
