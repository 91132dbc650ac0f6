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

} // namespace

qsizetype mergeRuns(std::vector<std::unique_ptr<RunReader>>& runs, const LineCollation& order,
    io::ContentSink& out, const std::function<void()>& tick)
{
    MergeKeys keys(order);
    Output output(out);
    if (runs.size() == 1) { // nothing to merge with: copied as it is
        if (auto* memory = dynamic_cast<MemoryRun*>(runs[0].get())) {
            const QByteArrayView rest = memory->takeRest();
            out.write(rest.data(), rest.size());
            return static_cast<qsizetype>(std::count(rest.begin(), rest.end(), '\n'));
        }
        qsizetype count = 0;
        QByteArrayView line;
        while (runs[0]->next(line)) {
            output.line(line);
            if (++count % 65536 == 0 && tick)
                tick();
        }
        output.flush();
        return count;
    }

    if (runs.size() == 2) {
        const qsizetype count = mergeTwo(*runs[0], *runs[1], keys, output, tick);
        output.flush();
        return count;
    }

    // A tree of losers: each inner node holds the run that lost the match
    // played there, tree[0] the winner of all, so taking the next line
    // costs one match a level. Runs that are done lose every match; of
    // equal lines the earliest run's wins.
    const size_t k = runs.size();
    std::vector<KeyedLine> heads(k);
    std::vector<char> live(k, 0);
    for (size_t r = 0; r < k; ++r) {
        QByteArrayView line;
        if (runs[r]->next(line)) {
            heads[r].reset(line);
            keys.prepare(heads[r]);
            live[r] = 1;
        }
    }
    const auto first = [&](size_t a, size_t b) {
        if (!live[a] || !live[b])
            return live[a] && !live[b];
        const int c = keys.compare(heads[a], heads[b]);
        return c != 0 ? c < 0 : a < b;
    };
    std::vector<size_t> tree(k);
    {
        std::vector<size_t> winners(2 * k);
        for (size_t i = 0; i < k; ++i)
            winners[k + i] = i;
        for (size_t n = k - 1; n >= 1; --n) {
            const size_t a = winners[2 * n], b = winners[2 * n + 1];
            const bool aFirst = first(a, b);
            winners[n] = aFirst ? a : b;
            tree[n] = aFirst ? b : a;
        }
        tree[0] = winners[1];
    }

    qsizetype count = 0;
    // The last line written, kept: its run's buffer may move on.
    KeyedLine last;
    QByteArray lastText;
    bool any = false;
    while (live[tree[0]]) {
        const size_t w = tree[0];
        KeyedLine& h = heads[w];
        // A line the same as the last one written comes from a later run.
        if (!any || keys.compare(h, last) != 0) {
            output.line(h.text);
            lastText.resize(h.text.size());
            std::memcpy(lastText.data(), h.text.data(), static_cast<size_t>(h.text.size()));
            last.text = lastText;
            last.table = h.table;
            last.keyed = h.keyed;
            if (h.keyed)
                std::swap(last.key, h.key);
            any = true;
            if (++count % 65536 == 0 && tick)
                tick();
        }
        QByteArrayView line;
        if (runs[w]->next(line)) {
            h.reset(line);
            keys.prepare(h);
        } else {
            live[w] = 0;
        }
        size_t winner = w;
        for (size_t node = (k + w) / 2; node >= 1; node /= 2)
            if (first(tree[node], winner))
                std::swap(tree[node], winner);
        tree[0] = winner;
    }
    output.flush();
    return count;
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

} // namespace

qsizetype mergeMemoryRuns(std::vector<QByteArray> runs, const std::vector<const LineCollation*>& orders,
    io::ContentSink& out, const std::function<void()>& tick)
{
    size_t largest = 0;
    for (size_t r = 0; r < runs.size(); ++r) {
        if (runs[r].size() > runs[largest].size())
            largest = r;
    }
    const size_t slices = std::max<size_t>(1, orders.size());
    if (slices == 1 || runs.size() < 2) {
        std::vector<std::unique_ptr<RunReader>> readers;
        for (QByteArray& run : runs)
            readers.push_back(std::make_unique<MemoryRun>(std::move(run)));
        if (readers.empty())
            readers.push_back(std::make_unique<MemoryRun>(QByteArray()));
        return mergeRuns(readers, *orders.front(), out, tick);
    }

    // Bounds taken at even steps through the largest run; each run is cut
    // where its lines reach them. A line and its equals all fall in one
    // slice, so the slices share no line.
    MergeKeys keys(*orders.front());
    std::vector<std::vector<qsizetype>> cuts(runs.size(), std::vector<qsizetype>(slices + 1, 0));
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

    std::vector<QByteArray> outputs(slices);
    std::vector<qsizetype> counts(slices, 0);
    std::vector<std::exception_ptr> failed(slices);
    std::atomic<bool> stop = false;
    auto mergeSlice = [&](size_t s, const std::function<void()>& sliceTick) {
        try {
            std::vector<std::unique_ptr<RunReader>> readers;
            qsizetype size = 0;
            for (size_t r = 0; r < runs.size(); ++r) {
                readers.push_back(std::make_unique<MemoryRun>(runs[r], cuts[r][s], cuts[r][s + 1]));
                size += cuts[r][s + 1] - cuts[r][s];
            }
            // The first slice goes straight out; the others wait their turn.
            if (s == 0) {
                counts[s] = mergeRuns(readers, *orders[s], out, sliceTick);
                return;
            }
            BufferSink sink(size);
            counts[s] = mergeRuns(readers, *orders[s], sink, sliceTick);
            outputs[s] = std::move(sink.bytes());
        } catch (...) {
            failed[s] = std::current_exception();
            stop = true;
        }
    };
    std::vector<std::thread> workers;
    for (size_t s = 1; s < slices; ++s)
        workers.emplace_back(mergeSlice, s, [&stop] {
            if (stop)
                throw std::runtime_error("stopped");
        });
    mergeSlice(0, [&] {
        if (tick)
            tick();
    });
    for (std::thread& t : workers)
        t.join();
    for (const std::exception_ptr& e : failed)
        if (e)
            std::rethrow_exception(e);
    runs.clear();
    qsizetype count = counts[0];
    for (size_t s = 1; s < slices; ++s) {
        out.write(outputs[s].constData(), outputs[s].size());
        outputs[s] = QByteArray();
        count += counts[s];
    }
    return count;
}

} // namespace tess::tools
