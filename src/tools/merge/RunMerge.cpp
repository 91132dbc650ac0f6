#include "tools/merge/RunMerge.h"

#include "text/Errors.h"
#include "tools/merge/MergeKeys.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <thread>
#include <unistd.h>

namespace tess::tools {
namespace {

// A run's line ends at its CR: lines never hold one.
qsizetype lineEnd(const char* data, qsizetype from, qsizetype end)
{
    const void* cr = std::memchr(data + from, '\r', static_cast<size_t>(end - from));
    return cr ? static_cast<const char*>(cr) - data : -1;
}

} // namespace

bool MemoryRun::next(QByteArrayView& line)
{
    if (m_at >= m_end)
        return false;
    qsizetype end = lineEnd(m_content.constData(), m_at, m_end);
    if (end < 0)
        end = m_end;
    line = QByteArrayView(m_content.constData() + m_at, end - m_at);
    m_at = std::min(end + 2, m_end);
    return true;
}

FileRun::FileRun(int fd, qint64 offset, qint64 length, qsizetype bufferSize)
    : m_fd(fd)
    , m_offset(offset)
    , m_left(length)
    , m_buffer(bufferSize, Qt::Uninitialized)
{
}

// Moves what is left to the front and reads behind it; false when nothing
// more could be read.
bool FileRun::fill()
{
    if (m_left == 0)
        return false;
    const qsizetype kept = m_end - m_at;
    if (kept == m_buffer.size()) // a line longer than the buffer
        m_buffer.resize(m_buffer.size() * 2);
    std::memmove(m_buffer.data(), m_buffer.constData() + m_at, static_cast<size_t>(kept));
    m_at = 0;
    m_end = kept;
    const auto want = static_cast<size_t>(std::min<qint64>(m_buffer.size() - kept, m_left));
    ssize_t n;
    do
        n = ::pread(m_fd, m_buffer.data() + m_end, want, m_offset);
    while (n < 0 && errno == EINTR);
    if (n <= 0)
        throw text::StreamReadError();
    m_offset += n;
    m_left -= n;
    m_end += n;
    return true;
}

bool FileRun::next(QByteArrayView& line)
{
    qsizetype end = lineEnd(m_buffer.constData(), m_at, m_end);
    // The CR LF whole in the buffer, so the next line starts past it.
    while (end < 0 || end + 2 > m_end) {
        if (!fill()) {
            if (m_at >= m_end)
                return false;
            end = m_end; // a last line without its line end: not written so
            break;
        }
        end = lineEnd(m_buffer.constData(), m_at, m_end);
    }
    line = QByteArrayView(m_buffer.constData() + m_at, end - m_at);
    const qsizetype next = std::min(end + 2, m_end);
    m_handed += next - m_at;
    m_at = next;
    return true;
}

namespace {

// Buffers the output so the sink sees large writes.
class Output {
public:
    explicit Output(io::ContentSink& sink)
        : m_sink(sink)
    {
    }
    void line(QByteArrayView line)
    {
        if (m_used + line.size() + 2 > m_buffer.size()) {
            flush();
            if (line.size() + 2 > m_buffer.size())
                m_buffer.resize(line.size() + 2);
        }
        char* at = m_buffer.data() + m_used;
        std::memcpy(at, line.data(), static_cast<size_t>(line.size()));
        at[line.size()] = '\r';
        at[line.size() + 1] = '\n';
        m_used += line.size() + 2;
    }
    void flush()
    {
        m_sink.write(m_buffer.constData(), m_used);
        m_used = 0;
    }

private:
    io::ContentSink& m_sink;
    QByteArray m_buffer { qsizetype(1) << 20, Qt::Uninitialized };
    qsizetype m_used = 0;
};

// Two runs: one comparison a line.
qsizetype mergeTwo(
    RunReader& first, RunReader& second, MergeKeys& keys, Output& output, const std::function<void()>& tick)
{
    KeyedLine a, b;
    QByteArrayView line;
    bool haveA = first.next(line);
    if (haveA) {
        a.reset(line);
        keys.prepare(a);
    }
    bool haveB = second.next(line);
    if (haveB) {
        b.reset(line);
        keys.prepare(b);
    }
    qsizetype count = 0;
    while (haveA || haveB) {
        const int c = !haveB ? -1 : !haveA ? 1 : keys.compare(a, b);
        // Of the same line the first run's stays.
        output.line(c <= 0 ? a.text : b.text);
        if (c <= 0 && (haveA = first.next(line))) {
            a.reset(line);
            keys.prepare(a);
        }
        if (c >= 0 && (haveB = second.next(line))) {
            b.reset(line);
            keys.prepare(b);
        }
        if (++count % 65536 == 0 && tick)
            tick();
    }
    return count;
}

// One run, nothing to merge it with: copied as it is.
qsizetype copyRun(RunReader& run, io::ContentSink& out, Output& output, const std::function<void()>& tick)
{
    if (auto* memory = dynamic_cast<MemoryRun*>(&run)) {
        const QByteArrayView rest = memory->takeRest();
        out.write(rest.data(), rest.size());
        return static_cast<qsizetype>(std::count(rest.begin(), rest.end(), '\n'));
    }
    qsizetype count = 0;
    QByteArrayView line;
    while (run.next(line)) {
        output.line(line);
        if (++count % 65536 == 0 && tick)
            tick();
    }
    output.flush();
    return count;
}

// A tree of losers: each inner node holds the run that lost the match
// played there, the top the winner of all, so taking the next line costs
// one match a level. Runs that are done lose every match; of equal lines
// the earliest run's wins.
class LoserTree {
public:
    LoserTree(std::vector<std::unique_ptr<RunReader>>& runs, MergeKeys& keys)
        : m_runs(runs)
        , m_keys(keys)
        , m_heads(runs.size())
        , m_live(runs.size(), 0)
        , m_tree(runs.size())
    {
        for (size_t r = 0; r < m_runs.size(); ++r)
            m_live[r] = read(r) ? 1 : 0;
        build();
    }

    bool done() const { return !m_live[m_tree[0]]; }
    // The least line of all runs.
    KeyedLine& head() { return m_heads[m_tree[0]]; }
    // Replaces the least line by the next of its run.
    void advance()
    {
        const size_t w = m_tree[0];
        if (!read(w))
            m_live[w] = 0;
        size_t winner = w;
        for (size_t node = (m_runs.size() + w) / 2; node >= 1; node /= 2)
            if (first(m_tree[node], winner))
                std::swap(m_tree[node], winner);
        m_tree[0] = winner;
    }

private:
    bool read(size_t r)
    {
        QByteArrayView line;
        if (!m_runs[r]->next(line))
            return false;
        m_heads[r].reset(line);
        m_keys.prepare(m_heads[r]);
        return true;
    }
    bool first(size_t a, size_t b)
    {
        if (!m_live[a] || !m_live[b])
            return m_live[a] && !m_live[b];
        const int c = m_keys.compare(m_heads[a], m_heads[b]);
        return c != 0 ? c < 0 : a < b;
    }
    void build()
    {
        const size_t k = m_runs.size();
        std::vector<size_t> winners(2 * k);
        for (size_t i = 0; i < k; ++i)
            winners[k + i] = i;
        for (size_t n = k - 1; n >= 1; --n) {
            const size_t a = winners[2 * n], b = winners[2 * n + 1];
            const bool aFirst = first(a, b);
            winners[n] = aFirst ? a : b;
            m_tree[n] = aFirst ? b : a;
        }
        m_tree[0] = winners[1];
    }

    std::vector<std::unique_ptr<RunReader>>& m_runs;
    MergeKeys& m_keys;
    std::vector<KeyedLine> m_heads;
    std::vector<char> m_live;
    std::vector<size_t> m_tree;
};

// Keeps a copy of `line` in `last`: the run's buffer may move on.
void keepLast(KeyedLine& line, KeyedLine& last, QByteArray& lastText)
{
    lastText.resize(line.text.size());
    std::memcpy(lastText.data(), line.text.data(), static_cast<size_t>(line.text.size()));
    last.text = lastText;
    last.table = line.table;
    last.keyed = line.keyed;
    if (line.keyed)
        std::swap(last.key, line.key);
}

// Three runs or more, through a tree of losers.
qsizetype mergeMany(std::vector<std::unique_ptr<RunReader>>& runs, MergeKeys& keys, Output& output,
    const std::function<void()>& tick)
{
    LoserTree tree(runs, keys);
    qsizetype count = 0;
    KeyedLine last;
    QByteArray lastText;
    bool any = false;
    while (!tree.done()) {
        KeyedLine& h = tree.head();
        // A line the same as the last one written comes from a later run.
        if (!any || keys.compare(h, last) != 0) {
            output.line(h.text);
            keepLast(h, last, lastText);
            any = true;
            if (++count % 65536 == 0 && tick)
                tick();
        }
        tree.advance();
    }
    output.flush();
    return count;
}

} // namespace

qsizetype mergeRuns(std::vector<std::unique_ptr<RunReader>>& runs, const LineCollation& order,
    io::ContentSink& out, const std::function<void()>& tick)
{
    MergeKeys keys(order);
    Output output(out);
    if (runs.size() == 1)
        return copyRun(*runs[0], out, output, tick);
    if (runs.size() == 2) {
        const qsizetype count = mergeTwo(*runs[0], *runs[1], keys, output, tick);
        output.flush();
        return count;
    }
    return mergeMany(runs, keys, output, tick);
}

namespace {

// The line that starts at `at` in a run.
QByteArrayView lineAt(const QByteArray& run, qsizetype at)
{
    const qsizetype end = lineEnd(run.constData(), at, run.size());
    return QByteArrayView(run.constData() + at, (end < 0 ? run.size() : end) - at);
}

qsizetype nextLine(const QByteArray& run, qsizetype at)
{
    const qsizetype end = lineEnd(run.constData(), at, run.size());
    return end < 0 ? run.size() : std::min(end + 2, run.size());
}

// The start of the line that holds byte `at`, not before `from`.
qsizetype lineStart(const QByteArray& run, qsizetype at, qsizetype from)
{
    while (at > from && run[at - 1] != '\n')
        --at;
    return at;
}

// Where the lines of `run` that are not below `bound` start.
qsizetype firstNotBelow(const QByteArray& run, KeyedLine& bound, MergeKeys& keys)
{
    KeyedLine line;
    qsizetype lo = 0, hi = run.size(); // line starts; lines before lo are below
    while (lo < hi) {
        const qsizetype at = lineStart(run, lo + (hi - lo) / 2, lo);
        line.reset(lineAt(run, at));
        keys.prepare(line);
        if (keys.compare(line, bound) < 0)
            lo = nextLine(run, at);
        else
            hi = at;
    }
    return lo;
}

// Collects a slice's output.
class BufferSink final : public io::ContentSink {
public:
    explicit BufferSink(qsizetype expected) { m_bytes.reserve(expected); }
    void write(const char* data, qsizetype size) override { m_bytes.append(data, size); }
    QByteArray& bytes() { return m_bytes; }

private:
    QByteArray m_bytes;
};

using Cuts = std::vector<std::vector<qsizetype>>; // of each run, the start of each slice and the end

// Bounds taken at even steps through the largest run; each run is cut
// where its lines reach them. A line and its equals all fall in one slice,
// so the slices share no line.
Cuts sliceCuts(const std::vector<QByteArray>& runs, size_t slices, MergeKeys& keys)
{
    size_t largest = 0;
    for (size_t r = 0; r < runs.size(); ++r) {
        if (runs[r].size() > runs[largest].size())
            largest = r;
    }
    Cuts cuts(runs.size(), std::vector<qsizetype>(slices + 1, 0));
    for (size_t r = 0; r < runs.size(); ++r)
        cuts[r][slices] = runs[r].size();
    for (size_t s = 1; s < slices; ++s) {
        const QByteArray& big = runs[largest];
        const qsizetype at
            = lineStart(big, big.size() * static_cast<qsizetype>(s) / static_cast<qsizetype>(slices), 0);
        KeyedLine bound;
        bound.reset(lineAt(big, at));
        keys.prepare(bound);
        for (size_t r = 0; r < runs.size(); ++r)
            cuts[r][s] = std::max(cuts[r][s - 1], firstNotBelow(runs[r], bound, keys));
    }
    return cuts;
}

// Merges each slice of the runs on a thread of its own, the first one on
// this thread straight into `out`; the others' output follows it in order.
// A slice that fails stops the others.
class SliceMerge {
public:
    SliceMerge(const std::vector<QByteArray>& runs, const Cuts& cuts,
        const std::vector<const LineCollation*>& orders)
        : m_runs(runs)
        , m_cuts(cuts)
        , m_orders(orders)
        , m_outputs(orders.size())
        , m_counts(orders.size(), 0)
        , m_failed(orders.size())
    {
    }

    qsizetype run(io::ContentSink& out, const std::function<void()>& tick)
    {
        std::vector<std::thread> workers;
        for (size_t s = 1; s < m_orders.size(); ++s)
            workers.emplace_back([this, s, &out] {
                mergeSlice(s, out, [this] {
                    if (m_stop)
                        throw std::runtime_error("stopped");
                });
            });
        mergeSlice(0, out, [&] {
            if (tick)
                tick();
        });
        for (std::thread& t : workers)
            t.join();
        for (const std::exception_ptr& e : m_failed)
            if (e)
                std::rethrow_exception(e);
        return m_counts[0];
    }
    // Writes the output of the slices after the first; returns their lines.
    qsizetype writeRest(io::ContentSink& out)
    {
        qsizetype count = 0;
        for (size_t s = 1; s < m_orders.size(); ++s) {
            out.write(m_outputs[s].constData(), m_outputs[s].size());
            m_outputs[s] = QByteArray();
            count += m_counts[s];
        }
        return count;
    }

private:
    void mergeSlice(size_t s, io::ContentSink& out, const std::function<void()>& sliceTick)
    {
        try {
            std::vector<std::unique_ptr<RunReader>> readers;
            qsizetype size = 0;
            for (size_t r = 0; r < m_runs.size(); ++r) {
                readers.push_back(std::make_unique<MemoryRun>(m_runs[r], m_cuts[r][s], m_cuts[r][s + 1]));
                size += m_cuts[r][s + 1] - m_cuts[r][s];
            }
            // The first slice goes straight out; the others wait their turn.
            if (s == 0) {
                m_counts[s] = mergeRuns(readers, *m_orders[s], out, sliceTick);
                return;
            }
            BufferSink sink(size);
            m_counts[s] = mergeRuns(readers, *m_orders[s], sink, sliceTick);
            m_outputs[s] = std::move(sink.bytes());
        } catch (...) {
            m_failed[s] = std::current_exception();
            m_stop = true;
        }
    }

    const std::vector<QByteArray>& m_runs;
    const Cuts& m_cuts;
    const std::vector<const LineCollation*>& m_orders;
    std::vector<QByteArray> m_outputs;
    std::vector<qsizetype> m_counts;
    std::vector<std::exception_ptr> m_failed;
    std::atomic<bool> m_stop = false;
};

} // namespace

qsizetype mergeMemoryRuns(std::vector<QByteArray> runs, const std::vector<const LineCollation*>& orders,
    io::ContentSink& out, const std::function<void()>& tick)
{
    const size_t slices = std::max<size_t>(1, orders.size());
    if (slices == 1 || runs.size() < 2) {
        std::vector<std::unique_ptr<RunReader>> readers;
        for (QByteArray& run : runs)
            readers.push_back(std::make_unique<MemoryRun>(std::move(run)));
        if (readers.empty())
            readers.push_back(std::make_unique<MemoryRun>(QByteArray()));
        return mergeRuns(readers, *orders.front(), out, tick);
    }
    MergeKeys keys(*orders.front());
    const Cuts cuts = sliceCuts(runs, slices, keys);
    SliceMerge merge(runs, cuts, orders);
    qsizetype count = merge.run(out, tick);
    runs.clear();
    count += merge.writeRest(out);
    return count;
}

} // namespace tess::tools
