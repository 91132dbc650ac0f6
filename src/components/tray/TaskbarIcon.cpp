#include "components/tray/TaskbarIcon.h"

#include "components/tray/TaskbarIconError.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tess::components {

using namespace shell;

TaskbarIcon::TaskbarIcon(TrayProvider& provider)
    : m_provider(provider)
{
    m_window = m_provider.createHiddenWindow([this](WindowMessage& message) { handleIconMessage(message); });
}

TaskbarIcon::~TaskbarIcon()
{
    // Taking the icon out of the tray can fail like any shell operation, but
    // an error escaping a destructor would end the program; the hidden window
    // must go in any case.
    try {
        setVisible(false);
    } catch (...) {
    }
    m_provider.releaseHiddenWindow(m_window);
}

void TaskbarIcon::fillIconData()
{
    m_iconData = {};
    m_iconData.size = kIconDataSize;
    m_iconData.window = m_window;
    m_iconData.id = static_cast<quint32>(m_iconId);
    m_iconData.flags = m_iconFlags;
    m_iconData.callbackMessage = kWmTrayNotify;
    m_iconData.icon = m_provider.iconHandle(m_icon);
    // The hint never exceeds 63 bytes, so its zero always fits.
    const qsizetype n = std::min(m_hint.size(), kMaxHintBytes);
    std::memcpy(m_iconData.tip, m_hint.constData(), static_cast<size_t>(n));
    m_iconData.tip[n] = '\0';
}

void TaskbarIcon::notifyShell(quint32 command, const char* operation)
{
    try {
        fillIconData();
        // A refusal by the shell is no failure of ours: the state stays as
        // though it had worked, so the next show or hide can still put it right.
        m_provider.shellNotifyIcon(command, m_iconData);
    } catch (...) {
        throw TaskbarIconError(QStringLiteral("%1.%2 failed").arg(m_name, QLatin1String(operation)));
    }
}

void TaskbarIcon::addToTaskbar() { notifyShell(kNimAdd, "AddToTaskbar"); }

void TaskbarIcon::update() { notifyShell(kNimModify, "UpDate"); }

void TaskbarIcon::deleteFromTaskbar() { notifyShell(kNimDelete, "DeleteFromTaskbar"); }

void TaskbarIcon::show()
{
    m_iconFlags |= kNifIcon;
    addToTaskbar();
    m_visible = true;
    if (onShow)
        onShow(this);
}

void TaskbarIcon::hide()
{
    m_iconFlags &= ~kNifIcon;
    deleteFromTaskbar();
    m_visible = false;
    if (onHide)
        onHide(this);
}

void TaskbarIcon::popupAtCursor()
{
    if (!m_popupMenu)
        return;
    const QPoint at = m_provider.cursorPos();
    m_provider.popupMenu(*m_popupMenu, at);
    // Lets the menu's own loop wind down before anything else reaches the window.
    m_provider.postMessage(m_window, kWmNull, 0, 0);
    if (onPopupMenu)
        onPopupMenu(this);
}

void TaskbarIcon::mouseDown(MouseButton button, ShiftState shift, int x, int y)
{
    if (onMouseDown)
        onMouseDown(this, button, shift, x, y);
}

void TaskbarIcon::mouseUp(MouseButton button, ShiftState shift, int x, int y)
{
    // Without the program in the foreground, the shell would not let it show
    // a window or close a menu on the user's next click elsewhere.
    m_provider.setForegroundWindow(m_provider.applicationWindowHandle());
    if (onMouseUp)
        onMouseUp(this, button, shift, x, y);
}

void TaskbarIcon::click()
{
    if (onClick)
        onClick(this);
}

void TaskbarIcon::doubleClick()
{
    if (onDoubleClick)
        onDoubleClick(this);
}

void TaskbarIcon::setIcon(const IconPicture& value)
{
    m_icon.assign(&value);
    update();
}

void TaskbarIcon::setImageList(TrayImageList* value)
{
    m_imageList = value;
    loadIconFromImageList();
}

void TaskbarIcon::setImageIndex(int value)
{
    m_imageIndex = value;
    loadIconFromImageList();
}

void TaskbarIcon::setIconId(int value)
{
    if (value == m_iconId)
        return;
    const bool wasVisible = m_visible;
    setVisible(false);
    m_iconId = value;
    setVisible(wasVisible);
}

void TaskbarIcon::setVisible(bool value)
{
    if (value == m_visible)
        return;
    m_visible = value;
    if (value)
        show();
    else
        hide();
}

void TaskbarIcon::setEnabled(bool value) { m_enabled = value; }

void TaskbarIcon::setHint(const QByteArray& value)
{
    m_hint = value.left(kMaxHintBytes);
    update();
}

void TaskbarIcon::loadIconFromImageList()
{
    if (!m_imageList)
        return;
    m_icon.assign(nullptr);
    m_provider.imageListIcon(*m_imageList, m_imageIndex, m_icon);
    update();
}

TaskbarIcon::ShiftState TaskbarIcon::keyboardShiftState() const
{
    ShiftState state;
    if (m_provider.keyState(kVkShift) < 0)
        state |= Shift;
    if (m_provider.keyState(kVkControl) < 0)
        state |= Ctrl;
    if (m_provider.keyState(kVkMenu) < 0)
        state |= Alt;
    return state;
}

void TaskbarIcon::handleIconMessage(WindowMessage& message)
{
    if (message.id != kWmTrayNotify || !m_enabled) {
        message.result = m_provider.defaultWindowProc(m_window, message.id, message.wParam, message.lParam);
        return;
    }
    // Events carry where the cursor is now, not what the notice says.
    const QPoint at = m_provider.cursorPos();
    switch (message.lParam) {
    case kWmLButtonDown:
        m_clickPending = true;
        mouseDown(MouseButton::Left, keyboardShiftState() | LeftButton, at.x(), at.y());
        break;
    case kWmLButtonUp: {
        // Consumed before any handler runs, so a handler that fails cannot
        // leave a click behind for some later release.
        const bool clicked = std::exchange(m_clickPending, false);
        mouseUp(MouseButton::Left, keyboardShiftState() | LeftButton, at.x(), at.y());
        if (clicked)
            click();
        break;
    }
    case kWmLButtonDblClk:
        doubleClick();
        break;
    case kWmRButtonDown:
        m_provider.setForegroundWindow(m_window);
        mouseDown(MouseButton::Right, keyboardShiftState() | RightButton, at.x(), at.y());
        break;
    case kWmRButtonUp:
        popupAtCursor();
        mouseUp(MouseButton::Right, keyboardShiftState() | RightButton, at.x(), at.y());
        break;
    default:
        break;
    }
}

void TaskbarIcon::loaded()
{
    if (m_visible)
        show();
}

void TaskbarIcon::notification(TrayComponent* component, ComponentOperation operation)
{
    if (operation != ComponentOperation::Remove || !component)
        return;
    if (component == m_popupMenu)
        m_popupMenu = nullptr;
    // The list is not owned either; forgetting it spares a dangling reference.
    if (component == m_imageList)
        m_imageList = nullptr;
}

} // namespace tess::components
