#include "tools/mining/KeywordMiner.h"

#include "io/FileReplace.h"
#include "io/PathName.h"
#include "io/SystemCalls.h"
#include "io/TemporaryFiles.h"
#include "text/Gbk.h"
#include "tools/merge/MemoryBudget.h"
#include "tools/merge/SpillFile.h"

#include <unicode/unorm2.h>

#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tess::tools {

namespace {

// Lines go to the file, and come back from it, this many bytes at a time.
constexpr qsizetype kChunk = 64 * 1024;

// The hash a key is known by: 64 bits, so that two keys of a list of a
// hundred million share one about once in three thousand lists.
quint64 keyHash(const QString& key)
{
    static_assert(sizeof(size_t) == sizeof(quint64), "the keys' hashes need 64 bits");
    constexpr size_t kSeed = 0x9e3779b97f4a7c15ULL;
    return qHashBits(key.constData(), size_t(key.size()) * sizeof(QChar), kSeed);
}

QStringList keysOf(const QStringList& words)
{
    QStringList keys;
    for (const QString& word : words) {
        const QString key = miningKey(word);
        if (!key.isEmpty())
            keys.append(key);
    }
    return keys;
}

void writeAll(int fd, const QByteArray& bytes, qint64 offset, const QString& folder)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw SpillError(folder, n < 0 ? errno : ENOSPC);
        done += n;
    }
}

} // namespace

QString miningKey(QStringView keyword)
{
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* fold = unorm2_getNFKCCasefoldInstance(&status);
    if (U_FAILURE(status))
        return keyword.toString().toCaseFolded().simplified();
    const auto* source = reinterpret_cast<const UChar*>(keyword.data());
    const auto length = static_cast<int32_t>(keyword.size());
    // Folding seldom lengthens a text more than threefold; when it does,
    // ICU says how much room it needs.
    QString folded(std::max<qsizetype>(16, keyword.size() * 3), Qt::Uninitialized);
    int32_t written = unorm2_normalize(
        fold, source, length, reinterpret_cast<UChar*>(folded.data()), int32_t(folded.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        folded.resize(written);
        written = unorm2_normalize(
            fold, source, length, reinterpret_cast<UChar*>(folded.data()), int32_t(folded.size()), &status);
    }
    if (U_FAILURE(status))
        return keyword.toString().toCaseFolded().simplified();
    folded.resize(written);
    return folded.simplified();
}

KeywordMiner::KeywordMiner(MiningOptions options)
    : m_options(std::move(options))
    , m_require(keysOf(m_options.require))
    , m_exclude(keysOf(m_options.exclude))
{
    m_budget = m_options.memoryBudget > 0 ? m_options.memoryBudget : defaultMemoryBudget();
    m_folder = m_options.spillFolder;
    if (m_folder.isEmpty())
        m_folder = qEnvironmentVariable("TMPDIR");
    if (m_folder.isEmpty())
        m_folder = QStringLiteral("/tmp");
    QByteArray name = io::temporaryFilePattern(io::encodePath(m_folder));
    m_file = io::FileDescriptor(io::systemCalls().mkostemps(name.data(), 4, O_CLOEXEC));
    if (!m_file.isOpen())
        throw SpillError(m_folder, errno);
    // Listed until it has no name, should a signal come in between.
    const io::LiveTemporaryFile listed(name);
    ::unlink(name.constData());
}

bool KeywordMiner::full() const
{
    return !m_stopMessage.isEmpty() || (m_options.max > 0 && m_count >= m_options.max);
}

qint64 KeywordMiner::toAsk() const
{
    if (full())
        return m_asked;
    const auto depth = static_cast<size_t>(std::max(0, m_options.depth));
    return depth < m_depthStarts.size() ? m_depthStarts[depth] : m_count;
}

int KeywordMiner::depthOf(qint64 index) const
{
    const auto after = std::upper_bound(m_depthStarts.begin(), m_depthStarts.end(), index);
    return static_cast<int>(after - m_depthStarts.begin()) - 1;
}

bool KeywordMiner::kept(const QString& key) const
{
    const auto in = [&key](const QString& word) { return key.contains(word); };
    if (!m_require.isEmpty() && std::none_of(m_require.begin(), m_require.end(), in))
        return false;
    return std::none_of(m_exclude.begin(), m_exclude.end(), in);
}

bool KeywordMiner::take(const QString& keyword, int depth)
{
    if (full())
        return false;
    const QString shown = keyword.simplified();
    const QString key = miningKey(shown);
    if (key.isEmpty() || (depth > 0 && !kept(key)))
        return false;
    const quint64 hash = keyHash(key);
    if (m_keys.contains(hash))
        return false;
    if ((m_count + 1) * kBytesPerKey > m_budget) {
        m_stopMessage
            = QStringLiteral("the memory budget of %1 holds %2 keywords; the list stopped growing "
                             "there (a larger --memory finds more)")
                  .arg(QLocale::c().formattedDataSize(m_budget, 1, QLocale::DataSizeTraditionalFormat))
                  .arg(m_count);
        return false;
    }
    m_keys.insert(hash);
    if (static_cast<size_t>(depth) >= m_depthStarts.size())
        m_depthStarts.resize(static_cast<size_t>(depth) + 1, m_count);
    const QByteArray line = text::toGbk(shown) + '\n';
    m_pending += line;
    m_bytes += line.size();
    ++m_count;
    if (onTaken)
        onTaken(shown, depth);
    if (m_pending.size() >= kChunk)
        flushPending();
    return true;
}

bool KeywordMiner::addSeed(QByteArrayView gbk)
{
    // Seeds come first: a seed after a related search would break the
    // order the depths are told by.
    if (m_depthStarts.size() > 1)
        return false;
    return take(text::fromGbk(gbk), 0);
}

qint64 KeywordMiner::addRelated(qint64 index, const QList<QString>& related)
{
    const int depth = depthOf(index) + 1;
    qint64 added = 0;
    for (const QString& keyword : related)
        added += take(keyword, depth) ? 1 : 0;
    return added;
}

void KeywordMiner::flushPending()
{
    if (m_pending.isEmpty())
        return;
    writeAll(m_file.get(), m_pending, m_written, m_folder);
    m_written += m_pending.size();
    m_pending.clear();
}

QByteArray KeywordMiner::readLine()
{
    flushPending();
    for (;;) {
        const qsizetype end = m_readBuffer.indexOf('\n');
        if (end >= 0) {
            QByteArray line = m_readBuffer.left(end);
            m_readBuffer.remove(0, end + 1);
            m_readOffset += end + 1;
            return line;
        }
        const qint64 from = m_readOffset + m_readBuffer.size();
        QByteArray chunk(
            static_cast<qsizetype>(std::min<qint64>(kChunk, m_written - from)), Qt::Uninitialized);
        const ssize_t n = ::pread(m_file.get(), chunk.data(), size_t(chunk.size()), from);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw SpillError(m_folder, n < 0 ? errno : EIO);
        m_readBuffer.append(chunk.constData(), n);
    }
}

std::optional<QByteArray> KeywordMiner::nextToAsk()
{
    if (m_asked >= toAsk())
        return std::nullopt;
    ++m_asked;
    return readLine();
}

void KeywordMiner::writeTo(io::ContentSink& sink)
{
    flushPending();
    QByteArray chunk(kChunk, Qt::Uninitialized);
    QByteArray out;
    for (qint64 offset = 0; offset < m_written;) {
        const ssize_t n = ::pread(
            m_file.get(), chunk.data(), size_t(std::min<qint64>(kChunk, m_written - offset)), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw SpillError(m_folder, n < 0 ? errno : EIO);
        out.clear();
        for (const char c : QByteArrayView(chunk.constData(), n)) {
            if (c == '\n')
                out += '\r';
            out += c;
        }
        sink.write(out.constData(), out.size());
        offset += n;
    }
}

void KeywordMiner::save(const QString& path)
{
    io::replaceFile(
        path, [this](io::ContentSink& sink) { writeTo(sink); }, outputSize());
}

} // namespace tess::tools
