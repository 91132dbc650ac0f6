#include "components/tray/qt/QtTaskbarIcon.h"

namespace tess::components {

QtTaskbarIcon::QtTaskbarIcon(QWidget* applicationWindow)
    : QtTrayProviderHolder(applicationWindow)
    , TantTaskbarIcon(m_trayProvider)
{
}

QtTaskbarIcon::~QtTaskbarIcon() { QObject::disconnect(m_menuDestroyed); }

void QtTaskbarIcon::SetIcon(const QIcon& icon) { SetIcon(trayIcon(icon)); }

void QtTaskbarIcon::SetPopupMenu(QMenu* menu)
{
    QObject::disconnect(m_menuDestroyed);
    auto handle = menu ? std::make_unique<QtTrayMenu>(menu) : nullptr;
    // Assigned before the old handle goes, so the icon never holds a freed one.
    SetPopupMenu(handle.get());
    m_menu = std::move(handle);
    if (menu) {
        QtTrayMenu* current = m_menu.get();
        m_menuDestroyed = QObject::connect(menu, &QObject::destroyed, &trayProvider(),
            [this, current] { Notification(current, TOperation::opRemove); });
    }
}

QMenu* QtTaskbarIcon::popupQMenu() const { return m_menu ? m_menu->menu() : nullptr; }

} // namespace tess::components
