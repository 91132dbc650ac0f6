// The merge's sort against the plain way of doing it: the input's lines,
// inserted one by one into a sorted list by binary search under the same
// collation (root order), an equal line already there dropping the new
// one, give exactly what sortDistinct() gives, with either key form.
//
// Two kinds of input are filtered out before either sees them, because
// the merge does not yet treat them as it should:
//  - NUL bytes are removed: today a NUL ends the text being split, where
//    it should be an ordinary byte of its line;
//  - bytes that are not GBK (a lead byte 0x81-0xFE without a trail byte
//    0x40-0x7E or 0x80-0xFE after it) are removed: today such lines decode
//    with U+FFFD in place of those bytes, so lines differing only there
//    count as one, where they should compare by their bytes.
// Once the merge gets both right, feed the input as it is: drop
// validGbkWithoutNul() and the check after it. The reference needs no
// change: it splits at CR and LF alone and leaves the comparing of lines,
// undecodable bytes included, to LineCollation::compare().
#include "FuzzCheck.h"

#include "text/Gbk.h"
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

bool gbkLead(uint8_t b) { return b >= 0x81 && b <= 0xFE; }
bool gbkTrail(uint8_t b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// The input without NUL bytes and without lead bytes that no trail byte
// follows; every lead and trail pair GBK has maps to a character.
QByteArray validGbkWithoutNul(const uint8_t* data, size_t size)
{
    QByteArray out;
    out.reserve(static_cast<qsizetype>(size));
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        if (b == 0)
            continue;
        if (gbkLead(b)) {
            if (i + 1 < size && gbkTrail(data[i + 1])) {
                out += static_cast<char>(b);
                out += static_cast<char>(data[++i]);
            }
            continue;
        }
        out += static_cast<char>(b);
    }
    return out;
}

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

    const QByteArray text = validGbkWithoutNul(data, size);
    // The filter keeps only what the converter decodes.
    FUZZ_CHECK(!text::fromGbk(text).contains(QChar::ReplacementCharacter));

    const text::Lines want = sortedInsertion(splitLines(text), order);
    const QByteArray wantContent = text::joinCrLf(want);
    for (const tools::KeyForm form : { tools::KeyForm::Compact, tools::KeyForm::Plain }) {
        const tools::DistinctLines got = tools::sortDistinct(text, order, form);
        FUZZ_CHECK(got.count == want.size());
        FUZZ_CHECK(got.content == wantContent);
    }
    return 0;
}
