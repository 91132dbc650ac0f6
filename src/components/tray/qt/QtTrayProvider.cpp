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

constexpr TrayHandle kApplicationWindowHandle = 1;
constexpr TrayHandle kFirstHiddenWindow = 0x100;

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
    , m_nextWindow(kFirstHiddenWindow)
{
}

QtTrayProvider::~QtTrayProvider() = default;

QSystemTrayIcon* QtTrayProvider::trayIcon(TrayHandle window, quint32 id) const
{
    const auto it = m_trayIcons.find({ window, id });
    return it == m_trayIcons.end() ? nullptr : it->second;
}

void QtTrayProvider::apply(QSystemTrayIcon& tray, const NotifyIconRecord& data) const
{
    if (data.flags & kNifIcon)
        tray.setIcon(m_icons.value(data.icon));
    if (data.flags & kNifTip)
        tray.setToolTip(tipText(data.tip));
    // Qt refuses to show an icon without a picture; it appears once it has one.
    tray.setVisible(!tray.icon().isNull());
}

bool QtTrayProvider::shellNotifyIcon(quint32 command, const NotifyIconRecord& data)
{
    const IconKey key { data.window, data.id };
    const auto it = m_trayIcons.find(key);
    switch (command) {
    case kNimAdd: {
        if (it != m_trayIcons.end() || !m_windows.contains(data.window))
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
    case kNimModify:
        if (it == m_trayIcons.end())
            return false;
        apply(*it->second, data);
        return true;
    case kNimDelete: {
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

TrayHandle QtTrayProvider::createHiddenWindow(WindowProcedure procedure)
{
    const TrayHandle window = m_nextWindow++;
    m_windows.emplace(window, std::move(procedure));
    return window;
}

void QtTrayProvider::releaseHiddenWindow(TrayHandle window) { m_windows.erase(window); }

qintptr QtTrayProvider::defaultWindowProc(TrayHandle, quint32, quintptr, qintptr) { return 0; }

void QtTrayProvider::send(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam)
{
    const auto it = m_windows.find(window);
    if (it == m_windows.end())
        return;
    // A handler may release the window (and with it the procedure) while it runs.
    const WindowProcedure procedure = it->second;
    WindowMessage message { msg, wParam, lParam, 0 };
    // Handlers' errors are shown to the user here rather than unwinding
    // through the toolkit's signal machinery.
    ui::guarded([&] { procedure(message); });
}

bool QtTrayProvider::postMessage(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam)
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
    const auto notice = [&](qintptr mouseMessage) { send(window, kWmTrayNotify, id, mouseMessage); };
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        notice(kWmLButtonDown);
        notice(kWmLButtonUp);
        break;
    case QSystemTrayIcon::DoubleClick:
        notice(kWmLButtonDblClk);
        notice(kWmLButtonUp);
        break;
    case QSystemTrayIcon::Context:
        notice(kWmRButtonDown);
        notice(kWmRButtonUp);
        break;
    case QSystemTrayIcon::MiddleClick:
        notice(kWmMButtonDown);
        notice(kWmMButtonUp);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

QPoint QtTrayProvider::cursorPos() { return QCursor::pos(); }

qint16 QtTrayProvider::keyState(int virtualKey)
{
    Qt::KeyboardModifier modifier;
    switch (virtualKey) {
    case kVkShift:
        modifier = Qt::ShiftModifier;
        break;
    case kVkControl:
        modifier = Qt::ControlModifier;
        break;
    case kVkMenu:
        modifier = Qt::AltModifier;
        break;
    default:
        return 0;
    }
    // The high bit, as a negative number, says the key is down.
    constexpr qint16 kKeyDown = static_cast<qint16>(0x8000);
    return QGuiApplication::queryKeyboardModifiers().testFlag(modifier) ? kKeyDown : 0;
}

TrayHandle QtTrayProvider::applicationWindowHandle() { return kApplicationWindowHandle; }

bool QtTrayProvider::setForegroundWindow(TrayHandle window)
{
    if (window == kApplicationWindowHandle) {
        // A main window hidden in the tray stays hidden; this only brings a
        // visible one forward.
        if (m_applicationWindow && m_applicationWindow->isVisible())
            m_applicationWindow->activateWindow();
        return true;
    }
    // Qt's popup menus take and give back the focus by themselves.
    return m_windows.contains(window);
}

void QtTrayProvider::popupMenu(TrayMenu& menu, QPoint at)
{
    if (auto* qtMenu = dynamic_cast<QtTrayMenu*>(&menu); qtMenu && qtMenu->menu())
        qtMenu->menu()->exec(at);
}

void QtTrayProvider::imageListIcon(TrayImageList& list, int index, IconPicture& icon)
{
    const auto* qtList = dynamic_cast<QtTrayImageList*>(&list);
    // Like the shell's image lists, an index outside the list yields no picture.
    if (qtList && index >= 0 && index < qtList->icons.size())
        icon = iconPicture(qtList->icons.at(index));
}

TrayHandle QtTrayProvider::iconHandle(const IconPicture& icon)
{
    if (icon.isEmpty())
        return 0;
    const auto* image = dynamic_cast<const QtTrayImage*>(icon.image());
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
