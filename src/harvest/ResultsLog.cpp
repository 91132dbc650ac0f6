#include "harvest/ResultsLog.h"

#include "text/Errors.h"

#include <QFile>

#include <unistd.h>

namespace tess::harvest {

ResultsLog::ResultsLog(const QString& path)
    : m_path(path)
{
}

ResultsLog::~ResultsLog() = default;

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
    if (!m_file.isOpen())
        m_file = text::openForAppend(m_path, false);
    return m_file.isOpen();
}

void ResultsLog::restart()
{
    m_unwritten.clear();
    m_rows = 0;
    // A log that cannot be kept must not stop the harvest: the rows still
    // reach the list, and Save results reports the problem instead of
    // saving part of the rows.
    m_file = text::openForAppend(m_path, true);
    m_broken = !m_file.isOpen();
}

void ResultsLog::append(const QByteArray& address, const QByteArray& linkText)
{
    ++m_rows;
    m_unwritten += formatRow(address, linkText);
}

void ResultsLog::flush()
{
    if (m_unwritten.isEmpty())
        return;
    if (!ensureOpen() || !text::writeAll(m_file.get(), m_unwritten.constData(), m_unwritten.size()))
        m_broken = true;
    m_unwritten.clear();
}

QByteArray ResultsLog::contents()
{
    if (m_rows == 0)
        return {};
    flush();
    if (m_broken)
        throw text::FileCreateError(m_path);
    return text::readWholeFile(m_path);
}

void ResultsLog::remove()
{
    m_file.reset();
    m_unwritten.clear();
    m_rows = 0;
    m_broken = false;
    ::unlink(QFile::encodeName(m_path).constData());
}

} // namespace tess::harvest
