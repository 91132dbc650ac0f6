#include "app/WindowTray.h"

#include "app/Glyphs.h"
#include "components/tray/qt/QtTaskbarIcon.h"
#include "text/Gbk.h"
#include "ui/Application.h"

#include <QAction>
#include <QEvent>
#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace tess::app {

WindowTray::WindowTray(QMainWindow& window, Options options)
    : QObject(&window)
    , m_window(window)
    , m_options(std::move(options))
{
    buildMenu();
    buildIcon();
    m_window.installEventFilter(this);
}

WindowTray::~WindowTray()
{
    m_window.removeEventFilter(this);
    // The icon goes before the menu it shows.
    m_icon.reset();
}

void WindowTray::buildMenu()
{
    m_menu = new QMenu(&m_window);
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    m_showAction = m_menu->addAction(QStringLiteral("显示主程序(&S)"));
    m_showAction->setObjectName(QStringLiteral("N17"));
    m_showAction->setEnabled(false);
    m_hideAction = m_menu->addAction(QStringLiteral("最小化显示(&M)"));
    m_hideAction->setObjectName(QStringLiteral("N18"));
    m_menu->addSeparator()->setObjectName(QStringLiteral("N22"));
    m_exitAction = m_menu->addAction(QStringLiteral("退 出(&Exit)"));
    m_exitAction->setObjectName(QStringLiteral("N23"));
    connect(m_showAction, &QAction::triggered, this, [this] { ui::guarded([this] { showFromTray(); }); });
    connect(m_hideAction, &QAction::triggered, this, [this] { ui::guarded([this] { hideToTray(); }); });
    connect(m_exitAction, &QAction::triggered, this, [this] {
        if (m_options.quit)
            ui::guarded(m_options.quit);
    });
}

void WindowTray::buildIcon()
{
    m_icon = std::make_unique<components::QtTaskbarIcon>(&m_window);
    m_icon->setName(QStringLiteral("antTaskbarIcon1"));
    m_icon->setIcon(glyphs::programIcon());
    m_icon->setVisible(true);
    m_icon->setHint(text::toGbk(u"『Tessaroon』V2.0 "));
    m_icon->setPopupMenu(m_menu);
    m_icon->onClick = [this](components::TaskbarIcon*) { ui::guarded([this] { showFromTray(); }); };
    m_icon->loaded();
}

bool WindowTray::available() const
{
    return m_options.trayAvailable ? m_options.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void WindowTray::showFromTray()
{
    m_showAction->setEnabled(false);
    m_hideAction->setEnabled(true);
    if (m_maximizedBeforeHiding)
        m_window.showMaximized();
    else
        m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
}

void WindowTray::hideToTray()
{
    m_hideAction->setEnabled(false);
    m_showAction->setEnabled(true);
    m_maximizedBeforeHiding = m_window.windowState() & Qt::WindowMaximized;
    m_window.hide();
}

void WindowTray::callForAttention(const QString& text)
{
    if (m_window.isHidden()) {
        const components::NotifyIconRecord& data = m_icon->iconData();
        if (QSystemTrayIcon* tray = m_icon->trayProvider().trayIcon(data.window, data.id))
            tray->showMessage(QStringLiteral("Tessaroon"), text);
        showFromTray();
    } else if (m_window.isMinimized()) {
        m_window.showNormal();
    }
    m_window.raise();
    m_window.activateWindow();
}

bool WindowTray::eventFilter(QObject* watched, QEvent* event)
{
    // Into the tray only when there is one to bring the window back from;
    // without one the window is minimised as usual.
    if (watched == &m_window && event->type() == QEvent::WindowStateChange
        && (m_window.windowState() & Qt::WindowMinimized) && available())
        QTimer::singleShot(0, this, [this] { ui::guarded([this] { hideToTray(); }); });
    return QObject::eventFilter(watched, event);
}

} // namespace tess::app
