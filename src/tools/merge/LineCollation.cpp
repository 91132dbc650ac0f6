#include "tools/merge/LineCollation.h"

#include "text/CaseKey.h"
#include "text/Gbk.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucol.h>
#include <unicode/uset.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tess::tools {
namespace {

QString icuLocaleName(const QByteArray& posix)
{
    QByteArray name = posix;
    const qsizetype cut = name.indexOf('.');
    if (cut >= 0)
        name.truncate(cut);
    const qsizetype at = name.indexOf('@');
    if (at >= 0)
        name.truncate(at);
    // The C locale names no language: the language-neutral order applies.
    if (name == "C" || name == "POSIX")
        return {};
    return QString::fromLatin1(name);
}

UCollator* openCollator(const QString& locale)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open(locale.toLatin1().constData(), &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        c = ucol_open("", &status);
    }
    if (U_FAILURE(status))
        throw std::runtime_error("no collator is available");
    return c;
}

char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// In decoded text, a byte that is no part of a GBK character, as this
// plus the byte: a low surrogate without a high one, which no GBK
// character decodes to. The usual decoding turns every such byte into the
// same U+FFFD, which would make lines that differ only there one line.
constexpr char16_t kKeptByte = 0xDC00;

bool isKeptByte(char16_t c) { return (c & 0xFF00) == kKeptByte; }

// Set when a decoding kept a byte: most lines keep none and need no look
// for them.
thread_local bool t_keptAny = false;

void keepUndecodedBytes(const void*, UConverterToUnicodeArgs* args, const char* bytes, int32_t length,
    UConverterCallbackReason reason, UErrorCode* status)
{
    if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR)
        return;
    *status = U_ZERO_ERROR;
    t_keptAny = true;
    for (int32_t i = 0; i < length && U_SUCCESS(*status); ++i) {
        const auto kept = static_cast<UChar>(kKeptByte | static_cast<uint8_t>(bytes[i]));
        ucnv_cbToUWriteUChars(args, &kept, 1, i, status);
    }
}

// One converter per thread: a converter keeps state between calls.
UConverter* keepingConverter()
{
    thread_local std::unique_ptr<UConverter, void (*)(UConverter*)> converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UConverter, void (*)(UConverter*)> c(ucnv_open("GBK", &status), ucnv_close);
        if (U_SUCCESS(status))
            ucnv_setToUCallBack(c.get(), keepUndecodedBytes, nullptr, nullptr, nullptr, &status);
        if (U_FAILURE(status))
            throw std::runtime_error("the GBK converter is not available");
        return c;
    }();
    return converter.get();
}

// The GBK line decoded, each byte that is no part of a character kept as
// kKeptByte + the byte; `kept` tells whether there was one. Every byte
// gives at most one UTF-16 unit.
QString decodeKeepingBytes(QByteArrayView gbk, bool& kept)
{
    kept = false;
    if (text::isAscii(gbk))
        return QString::fromLatin1(gbk);
    t_keptAny = false;
    QString out = text::toUnicodeWith(keepingConverter(), gbk);
    kept = t_keptAny;
    return out;
}

// What the collator is shown: the text case-folded, U+FFFD for each byte
// that is no part of a character.
QString collationText(QByteArrayView gbk)
{
    bool kept = false;
    QString text = decodeKeepingBytes(gbk, kept);
    if (kept)
        for (QChar& c : text)
            if (isKeptByte(c.unicode()))
                c = QChar::ReplacementCharacter;
    return std::move(text).toCaseFolded();
}

} // namespace

LineCollation::LineCollation(const QString& locale)
    : m_collator(openCollator(icuLocaleName(locale.toLatin1())), ucol_close)
{
    m_locale = icuLocaleName(locale.toLatin1());
    buildAsciiTable();
}

LineCollation::~LineCollation() = default;

QString LineCollation::localeFromEnvironment()
{
    for (const char* name : { "LC_ALL", "LC_COLLATE", "LANG" }) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            return icuLocaleName(value);
    }
    return {};
}

int LineCollation::compare(QByteArrayView a, QByteArrayView b) const
{
    const QString fa = collationText(a);
    const QString fb = collationText(b);
    const UCollationResult r = ucol_strcoll(m_collator.get(), reinterpret_cast<const UChar*>(fa.utf16()),
        static_cast<int32_t>(fa.size()), reinterpret_cast<const UChar*>(fb.utf16()),
        static_cast<int32_t>(fb.size()));
    if (r != UCOL_EQUAL)
        return r == UCOL_LESS ? -1 : 1;
    const QByteArray ka = caseKey(a);
    const QByteArray kb = caseKey(b);
    return ka < kb ? -1 : (kb < ka ? 1 : 0);
}

QByteArray LineCollation::caseKey(QByteArrayView gbkLine)
{
    if (text::isAscii(gbkLine))
        return text::caseKey(gbkLine);
    bool kept = false;
    QString decoded = decodeKeepingBytes(gbkLine, kept);
    if (!kept)
        return std::move(decoded).toCaseFolded().toUtf8();
    QByteArray key;
    key.reserve(gbkLine.size() * 2);
    qsizetype run = 0; // start of the characters not yet in the key
    for (qsizetype i = 0; i <= decoded.size(); ++i) {
        if (i < decoded.size() && !isKeptByte(decoded[i].unicode()))
            continue;
        key += decoded.mid(run, i - run).toCaseFolded().toUtf8();
        if (i < decoded.size()) {
            key += '\xFF';
            key += static_cast<char>(decoded[i].unicode() & 0xFF);
        }
        run = i + 1;
    }
    return key;
}

bool LineCollation::sameLine(QByteArrayView a, QByteArrayView b)
{
    if (text::isAscii(a) && text::isAscii(b))
        return a.size() == b.size() && qstrnicmp(a.data(), a.size(), b.data(), b.size()) == 0;
    return caseKey(a) == caseKey(b);
}

QByteArray LineCollation::keyOfUtf16(const char16_t* s, qsizetype size) const
{
    QByteArray key(static_cast<qsizetype>(size * 4 + 16), Qt::Uninitialized);
    for (;;) {
        const int32_t n
            = ucol_getSortKey(m_collator.get(), reinterpret_cast<const UChar*>(s), static_cast<int32_t>(size),
                reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
        if (n <= key.size()) {
            key.truncate(n);
            return key;
        }
        key.resize(n);
    }
}

QByteArray LineCollation::sortKey(QByteArrayView gbkLine) const
{
    const QString folded = collationText(gbkLine);
    return keyOfUtf16(reinterpret_cast<const char16_t*>(folded.utf16()), folded.size());
}

QByteArray LineCollation::levelTail(qsizetype weighted) const
{
    const std::u16string run(static_cast<size_t>(weighted), m_tailChar);
    const QByteArray key = keyOfUtf16(run.data(), weighted);
    return key.mid(key.indexOf('\x01'));
}

QByteArray LineCollation::tableKey(QByteArrayView line) const
{
    QByteArray key;
    key.reserve(line.size() * 2 + 8);
    qsizetype weighted = 0;
    for (char c : line) {
        const auto b = static_cast<uint8_t>(c);
        if (!m_covered[b])
            return {};
        const Weight& w = m_weights[b];
        key.append(reinterpret_cast<const char*>(w.bytes), w.size);
        weighted += w.size ? 1 : 0;
    }
    return key + levelTail(weighted);
}

void LineCollation::buildAsciiTable()
{
    // Contractions made of ASCII alone (the "ch" of some languages) change a
    // byte's weight with its neighbour; such bytes stay with the collator.
    std::array<bool, 128> inContraction {};
    {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<USet, void (*)(USet*)> contractions(uset_openEmpty(), uset_close);
        ucol_getContractionsAndExpansions(m_collator.get(), contractions.get(), nullptr, true, &status);
        if (U_FAILURE(status))
            return;
        const int32_t items = uset_getItemCount(contractions.get());
        for (int32_t i = 0; i < items; ++i) {
            UChar32 from = 0, to = 0;
            UChar s[64];
            const int32_t len = uset_getItem(contractions.get(), i, &from, &to, s, 64, &status);
            if (U_FAILURE(status))
                return;
            bool ascii = len > 0;
            for (int32_t k = 0; k < len && ascii; ++k)
                ascii = s[k] < 0x80;
            for (int32_t k = 0; ascii && k < len; ++k)
                inContraction[foldAscii(s[k])] = true;
        }
    }

    const char16_t tailChar = u'a';
    const QByteArray one = keyOfUtf16(&tailChar, 1);
    const qsizetype tailStart = one.indexOf('\x01');
    if (tailStart <= 0 || inContraction[tailChar])
        return;
    const QByteArray tail = one.mid(tailStart);
    const QByteArray ignoredKey = keyOfUtf16(nullptr, 0);

    for (char16_t c = 1; c < 0x80; ++c) {
        const char16_t folded = foldAscii(c);
        if (c == u'\r' || c == u'\n' || inContraction[folded])
            continue;
        const QByteArray key = keyOfUtf16(&folded, 1);
        Weight w;
        if (key != ignoredKey) {
            const qsizetype primary = key.indexOf('\x01');
            if (primary <= 0 || primary > 3 || key.mid(primary) != tail)
                continue;
            w.size = static_cast<uint8_t>(primary);
            std::memcpy(w.bytes, key.constData(), static_cast<size_t>(primary));
        }
        m_weights[c] = w;
        m_covered[c] = true;
    }
    m_asciiTable = true;
    if (!tableAgreesWithCollator()) {
        m_asciiTable = false;
        m_covered.fill(false);
        return;
    }
    buildWeightCodes();
}

// Why the rewriting keeps the order: a key is read as the longest run of
// table weights from its start (prefix-free weights leave one way to read
// it) and the rest. Two keys first differ either at a weight of each, which
// then differ within their common length (neither is a prefix of the other)
// and so compare as their codes do; or at a weight against a rest; or at two
// rests. A rest is copied as it is, after a code of its own: a rest starting
// with 0 or 1 (the key or its primary part ends) is its own code and lies
// below every weight (whose bytes are all 2 or more); any other rest is no
// weight and no prefix of one (it holds the key's final 0, a weight does
// not), so it falls strictly between two neighbouring weights, and its code
// is the even number between their odd codes. Equal gap codes leave the
// rests to compare as they are, after equal text.
void LineCollation::buildWeightCodes()
{
    std::vector<QByteArray> weights;
    for (unsigned b = 0; b < 128; ++b) {
        const Weight& w = m_weights[b];
        if (!m_covered[b] || w.size == 0)
            continue;
        const QByteArray bytes(reinterpret_cast<const char*>(w.bytes), w.size);
        if (bytes.contains('\0') || bytes.contains('\x01'))
            return;
        weights.push_back(bytes);
    }
    std::sort(weights.begin(), weights.end());
    weights.erase(std::unique(weights.begin(), weights.end()), weights.end());
    // Sorted, a weight that is a prefix of another sits right before one.
    for (size_t i = 1; i < weights.size(); ++i)
        if (weights[i].startsWith(weights[i - 1]))
            return;
    if (2 + 2 * weights.size() > 255)
        return;
    for (unsigned b = 0; b < 128; ++b) {
        const Weight& w = m_weights[b];
        if (!m_covered[b] || w.size == 0)
            continue;
        const QByteArray bytes(reinterpret_cast<const char*>(w.bytes), w.size);
        const auto at = std::lower_bound(weights.begin(), weights.end(), bytes);
        m_codes[b] = static_cast<uint8_t>(3 + 2 * (at - weights.begin()));
    }
    for (unsigned b = 0, i = 0; b < 256; ++b) {
        while (i < weights.size() && static_cast<uint8_t>(weights[i][0]) < b)
            ++i;
        m_firstWith[b] = static_cast<uint8_t>(i);
    }
    m_firstWith[256] = static_cast<uint8_t>(weights.size());
    m_sortedWeights = std::move(weights);
    m_weightCodes = true;
}

QByteArray LineCollation::compactKey(QByteArrayView key) const
{
    QByteArray out;
    out.reserve(key.size() + 1);
    qsizetype p = 0;
    while (p < key.size()) {
        const auto first = static_cast<uint8_t>(key[p]);
        if (first <= 1)
            break;
        const QByteArrayView rest = key.sliced(p);
        // Only weights with the same first byte can start the rest or lie
        // on either side of it.
        unsigned index = m_firstWith[first];
        const unsigned end = m_firstWith[first + 1];
        while (index < end && QByteArrayView(m_sortedWeights[index]) < rest
            && !rest.startsWith(m_sortedWeights[index]))
            ++index;
        if (index < end && rest.startsWith(m_sortedWeights[index])) {
            out.append(static_cast<char>(3 + 2 * index));
            p += m_sortedWeights[index].size();
            continue;
        }
        out.append(static_cast<char>(2 + 2 * index)); // `index` weights lie below the rest
        break;
    }
    out.append(key.sliced(p));
    return out;
}

bool LineCollation::tableAgreesWithCollator() const
{
    std::vector<char> bytes;
    for (int b = 1; b < 0x80; ++b)
        if (m_covered[static_cast<size_t>(b)])
            bytes.push_back(static_cast<char>(b));
    auto agrees = [this](QByteArrayView line) { return tableKey(line) == sortKey(line); };

    // Every pair: weights that change with a neighbour show up here.
    for (char a : bytes)
        for (char b : bytes) {
            const char pair[2] = { a, b };
            if (!agrees(QByteArrayView(pair, 2)))
                return false;
        }
    // Longer lines of every length class the level tails must cover.
    uint32_t seed = 0x9E3779B9u;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    QByteArray line;
    for (int i = 0; i < 2000; ++i) {
        line.resize(static_cast<qsizetype>(1 + next() % (i < 1900 ? 120 : 600)));
        for (char& c : line)
            c = bytes[next() % bytes.size()];
        if (!agrees(line))
            return false;
    }
    return true;
}

} // namespace tess::tools
