#pragma once

#include "components/tray/TrayShell.h"

#include <QPoint>

#include <functional>

namespace tess::components {

class IconPicture;
class TrayImageList;
class TrayMenu;

// Everything the tray icon asks of the system: the shell's notification
// area, a hidden window that receives its notices, the cursor, the keyboard,
// the foreground, and the few toolkit services for menus and pictures.
// Results the shell gives back are reported but the icon does not rely on them.
class TrayProvider {
public:
    using WindowProcedure = std::function<void(WindowMessage& message)>;

    virtual ~TrayProvider() = default;

    // The shell's notify-icon call: kNimAdd, kNimModify or kNimDelete with the record.
    virtual bool shellNotifyIcon(quint32 command, const NotifyIconRecord& data) = 0;

    // A hidden window whose messages all go to `procedure`; released exactly once.
    virtual TrayHandle createHiddenWindow(WindowProcedure procedure) = 0;
    virtual void releaseHiddenWindow(TrayHandle window) = 0;

    virtual qintptr defaultWindowProc(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam) = 0;
    // Queued delivery to a window's procedure; a window released meanwhile gets nothing.
    virtual bool postMessage(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam) = 0;

    // Screen coordinates.
    virtual QPoint cursorPos() = 0;
    // Negative while the key is held down.
    virtual qint16 keyState(int virtualKey) = 0;

    // The program-wide window (not the main form), to bring to the foreground.
    virtual TrayHandle applicationWindowHandle() = 0;
    virtual bool setForegroundWindow(TrayHandle window) = 0;

    // Shows the menu at a screen point and returns once it has closed.
    virtual void popupMenu(TrayMenu& menu, QPoint at) = 0;
    // Writes picture number `index` of the list into `icon`.
    virtual void imageListIcon(TrayImageList& list, int index, IconPicture& icon) = 0;
    // The handle of the icon's picture, made when first asked for; 0 for an
    // empty icon. May throw when the picture cannot be turned into one.
    virtual TrayHandle iconHandle(const IconPicture& icon) = 0;
};

} // namespace tess::components
