#include "tools/merge/DistinctSortInternal.h"

#include "tools/merge/HugePages.h"
#include "tools/merge/LineCollation.h"
#include "tools/merge/SortKeys.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Sorting by collation keys without keeping them: each line's key is made
// eight bytes at a time, only as deep as the radix sort needs to tell it
// from its neighbours. Plain ASCII lines make their keys from the table of
// LineCollation; other lines get the collator's key once, kept in an arena
// (see SortKeys.h).
namespace tess::tools {
namespace {

using keys::kInTail; // in Rec::cursor of a table-keyed line
constexpr uint32_t kSlowLine = 0x80000000u; // in Sorter::Line::length and Rec::line
constexpr size_t kSmallRange = 32;
// What Sorter::sharedBytesEnd() answers when every key ends in the bytes
// the records share.
constexpr unsigned kKeysEnded = 9;

bool asciiSameIgnoringCase(const char* a, const char* b, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        const char la = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
        const char lb = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
        if (la != lb)
            return false;
    }
    return true;
}

struct Rec {
    uint64_t word; // the next eight key bytes, big-endian, zero after the key
    uint64_t ahead; // the eight after those, while Range::ahead says so
    uint32_t line; // kSlowLine: the key is in Sorter::m_collatorKeys
    uint32_t cursor; // where the key continues (see nextWord)
};

uint32_t lineOf(const Rec& r) { return r.line & ~kSlowLine; }

class Sorter {
public:
    Sorter(QByteArrayView text, const LineCollation& order, bool useCodes)
        : m_text(reinterpret_cast<const uint8_t*>(text.data()))
        , m_order(order)
        , m_table(text, order, useCodes)
        , m_tails(order, m_table.everyByteWeighs())
    {
        split(text.size());
    }

    DistinctLines run();

private:
    void split(qsizetype size);
    void nextWord(Rec& r);
    uint32_t tableWord(uint32_t line, uint32_t cursor, keys::WordFill& fill);
    QByteArray collatorKey(uint32_t line) const;
    void sortAll();
    void refill(Rec* recs, size_t lo, size_t hi, bool ahead);
    void sortRange(size_t lo, size_t hi, unsigned pos, bool inAux, bool ahead);
    static unsigned sharedBytesEnd(const Rec* src, size_t lo, size_t hi, unsigned pos);
    void distribute(size_t lo, size_t hi, unsigned pos, bool inAux, bool ahead, const size_t (&count)[256]);
    void smallSort(size_t lo, size_t hi, unsigned pos, bool ahead);
    void settle(size_t lo, size_t hi, bool inAux);
    void markTie(size_t lo, size_t hi)
    {
        m_recs[lo].ahead = hi;
        m_tieStarts[lo / 64] |= uint64_t(1) << (lo % 64);
    }
    bool tieStartsAt(size_t i) const { return (m_tieStarts[i / 64] >> (i % 64)) & 1; }
    void pickFromTie(size_t lo, size_t hi, std::vector<uint32_t>& out) const;

    QByteArrayView lineView(uint32_t line) const
    {
        line &= ~kSlowLine;
        return QByteArrayView(m_text + m_lines[line].start, m_lines[line].length & ~kSlowLine);
    }

    struct Range {
        size_t lo, hi;
        unsigned pos;
        bool inAux; // the records are in m_aux, not m_recs
        bool ahead; // Rec::ahead holds the word after Rec::word
    };

    const uint8_t* m_text;
    const LineCollation& m_order;
    // The three sources of key bytes; m_tails is made after m_table, from it.
    keys::TableKeys m_table;
    keys::LevelTails m_tails;
    keys::CollatorKeys m_collatorKeys;
    // Start and length side by side: a refill reads both at random, and
    // one cache miss is cheaper than two.
    struct Line {
        qsizetype start;
        uint32_t length; // kSlowLine: the key is in m_collatorKeys
    };
    std::vector<Line> m_lines;
    // The records' two buffers and, once they are done with, the result: the
    // result then lands on pages already faulted in, not on fresh ones the
    // kernel must clear first. Not zeroed: filled or written before read.
    QByteArray m_block;
    Rec* m_recs = nullptr;
    Rec* m_aux = nullptr;
    qsizetype m_allLines = 0; // bytes of all lines with their CR LF
    size_t m_count = 0;
    std::vector<Range> m_work;
    // Ranges of equal keys, found in no particular order: a bit marks where
    // one starts and Rec::ahead of that record, no longer read, its end.
    std::vector<uint64_t> m_tieStarts;
};

// Lines usually end in LF: counting them first saves growing the line
// tables record by record, which copies them and touches fresh pages.
size_t likelyLines(const uint8_t* p, qsizetype size)
{
    size_t n = 1;
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        n += static_cast<size_t>(
            __builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)))));
    }
#endif
    for (; i < size; ++i)
        n += p[i] == '\n';
    return n;
}

void Sorter::split(qsizetype size)
{
    const uint8_t* p = m_text;
    const size_t expected = likelyLines(p, size);
    m_lines.reserve(expected);
    // When every printable byte can be in a table line, a line of printable
    // bytes alone needs no look at each of them.
    bool printableTaken = m_order.hasAsciiTable();
    for (uint8_t b = 0x20; b < 0x7F; ++b)
        printableTaken = printableTaken && m_table.takes(b);
    qsizetype i = 0;
    // Only CR and LF end a line: a NUL byte is text like any other, and the
    // lines after it are as much the user's as those before.
    while (i < size) {
        const qsizetype begin = i;
        bool slow = !m_order.hasAsciiTable();
        bool mustCheck = !printableTaken;
        // Scan to the line end; on plain printable ASCII sixteen bytes a step.
#if defined(__SSE2__)
        const __m128i space = _mm_set1_epi8(0x20);
        const __m128i del = _mm_set1_epi8(0x7F);
        while (i + 16 <= size) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            // Signed compare: bytes >= 0x80 count as below the space too.
            const int special
                = _mm_movemask_epi8(_mm_or_si128(_mm_cmplt_epi8(v, space), _mm_cmpeq_epi8(v, del)));
            if (special == 0) {
                i += 16;
                continue;
            }
            i += __builtin_ctz(static_cast<unsigned>(special));
            const uint8_t b = p[i];
            if (b == '\r' || b == '\n')
                break;
            mustCheck = true;
            ++i;
        }
#endif
        while (i < size && p[i] != '\r' && p[i] != '\n') {
            mustCheck = true;
            ++i;
        }
        const qsizetype length = i - begin;
        if (length >= static_cast<qsizetype>(kSlowLine) || m_lines.size() >= kSlowLine)
            throw std::length_error("a line or the number of lines is too large to sort");
        if (!slow && mustCheck)
            for (qsizetype k = begin; k < i; ++k)
                if (!m_table.takes(p[k])) {
                    slow = true;
                    break;
                }
        m_lines.push_back({ begin, static_cast<uint32_t>(length) | (slow ? kSlowLine : 0) });
        if (i < size && p[i] == '\r')
            ++i;
        if (i < size && p[i] == '\n')
            ++i;
    }
}

// A collator-keyed line's cursor is the offset in m_collatorKeys; for the
// cursor of a table-keyed line see keys::TableKeys, and kInTail | offset
// in the level tail once the primary part is used up.
void Sorter::nextWord(Rec& r)
{
    keys::WordFill fill;
    if (r.line & kSlowLine)
        r.cursor = m_collatorKeys.read(r.cursor, fill);
    else
        r.cursor = tableWord(r.line, r.cursor, fill);
    r.word = fill.word();
}

// The primary part from the text, then the level tail; returns the cursor.
uint32_t Sorter::tableWord(uint32_t line, uint32_t cursor, keys::WordFill& fill)
{
    if (!(cursor & kInTail)) {
        if (m_table.direct()) {
            if (m_table.readText(cursor, fill))
                return cursor;
        } else if (m_table.readLine(m_text + m_lines[line].start, m_lines[line].length, cursor, fill)) {
            return cursor;
        }
        cursor = kInTail;
    }
    return m_tails.read(m_text + m_lines[line].start, m_lines[line].length, cursor & ~kInTail, fill);
}

QByteArray Sorter::collatorKey(uint32_t line) const
{
    const QByteArray key = m_order.sortKey(lineView(line));
    return m_table.codes() ? m_order.compactKey(key) : key;
}

void Sorter::sortAll()
{
    const size_t n = m_count = m_lines.size();
    size_t slowLines = 0;
    for (const Line& line : m_lines) {
        slowLines += (line.length & kSlowLine) ? 1 : 0;
        m_allLines += (line.length & ~kSlowLine) + 2;
    }
    const qsizetype recBytes = static_cast<qsizetype>(2 * n * sizeof(Rec) + alignof(Rec));
    m_block = QByteArray(std::max(recBytes, m_allLines), Qt::Uninitialized);
    const uintptr_t at = reinterpret_cast<uintptr_t>(m_block.data());
    m_recs = reinterpret_cast<Rec*>((at + alignof(Rec) - 1) & ~uintptr_t(alignof(Rec) - 1));
    m_aux = m_recs + n;
    adviseHugePages(m_block.data(), static_cast<size_t>(m_block.size()));
    m_collatorKeys.reserve(slowLines * 64);
    for (uint32_t i = 0; i < n; ++i) {
        Rec& r = m_recs[i];
        r.line = i;
        r.cursor = m_table.direct() ? static_cast<uint32_t>(m_lines[i].start) : 0;
        if (m_lines[i].length & kSlowLine) {
            r.line |= kSlowLine;
            r.cursor = m_collatorKeys.add(collatorKey(i));
        }
        // Two words while the text is read in order: the first levels
        // then sort without reading any line again.
        nextWord(r);
        const uint64_t first = r.word;
        nextWord(r);
        r.ahead = r.word;
        r.word = first;
    }
    m_tieStarts.assign((n + 63) / 64, 0);
    if (n > 1)
        m_work.push_back({ 0, n, 0, false, true });
    while (!m_work.empty()) {
        const Range r = m_work.back();
        m_work.pop_back();
        sortRange(r.lo, r.hi, r.pos, r.inAux, r.ahead);
    }
}

// The next words of recs[lo, hi): the words read ahead when there are
// some, else from the text. The records are in key order by now, so their
// text is read at random: fetch it a few records ahead.
void Sorter::refill(Rec* recs, size_t lo, size_t hi, bool ahead)
{
    if (ahead) {
        for (size_t i = lo; i < hi; ++i)
            recs[i].word = recs[i].ahead;
        return;
    }
    constexpr size_t kAhead = 16;
    for (size_t i = lo; i < hi; ++i) {
        if (m_table.direct()) {
            if (i + kAhead < hi) {
                const Rec& r = recs[i + kAhead];
                // The line's length is wanted once its key reaches the
                // tail, which this refill may well do.
                if (r.line & kSlowLine) {
                    __builtin_prefetch(m_collatorKeys.at(r.cursor));
                } else {
                    __builtin_prefetch(&m_lines[r.line]);
                    if (!(r.cursor & kInTail))
                        __builtin_prefetch(m_text + r.cursor);
                }
            }
        } else {
            if (i + 2 * kAhead < hi)
                __builtin_prefetch(&m_lines[lineOf(recs[i + 2 * kAhead])]);
            if (i + kAhead < hi) {
                const Rec& r = recs[i + kAhead];
                if (!(r.cursor & kInTail) && !(r.line & kSlowLine))
                    __builtin_prefetch(
                        m_text + m_lines[r.line].start + (m_table.codes() ? r.cursor : r.cursor >> 2));
            }
        }
        nextWord(recs[i]);
    }
}

// Sorts [lo, hi) of m_recs or m_aux, whose keys agree before byte `pos` of
// their words. A pass moves the records to the other buffer; whatever is
// done with is settled in m_recs. Equal keys keep line order, so the first
// of each run is the earliest line.
void Sorter::sortRange(size_t lo, size_t hi, unsigned pos, bool inAux, bool ahead)
{
    const Rec* const src = inAux ? m_aux : m_recs;
    for (;;) {
        if (pos == 8) {
            refill(inAux ? m_aux : m_recs, lo, hi, ahead);
            ahead = false;
            pos = 0;
        }
        if (hi - lo <= kSmallRange) {
            settle(lo, hi, inAux);
            smallSort(lo, hi, pos, ahead);
            return;
        }
        const unsigned shift = 56 - 8 * pos;
        size_t count[256] = {};
        for (size_t i = lo; i < hi; ++i)
            ++count[(src[i].word >> shift) & 0xFF];
        if (count[(src[lo].word >> shift) & 0xFF] != hi - lo) {
            distribute(lo, hi, pos, inAux, ahead, count);
            return;
        }
        pos = sharedBytesEnd(src, lo, hi, pos);
        if (pos == kKeysEnded) { // every key ends here: all equal
            settle(lo, hi, inAux);
            markTie(lo, hi);
            return;
        }
    }
}

// The words of [lo, hi) share byte `pos`. Shared prefixes ("http://www.")
// would cost a pass a byte: this finds where the words first differ at
// once (8 when they agree to the end of the word), or kKeysEnded when the
// keys end in a byte all share.
unsigned Sorter::sharedBytesEnd(const Rec* src, size_t lo, size_t hi, unsigned pos)
{
    const uint64_t head = src[lo].word;
    uint64_t diff = 0;
    for (size_t i = lo + 1; i < hi; ++i)
        diff |= src[i].word ^ head;
    const unsigned differs = diff ? static_cast<unsigned>(__builtin_clzll(diff)) / 8 : 8;
    for (unsigned k = pos; k < differs; ++k)
        if (((head >> (56 - 8 * k)) & 0xFF) == 0)
            return kKeysEnded;
    return differs;
}

// One pass on byte `pos`: moves the records of [lo, hi) to the other
// buffer by that byte (`count` of each value), settles the groups of one
// and the ties, and leaves the other groups to m_work.
void Sorter::distribute(
    size_t lo, size_t hi, unsigned pos, bool inAux, bool ahead, const size_t (&count)[256])
{
    const Rec* const src = inAux ? m_aux : m_recs;
    Rec* const dst = inAux ? m_recs : m_aux;
    const unsigned shift = 56 - 8 * pos;
    size_t next[256];
    size_t at = lo;
    for (unsigned b = 0; b < 256; ++b) {
        next[b] = at;
        at += count[b];
    }
    for (size_t i = lo; i < hi; ++i)
        dst[next[(src[i].word >> shift) & 0xFF]++] = src[i];
    at = lo;
    for (unsigned b = 0; b < 256; ++b) {
        if (count[b] == 1) {
            settle(at, at + 1, !inAux);
        } else if (count[b] > 1) {
            if (b == 0) {
                settle(at, at + count[b], !inAux);
                markTie(at, at + count[b]);
            } else {
                m_work.push_back({ at, at + count[b], pos + 1, !inAux, ahead });
            }
        }
        at += count[b];
    }
}

void Sorter::settle(size_t lo, size_t hi, bool inAux)
{
    if (inAux)
        std::copy(m_aux + lo, m_aux + hi, m_recs + lo);
}

void Sorter::smallSort(size_t lo, size_t hi, unsigned pos, bool ahead)
{
    const unsigned shift = 8 * pos;
    Rec* a = m_recs;
    // Both words when there are two: past the first, the keys are zero
    // anyway where it ended them, so the pair compares as the key does.
    const auto keyOf = [shift, ahead](const Rec& r) {
        return (static_cast<unsigned __int128>(r.word << shift) << 64) | (ahead ? r.ahead : 0);
    };
    // Insertion sort: stable, and quick on the few lines left here.
    for (size_t i = lo + 1; i < hi; ++i) {
        const Rec r = a[i];
        const unsigned __int128 k = keyOf(r);
        size_t j = i;
        while (j > lo && keyOf(a[j - 1]) > k) {
            a[j] = a[j - 1];
            --j;
        }
        a[j] = r;
    }
    for (size_t i = lo; i < hi;) {
        size_t j = i + 1;
        const unsigned __int128 k = keyOf(a[i]);
        while (j < hi && keyOf(a[j]) == k)
            ++j;
        if (j - i > 1) {
            // The keys ended within this word, or within the next one.
            if ((a[i].word & 0xFF) == 0 || (ahead && (a[i].ahead & 0xFF) == 0))
                markTie(i, j);
            else
                m_work.push_back({ i, j, 8, false, ahead });
        }
        i = j;
    }
}

// Lines with equal collation keys, in line order: keep the first of each
// case-key class, the classes in case-key order.
void Sorter::pickFromTie(size_t lo, size_t hi, std::vector<uint32_t>& out) const
{
    const uint32_t head = lineOf(m_recs[lo]);
    if (m_table.codesNameBytes()) {
        // Keys that ended leave table lines' cursors in the tail, and
        // collator keys end below kInTail in m_collatorKeys.
        bool allTable = true;
        for (size_t i = lo; i < hi && allTable; ++i)
            allTable = (m_recs[i].cursor & kInTail) != 0;
        if (allTable) {
            out.push_back(head);
            return;
        }
    }
    // Usually the same line written alike or in other letter case.
    const QByteArrayView first = lineView(head);
    bool allSame = true;
    for (size_t i = lo + 1; i < hi && allSame; ++i) {
        const uint32_t line = lineOf(m_recs[i]);
        const QByteArrayView other = lineView(line);
        if ((m_lines[head].length | m_lines[line].length) & kSlowLine)
            allSame = LineCollation::sameLine(first, other);
        else
            allSame = first.size() == other.size()
                && asciiSameIgnoringCase(first.data(), other.data(), first.size());
    }
    if (allSame) {
        out.push_back(head);
        return;
    }
    std::vector<std::pair<QByteArray, uint32_t>> keyed;
    for (size_t i = lo; i < hi; ++i)
        keyed.emplace_back(LineCollation::caseKey(lineView(m_recs[i].line)), lineOf(m_recs[i]));
    std::stable_sort(
        keyed.begin(), keyed.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    for (size_t i = 0; i < keyed.size(); ++i)
        if (i == 0 || keyed[i].first != keyed[i - 1].first)
            out.push_back(keyed[i].second);
}

DistinctLines Sorter::run()
{
    sortAll();
    std::vector<uint32_t> kept;
    kept.reserve(m_count);
    for (size_t i = 0; i < m_count;) {
        if (tieStartsAt(i)) {
            const size_t end = m_recs[i].ahead;
            pickFromTie(i, end, kept);
            i = end;
        } else {
            kept.push_back(lineOf(m_recs[i++]));
        }
    }
    m_recs = m_aux = nullptr;
    m_collatorKeys.release();

    DistinctLines result;
    result.count = static_cast<qsizetype>(kept.size());
    if (kept.empty()) {
        result.content = QByteArray(0, Qt::Uninitialized);
        return result;
    }
    // The kept lines fit where all lines would; the records are no longer
    // read, so the result overwrites them from the start.
    char* const begin = m_block.data();
    char* out = begin;
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i + 2 * kAhead < kept.size())
            __builtin_prefetch(&m_lines[kept[i + 2 * kAhead]]);
        if (i + kAhead < kept.size())
            __builtin_prefetch(m_text + m_lines[kept[i + kAhead]].start);
        const uint32_t line = kept[i];
        const QByteArrayView v = lineView(line);
        std::memcpy(out, v.data(), static_cast<size_t>(v.size()));
        out += v.size();
        *out++ = '\r';
        *out++ = '\n';
    }
    m_block.resize(out - begin); // keeps the buffer: no copy
    result.content = std::move(m_block);
    return result;
}

} // namespace

DistinctLines sortDistinct(QByteArrayView text, const LineCollation& order, KeyForm form)
{
    return Sorter(text, order, form == KeyForm::Compact).run();
}

DistinctLines sortDistinct(QByteArrayView text, const LineCollation& order)
{
    return sortDistinct(text, order, KeyForm::Compact);
}

} // namespace tess::tools
