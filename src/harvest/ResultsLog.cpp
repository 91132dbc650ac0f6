#include "harvest/ResultsLog.h"

#include "io/FileReader.h"
#include "io/PathName.h"
#include "text/Errors.h"

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

QByteArray ResultsLog::formatRow(
    const QByteArray& address, const QByteArray& linkText, const QByteArray& engine)
{
    QByteArray text = linkText;
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    if (engine.isEmpty())
        return address + '\t' + text + "\r\n";
    return address + '\t' + text + '\t' + engine + "\r\n";
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

void ResultsLog::append(const QByteArray& address, const QByteArray& linkText, const QByteArray& engine)
{
    ++m_rows;
    m_unwritten += formatRow(address, linkText, engine);
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
