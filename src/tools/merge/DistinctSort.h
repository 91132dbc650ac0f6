#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace tess::tools {

class LineCollation;

struct DistinctLines {
    QByteArray content; // each line followed by CR LF; no lines, no bytes
    qsizetype count = 0;
};

// The lines of `text` (each ended by CR LF, a lone CR, a lone LF or the
// text's end; a NUL byte is part of its line like any other) without
// repeats and in ascending order under `order`; of lines that differ only in
// letter case the first one stays, as written. The result is the same as
// inserting the lines one by one into a sorted list that drops a line when
// an equal one is already there, but takes O(n log n) at worst.
DistinctLines sortDistinct(QByteArrayView text, const LineCollation& order);

} // namespace tess::tools
