#include "tools/list/UniqueLines.h"

#include "tools/list/KeyedLines.h"

#include "tools/merge/RunMerge.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <queue>

namespace tess::tools {

namespace {

constexpr qint64 kBlockSize = qint64(4) << 20;
constexpr size_t kFirstSlots = 1024;
constexpr size_t kManySlots = size_t(1) << 21;
constexpr qint64 kSeqDigits = 16;
constexpr int kTagShift = 40;
constexpr uint64_t kPlaceMask = (uint64_t(1) << kTagShift) - 1;
constexpr int kOffsetBits = 22; // blocks of up to kBlockSize

uint64_t mix(uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

} // namespace

uint64_t keyHash(QByteArrayView key)
{
    uint64_t h = 0x9e3779b97f4a7c15ULL ^ uint64_t(key.size());
    const char* p = key.data();
    qsizetype n = key.size();
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        h = (h ^ mix(word)) * 0x9e3779b97f4a7c15ULL;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, p, size_t(n));
    return mix(h ^ mix(tail + uint64_t(n)));
}

KeySet::KeySet(qint64 budget)
    : m_budget(budget)
{
    // Room for a million keys up front where the budget allows it a few
    // times over: growing a large table moves every key.
    size_t count = kFirstSlots;
    while (count < kManySlots && qint64(count * 2 * sizeof(Slot)) * 16 <= budget)
        count *= 2;
    m_slots.resize(count);
}

qint64 KeySet::cost() const { return qint64(m_slots.size() * sizeof(Slot)) + m_blockBytes; }

QByteArrayView KeySet::keyAt(uint64_t at) const
{
    --at;
    const QByteArray& block = m_blocks[at >> kOffsetBits];
    const qsizetype offset = qsizetype(at & ((uint64_t(1) << kOffsetBits) - 1));
    uint32_t size;
    std::memcpy(&size, block.constData() + offset, 4);
    return QByteArrayView(block.constData() + offset + 4, size);
}

size_t KeySet::find(QByteArrayView key, uint64_t hash) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot slot = m_slots[i];
        if (slot == 0 || ((slot ^ hash) >> kTagShift == 0 && keyAt(slot & kPlaceMask) == key))
            return i;
    }
}

bool KeySet::contains(QByteArrayView key, uint64_t hash) const { return m_slots[find(key, hash)] != 0; }

void KeySet::prefetchSlot(uint64_t hash) const
{
    __builtin_prefetch(m_slots.data() + (hash & (m_slots.size() - 1)));
}

void KeySet::prefetchKey(uint64_t hash) const
{
    const Slot slot = m_slots[hash & (m_slots.size() - 1)];
    if (slot != 0 && (slot ^ hash) >> kTagShift == 0) {
        const uint64_t at = (slot & kPlaceMask) - 1;
        __builtin_prefetch(
            m_blocks[at >> kOffsetBits].constData() + (at & ((uint64_t(1) << kOffsetBits) - 1)));
    }
}

bool KeySet::grow()
{
    const size_t size = m_slots.size() * 2;
    if (qint64(size * sizeof(Slot)) + m_blockBytes > m_budget)
        return false;
    std::vector<Slot> old(size);
    old.swap(m_slots);
    const size_t mask = size - 1;
    for (const Slot slot : old) {
        if (slot == 0)
            continue;
        size_t i = keyHash(keyAt(slot & kPlaceMask)) & mask;
        while (m_slots[i] != 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
    return true;
}

uint64_t KeySet::store(QByteArrayView key)
{
    const qsizetype need = key.size() + 4;
    if (m_blocks.empty() || m_blocks.back().capacity() - m_blocks.back().size() < need
        || m_blocks.back().size() >= (qsizetype(1) << kOffsetBits)) {
        if (m_blocks.size() >= (size_t(1) << (kTagShift - kOffsetBits)) - 1)
            return 0; // no place left to name a block by
        // Small budgets (the tests') get small blocks, so keys fit at all.
        const qsizetype size = std::max<qsizetype>(std::clamp<qint64>(m_budget / 16, 4096, kBlockSize), need);
        if (m_blockBytes + size + qint64(m_slots.size() * sizeof(Slot)) > m_budget)
            return 0;
        m_blocks.emplace_back();
        m_blocks.back().reserve(size);
        m_blockBytes += size;
    }
    QByteArray& block = m_blocks.back();
    const uint64_t at = (uint64_t(m_blocks.size() - 1) << kOffsetBits | uint64_t(block.size())) + 1;
    const uint32_t size = uint32_t(key.size());
    block.append(reinterpret_cast<const char*>(&size), 4);
    block.append(key.data(), key.size());
    return at;
}

KeySet::Result KeySet::insert(QByteArrayView key, uint64_t hash)
{
    size_t i = find(key, hash);
    if (m_slots[i] != 0)
        return Result::Present;
    // At most seven in ten slots taken, so a probe ends soon.
    if ((m_count + 1) * 10 > qsizetype(m_slots.size()) * 7) {
        if (!grow())
            return Result::Full;
        i = find(key, hash);
    }
    const uint64_t at = store(key);
    if (at == 0)
        return Result::Full;
    m_slots[i] = (hash >> kTagShift << kTagShift) | at;
    ++m_count;
    return Result::Added;
}

UniqueStep::UniqueStep(
    LineStream& upstream, LineKey kind, qint64 budget, const QString& spillFolder, const QString& target)
    : m_upstream(upstream)
    , m_kind(kind)
    , m_budget(budget)
    , m_target(target)
    , m_spillFolder(spillFolder)
    , m_seen(budget / 2)
{
}

UniqueStep::~UniqueStep() = default;

// The lines a block holds come one after the other; the probes of those a
// few lines on are started now, so their memory is near when they come.
void UniqueStep::prefetchAhead()
{
    constexpr size_t kSlotsAhead = 16;
    constexpr size_t kKeysAhead = 8;
    if (const uint64_t hash = m_keyed->hashAhead(kSlotsAhead))
        m_seen.prefetchSlot(hash);
    if (const uint64_t hash = m_keyed->hashAhead(kKeysAhead))
        m_seen.prefetchKey(hash);
}

bool UniqueStep::next(ListLine& line)
{
    if (m_upstreamDone)
        return nextHeld(line);
    if (!m_keyed)
        m_keyed = std::make_unique<KeyedLines>(m_upstream, m_kind);
    for (KeyedLine keyed; m_keyed->next(keyed);) {
        prefetchAhead();
        if (!keyed.hasSite) { // passes as it is, in its place
            if (!m_spilling) {
                line.setTextWithDomain(keyed.text, {});
                return true;
            }
            hold(keyed.text, true);
            continue;
        }
        if (!m_spilling) {
            const KeySet::Result result = m_seen.insert(keyed.key, keyed.hash);
            if (result == KeySet::Result::Added) {
                line.setTextWithDomain(keyed.text, keyed.domain);
                return true;
            }
            if (result == KeySet::Result::Present)
                continue;
            m_spilling = true;
            m_lines = std::make_unique<SpillFile>(m_spillFolder, m_target);
            m_keys = std::make_unique<SpillFile>(m_spillFolder, m_target);
            m_lines->open();
            m_keys->open();
        } else if (m_seen.contains(keyed.key, keyed.hash)) {
            continue;
        }
        holdKey(keyed.key);
        hold(keyed.text, false);
    }
    m_keyed.reset();
    m_upstreamDone = true;
    if (!m_spilling)
        return false;
    markFirsts();
    return nextHeld(line);
}

namespace {

int compareBytes(QByteArrayView a, QByteArrayView b)
{
    const int c = std::memcmp(a.data(), b.data(), size_t(std::min(a.size(), b.size())));
    if (c != 0)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Records by key, then by line number: its fixed-width hex digits sort as
// the numbers do.
bool recordBefore(QByteArrayView a, QByteArrayView b)
{
    const int c = compareBytes(a.sliced(kSeqDigits), b.sliced(kSeqDigits));
    return c != 0 ? c < 0 : compareBytes(a.first(kSeqDigits), b.first(kSeqDigits)) < 0;
}

uint64_t recordSeq(QByteArrayView record)
{
    uint64_t seq = 0;
    for (qsizetype i = 0; i < kSeqDigits; ++i) {
        const char c = record[i];
        seq = seq << 4 | uint64_t(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return seq;
}

} // namespace

void UniqueStep::hold(QByteArrayView text, bool firstOfKey)
{
    const qint64 seq = m_held++;
    if (size_t(seq / 64) >= m_first.size())
        m_first.push_back(0);
    if (firstOfKey)
        m_first[size_t(seq / 64)] |= uint64_t(1) << (seq % 64);
    m_lineChunk.append(text.data(), text.size());
    m_lineChunk.append("\r\n", 2);
    if (m_lineChunk.size() >= std::max<qint64>(qint64(64) << 10, m_budget / 16)) {
        m_lines->append(m_lineChunk);
        m_lineChunk.resize(0);
    }
}

void UniqueStep::holdKey(QByteArrayView key)
{
    char digits[kSeqDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(m_held));
    m_keyRun.append(digits, kSeqDigits);
    m_keyRun.append(key.data(), key.size());
    m_keyRun.append("\r\n", 2);
    ++m_keyRecords;
    // The run and the table that sorts it (16 bytes a record) within an
    // eighth of the budget.
    if (m_keyRun.size() + m_keyRecords * 16 >= std::max<qint64>(qint64(64) << 10, m_budget / 8))
        spillKeys();
}

// Sorts the records held and appends the first of each key as a run.
void UniqueStep::spillKeys()
{
    std::vector<QByteArrayView> records;
    records.reserve(size_t(m_keyRecords));
    MemoryRun run(m_keyRun);
    for (QByteArrayView record; run.next(record);)
        records.push_back(record);
    std::sort(records.begin(), records.end(), recordBefore);
    QByteArray sorted;
    sorted.reserve(m_keyRun.size());
    for (size_t i = 0; i < records.size(); ++i) {
        if (i > 0 && records[i].sliced(kSeqDigits) == records[i - 1].sliced(kSeqDigits))
            continue;
        sorted.append(records[i].data(), records[i].size());
        sorted.append("\r\n", 2);
    }
    m_keys->append(sorted);
    m_keyRun.resize(0);
    m_keyRecords = 0;
}

// Merges the runs of keys and marks the first line of each.
void UniqueStep::markFirsts()
{
    if (!m_lineChunk.isEmpty())
        m_lines->append(m_lineChunk);
    m_lineChunk = QByteArray();
    if (m_keyRecords > 0)
        spillKeys();
    m_keyRun = QByteArray();
    const qint64 buffers = std::max<qint64>(qint64(4) << 10, m_budget / 4 / qint64(m_keys->runCount() + 1));
    std::vector<std::unique_ptr<RunReader>> runs = m_keys->readers(qsizetype(buffers));
    std::vector<QByteArrayView> heads(runs.size());
    auto after = [&heads](size_t a, size_t b) { return recordBefore(heads[b], heads[a]); };
    std::priority_queue<size_t, std::vector<size_t>, decltype(after)> queue(after);
    for (size_t i = 0; i < runs.size(); ++i) {
        if (runs[i]->next(heads[i]))
            queue.push(i);
    }
    QByteArray lastKey;
    bool any = false;
    while (!queue.empty()) {
        const size_t i = queue.top();
        queue.pop();
        const QByteArrayView key = heads[i].sliced(kSeqDigits);
        if (!any || key != QByteArrayView(lastKey)) {
            const uint64_t seq = recordSeq(heads[i]);
            m_first[seq / 64] |= uint64_t(1) << (seq % 64);
            lastKey = key.toByteArray();
            any = true;
        }
        if (runs[i]->next(heads[i]))
            queue.push(i);
    }
    runs.clear();
    const qint64 lineBuffers
        = std::max<qint64>(qint64(4) << 10, m_budget / 4 / qint64(m_lines->runCount() + 1));
    m_lineRuns = m_lines->readers(qsizetype(lineBuffers));
}

bool UniqueStep::nextHeld(ListLine& line)
{
    while (m_lineRun < m_lineRuns.size()) {
        QByteArrayView text;
        if (!m_lineRuns[m_lineRun]->next(text)) {
            m_lineRuns[m_lineRun++].reset();
            continue;
        }
        const qint64 seq = m_handed++;
        if (m_first[size_t(seq / 64)] >> (seq % 64) & 1) {
            line.setText(text);
            return true;
        }
    }
    return false;
}

} // namespace tess::tools
