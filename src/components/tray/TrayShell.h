#pragma once

#include <QtGlobal>

// The notification-area protocol the tray icon speaks: the notify-icon
// record, its commands and flags, and the message shape of the hidden
// window. Values are the shell's published ones, so a provider for any
// system can be checked against the same numbers.
namespace tess::components {

// Windows and icons are named by opaque 32-bit handles; 0 is "none".
using TrayHandle = quint32;

// The notify-icon record in its first, 88-byte form.
struct TNotifyIconDataA {
    quint32 cbSize;
    TrayHandle hWnd;
    quint32 uID;
    quint32 uFlags;
    quint32 uCallbackMessage;
    TrayHandle hIcon;
    char szTip[64];
};
static_assert(sizeof(TNotifyIconDataA) == 88);

// A message delivered to a hidden window; Result is what its procedure answers.
struct TMessage {
    quint32 Msg;
    quintptr WParam;
    qintptr LParam;
    qintptr Result;
};

namespace shell {
inline constexpr quint32 NIM_ADD = 0;
inline constexpr quint32 NIM_MODIFY = 1;
inline constexpr quint32 NIM_DELETE = 2;

inline constexpr quint32 NIF_MESSAGE = 1;
inline constexpr quint32 NIF_ICON = 2;
inline constexpr quint32 NIF_TIP = 4;

inline constexpr quint32 WM_NULL = 0;
inline constexpr quint32 WM_USER = 1024;
// The message the shell sends the hidden window for mouse actions on the icon.
inline constexpr quint32 WM_TRAYNOTIFY = WM_USER + 1;
inline constexpr qintptr WM_MOUSEMOVE = 0x200;
inline constexpr qintptr WM_LBUTTONDOWN = 0x201;
inline constexpr qintptr WM_LBUTTONUP = 0x202;
inline constexpr qintptr WM_LBUTTONDBLCLK = 0x203;
inline constexpr qintptr WM_RBUTTONDOWN = 0x204;
inline constexpr qintptr WM_RBUTTONUP = 0x205;
inline constexpr qintptr WM_RBUTTONDBLCLK = 0x206;
inline constexpr qintptr WM_MBUTTONDOWN = 0x207;
inline constexpr qintptr WM_MBUTTONUP = 0x208;

inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
} // namespace shell

} // namespace tess::components
