#include "tools/merge/MemoryBudget.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unistd.h>

namespace tess::tools {
namespace {

// What fitLines needs of a text: its line ends (LFs, and CRs without an
// LF after them) and its bytes >= 0x80, counted eight bytes at a time.
struct TextCounts {
    qint64 ends = 0;
    qint64 high = 0;
};

// 0x80 in each byte of `word` that equals the byte repeated in `pattern`.
inline uint64_t bytesEqual(uint64_t word, uint64_t pattern)
{
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    const uint64_t t = word ^ pattern;
    return ~(((t & kLow7) + kLow7) | t | kLow7);
}

// The sum of the eight byte lanes of `lanes`.
inline qint64 laneSum(uint64_t lanes)
{
    constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FFULL;
    const uint64_t pairs = (lanes & kEvenBytes) + ((lanes >> 8) & kEvenBytes);
    return static_cast<qint64>((pairs * 0x0001000100010001ULL) >> 48);
}

TextCounts countText(const char* p, qsizetype size)
{
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    TextCounts c;
    qint64 lf = 0, cr = 0, crlf = 0;
    bool crBefore = false; // the byte before the word was a CR
    qsizetype i = 0;
    while (i + 8 <= size) {
        // Counts one a byte lane, for at most 255 words at a time.
        uint64_t lfLanes = 0, crLanes = 0, crlfLanes = 0, highLanes = 0;
        for (int n = 0; n < 255 && i + 8 <= size; ++n, i += 8) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            const uint64_t lfs = bytesEqual(w, kOnes * '\n');
            const uint64_t crs = bytesEqual(w, kOnes * '\r');
            lfLanes += lfs >> 7;
            crLanes += crs >> 7;
            // A CR in byte k followed by an LF in byte k+1, and across words.
            crlfLanes += (crs & (lfs >> 8)) >> 7;
            crlf += crBefore && (lfs & 0x80) ? 1 : 0;
            crBefore = (crs >> 56) != 0;
            highLanes += (w >> 7) & kOnes;
        }
        lf += laneSum(lfLanes);
        cr += laneSum(crLanes);
        crlf += laneSum(crlfLanes);
        c.high += laneSum(highLanes);
    }
    for (; i < size; ++i) {
        const auto b = static_cast<uint8_t>(p[i]);
        lf += b == '\n';
        cr += b == '\r';
        crlf += crBefore && b == '\n';
        crBefore = b == '\r';
        c.high += b >> 7;
    }
    c.ends = lf + cr - crlf;
    return c;
}

} // namespace

std::optional<qint64> parseMemorySize(const QString& text)
{
    QString number = text.trimmed().toUpper();
    if (number.endsWith(u"IB"))
        number.chop(2);
    else if (number.endsWith(u'B'))
        number.chop(1);
    int shift = 0;
    if (!number.isEmpty()) {
        switch (number.back().unicode()) {
        case u'K':
            shift = 10;
            break;
        case u'M':
            shift = 20;
            break;
        case u'G':
            shift = 30;
            break;
        case u'T':
            shift = 40;
            break;
        default:
            break;
        }
    }
    if (shift)
        number.chop(1);
    if (number.isEmpty())
        return std::nullopt;
    for (const QChar c : number)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    bool ok = false;
    const qint64 value = number.toLongLong(&ok);
    if (!ok || value <= 0 || value > (qint64(1) << (62 - shift)))
        return std::nullopt;
    return value << shift;
}

qint64 defaultMemoryBudget()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return qint64(1) << 30;
    return static_cast<qint64>(pages) * pageSize / 2;
}

qint64 fixedCost(qint64 budget) { return std::min(kFixedCost, budget / 4); }

qint64 sortingCost(qint64 bytes, qint64 lines, qint64 high)
{
    return bytes + std::max(bytes + 2 * lines, 48 * lines) + 20 * lines + 4 * high;
}

qint64 sortingCost(qint64 bytes) { return sortingCost(bytes, bytes / kLineGuess + 1); }

PartSizes partSizes(qint64 budget, qint64 total, bool sizesKnown, unsigned threads)
{
    PartSizes sizes;
    sizes.usable = budget - fixedCost(budget);
    sizes.fits = sizesKnown && sortingCost(total) <= sizes.usable;
    sizes.share = sizes.usable / threads;
    if (sizes.fits) {
        sizes.limit = total / threads + 1;
        return sizes;
    }
    // The largest part whose sorting fits its share.
    qint64 lo = 1, hi = sizes.share;
    while (lo < hi) {
        const qint64 mid = lo + (hi - lo + 1) / 2;
        if (sortingCost(mid) <= sizes.share)
            lo = mid;
        else
            hi = mid - 1;
    }
    sizes.limit = lo;
    return sizes;
}

qsizetype fitLines(const QByteArray& text, qsizetype cut, qint64 share)
{
    const char* p = text.constData();
    const auto [ends, counted] = countText(p, cut);
    qint64 high = counted;
    if (sortingCost(cut, ends + 1, high) <= share)
        return cut;
    qint64 lines = 0;
    high = 0;
    qsizetype lastEnd = -1;
    for (qsizetype i = 0; i < cut; ++i) {
        high += static_cast<uint8_t>(p[i]) >> 7;
        if (p[i] != '\n' && p[i] != '\r')
            continue;
        if (p[i] == '\r' && i + 1 < cut && p[i + 1] == '\n')
            ++i;
        ++lines;
        if (lastEnd > 0 && sortingCost(i + 1, lines, high) > share)
            return lastEnd;
        lastEnd = i + 1;
    }
    return cut;
}

qint64 runBufferSize(qint64 usable, size_t runs)
{
    return std::clamp<qint64>(
        usable / 2 / static_cast<qint64>(std::max<size_t>(1, runs)), kRunBufferMin, kRunBufferMax);
}

size_t mergeFanIn(qint64 usable)
{
    return static_cast<size_t>(std::max<qint64>(2, usable / 2 / kRunBufferMin));
}

qint64 raisedToMinimum(qint64 budget, FILE* err)
{
    if (budget <= 0 || budget >= kMinimumBudget)
        return budget;
    std::fprintf(
        err, "memory budget raised to the minimum of %lldM\n", static_cast<long long>(kMinimumBudget >> 20));
    return kMinimumBudget;
}

} // namespace tess::tools
