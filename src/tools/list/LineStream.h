#pragma once

#include "io/FileReader.h"
#include "io/FileReplace.h"
#include "sites/SiteAddress.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <cstring>
#include <memory>
#include <optional>

namespace tess::tools {

// A line on its way through the list's steps, with its address read once
// for every step that asks, until a step changes the line.
class ListLine {
public:
    QByteArrayView text() const { return m_text; }
    void setText(QByteArrayView text)
    {
        m_text = text;
        m_read = false;
        m_domain.resize(0); // its buffer kept for the next line's
    }
    // A new text with the same host, or with its registrable domain for a
    // host: the domain, when known, stays known.
    void setTextOfSameSite(QByteArrayView text)
    {
        m_text = text;
        m_read = false;
    }
    // A line handed on from another ListLine: its text, and the domain
    // found for it there, if any.
    void setTextWithDomain(QByteArrayView text, QByteArrayView domain)
    {
        m_text = text;
        m_read = false;
        // Written over in place: most domains fit where the last one was.
        m_domain.resize(domain.size());
        if (!domain.isEmpty())
            std::memcpy(m_domain.data(), domain.data(), size_t(domain.size()));
    }
    // The address the line names; nothing for a line without a host.
    const std::optional<sites::SiteAddress>& site()
    {
        if (!m_read) {
            m_site = sites::readSiteAddress(m_text);
            m_read = true;
        }
        return m_site;
    }
    // The registrable domain of the line's host; empty without one.
    const QByteArray& domain();
    // The domain as far as it is known: empty until domain() is asked.
    QByteArrayView knownDomain() const { return m_domain; }

private:
    QByteArrayView m_text;
    std::optional<sites::SiteAddress> m_site;
    bool m_read = false;
    QByteArray m_domain;
};

// Lines one at a time; the text of each lasts until the next call.
class LineStream {
public:
    virtual ~LineStream() = default;
    // False after the last line.
    virtual bool next(ListLine& line) = 0;
};

// The lines of the sources, one after the other. A line ends at CR LF, a
// lone CR or a lone LF, and at the end of its source. Throws the
// FileReader's errors naming the source.
class SourceLines final : public LineStream {
public:
    SourceLines(const QStringList& sources, io::ReadOptions options);
    ~SourceLines() override;
    bool next(ListLine& line) override;
    qint64 bytesRead() const { return m_read; }
    qint64 linesRead() const { return m_lines; }

private:
    bool fill();

    QStringList m_sources;
    io::ReadOptions m_options;
    std::unique_ptr<io::FileReader> m_reader;
    qsizetype m_nextSource = 0;
    QByteArray m_buffer;
    qsizetype m_at = 0;
    qsizetype m_end = 0;
    bool m_sourceDone = true;
    bool m_skipLf = false; // the last line ended at a CR whose LF may follow
    qint64 m_read = 0;
    qint64 m_lines = 0;
};

// Where the lines go in the end: a ContentSink, in large writes.
class LineWriter final {
public:
    explicit LineWriter(io::ContentSink& sink);
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;
    // The line and CR LF.
    void write(QByteArrayView line);
    void flush();

private:
    io::ContentSink& m_sink;
    QByteArray m_buffer;
};

} // namespace tess::tools
