#pragma once

#include "components/tray/TaskbarIcon.h"
#include "components/tray/qt/QtTrayHandles.h"
#include "components/tray/qt/QtTrayProvider.h"

#include <QIcon>
#include <QMenu>
#include <QMetaObject>
#include <QWidget>

#include <cstddef>
#include <memory>

namespace tess::components {

namespace detail {
// Holds the provider so that it is made before the tray icon and outlives it.
class QtTrayProviderHolder {
protected:
    explicit QtTrayProviderHolder(QWidget* applicationWindow)
        : m_trayProvider(applicationWindow)
    {
    }
    QtTrayProvider m_trayProvider;
};
} // namespace detail

// The tray icon as a window uses it: the component with the desktop's tray
// behind it, taking a QIcon and a QMenu directly.
//
//     m_trayIcon = std::make_unique<QtTaskbarIcon>(this);
//     m_trayIcon->setName(u"antTaskbarIcon1"_s);
//     m_trayIcon->setIcon(windowIcon());
//     m_trayIcon->setVisible(true);
//     m_trayIcon->setHint(text::toGbk(u"『Tessaroon』V2.0 "));
//     m_trayIcon->setPopupMenu(m_trayMenu);
//     m_trayIcon->onClick = [this](TaskbarIcon*) { showFromTray(); };
//     m_trayIcon->loaded();
//
// When the assigned QMenu is destroyed first, the icon hears of it as of a
// removed component and shows no menu from then on.
class QtTaskbarIcon final : private detail::QtTrayProviderHolder, public TaskbarIcon {
public:
    // `applicationWindow` (usually the main window) is brought forward on the
    // icon's mouse releases while it is visible.
    explicit QtTaskbarIcon(QWidget* applicationWindow = nullptr);
    ~QtTaskbarIcon() override;

    using TaskbarIcon::setIcon;
    using TaskbarIcon::setPopupMenu;
    void setIcon(const QIcon& icon);
    // Not owned; may be null.
    void setPopupMenu(QMenu* menu);
    void setPopupMenu(std::nullptr_t) { setPopupMenu(static_cast<QMenu*>(nullptr)); }
    QMenu* popupQMenu() const;

    QtTrayProvider& trayProvider() { return m_trayProvider; }

private:
    std::unique_ptr<QtTrayMenu> m_menu;
    QMetaObject::Connection m_menuDestroyed;
};

} // namespace tess::components
