#pragma once

#include "tools/merge/LineCollation.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>
#include <vector>

// Where the distinct sort's keys come from, eight bytes at a time: the
// collator's keys kept in an arena, the text of plain ASCII lines through
// LineCollation's table, and the level tails that end the table keys. The
// readers are inline: the sort calls them once per record and pass.
namespace tess::tools::keys {

// A table line's cursor has this bit once its key reaches the level tail.
constexpr uint32_t kInTail = 0x80000000u;

// Up to eight key bytes gathered into a big-endian word.
class WordFill {
public:
    bool full() const { return m_got == 8; }
    unsigned size() const { return m_got; }
    void push(uint8_t byte)
    {
        m_bits = (m_bits << 8) | byte;
        ++m_got;
    }
    // `count` bytes at once, big-endian in `bytes`; the caller keeps them
    // within the word.
    void push(uint64_t bytes, unsigned count)
    {
        m_bits = (m_bits << (8 * count)) | bytes;
        m_got += count;
    }
    // The word, zero after the key's last byte; nothing gathered reads as 0.
    uint64_t word() const { return m_got == 8 || m_got == 0 ? m_bits : m_bits << (8 * (8 - m_got)); }

private:
    uint64_t m_bits = 0;
    unsigned m_got = 0;
};

// The collator's keys of the lines a table cannot key, end to end; a
// line's cursor is the offset where its key continues.
class CollatorKeys {
public:
    void reserve(size_t bytes) { m_bytes.reserve(bytes); }
    // Appends a key, which ends with its 0 byte; returns its offset.
    uint32_t add(const QByteArray& key);
    const uint8_t* at(uint32_t cursor) const { return m_bytes.data() + cursor; }
    void release() { std::vector<uint8_t>().swap(m_bytes); }

    // Continues the word up to and with the key's 0 byte, which a cursor
    // then stays on; returns the cursor after the bytes taken.
    uint32_t read(uint32_t cursor, WordFill& fill) const
    {
        const uint8_t* k = at(cursor);
        while (!fill.full()) {
            fill.push(*k);
            if (*k == 0)
                break;
            ++k;
        }
        return static_cast<uint32_t>(k - m_bytes.data());
    }

private:
    std::vector<uint8_t> m_bytes;
};

// The primary part of a table line's key, read from the text. With weight
// codes, one code per byte and the cursor is the byte's position in the
// line (direct(): in the whole text); without, the table's weights of one
// to three bytes, and the cursor is (position << 2 | bytes of that byte's
// weight already taken).
class TableKeys {
public:
    TableKeys(QByteArrayView text, const LineCollation& order, bool useCodes);

    bool codes() const { return m_codes; } // keys rewritten with LineCollation::weightCode
    // Whether a line holding `byte` can be a table line: the table covers
    // the byte and, with codes, gives it a code unless ignoredInLines().
    // Other lines are left to the collator.
    bool takes(uint8_t byte) const { return m_takes[byte]; }
    // With codes, a byte the table ignores (code 0) normally sends its line
    // to the collator, so that table lines can be read straight from the
    // text (direct()) and equal keys can mean equal lines (codesNameBytes()).
    // Where the locale ignores printable characters (Thai ignores most
    // punctuation) nearly every address holds one, and leaving those to the
    // collator would leave it nearly all; table lines then hold ignored
    // bytes and do without both.
    bool ignoredInLines() const { return m_ignoredInLines; }
    // With codes and without ignoredInLines(), table lines hold no ignored
    // byte, so when each code names one byte, equal keys mean equal lines.
    bool codesNameBytes() const { return m_codesNameBytes; }
    // Every byte of a table line carries weight: the level tail needs no count.
    bool everyByteWeighs() const { return m_everyByteWeighs; }
    // Table lines hold only bytes with codes, and the bytes that end a line
    // have none: a table line's cursor can then be where it is in the text,
    // and a read need not look the line up until its key reaches the tail.
    bool direct() const { return m_direct; }

    // Each continues the word from `cursor` and, once it is full, moves the
    // cursor past what it took and answers true; false means the primary
    // part ended first, the bytes it had left being in the word.
    bool readText(uint32_t& cursor, WordFill& fill) const; // direct() only
    // Forced inline: GCC would keep it out of line, a call for every word.
    [[gnu::always_inline]] bool readLine(
        const uint8_t* line, uint32_t length, uint32_t& cursor, WordFill& fill) const
    {
        return m_codes ? readCodes(line, length, cursor, fill) : readWeights(line, length, cursor, fill);
    }

private:
    bool readCodes(const uint8_t* line, uint32_t length, uint32_t& cursor, WordFill& fill) const;
    bool readWeights(const uint8_t* line, uint32_t length, uint32_t& cursor, WordFill& fill) const;
    void findCodeProperties(QByteArrayView text);

    // The table's weights as big-endian numbers, kept here for the hot loop.
    struct Packed {
        uint64_t bytes = 0;
        unsigned size = 0;
    };

    const uint8_t* m_text;
    const LineCollation& m_order;
    bool m_codes = false;
    bool m_ignoredInLines = false;
    bool m_codesNameBytes = false;
    bool m_everyByteWeighs = false;
    bool m_direct = false;
    std::array<bool, 256> m_takes {};
    uint32_t m_size = 0; // of the text, at most kInTail
    std::array<Packed, 256> m_packed {};
};

inline bool TableKeys::readText(uint32_t& cursor, WordFill& fill) const
{
    for (uint32_t pos = cursor; pos < m_size; ++pos) {
        const uint8_t code = m_order.weightCode(m_text[pos]);
        if (code == 0)
            break;
        fill.push(code);
        if (fill.full()) {
            cursor = pos + 1;
            return true;
        }
    }
    return false;
}

inline bool TableKeys::readCodes(const uint8_t* line, uint32_t length, uint32_t& cursor, WordFill& fill) const
{
    uint32_t pos = cursor;
    while (pos < length) {
        const uint8_t code = m_order.weightCode(line[pos++]);
        if (code) {
            fill.push(code);
            if (fill.full()) {
                cursor = pos;
                return true;
            }
        }
    }
    return false;
}

inline bool TableKeys::readWeights(
    const uint8_t* line, uint32_t length, uint32_t& cursor, WordFill& fill) const
{
    uint32_t pos = cursor >> 2;
    unsigned taken = cursor & 3;
    if (taken) { // the rest of a weight split at the previous word's end
        const LineCollation::Weight& wt = m_order.weight(line[pos]);
        while (taken < wt.size)
            fill.push(wt.bytes[taken++]);
        ++pos;
        taken = 0;
    }
    // Whole weights while they fit; a weight is at most three bytes.
    while (pos < length) {
        const Packed pw = m_packed[line[pos]];
        if (fill.size() + pw.size > 8)
            break;
        fill.push(pw.bytes, pw.size);
        ++pos;
    }
    if (!fill.full() && pos < length) {
        const LineCollation::Weight& wt = m_order.weight(line[pos]);
        while (!fill.full())
            fill.push(wt.bytes[taken++]);
    }
    if (!fill.full())
        return false;
    cursor = pos << 2 | taken;
    return true;
}

// What follows the primary part of a table line's key: the level
// separators, the other levels and the final 0, which depend only on how
// many of the line's bytes carry weight. Made once for each such count.
class LevelTails {
public:
    // everyByteWeighs: the lines hold no byte the table ignores.
    LevelTails(const LineCollation& order, bool everyByteWeighs)
        : m_order(order)
        , m_everyByteWeighs(everyByteWeighs)
    {
    }

    // Continues the word from `offset` in the line's tail; returns the
    // cursor, kInTail | the offset after the bytes taken.
    uint32_t read(const uint8_t* line, uint32_t length, uint32_t offset, WordFill& fill)
    {
        const QByteArray& t = tail(weighted(line, length));
        while (!fill.full() && offset < static_cast<uint32_t>(t.size()))
            fill.push(static_cast<uint8_t>(t[offset++]));
        return kInTail | offset;
    }

private:
    qsizetype weighted(const uint8_t* line, uint32_t length) const
    {
        if (m_everyByteWeighs)
            return static_cast<qsizetype>(length);
        qsizetype n = 0;
        for (uint32_t k = 0; k < length; ++k)
            n += m_order.weight(line[k]).size ? 1 : 0;
        return n;
    }
    const QByteArray& tail(qsizetype weighted)
    {
        if (static_cast<size_t>(weighted) >= m_tails.size())
            m_tails.resize(static_cast<size_t>(weighted) + 1);
        QByteArray& t = m_tails[static_cast<size_t>(weighted)];
        if (t.isEmpty())
            t = m_order.levelTail(weighted);
        return t;
    }

    const LineCollation& m_order;
    bool m_everyByteWeighs;
    std::vector<QByteArray> m_tails;
};

} // namespace tess::tools::keys
