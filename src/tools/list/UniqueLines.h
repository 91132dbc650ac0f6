#pragma once

#include "tools/list/LineSteps.h"
#include "tools/merge/SpillFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace tess::tools {

class KeyedLines;
class RunReader;

uint64_t keyHash(QByteArrayView key);

// Distinct keys held exactly, in no more than a given number of bytes: an
// open-addressed table of 64-bit hashes, each with the place of its key in
// blocks of key bytes, so a hash collision never merges two keys. About 15
// bytes a key besides the key's own.
class KeySet final {
public:
    explicit KeySet(qint64 budget);
    enum class Result { Added, Present, Full };
    // Full: the key is not there and there is no room for it.
    Result insert(QByteArrayView key) { return insert(key, keyHash(key)); }
    bool contains(QByteArrayView key) const { return contains(key, keyHash(key)); }
    // The same with the key's keyHash() known.
    Result insert(QByteArrayView key, uint64_t hash);
    bool contains(QByteArrayView key, uint64_t hash) const;
    // Asks the caches for the slot a hash starts at, and then, a few lines
    // on, for the key that slot names: with both on their way for the
    // lines ahead, a line's probe seldom waits for memory.
    void prefetchSlot(uint64_t hash) const;
    void prefetchKey(uint64_t hash) const;
    qsizetype size() const { return m_count; }
    // Bytes held.
    qint64 cost() const;

private:
    // The hash's top 24 bits above the key's place (block << 22 | offset,
    // plus one) in the low 40; 0: empty. Eight bytes a slot: a probe is a
    // cache miss, and the fewer the bytes, the more of the table the caches
    // hold.
    using Slot = uint64_t;
    size_t find(QByteArrayView key, uint64_t hash) const;
    QByteArrayView keyAt(uint64_t at) const;
    bool grow();
    uint64_t store(QByteArrayView key);

    qint64 m_budget;
    std::vector<Slot> m_slots;
    qsizetype m_count = 0;
    std::vector<QByteArray> m_blocks;
    qint64 m_blockBytes = 0;
};

// --unique: the first line of each key, in the order they come. Lines
// without a key (no host) pass as they are. While the keys fit the budget
// they wait in a KeySet and each line passes at once; past it, the lines
// whose keys are not in the set wait in a temporary file in `spillFolder`
// (empty: TMPDIR, else beside `target`) with their keys in sorted runs
// beside them, and once the input ends the first line of each key is found
// by merging the runs and handed on in the input's order. Either way the
// lines are the same. Throws SpillError when the temporary file cannot be
// written.
class UniqueStep final : public LineStream {
public:
    UniqueStep(
        LineStream& upstream, LineKey kind, qint64 budget, const QString& spillFolder, const QString& target);
    ~UniqueStep() override;
    bool next(ListLine& line) override;
    bool spilled() const { return m_spilling; }

private:
    void prefetchAhead();
    void hold(QByteArrayView text, bool firstOfKey);
    void holdKey(QByteArrayView key);
    void spillKeys();
    void markFirsts();
    bool nextHeld(ListLine& line);

    LineStream& m_upstream;
    LineKey m_kind;
    qint64 m_budget;
    QString m_target;
    QString m_spillFolder;
    KeySet m_seen;
    std::unique_ptr<KeyedLines> m_keyed;
    bool m_spilling = false;
    bool m_upstreamDone = false;
    // Past the budget: the lines held, in order, and whether each is the
    // first of its key.
    std::unique_ptr<SpillFile> m_lines;
    std::unique_ptr<SpillFile> m_keys;
    QByteArray m_lineChunk;
    QByteArray m_keyRun; // records: 16 hex digits of the line's number, the key
    qint64 m_keyRecords = 0;
    qint64 m_held = 0;
    std::vector<uint64_t> m_first;
    std::vector<std::unique_ptr<RunReader>> m_lineRuns;
    size_t m_lineRun = 0;
    qint64 m_handed = 0;
};

} // namespace tess::tools
