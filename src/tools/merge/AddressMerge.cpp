#include "tools/merge/AddressMerge.h"

#include "io/FileDescriptor.h"
#include "io/FileReader.h"
#include "io/FileReplace.h"
#include "io/PathName.h"
#include "io/SystemCalls.h"
#include "io/TemporaryFiles.h"
#include "tools/merge/DistinctSort.h"
#include "tools/merge/HugePages.h"
#include "tools/merge/LineCollation.h"
#include "tools/merge/MemoryBudget.h"
#include "tools/merge/RunMerge.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <thread>
#include <unistd.h>

namespace tess::tools {

QByteArray joinSources(const QStringList& sources, io::ReadOptions options)
{
    // One buffer for all sources: the sort needs the joined text anyway, and
    // a copy per source would double the largest file in memory.
    qsizetype expected = 0;
    for (const QString& path : sources)
        expected += QFileInfo(path).size();
    // Room to spare, so the read that finds the end needs no larger buffer:
    // growing it would copy everything read so far.
    QByteArray joined;
    joined.reserve(expected + io::FileReader::kDefaultSlack);
    adviseHugePages(joined.data(), static_cast<size_t>(joined.capacity()));

    for (const QString& path : sources)
        io::FileReader(path, io::ReadFailure::Stream, options).readAllInto(joined);
    return joined;
}

SpillError::SpillError(const QString& folder, int error)
    : text::AppError(error == ENOSPC || error == EDQUOT
            ? QStringLiteral("临时文件夹 %1 空间不足，合并未完成，目标文件未改动")
                  .arg(QDir::toNativeSeparators(folder))
            : QStringLiteral("临时文件夹 %1 无法写入（%2），合并未完成，目标文件未改动")
                  .arg(QDir::toNativeSeparators(folder), text::systemReason(error)))
{
}

namespace {

// Below this the sources are sorted as one part: threads would not pay.
constexpr qint64 kSmallInput = qint64(4) << 20;
// What the merge holds besides the parts being sorted: buffers, the output.
// A quarter of the smallest budgets, so tests can make many parts.
constexpr qint64 kFixedCost = qint64(8) << 20;
qint64 fixedCost(qint64 budget) { return std::min(kFixedCost, budget / 4); }
// The merge's memory share for the read buffers of the runs in the file.
constexpr qint64 kRunBufferMin = qint64(64) << 10;
constexpr qint64 kRunBufferMax = qint64(4) << 20;

// Sorting a part of `bytes` bytes in `lines` lines holds at once the text,
// the line table (16 bytes a line), the records of the radix sort (48) or
// the result, whichever is larger, and the list of lines kept (4). Lines
// that are not plain ASCII have their collation keys kept besides, a few
// bytes for each of their bytes >= 0x80 (`high`).
qint64 sortingCost(qint64 bytes, qint64 lines, qint64 high = 0)
{
    return bytes + std::max(bytes + 2 * lines, 48 * lines) + 20 * lines + 4 * high;
}

// The same for a part of unknown lines, taking them no shorter than this
// on average; shorter ones make the part end sooner (see fitLines).
constexpr qint64 kLineGuess = 40;
qint64 sortingCost(qint64 bytes) { return sortingCost(bytes, bytes / kLineGuess + 1); }

// The sources one after the other, as one stream of bytes.
class JoinedInput {
public:
    JoinedInput(const QStringList& sources, io::ReadOptions options)
        : m_sources(sources)
        , m_options(options)
    {
    }
    // Up to `size` bytes; 0 once every source is read.
    qsizetype read(char* buffer, qsizetype size)
    {
        while (m_next <= m_sources.size()) {
            if (m_reader) {
                const qsizetype n = m_reader->readSome(buffer, size);
                if (n > 0) {
                    m_read += n;
                    return n;
                }
                m_reader.reset();
            }
            if (m_next == m_sources.size())
                break;
            m_reader
                = std::make_unique<io::FileReader>(m_sources[m_next++], io::ReadFailure::Stream, m_options);
        }
        m_next = m_sources.size() + 1;
        return 0;
    }
    qint64 bytesRead() const { return m_read; }

private:
    const QStringList& m_sources;
    io::ReadOptions m_options;
    std::unique_ptr<io::FileReader> m_reader;
    qsizetype m_next = 0;
    qint64 m_read = 0;
};

// Where a part read so far may end so that no line is cut: after its last
// LF, or after a lone CR (one whose next byte is known, and no LF). -1 when
// there is no such place.
qsizetype lastWholeLine(const QByteArray& text)
{
    for (qsizetype j = text.size() - 2; j >= 0; --j) {
        if (text[j] == '\n' || (text[j] == '\r' && text[j + 1] != '\n'))
            return j + 1;
    }
    return -1;
}

// What fitLines needs of a text: its line ends (LFs, and CRs without an
// LF after them) and its bytes >= 0x80, counted eight bytes at a time.
struct TextCounts {
    qint64 ends = 0;
    qint64 high = 0;
};

// 0x80 in each byte of `word` that equals the byte repeated in `pattern`.
inline uint64_t bytesEqual(uint64_t word, uint64_t pattern)
{
    constexpr uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
    const uint64_t t = word ^ pattern;
    return ~(((t & low7) + low7) | t | low7);
}

// The sum of the eight byte lanes of `lanes`.
inline qint64 laneSum(uint64_t lanes)
{
    constexpr uint64_t evenBytes = 0x00FF00FF00FF00FFULL;
    const uint64_t pairs = (lanes & evenBytes) + ((lanes >> 8) & evenBytes);
    return static_cast<qint64>((pairs * 0x0001000100010001ULL) >> 48);
}

TextCounts countText(const char* p, qsizetype size)
{
    constexpr uint64_t ones = 0x0101010101010101ULL;
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
            const uint64_t lfs = bytesEqual(w, ones * '\n');
            const uint64_t crs = bytesEqual(w, ones * '\r');
            lfLanes += lfs >> 7;
            crLanes += crs >> 7;
            // A CR in byte k followed by an LF in byte k+1, and across words.
            crlfLanes += (crs & (lfs >> 8)) >> 7;
            crlf += crBefore && (lfs & 0x80) ? 1 : 0;
            crBefore = (crs >> 56) != 0;
            highLanes += (w >> 7) & ones;
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

// Moves the end of a part of many short lines, or of much text that is not
// ASCII, back so that sorting it fits `share`; at least one line stays.
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

class Merger {
public:
    Merger(const QStringList& sources, const QString& target, const LineCollation& order,
        const MergeOptions& options)
        : m_target(target)
        , m_order(order)
        , m_options(options)
        , m_input(sources, options.sourceOptions)
    {
        for (const QString& path : sources) {
            const QFileInfo info(path);
            m_total += info.size();
            m_sizesKnown = m_sizesKnown && info.isFile();
        }
        m_budget = options.memoryBudget > 0 ? options.memoryBudget : defaultMemoryBudget();
        m_threads = options.threads > 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
        if (options.threads == 0 && m_total < kSmallInput)
            m_threads = 1;
    }

    qsizetype run();

private:
    void checkCancel() const
    {
        if (m_options.cancel && m_options.cancel->load(std::memory_order_relaxed))
            throw MergeCancelled();
    }
    void report(MergePhase phase, qint64 done, qint64 of);
    bool readPart(QByteArray& text, qint64 limit, qint64 share);
    const LineCollation& orderFor(size_t thread);
    void spill(std::vector<QByteArray>& sorted);
    // Merges into the sink, telling the callback how many bytes it has done.
    using MergeInto
        = std::function<qsizetype(io::ContentSink& sink, const std::function<void(qint64)>& done)>;
    qsizetype writeTarget(qint64 size, const MergeInto& merge);

    const QString& m_target;
    const LineCollation& m_order;
    const MergeOptions& m_options;
    JoinedInput m_input;
    qint64 m_total = 0; // of the sources that are files
    bool m_sizesKnown = true; // every source is a file
    qint64 m_budget = 0;
    unsigned m_threads = 1;
    std::vector<std::unique_ptr<LineCollation>> m_orders; // of the other threads
    QByteArray m_carry; // the start of the next part
    qint64 m_sorted = 0; // bytes of the sources sorted
    int m_lastPercent = -2;
    MergePhase m_lastPhase = MergePhase::Sorting;

    // The runs waiting in the temporary file, which has no name: it goes
    // with the program whatever ends it.
    io::FileDescriptor m_spill;
    QString m_spillFolder;
    struct Run {
        qint64 offset, length;
    };
    std::vector<Run> m_runs;
    qint64 m_spilled = 0;
};

void Merger::report(MergePhase phase, qint64 done, qint64 of)
{
    if (!m_options.progress)
        return;
    const int percent = of > 0 ? static_cast<int>(std::min<qint64>(100, done * 100 / of)) : -1;
    if (percent == m_lastPercent && phase == m_lastPhase)
        return;
    m_lastPercent = percent;
    m_lastPhase = phase;
    m_options.progress(phase, percent);
}

// Reads the next part into `text`: the carried bytes, then the sources up to
// `limit` bytes, ended after a whole line and cut to `share` of memory.
// False when the sources are used up (the part then holds all that was left).
bool Merger::readPart(QByteArray& text, qint64 limit, qint64 share)
{
    text = std::move(m_carry);
    m_carry = QByteArray();
    const qint64 left = std::max<qint64>(0, m_total - m_input.bytesRead());
    const qint64 want = std::min(limit, left + text.size()) + io::FileReader::kDefaultSlack;
    if (text.capacity() < want) {
        text.reserve(want);
        adviseHugePages(text.data(), static_cast<size_t>(text.capacity()));
    }
    bool end = false;
    for (;;) {
        while (text.size() < limit && !end) {
            checkCancel();
            if (text.capacity() - text.size() < io::FileReader::kDefaultSlack / 2)
                text.reserve(text.capacity() * 2);
            const qsizetype room = std::min<qint64>(text.capacity() - text.size(), limit - text.size());
            const qsizetype at = text.size();
            text.resize(at + room);
            const qsizetype n = m_input.read(text.data() + at, room);
            text.truncate(at + n);
            end = n == 0;
            if (!end)
                report(MergePhase::Sorting, m_input.bytesRead() + m_sorted, 2 * m_total);
        }
        // At the end of the input the last line needs no line end.
        qsizetype cut = end ? text.size() : lastWholeLine(text);
        if (cut < 0) { // one line longer than the part: read on
            limit *= 2;
            continue;
        }
        // Also where the sizes said everything fits: lines far shorter
        // than guessed, or text that is mostly not ASCII, cost more.
        cut = fitLines(text, cut, share);
        if (end && cut == text.size())
            return false;
        m_carry = text.sliced(cut);
        text.truncate(cut);
        // A part cut well short of its buffer lets the rest of it go: the
        // pages read into count as much as the part.
        if (cut < text.capacity() / 4 * 3)
            text.squeeze();
        return true;
    }
}

// Sorts each part on a thread of its own as soon as it is read, so the
// next part is read while the first ones sort; a part's text is let go
// once it is sorted.
class PartSorter {
public:
    explicit PartSorter(size_t parts)
        : m_texts(parts)
        , m_sorted(parts)
        , m_failed(parts)
    {
    }
    ~PartSorter() { join(); }
    PartSorter(const PartSorter&) = delete;
    PartSorter& operator=(const PartSorter&) = delete;

    void start(QByteArray text, const LineCollation& order)
    {
        const size_t i = m_workers.size();
        m_texts[i] = std::move(text);
        m_workers.emplace_back([this, i, &order] {
            try {
                m_sorted[i] = sortDistinct(m_texts[i], order).content;
            } catch (...) {
                m_failed[i] = std::current_exception();
            }
            m_texts[i] = QByteArray();
        });
    }
    // The sorted parts in the order they were started.
    std::vector<QByteArray> finish()
    {
        join();
        for (const std::exception_ptr& e : m_failed)
            if (e)
                std::rethrow_exception(e);
        m_sorted.resize(m_workers.size());
        m_workers.clear();
        return std::move(m_sorted);
    }

private:
    void join()
    {
        for (std::thread& t : m_workers)
            if (t.joinable())
                t.join();
    }

    std::vector<QByteArray> m_texts;
    std::vector<QByteArray> m_sorted;
    std::vector<std::exception_ptr> m_failed;
    std::vector<std::thread> m_workers;
};

// Each thread its own collator: ICU does not promise that one may be used
// from several threads at once.
const LineCollation& Merger::orderFor(size_t thread)
{
    if (thread == 0)
        return m_order;
    while (m_orders.size() < thread)
        m_orders.push_back(std::make_unique<LineCollation>(m_order.locale()));
    return *m_orders[thread - 1];
}

void Merger::spill(std::vector<QByteArray>& sorted)
{
    if (!m_spill.isOpen()) {
        m_spillFolder = m_options.spillFolder;
        if (m_spillFolder.isEmpty())
            m_spillFolder = qEnvironmentVariable("TMPDIR");
        if (m_spillFolder.isEmpty())
            m_spillFolder = QFileInfo(m_target).absolutePath();
        QByteArray name = io::temporaryFilePattern(io::encodePath(m_spillFolder));
        m_spill = io::FileDescriptor(io::systemCalls().mkostemps(name.data(), 4, O_CLOEXEC));
        if (!m_spill.isOpen())
            throw SpillError(m_spillFolder, errno);
        // Listed until it has no name, should a signal come in between.
        const io::LiveTemporaryFile listed(name);
        ::unlink(name.constData());
    }
    for (QByteArray& run : sorted) {
        checkCancel();
        if (run.isEmpty())
            continue;
        if (!io::writeAll(m_spill.get(), run.constData(), run.size()))
            throw SpillError(m_spillFolder, errno);
        m_runs.push_back({ m_spilled, run.size() });
        m_spilled += run.size();
        run = QByteArray();
    }
}

qsizetype Merger::writeTarget(qint64 size, const MergeInto& merge)
{
    qsizetype count = 0;
    io::replaceFile(
        m_target,
        [&](io::ContentSink& sink) {
            report(MergePhase::Merging, 0, size);
            count = merge(sink, [&](qint64 done) {
                checkCancel();
                report(MergePhase::Merging, done, size);
            });
            // The last cancel: past it the target is replaced.
            checkCancel();
        },
        size);
    report(MergePhase::Merging, size, size);
    return count;
}

qsizetype Merger::run()
{
    // Sorting a part costs about 2.5 times its size (sortingCost); whatever
    // fits in the budget is sorted in memory, split among the threads.
    const qint64 usable = m_budget - fixedCost(m_budget);
    const bool fits = m_sizesKnown && sortingCost(m_total) <= usable;
    const qint64 share = usable / m_threads;
    qint64 limit = fits ? m_total / m_threads + 1 : 1;
    if (!fits) {
        // The largest part whose sorting fits its share.
        qint64 lo = 1, hi = share;
        while (lo < hi) {
            const qint64 mid = lo + (hi - lo + 1) / 2;
            if (sortingCost(mid) <= share)
                lo = mid;
            else
                hi = mid - 1;
        }
        limit = lo;
    }

    for (;;) {
        PartSorter sorter(m_threads);
        qint64 batch = 0;
        bool more = true;
        for (unsigned i = 0; i < m_threads && more; ++i) {
            QByteArray text;
            // When all fits, the last thread's part takes the rest.
            const qint64 partLimit
                = fits && i + 1 == m_threads ? std::numeric_limits<qint64>::max() / 4 : limit;
            more = readPart(text, partLimit, share);
            if (!text.isEmpty()) {
                batch += text.size();
                sorter.start(std::move(text), orderFor(i));
            }
        }
        std::vector<QByteArray> sorted = sorter.finish();
        m_sorted += batch;
        report(MergePhase::Sorting, m_input.bytesRead() + m_sorted, 2 * m_total);
        checkCancel();
        if (!more && m_runs.empty()) {
            // Everything was sorted in memory: merged straight into the target.
            qint64 size = 0;
            for (const QByteArray& part : sorted)
                size += part.size();
            std::vector<const LineCollation*> orders;
            for (unsigned i = 0; i < m_threads; ++i)
                orders.push_back(&orderFor(i));
            return writeTarget(size, [&](io::ContentSink& sink, const std::function<void(qint64)>& done) {
                qint64 ticks = 0;
                // The first thread's slice is about one in m_threads of the work.
                const qint64 step = qint64(65536) * 50 * m_threads;
                return mergeMemoryRuns(
                    std::move(sorted), orders, sink, [&] { done(std::min(size, ++ticks * step)); });
            });
        }
        spill(sorted);
        if (!more)
            break;
    }

    const qint64 buffer = std::clamp<qint64>(
        usable / 2 / static_cast<qint64>(std::max<size_t>(1, m_runs.size())), kRunBufferMin, kRunBufferMax);
    std::vector<std::unique_ptr<RunReader>> runs;
    for (const Run& r : m_runs)
        runs.push_back(std::make_unique<FileRun>(m_spill.get(), r.offset, r.length, buffer));
    if (runs.empty())
        runs.push_back(std::make_unique<MemoryRun>(QByteArray()));
    return writeTarget(m_spilled, [&](io::ContentSink& sink, const std::function<void(qint64)>& done) {
        return mergeRuns(runs, m_order, sink, [&] {
            qint64 consumed = 0;
            for (const auto& r : runs)
                consumed += r->consumed();
            done(consumed);
        });
    });
}

} // namespace

qsizetype mergeFiles(const QStringList& sources, const QString& target, const LineCollation& order,
    const MergeOptions& options)
{
    return Merger(sources, target, order, options).run();
}

qsizetype mergeFiles(const QStringList& sources, const QString& target, const LineCollation& order,
    io::ReadOptions sourceOptions)
{
    MergeOptions options;
    options.sourceOptions = sourceOptions;
    return mergeFiles(sources, target, order, options);
}

qsizetype mergeFiles(
    const QStringList& sources, const QString& target, const MergeReport& report, const MergeOptions& options)
{
    if (report.working)
        report.working(QStringLiteral("数据正处理中..."));
    const LineCollation order(LineCollation::localeFromEnvironment());
    const qsizetype count = mergeFiles(sources, target, order, options);
    if (report.finished)
        report.finished(QStringLiteral("文件合并整理完毕！共计：%1").arg(count));
    return count;
}

} // namespace tess::tools
