#include "harvest/HeadlessWindow.h"

#include <algorithm>

namespace tess::harvest {

HeadlessWindow::HeadlessWindow(Settings settings)
    : m_settings(std::move(settings))
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
