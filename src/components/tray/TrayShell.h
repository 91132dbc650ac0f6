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
struct NotifyIconRecord {
    quint32 size; // of the record in bytes
    TrayHandle window; // receives the icon's notices
    quint32 id; // tells the window's icons apart
    quint32 flags; // which of callbackMessage, icon and tip are valid
    quint32 callbackMessage;
    TrayHandle icon;
    char tip[64];
};
static_assert(sizeof(NotifyIconRecord) == 88);

// A message delivered to a hidden window; `result` is what its procedure answers.
struct WindowMessage {
    quint32 id;
    quintptr wParam;
    qintptr lParam;
    qintptr result;
};

namespace shell {
inline constexpr quint32 kNimAdd = 0;
inline constexpr quint32 kNimModify = 1;
inline constexpr quint32 kNimDelete = 2;

inline constexpr quint32 kNifMessage = 1;
inline constexpr quint32 kNifIcon = 2;
inline constexpr quint32 kNifTip = 4;

inline constexpr quint32 kWmNull = 0;
inline constexpr quint32 kWmUser = 1024;
// The message the shell sends the hidden window for mouse actions on the icon.
inline constexpr quint32 kWmTrayNotify = kWmUser + 1;
inline constexpr qintptr kWmMouseMove = 0x200;
inline constexpr qintptr kWmLButtonDown = 0x201;
inline constexpr qintptr kWmLButtonUp = 0x202;
inline constexpr qintptr kWmLButtonDblClk = 0x203;
inline constexpr qintptr kWmRButtonDown = 0x204;
inline constexpr qintptr kWmRButtonUp = 0x205;
inline constexpr qintptr kWmRButtonDblClk = 0x206;
inline constexpr qintptr kWmMButtonDown = 0x207;
inline constexpr qintptr kWmMButtonUp = 0x208;

inline constexpr int kVkShift = 0x10;
inline constexpr int kVkControl = 0x11;
inline constexpr int kVkMenu = 0x12;
} // namespace shell

} // namespace tess::components
