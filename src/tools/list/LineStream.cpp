#include "tools/list/LineStream.h"

#include "io/FileReplace.h"

#include <cstring>

namespace tess::tools {

namespace {
constexpr qsizetype kReadSize = qsizetype(1) << 20;
}

SourceLines::SourceLines(const QStringList& sources, io::ReadOptions options)
    : m_sources(sources)
    , m_options(options)
    , m_buffer(2 * kReadSize, Qt::Uninitialized)
{
}

SourceLines::~SourceLines() = default;

// Moves the unfinished line to the front and reads behind it; false at the
// end of the source.
bool SourceLines::fill()
{
    const qsizetype left = m_end - m_at;
    if (left > 0 && m_at > 0)
        std::memmove(m_buffer.data(), m_buffer.constData() + m_at, left);
    m_at = 0;
    m_end = left;
    if (m_buffer.size() - m_end < kReadSize / 2)
        m_buffer.resize(m_buffer.size() * 2);
    const qsizetype n = m_reader->readSome(m_buffer.data() + m_end, m_buffer.size() - m_end);
    m_end += n;
    m_read += n;
    return n > 0;
}

bool SourceLines::next(ListLine& line)
{
    for (;;) {
        if (m_sourceDone) {
            if (m_nextSource >= m_sources.size())
                return false;
            m_reader = std::make_unique<io::FileReader>(
                m_sources[m_nextSource++], io::ReadFailure::Stream, m_options);
            m_sourceDone = false;
            m_skipLf = false;
            m_at = m_end = 0;
        }
        if (m_skipLf && m_at < m_end) {
            m_at += m_buffer[m_at] == '\n' ? 1 : 0;
            m_skipLf = false;
        }
        const char* begin = m_buffer.constData() + m_at;
        const qsizetype size = m_end - m_at;
        const char* lf = static_cast<const char*>(std::memchr(begin, '\n', size));
        const qsizetype lineEnd = lf ? lf - begin : size;
        const char* cr = static_cast<const char*>(std::memchr(begin, '\r', lineEnd));
        if (cr || lf) {
            const qsizetype length = cr ? cr - begin : lineEnd;
            line.setText(QByteArrayView(begin, length));
            m_at += length + 1;
            // A CR at the end of what is read may have its LF in the next read.
            m_skipLf = cr != nullptr;
            ++m_lines;
            return true;
        }
        if (fill())
            continue;
        // The source's end ends its last line.
        m_sourceDone = true;
        m_reader.reset();
        if (m_end > m_at) {
            line.setText(QByteArrayView(begin, size));
            m_at = m_end;
            ++m_lines;
            return true;
        }
    }
}

LineWriter::LineWriter(io::ContentSink& sink)
    : m_sink(sink)
{
    m_buffer.reserve(kReadSize + 4096);
}

LineWriter::~LineWriter() = default;

void LineWriter::write(QByteArrayView line)
{
    m_buffer.append(line.data(), line.size());
    m_buffer.append("\r\n", 2);
    if (m_buffer.size() >= kReadSize)
        flush();
}

void LineWriter::flush()
{
    if (!m_buffer.isEmpty())
        m_sink.write(m_buffer.constData(), m_buffer.size());
    m_buffer.resize(0);
}

} // namespace tess::tools
