#include "tools/list/KeyedLines.h"

#include "tools/list/UniqueLines.h"

namespace tess::tools {

namespace {

// Blocks short enough that the reader waits little for the first, long
// enough that handing one over is rare beside the work on its lines.
constexpr size_t kBlockCount = 6;
constexpr size_t kBlockLines = 4096;
constexpr size_t kBlockBytes = size_t(512) << 10;

} // namespace

KeyedLines::KeyedLines(LineStream& upstream, LineKey kind)
    : m_upstream(upstream)
    , m_kind(kind)
    , m_blocks(kBlockCount)
{
    m_thread = std::thread([this] { run(); });
}

KeyedLines::~KeyedLines()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void KeyedLines::run()
{
    ListLine line;
    for (uint64_t n = 0;; ++n) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stopping || n - m_taken < kBlockCount; });
            if (m_stopping)
                return;
        }
        Block& block = m_blocks[n % kBlockCount];
        fill(block, line);
        {
            const std::lock_guard lock(m_mutex);
            ++m_filled;
        }
        m_changed.notify_all();
        if (block.last)
            return;
    }
}

void KeyedLines::fill(Block& block, ListLine& line)
{
    // A block that once held a very long line lets its room go.
    if (block.bytes.capacity() > 4 * kBlockBytes)
        std::string().swap(block.bytes);
    block.bytes.clear();
    block.entries.clear();
    block.last = false;
    block.error = nullptr;
    try {
        while (block.entries.size() < kBlockLines && block.bytes.size() < kBlockBytes) {
            if (m_stopping.load(std::memory_order_relaxed))
                return;
            if (!m_upstream.next(line)) {
                block.last = true;
                return;
            }
            Entry entry;
            entry.textAt = block.bytes.size();
            entry.textSize = size_t(line.text().size());
            block.bytes.append(line.text().data(), entry.textSize);
            entry.hasSite = line.site().has_value();
            if (entry.hasSite) {
                const QByteArray key = lineKey(line, m_kind);
                const QByteArrayView domain = line.knownDomain();
                entry.keySize = size_t(key.size());
                entry.domainSize = size_t(domain.size());
                entry.hash = keyHash(key);
                block.bytes.append(key.constData(), entry.keySize);
                block.bytes.append(domain.data(), entry.domainSize);
            }
            block.entries.push_back(entry);
        }
    } catch (...) {
        block.error = std::current_exception();
        block.last = true;
    }
}

KeyedLines::Block* KeyedLines::waitFilled()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_filled > m_taken; });
    return &m_blocks[m_taken % kBlockCount];
}

bool KeyedLines::next(KeyedLine& line)
{
    while (!m_current || m_at >= m_current->entries.size()) {
        if (m_done)
            return false;
        if (m_current) {
            if (m_current->last) {
                m_done = true;
                if (m_current->error)
                    std::rethrow_exception(m_current->error);
                return false;
            }
            {
                const std::lock_guard lock(m_mutex);
                ++m_taken;
            }
            m_changed.notify_all();
        }
        m_current = waitFilled();
        m_at = 0;
    }
    const Entry& entry = m_current->entries[m_at++];
    const char* at = m_current->bytes.data() + entry.textAt;
    line.text = QByteArrayView(at, qsizetype(entry.textSize));
    at += entry.textSize;
    line.key = QByteArrayView(at, qsizetype(entry.keySize));
    line.domain = QByteArrayView(at + entry.keySize, qsizetype(entry.domainSize));
    line.hash = entry.hash;
    line.hasSite = entry.hasSite;
    return true;
}

uint64_t KeyedLines::hashAhead(size_t ahead) const
{
    if (!m_current)
        return 0;
    const size_t at = m_at - 1 + ahead;
    return at < m_current->entries.size() && m_current->entries[at].hasSite ? m_current->entries[at].hash : 0;
}

} // namespace tess::tools
