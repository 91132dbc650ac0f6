#pragma once

#include "io/FileReplace.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <memory>
#include <vector>

namespace tess::tools {

class LineCollation;

// One sorted run: lines without repeats in ascending merge order, each
// followed by CR LF, as sortDistinct() leaves them.
class RunReader {
public:
    virtual ~RunReader() = default;
    // The next line, without its CR LF; false after the last one. The view
    // lasts until the next call.
    virtual bool next(QByteArrayView& line) = 0;
    // Bytes of the run handed out so far, line ends included.
    virtual qint64 consumed() const = 0;
};

// A run held in memory, or the lines of one from byte `begin` to `end`.
class MemoryRun final : public RunReader {
public:
    explicit MemoryRun(QByteArray content)
        : m_content(std::move(content))
        , m_end(m_content.size())
    {
    }
    MemoryRun(QByteArray content, qsizetype begin, qsizetype end)
        : m_content(std::move(content))
        , m_at(begin)
        , m_begin(begin)
        , m_end(end)
    {
    }
    bool next(QByteArrayView& line) override;
    qint64 consumed() const override { return m_at - m_begin; }
    // What is left of the run, handed out at once.
    QByteArrayView takeRest()
    {
        const QByteArrayView rest = QByteArrayView(m_content).sliced(m_at, m_end - m_at);
        m_at = m_end;
        return rest;
    }

private:
    QByteArray m_content;
    qsizetype m_at = 0;
    qsizetype m_begin = 0;
    qsizetype m_end;
};

// A run kept in a file from `offset` for `length` bytes, read a buffer at a
// time. The descriptor stays the caller's.
class FileRun final : public RunReader {
public:
    FileRun(int fd, qint64 offset, qint64 length, qsizetype bufferSize);
    bool next(QByteArrayView& line) override;
    qint64 consumed() const override { return m_handed; }

private:
    bool fill();

    int m_fd;
    qint64 m_offset; // of the next read
    qint64 m_left; // bytes not yet read
    qint64 m_handed = 0;
    QByteArray m_buffer;
    qsizetype m_at = 0; // first byte not handed out
    qsizetype m_end = 0; // end of the bytes read
};

// Merges the runs into one: their lines without repeats in ascending order,
// each followed by CR LF, written to `out`. Of lines that are the same but
// for letter case the one of the earliest run stays, so runs cut from a
// text in its order give what sortDistinct() gives for the whole text.
// `tick` is called now and then and may throw to stop the merge. Returns
// the number of lines written.
qsizetype mergeRuns(std::vector<std::unique_ptr<RunReader>>& runs, const LineCollation& order,
    io::ContentSink& out, const std::function<void()>& tick = {});

// As mergeRuns() for runs held in memory, on one thread for each of
// `orders` (one collation for each, all of the same locale): the lines are
// cut into that many ranges of the order and merged at once, the first
// range straight into `out`, the others kept until it is done. `tick` is
// called on the calling thread only.
qsizetype mergeMemoryRuns(std::vector<QByteArray> runs, const std::vector<const LineCollation*>& orders,
    io::ContentSink& out, const std::function<void()>& tick = {});

} // namespace tess::tools
