#include "harvest/HeadlessWindow.h"

#include <algorithm>

namespace tess::harvest {

HeadlessWindow::HeadlessWindow(Settings settings, RowWriter& rows)
    : m_settings(std::move(settings))
    , m_rows(rows)
{
    SetIntervalSetting(m_settings.intervalSeconds);
}

void HeadlessWindow::SetIntervalSetting(int seconds)
{
    // The same range as the window's box.
    m_settings.intervalSeconds = std::clamp(seconds, 1, 1000);
}

void HeadlessWindow::SetPanelText(int panel, const QString& text)
{
    m_panels[panel] = text;
    if (panel == PanelStatus && OnStatus)
        OnStatus(text);
}

void HeadlessWindow::AppendResult(const QByteArray& address, const QByteArray& linkText)
{
    ++m_shownRows;
    m_rows.append(address, linkText);
}

std::optional<QString> HeadlessWindow::InputQuery(const QString&, const QString&, const QString&)
{
    return QString::number(m_settings.startPosition);
}

void HeadlessWindow::message(const QString& text)
{
    if (OnMessage)
        OnMessage(text);
}

} // namespace tess::harvest
