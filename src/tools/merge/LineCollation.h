#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct UCollator;

namespace tess::tools {

// The order of address-list lines: the user's collation locale applied to
// the GBK text with letter case folded away. Two lines are the same line
// exactly when they differ only in letter case, that is when their case
// keys (caseKey()) are equal. Lines the collator cannot tell apart (it
// ignores control characters, for instance) are then ordered by their case
// keys, which makes the order a strict weak order whose classes are exactly
// the case-key classes.
//
// A byte that is no part of a GBK character (a lone lead byte, say) is
// shown to the collator as U+FFFD, one for each such byte, so such lines
// sort near the text they hold; the case key keeps the byte itself, so two
// lines that differ in such bytes stay two lines, ordered by those bytes
// when the collator ties them.
//
// sortKey() is the collator's own key of the folded text; comparing two
// keys bytewise, then the case keys, gives compare(). For plain ASCII lines
// the key can be assembled from a per-byte table instead of asking the
// collator; the table is built and checked against the collator when the
// object is created and switched off when the locale has contractions or
// weights that a table cannot express.
class LineCollation final {
public:
    // `locale` is an ICU or POSIX locale name ("zh_CN", "zh_CN.UTF-8");
    // empty, "C" and "POSIX" mean the language-neutral root order.
    explicit LineCollation(const QString& locale);
    ~LineCollation();
    LineCollation(const LineCollation&) = delete;
    LineCollation& operator=(const LineCollation&) = delete;

    // The collation locale from LC_ALL, LC_COLLATE or LANG, first one set.
    static QString localeFromEnvironment();

    // The ICU locale the collator was opened for ("" for root).
    const QString& locale() const { return m_locale; }

    // <0, 0 or >0; 0 exactly when the lines differ only in letter case.
    int compare(QByteArrayView a, QByteArrayView b) const;

    // Equal for two lines exactly when they differ only in letter case; as
    // bytes, ascending in the order of folded characters. A plain ASCII
    // line's key is the line in lower case; otherwise the folded text in
    // UTF-8, each byte that is no part of a GBK character written as 0xFF
    // and the byte (UTF-8 never holds 0xFF), so after every character.
    static QByteArray caseKey(QByteArrayView gbkLine);
    static bool sameLine(QByteArrayView a, QByteArrayView b);

    // The collator's key of the case-folded line, ending with its 0 byte.
    QByteArray sortKey(QByteArrayView gbkLine) const;

    // What a table needs to assemble the key of a plain ASCII line: the
    // primary weight bytes of each byte (upper case folded), and the levels
    // after the primary part, which depend only on how many bytes carry
    // weight.
    struct Weight {
        uint8_t size = 0; // 0: the byte is ignored entirely
        uint8_t bytes[3] = {}; // never more than three
    };
    bool hasAsciiTable() const { return m_asciiTable; }
    // False for bytes >= 0x80 and for ASCII the table cannot express.
    bool tableCovers(uint8_t byte) const { return m_covered[byte]; }
    const Weight& weight(uint8_t byte) const { return m_weights[byte]; }
    // The bytes after the primary part of a key with `weighted` weighted
    // bytes: level separators, the other levels and the final 0.
    QByteArray levelTail(qsizetype weighted) const;

    // The key assembled from the table; empty when a byte is not covered.
    QByteArray tableKey(QByteArrayView asciiLine) const;

    // One-byte codes for the table's weights, so a sort reads one key byte
    // per character instead of one to three. Available when the distinct
    // weights are prefix-free, hold no 0 or 1 byte and are few enough: then
    // the codes, in the weights' order, with a code for each gap between
    // them, rewrite every key (compactKey) so that rewritten keys compare
    // bytewise exactly as the keys do. A table line's rewritten key is the
    // codes of its bytes (weightCode, 0 for an ignored byte) followed by
    // levelTail() unchanged.
    bool hasWeightCodes() const { return m_weightCodes; }
    uint8_t weightCode(uint8_t byte) const { return m_codes[byte]; }
    QByteArray compactKey(QByteArrayView key) const;

private:
    QByteArray keyOfUtf16(const char16_t* text, qsizetype size) const;
    void buildAsciiTable();
    bool tableAgreesWithCollator() const;
    void buildWeightCodes();

    QString m_locale;
    std::unique_ptr<UCollator, void (*)(UCollator*)> m_collator;
    bool m_asciiTable = false;
    std::array<bool, 256> m_covered {};
    std::array<Weight, 256> m_weights {};
    char16_t m_tailChar = u'a';
    bool m_weightCodes = false;
    std::array<uint8_t, 256> m_codes {};
    std::vector<QByteArray> m_sortedWeights; // distinct, ascending; code of [i] is 3 + 2i
    std::array<uint8_t, 257> m_firstWith {}; // first of m_sortedWeights starting with a byte >= b
};

} // namespace tess::tools
