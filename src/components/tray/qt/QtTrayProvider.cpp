#include "components/tray/qt/QtTrayProvider.h"

#include "components/tray/qt/QtTrayHandles.h"
#include "text/Errors.h"
#include "text/Gbk.h"
#include "ui/Application.h"

#include <QCursor>
#include <QGuiApplication>

#include <cstring>

namespace tess::components {

using namespace shell;

namespace {

constexpr TrayHandle ApplicationWindowHandle = 1;
constexpr TrayHandle FirstHiddenWindow = 0x100;

// The tip up to its zero byte. A cut may have split the last double-byte
// character; its lone lead byte would only show as a replacement mark.
QString tipText(const char (&tip)[64])
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(tip);
    const qsizetype length = static_cast<qsizetype>(strnlen(tip, sizeof tip));
    qsizetype whole = 0;
    while (whole < length) {
        const qsizetype step = bytes[whole] >= 0x81 ? 2 : 1;
        if (whole + step > length)
            break;
        whole += step;
    }
    return text::fromGbk(QByteArrayView(tip, whole));
}

} // namespace

QtTrayProvider::QtTrayProvider(QWidget* applicationWindow, QObject* parent)
    : QObject(parent)
    , m_applicationWindow(applicationWindow)
    , m_nextWindow(FirstHiddenWindow)
{
}

QtTrayProvider::~QtTrayProvider() = default;

QSystemTrayIcon* QtTrayProvider::trayIcon(TrayHandle window, quint32 id) const
{
    const auto it = m_trayIcons.find({ window, id });
    return it == m_trayIcons.end() ? nullptr : it->second;
}

void QtTrayProvider::apply(QSystemTrayIcon& tray, const TNotifyIconDataA& data) const
{
    if (data.uFlags & NIF_ICON)
        tray.setIcon(m_icons.value(data.hIcon));
    if (data.uFlags & NIF_TIP)
        tray.setToolTip(tipText(data.szTip));
    // Qt refuses to show an icon without a picture; it appears once it has one.
    tray.setVisible(!tray.icon().isNull());
}

bool QtTrayProvider::ShellNotifyIcon(quint32 command, const TNotifyIconDataA& data)
{
    const IconKey key { data.hWnd, data.uID };
    const auto it = m_trayIcons.find(key);
    switch (command) {
    case NIM_ADD: {
        if (it != m_trayIcons.end() || !m_windows.contains(data.hWnd))
            return false;
        auto* tray = new QSystemTrayIcon(this);
        connect(
            tray, &QSystemTrayIcon::activated, this, [this, key](QSystemTrayIcon::ActivationReason reason) {
                translateActivation(key.first, key.second, reason);
            });
        m_trayIcons.emplace(key, tray);
        apply(*tray, data);
        return true;
    }
    case NIM_MODIFY:
        if (it == m_trayIcons.end())
            return false;
        apply(*it->second, data);
        return true;
    case NIM_DELETE: {
        if (it == m_trayIcons.end())
            return false;
        QSystemTrayIcon* tray = it->second;
        m_trayIcons.erase(it);
        tray->hide();
        // It may be the very icon whose signal is being handled.
        tray->disconnect(this);
        tray->deleteLater();
        return true;
    }
    default:
        return false;
    }
}

TrayHandle QtTrayProvider::CreateHiddenWindow(WindowProcedure procedure)
{
    const TrayHandle window = m_nextWindow++;
    m_windows.emplace(window, std::move(procedure));
    return window;
}

void QtTrayProvider::ReleaseHiddenWindow(TrayHandle window) { m_windows.erase(window); }

qintptr QtTrayProvider::DefWindowProc(TrayHandle, quint32, quintptr, qintptr) { return 0; }

void QtTrayProvider::send(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam)
{
    const auto it = m_windows.find(window);
    if (it == m_windows.end())
        return;
    // A handler may release the window (and with it the procedure) while it runs.
    const WindowProcedure procedure = it->second;
    TMessage message { msg, wParam, lParam, 0 };
    // Handlers' errors are shown to the user here rather than unwinding
    // through the toolkit's signal machinery.
    ui::guarded([&] { procedure(message); });
}

bool QtTrayProvider::PostMessage(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam)
{
    if (!m_windows.contains(window))
        return false;
    QMetaObject::invokeMethod(
        this, [this, window, msg, wParam, lParam] { send(window, msg, wParam, lParam); },
        Qt::QueuedConnection);
    return true;
}

void QtTrayProvider::translateActivation(
    TrayHandle window, quint32 id, QSystemTrayIcon::ActivationReason reason)
{
    const auto notice = [&](qintptr mouseMessage) { send(window, WM_TRAYNOTIFY, id, mouseMessage); };
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        notice(WM_LBUTTONDOWN);
        notice(WM_LBUTTONUP);
        break;
    case QSystemTrayIcon::DoubleClick:
        notice(WM_LBUTTONDBLCLK);
        notice(WM_LBUTTONUP);
        break;
    case QSystemTrayIcon::Context:
        notice(WM_RBUTTONDOWN);
        notice(WM_RBUTTONUP);
        break;
    case QSystemTrayIcon::MiddleClick:
        notice(WM_MBUTTONDOWN);
        notice(WM_MBUTTONUP);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

QPoint QtTrayProvider::GetCursorPos() { return QCursor::pos(); }

qint16 QtTrayProvider::GetKeyState(int virtualKey)
{
    Qt::KeyboardModifier modifier;
    switch (virtualKey) {
    case VK_SHIFT:
        modifier = Qt::ShiftModifier;
        break;
    case VK_CONTROL:
        modifier = Qt::ControlModifier;
        break;
    case VK_MENU:
        modifier = Qt::AltModifier;
        break;
    default:
        return 0;
    }
    // The high bit, as a negative number, says the key is down.
    constexpr qint16 Down = static_cast<qint16>(0x8000);
    return QGuiApplication::queryKeyboardModifiers().testFlag(modifier) ? Down : 0;
}

TrayHandle QtTrayProvider::ApplicationWindow() { return ApplicationWindowHandle; }

bool QtTrayProvider::SetForegroundWindow(TrayHandle window)
{
    if (window == ApplicationWindowHandle) {
        // A main window hidden in the tray stays hidden; this only brings a
        // visible one forward.
        if (m_applicationWindow && m_applicationWindow->isVisible())
            m_applicationWindow->activateWindow();
        return true;
    }
    // Qt's popup menus take and give back the focus by themselves.
    return m_windows.contains(window);
}

void QtTrayProvider::PopupMenu(TrayMenu& menu, QPoint at)
{
    if (auto* qtMenu = dynamic_cast<QtTrayMenu*>(&menu); qtMenu && qtMenu->menu())
        qtMenu->menu()->exec(at);
}

void QtTrayProvider::ImageListGetIcon(TrayImageList& list, int index, TIcon& icon)
{
    const auto* qtList = dynamic_cast<QtTrayImageList*>(&list);
    // Like the shell's image lists, an index outside the list yields no picture.
    if (qtList && index >= 0 && index < qtList->icons.size())
        icon = components::trayIcon(qtList->icons.at(index));
}

TrayHandle QtTrayProvider::IconHandle(const TIcon& icon)
{
    if (icon.Empty())
        return 0;
    const auto* image = dynamic_cast<const QtTrayImage*>(icon.Image());
    if (!image)
        throw text::AppError(QStringLiteral("Invalid icon"));
    if (image->icon().isNull())
        return 0;
    const qint64 key = image->icon().cacheKey();
    TrayHandle handle = m_iconHandles.value(key);
    if (!handle) {
        handle = m_nextIcon++;
        m_iconHandles.insert(key, handle);
        m_icons.insert(handle, image->icon());
    }
    return handle;
}

} // namespace tess::components
