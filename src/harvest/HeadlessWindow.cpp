#include "harvest/HeadlessWindow.h"

#include <algorithm>

namespace tess::harvest {

HeadlessWindow::HeadlessWindow(Settings settings, RowWriter& rows)
    : m_settings(std::move(settings))
    , m_rows(rows)
{
    setIntervalSetting(m_settings.intervalSeconds);
}

void HeadlessWindow::setIntervalSetting(int seconds)
{
    // The same range as the window's box.
    m_settings.intervalSeconds = std::clamp(seconds, 1, 1000);
}

void HeadlessWindow::showNotice(const RunNotice& notice)
{
    if (onNotice)
        onNotice(notice);
}

void HeadlessWindow::appendResults(const HarvestedRows& rows)
{
    m_shownRows += static_cast<int>(rows.size());
    for (const HarvestedRow& row : rows)
        m_rows.append(row.address, row.title, row.engine.toUtf8());
}

std::optional<QString> HeadlessWindow::inputQuery(const QString&, const QString&, const QString&)
{
    return QString::number(m_settings.startPosition);
}

void HeadlessWindow::message(const QString& text)
{
    if (onMessage)
        onMessage(text);
}

} // namespace tess::harvest
