#include "tools/merge/MergeKeys.h"

#include <algorithm>
#include <cstring>

namespace tess::tools {
namespace {

uint8_t lowerAscii(char c)
{
    const auto b = static_cast<uint8_t>(c);
    return b >= 'A' && b <= 'Z' ? static_cast<uint8_t>(b + 32) : b;
}

} // namespace

void MergeKeys::prepare(KeyedLine& line) const
{
    line.table = false;
    if (!m_codes)
        return;
    for (const char c : line.text)
        if (!m_order.tableCovers(static_cast<uint8_t>(c)))
            return;
    line.table = true;
}

void MergeKeys::sortKey(QByteArrayView line, QByteArray& key)
{
    if (m_order.hasAsciiTable()) {
        // As LineCollation::tableKey() makes it, or its compact form: the
        // codes of the weighted bytes, then the level tail.
        key.resize(line.size() * 3 + 1);
        char* out = key.data();
        qsizetype weighted = 0;
        bool covered = true;
        for (const char c : line) {
            const auto b = static_cast<uint8_t>(c);
            if (!m_order.tableCovers(b)) {
                covered = false;
                break;
            }
            const LineCollation::Weight& w = m_order.weight(b);
            if (m_codes) {
                *out = static_cast<char>(m_order.weightCode(b));
                out += w.size ? 1 : 0;
            } else {
                std::memcpy(out, w.bytes, sizeof w.bytes);
                out += w.size;
            }
            weighted += w.size ? 1 : 0;
        }
        if (covered) {
            const QByteArray& tail = levelTail(weighted);
            key.truncate(out - key.data());
            key += tail;
            return;
        }
    }
    key = m_order.sortKey(line);
    if (m_codes)
        key = m_order.compactKey(key);
}

// Two table lines' compact keys are their codes, the ignored bytes' zero
// codes left out, each followed by the level tail for the number of codes.
// The tail starts below every code, so the first difference of the codes
// decides, a line whose codes run out first is the smaller one, and equal
// codes make equal keys.
int MergeKeys::compareCodes(QByteArrayView a, QByteArrayView b) const
{
    // Equal bytes have equal codes: the shared start ("http://www.") is
    // passed over eight bytes at a time.
    const qsizetype n = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i + 8 <= n) {
        uint64_t wa, wb;
        std::memcpy(&wa, a.data() + i, 8);
        std::memcpy(&wb, b.data() + i, 8);
        if (wa != wb)
            break;
        i += 8;
    }
    while (i < n && a[i] == b[i])
        ++i;
    qsizetype j = i;
    for (;;) {
        uint8_t ca = 0, cb = 0;
        while (i < a.size() && (ca = m_order.weightCode(static_cast<uint8_t>(a[i++]))) == 0) { }
        while (j < b.size() && (cb = m_order.weightCode(static_cast<uint8_t>(b[j++]))) == 0) { }
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

int MergeKeys::compare(KeyedLine& a, KeyedLine& b)
{
    int byKey;
    if (a.table && b.table) {
        byKey = compareCodes(a.text, b.text);
    } else {
        for (KeyedLine* l : { &a, &b })
            if (!l->keyed) {
                sortKey(l->text, l->key);
                l->keyed = true;
            }
        byKey = QByteArrayView(a.key).compare(QByteArrayView(b.key), Qt::CaseSensitive);
    }
    if (byKey != 0)
        return byKey;
    if (a.table && b.table) {
        // Plain ASCII: the case key is the line in lower case.
        const qsizetype n = std::min(a.text.size(), b.text.size());
        for (qsizetype i = 0; i < n; ++i) {
            const uint8_t la = lowerAscii(a.text[i]);
            const uint8_t lb = lowerAscii(b.text[i]);
            if (la != lb)
                return la < lb ? -1 : 1;
        }
        return a.text.size() == b.text.size() ? 0 : (a.text.size() < b.text.size() ? -1 : 1);
    }
    if (a.text == b.text)
        return 0;
    const QByteArray caseA = LineCollation::caseKey(a.text);
    const QByteArray caseB = LineCollation::caseKey(b.text);
    return caseA < caseB ? -1 : (caseB < caseA ? 1 : 0);
}

const QByteArray& MergeKeys::levelTail(qsizetype weighted)
{
    const auto at = static_cast<size_t>(weighted);
    if (at >= m_tails.size())
        m_tails.resize(at + 1);
    QByteArray& tail = m_tails[at];
    if (tail.isEmpty())
        tail = m_order.levelTail(weighted);
    return tail;
}

} // namespace tess::tools
