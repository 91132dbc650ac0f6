#pragma once

#include "tools/list/LineStream.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QSet>

#include <functional>
#include <memory>

namespace tess::tools {

// The parts of an address --trim keeps.
enum class TrimTo { Root, Host, Path };

// A line's address cut down to `to`: Root, the scheme as written, the
// registrable domain as written and "/"; Host, the scheme, the host and
// port as written and "/"; Path, all before the query and fragment. A line
// without a host stays as it is. Returns a view of `line` or of `buffer`.
QByteArrayView trimmedLine(ListLine& line, TrimTo to, QByteArray& buffer);

// The words of a --keep-containing list: folded to lower case, found in a
// line whatever its letter case, but only where a character of the line
// starts, never at the second byte of a GBK character.
class WordFinder final {
public:
    explicit WordFinder(const QByteArrayList& words);
    bool foundIn(QByteArrayView line) const;

private:
    QByteArrayList m_words;
    mutable QByteArray m_folded;
    mutable std::vector<bool> m_starts;
};

// The keys --unique and --count tell lines apart by; empty for a line
// without a host (or, for a suffix, an IP address).
enum class LineKey { Address, Host, Domain, Suffix };
QByteArray lineKey(ListLine& line, LineKey kind);

// A step that keeps the lines `keep` says yes to.
class FilterStep final : public LineStream {
public:
    FilterStep(LineStream& upstream, std::function<bool(ListLine&)> keep)
        : m_upstream(upstream)
        , m_keep(std::move(keep))
    {
    }
    bool next(ListLine& line) override
    {
        while (m_upstream.next(line)) {
            if (m_keep(line))
                return true;
        }
        return false;
    }

private:
    LineStream& m_upstream;
    std::function<bool(ListLine&)> m_keep;
};

// A step that rewrites each line.
class TrimStep final : public LineStream {
public:
    TrimStep(LineStream& upstream, TrimTo to)
        : m_upstream(upstream)
        , m_to(to)
    {
    }
    bool next(ListLine& line) override;

private:
    LineStream& m_upstream;
    TrimTo m_to;
    QByteArray m_buffer;
};

// The suffixes of a --keep-tld list, in the compared form.
QSet<QByteArray> suffixSet(const QString& list);

} // namespace tess::tools
