#include "tools/merge/DistinctSort.h"

#include "text/CaseKey.h"
#include "tools/merge/HugePages.h"
#include "tools/merge/LineCollation.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Sorting by collation keys without keeping them: each line's key is made
// eight bytes at a time, only as deep as the radix sort needs to tell it
// from its neighbours. Plain ASCII lines make their keys from the table of
// LineCollation; other lines get the collator's key once, kept in an arena.
namespace tess::tools {
namespace {

constexpr uint32_t kSlowLine = 0x80000000u; // in Sorter::m_length
constexpr uint32_t kInTail = 0x80000000u;   // in Rec::cursor of a table-keyed line
constexpr size_t kSmallRange = 32;

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
    uint64_t word;   // the next eight key bytes, big-endian, zero after the key
    uint32_t line;
    uint32_t cursor; // where the key continues (see nextWord)
};

class Sorter {
public:
    Sorter(QByteArrayView text, const LineCollation& order, bool useCodes)
        : m_text(reinterpret_cast<const uint8_t*>(text.data()))
        , m_order(order)
    {
        for (unsigned b = 0; b < 256; ++b) {
            const LineCollation::Weight& wt = order.weight(static_cast<uint8_t>(b));
            for (unsigned k = 0; k < wt.size; ++k)
                m_packed[b].bytes = (m_packed[b].bytes << 8) | wt.bytes[k];
            m_packed[b].size = wt.size;
        }
        m_codes = useCodes && order.hasWeightCodes();
        if (m_codes) {
            // Does a code stand for one byte only, up to letter case?
            std::array<int, 256> byteOf;
            byteOf.fill(-1);
            m_codesNameBytes = true;
            for (unsigned b = 0; b < 128; ++b) {
                const uint8_t code = order.weightCode(static_cast<uint8_t>(b));
                if (!order.tableCovers(static_cast<uint8_t>(b)) || code == 0)
                    continue;
                const int folded = (b >= 'A' && b <= 'Z') ? static_cast<int>(b + 32) : static_cast<int>(b);
                if (byteOf[code] != -1 && byteOf[code] != folded)
                    m_codesNameBytes = false;
                byteOf[code] = folded;
            }
        }
        split(text.size());
    }

    DistinctLines run();

private:
    void split(qsizetype size);
    void nextWord(Rec& r);
    const QByteArray& tail(qsizetype weighted);
    void sortAll();
    void refill(Rec* recs, size_t lo, size_t hi);
    void sortRange(size_t lo, size_t hi, unsigned pos, bool inAux);
    void smallSort(size_t lo, size_t hi, unsigned pos);
    void settle(size_t lo, size_t hi, bool inAux);
    void pickFromTie(size_t lo, size_t hi, std::vector<uint32_t>& out) const;

    QByteArrayView lineView(uint32_t line) const
    {
        return QByteArrayView(m_text + m_start[line], m_length[line] & ~kSlowLine);
    }

    struct Range {
        size_t lo, hi;
        unsigned pos;
        bool inAux; // the records are in m_aux, not m_recs
    };

    // The table's weights as big-endian numbers, kept here for the hot loop.
    struct Packed {
        uint64_t bytes = 0;
        unsigned size = 0;
    };

    const uint8_t* m_text;
    const LineCollation& m_order;
    bool m_codes = false; // keys rewritten with LineCollation::weightCode
    // With codes, table lines hold no ignored byte (the collator keys those),
    // so when each code names one byte, equal keys mean equal lines.
    bool m_codesNameBytes = false;
    std::array<Packed, 256> m_packed {};
    std::vector<qsizetype> m_start;
    std::vector<uint32_t> m_length; // kSlowLine: the key is in m_slowKeys
    std::vector<uint8_t> m_slowKeys;
    std::vector<QByteArray> m_tails;
    std::unique_ptr<Rec[]> m_recs; // not zeroed: filled or written before read
    std::unique_ptr<Rec[]> m_aux;
    size_t m_count = 0;
    std::vector<Range> m_work;
    std::vector<std::pair<size_t, size_t>> m_ties; // ranges of equal keys
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
        n += static_cast<size_t>(__builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)))));
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
    m_start.reserve(expected);
    m_length.reserve(expected);
    bool printableCovered = m_order.hasAsciiTable();
    for (uint8_t b = 0x20; b < 0x7F; ++b)
        printableCovered = printableCovered && m_order.tableCovers(b);
    qsizetype i = 0;
    while (i < size && p[i] != 0) {
        const qsizetype begin = i;
        bool slow = !m_order.hasAsciiTable();
        bool mustCheck = !printableCovered;
        // Scan to the line end; on plain printable ASCII sixteen bytes a step.
#if defined(__SSE2__)
        const __m128i space = _mm_set1_epi8(0x20);
        const __m128i del = _mm_set1_epi8(0x7F);
        while (i + 16 <= size) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            // Signed compare: bytes >= 0x80 count as below the space too.
            const int special = _mm_movemask_epi8(_mm_or_si128(_mm_cmplt_epi8(v, space), _mm_cmpeq_epi8(v, del)));
            if (special == 0) {
                i += 16;
                continue;
            }
            i += __builtin_ctz(static_cast<unsigned>(special));
            const uint8_t b = p[i];
            if (b == '\r' || b == '\n' || b == 0)
                break;
            mustCheck = true;
            ++i;
        }
#endif
        while (i < size && p[i] != '\r' && p[i] != '\n' && p[i] != 0) {
            mustCheck = true;
            ++i;
        }
        const qsizetype length = i - begin;
        if (length >= static_cast<qsizetype>(kSlowLine) || m_start.size() >= UINT32_MAX)
            throw std::length_error("a line or the number of lines is too large to sort");
        if (!slow && mustCheck)
            for (qsizetype k = begin; k < i; ++k)
                if (!m_order.tableCovers(p[k]) || (m_codes && m_order.weightCode(p[k]) == 0)) {
                    slow = true;
                    break;
                }
        m_start.push_back(begin);
        m_length.push_back(static_cast<uint32_t>(length) | (slow ? kSlowLine : 0));
        if (i < size && p[i] == '\r')
            ++i;
        if (i < size && p[i] == '\n')
            ++i;
    }
}

const QByteArray& Sorter::tail(qsizetype weighted)
{
    if (static_cast<size_t>(weighted) >= m_tails.size())
        m_tails.resize(static_cast<size_t>(weighted) + 1);
    QByteArray& t = m_tails[static_cast<size_t>(weighted)];
    if (t.isEmpty())
        t = m_order.levelTail(weighted);
    return t;
}

// Table-keyed lines: the cursor is (byte position << 2 | bytes of that
// byte's weight already taken) or, with weight codes, the byte position;
// kInTail | offset once the primary part is used up. Collator-keyed lines:
// the cursor is the offset in m_slowKeys.
void Sorter::nextWord(Rec& r)
{
    uint64_t w = 0;
    unsigned got = 0;
    const uint32_t length = m_length[r.line];
    if (length & kSlowLine) {
        const uint8_t* k = m_slowKeys.data() + r.cursor;
        while (got < 8) {
            w = (w << 8) | *k;
            ++got;
            if (*k == 0)
                break;
            ++k;
        }
        r.cursor = static_cast<uint32_t>(k - m_slowKeys.data());
        r.word = got == 8 ? w : w << (8 * (8 - got));
        return;
    }
    uint32_t c = r.cursor;
    const uint8_t* s = m_text + m_start[r.line];
    if (m_codes) {
        if (!(c & kInTail)) {
            uint32_t pos = c;
            while (pos < length) {
                const uint8_t code = m_order.weightCode(s[pos++]);
                if (code) {
                    w = (w << 8) | code;
                    if (++got == 8) {
                        r.cursor = pos;
                        r.word = w;
                        return;
                    }
                }
            }
            c = kInTail;
        }
    } else if (!(c & kInTail)) {
        uint32_t pos = c >> 2;
        unsigned taken = c & 3;
        if (taken) { // the rest of a weight split at the previous word's end
            const LineCollation::Weight& wt = m_order.weight(s[pos]);
            while (taken < wt.size) {
                w = (w << 8) | wt.bytes[taken++];
                ++got;
            }
            ++pos;
            taken = 0;
        }
        // Whole weights while they fit; a weight is at most three bytes.
        while (pos < length) {
            const Packed pw = m_packed[s[pos]];
            if (got + pw.size > 8)
                break;
            w = (w << (8 * pw.size)) | pw.bytes;
            got += pw.size;
            ++pos;
        }
        if (got < 8 && pos < length) {
            const LineCollation::Weight& wt = m_order.weight(s[pos]);
            while (got < 8) {
                w = (w << 8) | wt.bytes[taken++];
                ++got;
            }
        }
        if (got == 8) {
            r.cursor = pos << 2 | taken;
            r.word = w;
            return;
        }
        c = kInTail;
    }
    qsizetype weighted = 0;
    for (uint32_t k = 0; k < length; ++k)
        weighted += m_order.weight(s[k]).size ? 1 : 0;
    const QByteArray& t = tail(weighted);
    uint32_t off = c & ~kInTail;
    while (got < 8 && off < static_cast<uint32_t>(t.size())) {
        w = (w << 8) | static_cast<uint8_t>(t[off++]);
        ++got;
    }
    r.cursor = kInTail | off;
    r.word = got == 8 ? w : w << (8 * (8 - got));
}

void Sorter::sortAll()
{
    const size_t n = m_count = m_start.size();
    m_recs.reset(new Rec[n]);
    m_aux.reset(new Rec[n]);
    size_t slowLines = 0;
    for (uint32_t length : m_length)
        slowLines += (length & kSlowLine) ? 1 : 0;
    m_slowKeys.reserve(slowLines * 64);
    adviseHugePages(m_recs.get(), n * sizeof(Rec));
    adviseHugePages(m_aux.get(), n * sizeof(Rec));
    for (uint32_t i = 0; i < n; ++i) {
        Rec& r = m_recs[i];
        r.line = i;
        r.cursor = 0;
        if (m_length[i] & kSlowLine) {
            const QByteArray key = m_codes ? m_order.compactKey(m_order.sortKey(lineView(i)))
                                           : m_order.sortKey(lineView(i));
            if (m_slowKeys.size() + static_cast<size_t>(key.size()) > UINT32_MAX)
                throw std::length_error("too much text outside ASCII to sort");
            r.cursor = static_cast<uint32_t>(m_slowKeys.size());
            m_slowKeys.insert(m_slowKeys.end(), key.begin(), key.end());
        }
        nextWord(r);
    }
    if (n > 1)
        m_work.push_back({0, n, 0, false});
    while (!m_work.empty()) {
        const Range r = m_work.back();
        m_work.pop_back();
        sortRange(r.lo, r.hi, r.pos, r.inAux);
    }
    std::sort(m_ties.begin(), m_ties.end());
}

// The next words of recs[lo, hi). The records are in key order by now, so
// their text is read at random: fetch it a few records ahead.
void Sorter::refill(Rec* recs, size_t lo, size_t hi)
{
    constexpr size_t kAhead = 8;
    for (size_t i = lo; i < hi; ++i) {
        if (i + 2 * kAhead < hi) {
            const uint32_t line = recs[i + 2 * kAhead].line;
            __builtin_prefetch(&m_start[line]);
            __builtin_prefetch(&m_length[line]);
        }
        if (i + kAhead < hi) {
            const Rec& r = recs[i + kAhead];
            if (!(r.cursor & kInTail) && !(m_length[r.line] & kSlowLine))
                __builtin_prefetch(m_text + m_start[r.line] + (m_codes ? r.cursor : r.cursor >> 2));
        }
        nextWord(recs[i]);
    }
}

// Sorts [lo, hi) of m_recs or m_aux, whose keys agree before byte `pos` of
// their words. A pass moves the records to the other buffer; whatever is
// done with is settled in m_recs. Equal keys keep line order, so the first
// of each run is the earliest line.
void Sorter::sortRange(size_t lo, size_t hi, unsigned pos, bool inAux)
{
    Rec* const src = inAux ? m_aux.get() : m_recs.get();
    Rec* const dst = inAux ? m_recs.get() : m_aux.get();
    for (;;) {
        if (pos == 8) {
            refill(src, lo, hi);
            pos = 0;
        }
        const size_t n = hi - lo;
        if (n <= kSmallRange) {
            settle(lo, hi, inAux);
            smallSort(lo, hi, pos);
            return;
        }
        const unsigned shift = 56 - 8 * pos;
        size_t count[256] = {};
        for (size_t i = lo; i < hi; ++i)
            ++count[(src[i].word >> shift) & 0xFF];
        const unsigned first = (src[lo].word >> shift) & 0xFF;
        if (count[first] == n) {
            if (first == 0) { // every key ends here: all equal
                settle(lo, hi, inAux);
                m_ties.emplace_back(lo, hi);
                return;
            }
            // Shared prefixes ("http://www.") would cost a pass a byte:
            // find where the words first differ at once.
            const uint64_t head = src[lo].word;
            uint64_t diff = 0;
            for (size_t i = lo + 1; i < hi; ++i)
                diff |= src[i].word ^ head;
            const unsigned differs = diff ? static_cast<unsigned>(__builtin_clzll(diff)) / 8 : 8;
            for (unsigned k = pos + 1; k < differs; ++k)
                if (((head >> (56 - 8 * k)) & 0xFF) == 0) { // every key ends here: all equal
                    settle(lo, hi, inAux);
                    m_ties.emplace_back(lo, hi);
                    return;
                }
            pos = differs;
            continue;
        }
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
                    m_ties.emplace_back(at, at + count[b]);
                } else {
                    m_work.push_back({at, at + count[b], pos + 1, !inAux});
                }
            }
            at += count[b];
        }
        return;
    }
}

void Sorter::settle(size_t lo, size_t hi, bool inAux)
{
    if (inAux)
        std::copy(m_aux.get() + lo, m_aux.get() + hi, m_recs.get() + lo);
}

void Sorter::smallSort(size_t lo, size_t hi, unsigned pos)
{
    const unsigned shift = 8 * pos;
    Rec* a = m_recs.get();
    // Insertion sort: stable, and quick on the few lines left here.
    for (size_t i = lo + 1; i < hi; ++i) {
        const Rec r = a[i];
        const uint64_t k = r.word << shift;
        size_t j = i;
        while (j > lo && (a[j - 1].word << shift) > k) {
            a[j] = a[j - 1];
            --j;
        }
        a[j] = r;
    }
    for (size_t i = lo; i < hi;) {
        size_t j = i + 1;
        const uint64_t k = a[i].word << shift;
        while (j < hi && (a[j].word << shift) == k)
            ++j;
        if (j - i > 1) {
            if ((a[i].word & 0xFF) == 0) // the keys ended within this word
                m_ties.emplace_back(i, j);
            else
                m_work.push_back({i, j, 8, false});
        }
        i = j;
    }
}

// Lines with equal collation keys, in line order: keep the first of each
// case-key class, the classes in case-key order.
void Sorter::pickFromTie(size_t lo, size_t hi, std::vector<uint32_t>& out) const
{
    const uint32_t head = m_recs[lo].line;
    if (m_codesNameBytes) {
        bool allTable = true;
        for (size_t i = lo; i < hi && allTable; ++i)
            allTable = !(m_length[m_recs[i].line] & kSlowLine);
        if (allTable) {
            out.push_back(head);
            return;
        }
    }
    // Usually the same line written alike or in other letter case.
    const QByteArrayView first = lineView(head);
    bool allSame = true;
    for (size_t i = lo + 1; i < hi && allSame; ++i) {
        const uint32_t line = m_recs[i].line;
        const QByteArrayView other = lineView(line);
        if ((m_length[head] | m_length[line]) & kSlowLine)
            allSame = text::sameIgnoringCase(first, other);
        else
            allSame = first.size() == other.size() && asciiSameIgnoringCase(first.data(), other.data(), first.size());
    }
    if (allSame) {
        out.push_back(m_recs[lo].line);
        return;
    }
    std::vector<std::pair<QByteArray, uint32_t>> keyed;
    for (size_t i = lo; i < hi; ++i)
        keyed.emplace_back(text::caseKey(lineView(m_recs[i].line)), m_recs[i].line);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    for (size_t i = 0; i < keyed.size(); ++i)
        if (i == 0 || keyed[i].first != keyed[i - 1].first)
            out.push_back(keyed[i].second);
}

DistinctLines Sorter::run()
{
    sortAll();
    std::vector<uint32_t> kept;
    kept.reserve(m_count);
    auto tie = m_ties.begin();
    for (size_t i = 0; i < m_count;) {
        if (tie != m_ties.end() && tie->first == i) {
            pickFromTie(tie->first, tie->second, kept);
            i = tie->second;
            ++tie;
        } else {
            kept.push_back(m_recs[i++].line);
        }
    }
    m_recs.reset();
    m_aux.reset();
    std::vector<uint8_t>().swap(m_slowKeys);

    qsizetype size = 0;
    for (uint32_t line : kept)
        size += (m_length[line] & ~kSlowLine) + 2;
    DistinctLines result;
    result.count = static_cast<qsizetype>(kept.size());
    result.content = QByteArray(size, Qt::Uninitialized);
    adviseHugePages(result.content.data(), static_cast<size_t>(size));
    char* out = result.content.data();
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i + 2 * kAhead < kept.size())
            __builtin_prefetch(&m_start[kept[i + 2 * kAhead]]);
        if (i + kAhead < kept.size())
            __builtin_prefetch(m_text + m_start[kept[i + kAhead]]);
        const uint32_t line = kept[i];
        const QByteArrayView v = lineView(line);
        std::memcpy(out, v.data(), static_cast<size_t>(v.size()));
        out += v.size();
        *out++ = '\r';
        *out++ = '\n';
    }
    return result;
}

} // namespace

DistinctLines sortDistinct(QByteArrayView text, const LineCollation& order, KeyForm form)
{
    return Sorter(text, order, form == KeyForm::Compact).run();
}

} // namespace tess::tools
