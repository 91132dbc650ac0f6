#include "harvest/RowFormats.h"

#include "harvest/ResultsLog.h"
#include "io/FileDescriptor.h"
#include "io/SystemCalls.h"
#include "text/Gbk.h"

#include <QList>

#include <cerrno>
#include <sys/stat.h>

namespace tess::harvest {
namespace {

QByteArray csvField(const QByteArray& gbk)
{
    const QByteArray utf8 = text::fromGbk(gbk).toUtf8();
    bool quote = false;
    for (const char c : utf8)
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    if (!quote)
        return utf8;
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace

std::optional<RowFormat> rowFormatNamed(const QString& name)
{
    if (name.compare(QLatin1String("tsv"), Qt::CaseInsensitive) == 0)
        return RowFormat::Tsv;
    if (name.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0)
        return RowFormat::Csv;
    return std::nullopt;
}

RowFormat rowFormatForFileName(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? RowFormat::Csv : RowFormat::Tsv;
}

QByteArray rowsPreamble(RowFormat format, bool withEngine)
{
    if (format != RowFormat::Csv)
        return {};
    return withEngine ? QByteArray("\xEF\xBB\xBF"
                                   "address,title,engine\r\n")
                      : QByteArray("\xEF\xBB\xBF"
                                   "address,title\r\n");
}

QByteArray formatRow(
    RowFormat format, const QByteArray& address, const QByteArray& linkText, const QByteArray& engine)
{
    if (format == RowFormat::Tsv)
        return ResultsLog::formatRow(address, linkText, engine);
    const QByteArray row = csvField(address) + ',' + csvField(linkText);
    return engine.isEmpty() ? row + "\r\n" : row + ',' + csvField(engine) + "\r\n";
}

QByteArray convertTsvRows(const QByteArray& tsv, RowFormat format)
{
    if (format == RowFormat::Tsv)
        return tsv;
    QList<QByteArrayView> lines;
    bool withEngine = false;
    for (qsizetype start = 0; start < tsv.size();) {
        qsizetype end = tsv.indexOf('\n', start);
        if (end < 0)
            end = tsv.size();
        QByteArrayView line(tsv.constData() + start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        withEngine = withEngine || line.count('\t') >= 2;
        lines.append(line);
    }
    QByteArray out = rowsPreamble(format, withEngine);
    for (const QByteArrayView line : std::as_const(lines)) {
        const QList<QByteArray> fields = line.toByteArray().split('\t');
        const QByteArray engine = withEngine ? fields.value(2) : QByteArray();
        const QByteArray row = formatRow(format, fields.value(0), fields.value(1), engine);
        // A row of no engine keeps its place in the column.
        out += withEngine && engine.isEmpty() ? row.chopped(2) + ",\r\n" : row;
    }
    return out;
}

RowWriter::RowWriter(int fd, RowFormat format, bool withEngine)
    : m_fd(fd)
    , m_format(format)
    , m_withEngine(withEngine)
{
}

namespace {

// The size of the file behind `fd`; nothing for what is not a regular file
// (a pipe, a terminal, a device), where nothing written can be taken back.
std::optional<off_t> regularFileSize(int fd)
{
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return st.st_size;
}

} // namespace

bool RowWriter::begin()
{
    // Rows added to a file that holds some already go under its header.
    const std::optional<off_t> size = regularFileSize(m_fd);
    const QByteArray preamble = size.value_or(0) > 0 ? QByteArray() : rowsPreamble(m_format, m_withEngine);
    if (preamble.isEmpty() || writeWhole(preamble))
        return true;
    m_error = errno;
    return false;
}

bool RowWriter::writeWhole(const QByteArray& bytes)
{
    // One write for the lot: a reader at the other end of a pipe sees whole
    // rows as far as the system allows, and a file that refuses part of
    // them is cut back to where they began.
    const std::optional<off_t> before = regularFileSize(m_fd);
    if (io::writeAll(m_fd, bytes.constData(), bytes.size()))
        return true;
    const int error = errno;
    if (before)
        io::systemCalls().ftruncate(m_fd, *before);
    errno = error;
    return false;
}

void RowWriter::append(const QByteArray& address, const QByteArray& linkText, const QByteArray& engine)
{
    ++m_rows;
    m_pending += formatRow(m_format, address, linkText, m_withEngine ? engine : QByteArray());
}

bool RowWriter::flush()
{
    if (m_error != 0) {
        m_pending.clear();
        errno = m_error;
        return false;
    }
    if (m_pending.isEmpty())
        return true;
    const bool written = writeWhole(m_pending);
    if (!written)
        m_error = errno;
    m_pending.clear();
    return written;
}

} // namespace tess::harvest
