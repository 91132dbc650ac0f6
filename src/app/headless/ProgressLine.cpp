#include "app/headless/ProgressLine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace tess::app {

void say(const QString& text)
{
    std::fprintf(stderr, "tessaroon: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

ProgressLine::ProgressLine()
    : m_terminal(::isatty(STDERR_FILENO) == 1)
{
    m_clock.start();
}

void ProgressLine::page(int keyword, int keywords, int page, qint64 rows)
{
    const double seconds = std::max<qint64>(m_clock.elapsed(), 1) / 1000.0;
    const QString line = QStringLiteral("keyword %1 of %2, page %3, %4 rows, %5 rows/s")
                             .arg(keyword)
                             .arg(keywords)
                             .arg(page)
                             .arg(rows)
                             .arg(rows / seconds, 0, 'f', 1);
    show(line);
}

void ProgressLine::mining(int depth, qint64 asked, qint64 toAsk, qint64 found)
{
    show(QStringLiteral("depth %1, asked %2/%3, %4 found").arg(depth).arg(asked).arg(toAsk).arg(found));
}

void ProgressLine::show(const QString& line)
{
    if (m_terminal) {
        std::fprintf(stderr, "\r\033[K%s", line.toLocal8Bit().constData());
        m_open = true;
    } else {
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    }
    std::fflush(stderr);
}

void ProgressLine::breakLine()
{
    if (m_open)
        std::fputc('\n', stderr);
    m_open = false;
}

} // namespace tess::app
