#pragma once

#include "tools/merge/LineCollation.h"

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace tess::tools {

// A line as the merge of sorted runs compares it: its collation key is made
// only when a comparison needs it.
struct KeyedLine {
    QByteArrayView text;
    QByteArray key; // valid while `keyed`
    bool keyed = false;
    bool table = false; // plain ASCII the weight codes cover

    // A new line: the key of the last one is dropped, its storage kept.
    void reset(QByteArrayView line)
    {
        text = line;
        keyed = false;
    }
};

// Orders lines exactly as sortDistinct() does: by collation key, then by
// case key. Plain ASCII lines are compared through LineCollation's weight
// codes a byte at a time, without making their keys; other lines get the
// collator's key once. Not for sharing between threads.
class MergeKeys final {
public:
    explicit MergeKeys(const LineCollation& order)
        : m_order(order)
        , m_codes(order.hasAsciiTable() && order.hasWeightCodes())
    {
    }

    // Call after KeyedLine::reset(), before the line is compared.
    void prepare(KeyedLine& line) const;

    // <0, 0 or >0; 0 when the lines are the same but for letter case.
    int compare(KeyedLine& a, KeyedLine& b);

    // The line's collation key, as compare() uses it (in compact form where
    // the order has weight codes), into `key`, its storage reused.
    void sortKey(QByteArrayView line, QByteArray& key);

private:
    int compareCodes(QByteArrayView a, QByteArrayView b) const;
    const QByteArray& levelTail(qsizetype weighted);

    const LineCollation& m_order;
    bool m_codes;
    std::vector<QByteArray> m_tails;
};

} // namespace tess::tools
