#pragma once

#include "components/tray/TrayShell.h"

#include <QPoint>

#include <functional>

namespace tess::components {

class TIcon;
class TrayImageList;
class TrayMenu;

// Everything the tray icon asks of the system: the shell's notification
// area, a hidden window that receives its notices, the cursor, the keyboard,
// the foreground, and the few toolkit services for menus and pictures.
// Results the shell gives back are reported but the icon does not rely on them.
class TrayProvider {
public:
    using WindowProcedure = std::function<void(TMessage& message)>;

    virtual ~TrayProvider() = default;

    // Shell_NotifyIconA: NIM_ADD, NIM_MODIFY or NIM_DELETE with the record.
    virtual bool ShellNotifyIcon(quint32 command, const TNotifyIconDataA& data) = 0;

    // A hidden window whose messages all go to `procedure`; released exactly once.
    virtual TrayHandle CreateHiddenWindow(WindowProcedure procedure) = 0;
    virtual void ReleaseHiddenWindow(TrayHandle window) = 0;

    virtual qintptr DefWindowProc(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam) = 0;
    // Queued delivery to a window's procedure; a window released meanwhile gets nothing.
    virtual bool PostMessage(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam) = 0;

    // Screen coordinates.
    virtual QPoint GetCursorPos() = 0;
    // Negative while the key is held down.
    virtual qint16 GetKeyState(int virtualKey) = 0;

    // The program-wide window (not the main form), to bring to the foreground.
    virtual TrayHandle ApplicationWindow() = 0;
    virtual bool SetForegroundWindow(TrayHandle window) = 0;

    // Shows the menu at a screen point and returns once it has closed.
    virtual void PopupMenu(TrayMenu& menu, QPoint at) = 0;
    // Writes picture number `index` of the list into `icon`.
    virtual void ImageListGetIcon(TrayImageList& list, int index, TIcon& icon) = 0;
    // The handle of the icon's picture, made when first asked for; 0 for an
    // empty icon. May throw when the picture cannot be turned into one.
    virtual TrayHandle IconHandle(const TIcon& icon) = 0;
};

} // namespace tess::components
