#include "components/tray/TantTaskbarIcon.h"

#include "components/tray/EantTaskbarIcon.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tess::components {

using namespace shell;

TantTaskbarIcon::TantTaskbarIcon(TrayProvider& provider)
    : m_provider(provider)
{
    m_window = m_provider.CreateHiddenWindow([this](TMessage& message) { HandleIconMessage(message); });
}

TantTaskbarIcon::~TantTaskbarIcon()
{
    // Taking the icon out of the tray can fail like any shell operation, but
    // an error escaping a destructor would end the program; the hidden window
    // must go in any case.
    try {
        SetVisible(false);
    } catch (...) {
    }
    m_provider.ReleaseHiddenWindow(m_window);
}

void TantTaskbarIcon::FillIconData()
{
    m_iconData = {};
    m_iconData.cbSize = IconDataSize;
    m_iconData.hWnd = m_window;
    m_iconData.uID = static_cast<quint32>(m_iconID);
    m_iconData.uFlags = m_iconFlags;
    m_iconData.uCallbackMessage = WM_TRAYNOTIFY;
    m_iconData.hIcon = m_provider.IconHandle(m_icon);
    // The hint never exceeds 63 bytes, so its zero always fits.
    const qsizetype n = std::min(m_hint.size(), MaxHintBytes);
    std::memcpy(m_iconData.szTip, m_hint.constData(), static_cast<size_t>(n));
    m_iconData.szTip[n] = '\0';
}

void TantTaskbarIcon::notifyShell(quint32 command, const char* operation)
{
    try {
        FillIconData();
        // A refusal by the shell is no failure of ours: the state stays as
        // though it had worked, so the next Show or Hide can still put it right.
        m_provider.ShellNotifyIcon(command, m_iconData);
    } catch (...) {
        throw EantTaskbarIcon(QStringLiteral("%1.%2 failed").arg(m_name, QLatin1String(operation)));
    }
}

void TantTaskbarIcon::AddToTaskbar() { notifyShell(NIM_ADD, "AddToTaskbar"); }

void TantTaskbarIcon::UpDate() { notifyShell(NIM_MODIFY, "UpDate"); }

void TantTaskbarIcon::DeleteFromTaskbar() { notifyShell(NIM_DELETE, "DeleteFromTaskbar"); }

void TantTaskbarIcon::Show()
{
    m_iconFlags |= NIF_ICON;
    AddToTaskbar();
    m_visible = true;
    if (OnShow)
        OnShow(this);
}

void TantTaskbarIcon::Hide()
{
    m_iconFlags &= ~NIF_ICON;
    DeleteFromTaskbar();
    m_visible = false;
    if (OnHide)
        OnHide(this);
}

void TantTaskbarIcon::PopupAtCursor()
{
    if (!m_popupMenu)
        return;
    const QPoint at = m_provider.GetCursorPos();
    m_provider.PopupMenu(*m_popupMenu, at);
    // Lets the menu's own loop wind down before anything else reaches the window.
    m_provider.PostMessage(m_window, WM_NULL, 0, 0);
    if (OnPopupMenu)
        OnPopupMenu(this);
}

void TantTaskbarIcon::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
}

void TantTaskbarIcon::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    // Without the program in the foreground, the shell would not let it show
    // a window or close a menu on the user's next click elsewhere.
    m_provider.SetForegroundWindow(m_provider.ApplicationWindow());
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TantTaskbarIcon::Click()
{
    if (OnClick)
        OnClick(this);
}

void TantTaskbarIcon::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TantTaskbarIcon::SetIcon(const TIcon& value)
{
    m_icon.Assign(&value);
    UpDate();
}

void TantTaskbarIcon::SetImageList(TrayImageList* value)
{
    m_imageList = value;
    LoadIconFromImageList();
}

void TantTaskbarIcon::SetImageIndex(int value)
{
    m_imageIndex = value;
    LoadIconFromImageList();
}

void TantTaskbarIcon::SetIconID(int value)
{
    if (value == m_iconID)
        return;
    const bool wasVisible = m_visible;
    SetVisible(false);
    m_iconID = value;
    SetVisible(wasVisible);
}

void TantTaskbarIcon::SetVisible(bool value)
{
    if (value == m_visible)
        return;
    m_visible = value;
    if (value)
        Show();
    else
        Hide();
}

void TantTaskbarIcon::SetEnabled(bool value) { m_enabled = value; }

void TantTaskbarIcon::SetHint(const QByteArray& value)
{
    m_hint = value.left(MaxHintBytes);
    UpDate();
}

void TantTaskbarIcon::LoadIconFromImageList()
{
    if (!m_imageList)
        return;
    m_icon.Assign(nullptr);
    m_provider.ImageListGetIcon(*m_imageList, m_imageIndex, m_icon);
    UpDate();
}

TantTaskbarIcon::TShiftState TantTaskbarIcon::keyboardShiftState() const
{
    TShiftState state;
    if (m_provider.GetKeyState(VK_SHIFT) < 0)
        state |= ssShift;
    if (m_provider.GetKeyState(VK_CONTROL) < 0)
        state |= ssCtrl;
    if (m_provider.GetKeyState(VK_MENU) < 0)
        state |= ssAlt;
    return state;
}

void TantTaskbarIcon::HandleIconMessage(TMessage& Message)
{
    if (Message.Msg != WM_TRAYNOTIFY || !m_enabled) {
        Message.Result = m_provider.DefWindowProc(m_window, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    // Events carry where the cursor is now, not what the notice says.
    const QPoint at = m_provider.GetCursorPos();
    switch (Message.LParam) {
    case WM_LBUTTONDOWN:
        m_clickPending = true;
        MouseDown(TMouseButton::mbLeft, keyboardShiftState() | ssLeft, at.x(), at.y());
        break;
    case WM_LBUTTONUP: {
        // Consumed before any handler runs, so a handler that fails cannot
        // leave a click behind for some later release.
        const bool click = std::exchange(m_clickPending, false);
        MouseUp(TMouseButton::mbLeft, keyboardShiftState() | ssLeft, at.x(), at.y());
        if (click)
            Click();
        break;
    }
    case WM_LBUTTONDBLCLK:
        DblClick();
        break;
    case WM_RBUTTONDOWN:
        m_provider.SetForegroundWindow(m_window);
        MouseDown(TMouseButton::mbRight, keyboardShiftState() | ssRight, at.x(), at.y());
        break;
    case WM_RBUTTONUP:
        PopupAtCursor();
        MouseUp(TMouseButton::mbRight, keyboardShiftState() | ssRight, at.x(), at.y());
        break;
    default:
        break;
    }
}

void TantTaskbarIcon::Loaded()
{
    if (m_visible)
        Show();
}

void TantTaskbarIcon::Notification(TrayComponent* AComponent, TOperation Operation)
{
    if (Operation != TOperation::opRemove || !AComponent)
        return;
    if (AComponent == m_popupMenu)
        m_popupMenu = nullptr;
    // The list is not owned either; forgetting it spares a dangling reference.
    if (AComponent == m_imageList)
        m_imageList = nullptr;
}

} // namespace tess::components
