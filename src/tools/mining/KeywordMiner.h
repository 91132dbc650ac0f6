#pragma once

#include "io/FileDescriptor.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>
#include <vector>

namespace tess::io {
class ContentSink;
}

// Keyword mining: a keyword list grown breadth first from seed keywords
// through the related searches the engines list on their result pages.
namespace tess::tools {

// The form keywords are compared in: NFKC with case folding (ICU), blanks
// trimmed and runs of them made one space. "ABC教程", "abc教程" and
// "ＡＢＣ教程" share one.
QString miningKey(QStringView keyword);

struct MiningOptions {
    // Keywords of a depth below this are asked; seeds are depth 0 and the
    // related searches of a depth-d keyword depth d + 1.
    int depth = 1;
    qint64 max = 0; // keywords kept at most, seeds included; 0: no bound
    // A related search is kept only when it contains one of `require` (when
    // any is given) and none of `exclude`, compared as miningKey() forms.
    QStringList require = {};
    QStringList exclude = {};
    // What the set of keys may hold; 0: the merge's default share.
    qint64 memoryBudget = 0;
    // Where the keywords wait; empty: TMPDIR, else /tmp.
    QString spillFolder = {};
};

// The keywords found, in the order found, wait in a temporary file that
// has no name, one GBK line each; memory holds an 8-byte hash of each key
// only, so the list may grow far past the memory. Being breadth first,
// the keywords still to be asked are a stretch of that file from the one
// asked last on.
class KeywordMiner final {
public:
    // What one key costs in the set of keys, its growth included.
    static constexpr qint64 kBytesPerKey = 32;

    // Throws SpillError when the temporary file cannot be made.
    explicit KeywordMiner(MiningOptions options);
    KeywordMiner(const KeywordMiner&) = delete;
    KeywordMiner& operator=(const KeywordMiner&) = delete;
    KeywordMiner(KeywordMiner&&) = default;

    // Takes a seed (GBK); false when it is blank, a repeat or past the
    // bound. Seeds are taken before any related search.
    bool addSeed(QByteArrayView gbk);
    // Takes the related searches of keyword `index` (in the order found,
    // which is the order asked); returns how many were new and kept.
    qint64 addRelated(qint64 index, const QList<QString>& related);
    // The next keyword to ask, in the order found; nothing once every
    // keyword of a depth to ask has been handed out, or the list is full.
    std::optional<QByteArray> nextToAsk();

    qint64 size() const { return m_count; } // keywords found, seeds included
    qint64 asked() const { return m_asked; } // handed out by nextToAsk()
    // Keywords found so far that are to be asked, those asked included.
    qint64 toAsk() const;
    int depthOf(qint64 index) const;
    // Nothing more is taken: the bound is reached, or the memory budget.
    bool full() const;
    // Why the list stopped growing before its bound; empty when it did not.
    const QString& stopMessage() const { return m_stopMessage; }

    // Told of each keyword taken, seeds included, as it is taken: its text
    // as written and its depth. Optional.
    std::function<void(const QString& keyword, int depth)> onTaken;

    // The keywords, GBK, CR LF after each. Throws what the sink throws,
    // and SpillError when the temporary file cannot be read.
    void writeTo(io::ContentSink& sink);
    // The same into the file `path`, replaced whole.
    void save(const QString& path);
    // The bytes writeTo() writes.
    qint64 outputSize() const { return m_bytes + m_count; }

private:
    bool take(const QString& keyword, int depth);
    bool kept(const QString& key) const;
    void flushPending();
    QByteArray readLine();

    MiningOptions m_options;
    qint64 m_budget = 0;
    QStringList m_require; // as keys
    QStringList m_exclude;
    QSet<quint64> m_keys;
    io::FileDescriptor m_file;
    QString m_folder;
    QByteArray m_pending; // lines not yet written to the file
    qint64 m_written = 0; // bytes in the file
    qint64 m_bytes = 0; // bytes of the lines, the LFs included
    qint64 m_count = 0;
    std::vector<qint64> m_depthStarts { 0 }; // the first index of each depth
    qint64 m_asked = 0;
    qint64 m_readOffset = 0; // of the next keyword to ask
    QByteArray m_readBuffer; // read from the file, from m_readOffset on
    QString m_stopMessage;
};

} // namespace tess::tools
