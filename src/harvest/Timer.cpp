#include "harvest/Timer.h"

namespace tess::harvest {

QtTimer::QtTimer(int intervalMs)
{
    m_timer.setInterval(intervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
}

void QtTimer::setInterval(int ms) { m_timer.setInterval(ms); }

int QtTimer::interval() const { return m_timer.interval(); }

void QtTimer::setEnabled(bool enabled)
{
    if (enabled)
        m_timer.start();
    else
        m_timer.stop();
}

bool QtTimer::enabled() const { return m_timer.isActive(); }

} // namespace tess::harvest
