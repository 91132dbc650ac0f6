#pragma once

#include "components/tray/TIcon.h"
#include "components/tray/TrayComponents.h"
#include "components/tray/TrayProvider.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <stdexcept>

namespace tess::components::testing {

// A picture known by a number, which is also its handle.
struct FakeImage final : TrayImage {
    explicit FakeImage(TrayHandle n)
        : number(n)
    {
    }
    TrayHandle number;
};

inline TIcon fakeIcon(TrayHandle number) { return TIcon(std::make_shared<FakeImage>(number)); }

struct FakeMenu final : TrayMenu { };

// Picture i of the list is picture `first + i`.
struct FakeImageList final : TrayImageList {
    explicit FakeImageList(TrayHandle f)
        : first(f)
    {
    }
    TrayHandle first;
};

// Records every call in one journal, so tests can check order across calls
// and events (tests append their own entries to the same journal).
class FakeTrayProvider final : public TrayProvider {
public:
    static constexpr TrayHandle Hidden = 0x77;
    static constexpr TrayHandle AppWindow = 0x55;

    QStringList journal;
    std::vector<std::pair<quint32, TNotifyIconDataA>> shellCalls;
    QPoint cursor { 640, 1010 };
    bool shiftDown = false, ctrlDown = false, altDown = false;
    // Which call throws: "Shell" or "IconHandle"; empty for none.
    QString failing;
    bool windowReleased = false;
    WindowProcedure procedure;

    bool ShellNotifyIcon(quint32 command, const TNotifyIconDataA& data) override
    {
        if (failing == u"Shell")
            throw std::runtime_error("shell gone");
        shellCalls.emplace_back(command, data);
        static const char* const names[] = { "add", "modify", "delete" };
        journal << QStringLiteral("shell:%1 id=%2 flags=%3 icon=%4 tip=%5")
                       .arg(QLatin1String(command < 3 ? names[command] : "?"))
                       .arg(data.uID)
                       .arg(data.uFlags)
                       .arg(data.hIcon)
                       .arg(QString::fromLatin1(data.szTip));
        return true;
    }
    TrayHandle CreateHiddenWindow(WindowProcedure p) override
    {
        procedure = std::move(p);
        return Hidden;
    }
    void ReleaseHiddenWindow(TrayHandle window) override
    {
        journal << QStringLiteral("release:%1").arg(window);
        windowReleased = true;
    }
    qintptr DefWindowProc(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam) override
    {
        journal << QStringLiteral("default:%1 %2 %3 %4").arg(window).arg(msg).arg(wParam).arg(lParam);
        return 4242;
    }
    bool PostMessage(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam) override
    {
        journal << QStringLiteral("post:%1 %2 %3 %4").arg(window).arg(msg).arg(wParam).arg(lParam);
        return true;
    }
    QPoint GetCursorPos() override { return cursor; }
    qint16 GetKeyState(int key) override
    {
        const bool down = (key == shell::VK_SHIFT && shiftDown) || (key == shell::VK_CONTROL && ctrlDown)
            || (key == shell::VK_MENU && altDown);
        return down ? qint16(-128) : qint16(1);
    }
    TrayHandle ApplicationWindow() override { return AppWindow; }
    bool SetForegroundWindow(TrayHandle window) override
    {
        journal << QStringLiteral("foreground:%1")
                       .arg(window == AppWindow ? QStringLiteral("app") : QStringLiteral("hidden"));
        return true;
    }
    void PopupMenu(TrayMenu&, QPoint at) override
    {
        journal << QStringLiteral("popup:%1,%2").arg(at.x()).arg(at.y());
    }
    void ImageListGetIcon(TrayImageList& list, int index, TIcon& icon) override
    {
        icon = fakeIcon(static_cast<FakeImageList&>(list).first + static_cast<TrayHandle>(index));
    }
    TrayHandle IconHandle(const TIcon& icon) override
    {
        if (failing == u"IconHandle")
            throw std::runtime_error("no handle");
        return icon.Empty() ? 0 : static_cast<const FakeImage*>(icon.Image())->number;
    }

    // The shell's notice for a mouse action, through the hidden window.
    qintptr notify(qintptr mouseMessage, quint32 msg = shell::WM_TRAYNOTIFY)
    {
        TMessage m { msg, 9, mouseMessage, -1 };
        procedure(m);
        return m.Result;
    }
};

} // namespace tess::components::testing
