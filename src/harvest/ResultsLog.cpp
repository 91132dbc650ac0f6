#include "harvest/ResultsLog.h"

#include "text/Errors.h"

namespace tess::harvest {

ResultsLog::ResultsLog(const QString& path)
    : m_path(path)
    , m_file(path)
{
}

ResultsLog::~ResultsLog() { m_file.close(); }

QByteArray ResultsLog::formatRow(const QByteArray& address, const QByteArray& linkText)
{
    QByteArray text = linkText;
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    return address + '\t' + text + "\r\n";
}

bool ResultsLog::ensureOpen()
{
    if (m_file.isOpen())
        return true;
    return m_file.open(QIODevice::ReadWrite | QIODevice::Append);
}

void ResultsLog::restart()
{
    m_file.close();
    m_rows = 0;
    // A log that cannot be kept must not stop the harvest: the rows still
    // reach the list, and Save results reports the problem instead of
    // saving part of the rows.
    m_broken = !m_file.open(QIODevice::ReadWrite | QIODevice::Truncate);
}

void ResultsLog::append(const QByteArray& address, const QByteArray& linkText)
{
    ++m_rows;
    const QByteArray row = formatRow(address, linkText);
    if (!ensureOpen() || m_file.write(row) != row.size())
        m_broken = true;
}

void ResultsLog::flush()
{
    if (m_file.isOpen() && !m_file.flush())
        m_broken = true;
}

QByteArray ResultsLog::contents()
{
    if (m_rows == 0)
        return {};
    flush();
    if (m_broken)
        throw text::FileCreateError(m_path);
    QFile reader(m_path);
    if (!reader.open(QIODevice::ReadOnly))
        throw text::FileOpenError(m_path);
    QByteArray all = reader.readAll();
    if (reader.error() != QFileDevice::NoError)
        throw text::StreamReadError();
    return all;
}

void ResultsLog::remove()
{
    m_file.close();
    m_rows = 0;
    m_broken = false;
    if (QFile::exists(m_path))
        QFile::remove(m_path);
}

} // namespace tess::harvest
