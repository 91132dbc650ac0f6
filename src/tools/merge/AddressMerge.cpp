#include "tools/merge/AddressMerge.h"

#include "io/FileReader.h"
#include "io/FileReplace.h"
#include "io/TemporaryFiles.h"
#include "tools/merge/HugePages.h"
#include "tools/merge/LineCollation.h"
#include "tools/merge/MemoryBudget.h"
#include "tools/merge/PartSorter.h"
#include "tools/merge/RunMerge.h"
#include "tools/merge/SpillFile.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <thread>

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

namespace {

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

class Merger {
public:
    Merger(const QStringList& sources, const QString& target, const LineCollation& order,
        const MergeOptions& options)
        : m_target(target)
        , m_order(order)
        , m_options(options)
        , m_input(sources, options.sourceOptions)
        , m_spill(options.spillFolder, target)
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
    std::vector<QByteArray> sortBatch(const PartSizes& sizes, bool& more);
    qsizetype mergeInMemory(std::vector<QByteArray> sorted);
    qsizetype mergeSpilled(const PartSizes& sizes);
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
    SpillFile m_spill; // the runs of the parts sorted so far, when not all fits
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
    m_spill.open();
    for (QByteArray& run : sorted) {
        checkCancel();
        m_spill.append(run);
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

// Reads and sorts the next parts, one for each thread; `more` turns false
// once the sources are used up.
std::vector<QByteArray> Merger::sortBatch(const PartSizes& sizes, bool& more)
{
    PartSorter sorter(m_threads);
    qint64 batch = 0;
    for (unsigned i = 0; i < m_threads && more; ++i) {
        QByteArray text;
        // When all fits, the last thread's part takes the rest.
        const qint64 partLimit
            = sizes.fits && i + 1 == m_threads ? std::numeric_limits<qint64>::max() / 4 : sizes.limit;
        more = readPart(text, partLimit, sizes.share);
        if (!text.isEmpty()) {
            batch += text.size();
            sorter.start(std::move(text), orderFor(i));
        }
    }
    std::vector<QByteArray> sorted = sorter.finish();
    m_sorted += batch;
    report(MergePhase::Sorting, m_input.bytesRead() + m_sorted, 2 * m_total);
    checkCancel();
    return sorted;
}

// Everything was sorted in memory: merged straight into the target.
qsizetype Merger::mergeInMemory(std::vector<QByteArray> sorted)
{
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

// The runs waiting in the spill file merged into the target.
qsizetype Merger::mergeSpilled(const PartSizes& sizes)
{
    // Every run read at once needs a buffer: too many of them would take
    // more than the budget, so they are first merged in groups.
    const size_t fanIn = mergeFanIn(sizes.usable);
    while (m_spill.runCount() > fanIn)
        m_spill.mergeGroups(fanIn, runBufferSize(sizes.usable, fanIn), m_order, [this] { checkCancel(); });
    std::vector<std::unique_ptr<RunReader>> runs
        = m_spill.readers(runBufferSize(sizes.usable, m_spill.runCount()));
    if (runs.empty())
        runs.push_back(std::make_unique<MemoryRun>(QByteArray()));
    return writeTarget(m_spill.size(), [&](io::ContentSink& sink, const std::function<void(qint64)>& done) {
        return mergeRuns(runs, m_order, sink, [&] {
            qint64 consumed = 0;
            for (const auto& r : runs)
                consumed += r->consumed();
            done(consumed);
        });
    });
}

qsizetype Merger::run()
{
    // Temporaries a killed merge left beside the target go now, whether or
    // not this one gets as far as writing it.
    io::removeStaleTemporaryFilesBeside(m_target);
    // Whatever fits in the budget is sorted in memory, split among the
    // threads; anything larger is sorted in parts that wait in the spill
    // file.
    const PartSizes sizes = partSizes(m_budget, m_total, m_sizesKnown, m_threads);
    for (bool more = true; more;) {
        std::vector<QByteArray> sorted = sortBatch(sizes, more);
        if (!more && !m_spill.hasRuns())
            return mergeInMemory(std::move(sorted));
        spill(sorted);
    }
    return mergeSpilled(sizes);
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
