#include "harvest/ResultsLog.h"

#include "io/FileReader.h"
#include "io/PathName.h"
#include "text/Errors.h"
#include "text/Gbk.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tess::harvest {

ResultsLog::ResultsLog(const QString& path)
    : m_path(path)
{
}

ResultsLog::~ResultsLog() = default;

namespace {

void blankBreaks(QByteArray& text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
}

QByteArray numberField(int n) { return n > 0 ? QByteArray::number(n) : QByteArray(); }

} // namespace

QByteArray ResultsLog::formatRow(const HarvestedRow& row)
{
    QByteArray line;
    line.reserve(row.address.size() + row.title.size() + row.keyword.size() + 64);
    for (QByteArray text : { row.address, row.title, text::toGbk(row.engine), row.keyword }) {
        blankBreaks(text);
        line += text;
        line += '\t';
    }
    line += numberField(row.page) + '\t' + numberField(row.rank) + '\t';
    line += rowKindName(row.kind).data();
    line += '\t';
    line += rowTimeText(row.time).toLatin1();
    line += "\r\n";
    return line;
}

HarvestedRow ResultsLog::parseRow(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    const QList<QByteArray> f = line.toByteArray().split('\t');
    HarvestedRow row { .address = f.value(0), .title = f.value(1) };
    row.engine = text::fromGbk(f.value(2));
    row.keyword = f.value(3);
    row.page = f.value(4).toInt();
    row.rank = f.value(5).toInt();
    // The earlier layouts knew no kinds: their rows were any link.
    row.kind = rowKindNamed(QString::fromLatin1(f.value(6))).value_or(RowKind::Link);
    if (f.size() > 7 && !f[7].isEmpty())
        row.time = QDateTime::fromString(QString::fromLatin1(f[7]), Qt::ISODate);
    return row;
}

qint64 ResultsLog::recover()
{
    m_file.reset();
    m_unwritten.clear();
    m_inMemory.clear();
    m_failed = false;
    m_onDisk = 0;
    m_rows = 0;
    struct stat st { };
    if (::stat(io::encodePath(m_path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    QByteArray rows;
    try {
        rows = io::readWholeFile(m_path);
    } catch (const text::AppError&) {
        return 0;
    }
    // A row cut short by the crash is no row.
    m_onDisk = rows.lastIndexOf('\n') + 1;
    m_rows = rows.left(m_onDisk).count('\n');
    return m_rows;
}

void ResultsLog::restart()
{
    m_unwritten.clear();
    m_inMemory.clear();
    m_onDisk = 0;
    m_rows = 0;
    m_failed = false;
    m_file = io::openForAppend(m_path, true);
    if (!m_file.isOpen())
        fail(errno);
}

void ResultsLog::append(const HarvestedRow& row)
{
    ++m_rows;
    m_unwritten += formatRow(row);
    if (onAppend)
        onAppend(row);
}

void ResultsLog::flush()
{
    if (m_unwritten.isEmpty())
        return;
    if (!m_failed && !m_file.isOpen()) {
        m_file = io::openForAppend(m_path, false);
        if (!m_file.isOpen())
            fail(errno);
    }
    if (!m_failed) {
        if (io::writeAll(m_file.get(), m_unwritten.constData(), m_unwritten.size())) {
            m_onDisk += m_unwritten.size();
            m_unwritten.clear();
            return;
        }
        const int error = errno;
        // Whatever part of the page's rows reached the file goes again, in
        // memory: the file keeps whole rows only.
        if (::ftruncate(m_file.get(), m_onDisk) != 0) {
            // Left as it is: contents() reads only the whole rows anyway.
        }
        fail(error);
    }
    m_inMemory += m_unwritten;
    m_unwritten.clear();
}

void ResultsLog::fail(int error)
{
    if (m_failed)
        return;
    m_failed = true;
    m_file.reset();
    if (onWriteFailure)
        onWriteFailure(
            QStringLiteral("无法写入临时结果文件 %1：%2\n本次搜索的结果改为保存在内存中，仍可用“保存”保存。")
                .arg(m_path, QString::fromLocal8Bit(std::strerror(error))));
}

QByteArray ResultsLog::contents()
{
    if (m_rows == 0)
        return {};
    flush();
    QByteArray all;
    if (m_onDisk > 0) {
        all = io::readWholeFile(m_path);
        if (all.size() < m_onDisk)
            throw text::StreamReadError();
        all.truncate(m_onDisk);
    }
    all += m_inMemory;
    return all;
}

HarvestedRows ResultsLog::rows()
{
    const QByteArray all = contents();
    HarvestedRows rows;
    rows.reserve(m_rows);
    for (qsizetype start = 0; start < all.size();) {
        qsizetype end = all.indexOf('\n', start);
        if (end < 0)
            end = all.size();
        rows.append(parseRow(QByteArrayView(all).sliced(start, end - start)));
        start = end + 1;
    }
    return rows;
}

void ResultsLog::remove()
{
    m_file.reset();
    m_unwritten.clear();
    m_inMemory.clear();
    m_onDisk = 0;
    m_rows = 0;
    m_failed = false;
    ::unlink(io::encodePath(m_path).constData());
}

} // namespace tess::harvest
