#pragma once

#include "components/tray/TrayProvider.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <map>
#include <utility>

namespace tess::components {

// The tray on a Linux desktop, through QSystemTrayIcon.
//
// Qt reports no separate press and release on the tray icon: a left press
// arrives as Trigger, the second release of a double-click as DoubleClick
// and a right press as Context. Each is turned into the pair of mouse
// notices the shell would have sent, so the component's own dispatch keeps
// its event order. Where the desktop has no tray, icons are kept but not
// seen, and everything else works as usual.
class QtTrayProvider final : public QObject, public TrayProvider {
    Q_OBJECT
public:
    // `applicationWindow`, when given, is brought forward where the program
    // asks for its own window to come to the foreground.
    explicit QtTrayProvider(QWidget* applicationWindow = nullptr, QObject* parent = nullptr);
    ~QtTrayProvider() override;

    void setApplicationWindow(QWidget* window) { m_applicationWindow = window; }

    bool shellNotifyIcon(quint32 command, const NotifyIconRecord& data) override;
    TrayHandle createHiddenWindow(WindowProcedure procedure) override;
    void releaseHiddenWindow(TrayHandle window) override;
    qintptr defaultWindowProc(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam) override;
    bool postMessage(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam) override;
    QPoint cursorPos() override;
    qint16 keyState(int virtualKey) override;
    TrayHandle applicationWindowHandle() override;
    bool setForegroundWindow(TrayHandle window) override;
    void popupMenu(TrayMenu& menu, QPoint at) override;
    void imageListIcon(TrayImageList& list, int index, IconPicture& icon) override;
    TrayHandle iconHandle(const IconPicture& icon) override;

    // The tray icon added for (window, id), or null.
    QSystemTrayIcon* trayIcon(TrayHandle window, quint32 id) const;

public slots:
    // What the tray icon added for (window, id) reports, as the shell's notices.
    void translateActivation(TrayHandle window, quint32 id, QSystemTrayIcon::ActivationReason reason);

private:
    using IconKey = std::pair<TrayHandle, quint32>;

    void apply(QSystemTrayIcon& tray, const NotifyIconRecord& data) const;
    void send(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam);

    QPointer<QWidget> m_applicationWindow;
    std::map<TrayHandle, WindowProcedure> m_windows;
    TrayHandle m_nextWindow;
    std::map<IconKey, QSystemTrayIcon*> m_trayIcons;
    QHash<TrayHandle, QIcon> m_icons;
    QHash<qint64, TrayHandle> m_iconHandles;
    TrayHandle m_nextIcon = 1;
};

} // namespace tess::components
