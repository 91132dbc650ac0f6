#include "components/tray/qt/QtTaskbarIcon.h"

namespace tess::components {

QtTaskbarIcon::QtTaskbarIcon(QWidget* applicationWindow)
    : QtTrayProviderHolder(applicationWindow)
    , TaskbarIcon(m_trayProvider)
{
}

QtTaskbarIcon::~QtTaskbarIcon() { QObject::disconnect(m_menuDestroyed); }

void QtTaskbarIcon::setIcon(const QIcon& icon) { setIcon(iconPicture(icon)); }

void QtTaskbarIcon::setPopupMenu(QMenu* menu)
{
    QObject::disconnect(m_menuDestroyed);
    auto handle = menu ? std::make_unique<QtTrayMenu>(menu) : nullptr;
    // Assigned before the old handle goes, so the icon never holds a freed one.
    setPopupMenu(handle.get());
    m_menu = std::move(handle);
    if (menu) {
        QtTrayMenu* current = m_menu.get();
        m_menuDestroyed = QObject::connect(menu, &QObject::destroyed, &trayProvider(),
            [this, current] { notification(current, ComponentOperation::Remove); });
    }
}

QMenu* QtTaskbarIcon::popupQMenu() const { return m_menu ? m_menu->menu() : nullptr; }

} // namespace tess::components
