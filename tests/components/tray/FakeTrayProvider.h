#pragma once

#include "components/tray/IconPicture.h"
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

inline IconPicture fakeIcon(TrayHandle number) { return IconPicture(std::make_shared<FakeImage>(number)); }

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
    static constexpr TrayHandle kHiddenWindow = 0x77;
    static constexpr TrayHandle kAppWindow = 0x55;

    QStringList journal;
    std::vector<std::pair<quint32, NotifyIconRecord>> shellCalls;
    QPoint cursor { 640, 1010 };
    bool shiftDown = false, ctrlDown = false, altDown = false;
    // Which call throws: "Shell" or "iconHandle"; empty for none.
    QString failing;
    bool windowReleased = false;
    WindowProcedure procedure;

    bool shellNotifyIcon(quint32 command, const NotifyIconRecord& data) override
    {
        if (failing == u"Shell")
            throw std::runtime_error("shell gone");
        shellCalls.emplace_back(command, data);
        static constexpr const char* kCommandNames[] = { "add", "modify", "delete" };
        journal << QStringLiteral("shell:%1 id=%2 flags=%3 icon=%4 tip=%5")
                       .arg(QLatin1String(command < 3 ? kCommandNames[command] : "?"))
                       .arg(data.id)
                       .arg(data.flags)
                       .arg(data.icon)
                       .arg(QString::fromLatin1(data.tip));
        return true;
    }
    TrayHandle createHiddenWindow(WindowProcedure p) override
    {
        procedure = std::move(p);
        return kHiddenWindow;
    }
    void releaseHiddenWindow(TrayHandle window) override
    {
        journal << QStringLiteral("release:%1").arg(window);
        windowReleased = true;
    }
    qintptr defaultWindowProc(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam) override
    {
        journal << QStringLiteral("default:%1 %2 %3 %4").arg(window).arg(msg).arg(wParam).arg(lParam);
        return 4242;
    }
    bool postMessage(TrayHandle window, quint32 msg, quintptr wParam, qintptr lParam) override
    {
        journal << QStringLiteral("post:%1 %2 %3 %4").arg(window).arg(msg).arg(wParam).arg(lParam);
        return true;
    }
    QPoint cursorPos() override { return cursor; }
    qint16 keyState(int key) override
    {
        const bool down = (key == shell::kVkShift && shiftDown) || (key == shell::kVkControl && ctrlDown)
            || (key == shell::kVkMenu && altDown);
        return down ? qint16(-128) : qint16(1);
    }
    TrayHandle applicationWindowHandle() override { return kAppWindow; }
    bool setForegroundWindow(TrayHandle window) override
    {
        journal << QStringLiteral("foreground:%1")
                       .arg(window == kAppWindow ? QStringLiteral("app") : QStringLiteral("hidden"));
        return true;
    }
    void popupMenu(TrayMenu&, QPoint at) override
    {
        journal << QStringLiteral("popup:%1,%2").arg(at.x()).arg(at.y());
    }
    void imageListIcon(TrayImageList& list, int index, IconPicture& icon) override
    {
        icon = fakeIcon(static_cast<FakeImageList&>(list).first + static_cast<TrayHandle>(index));
    }
    TrayHandle iconHandle(const IconPicture& icon) override
    {
        if (failing == u"iconHandle")
            throw std::runtime_error("no handle");
        return icon.isEmpty() ? 0 : static_cast<const FakeImage*>(icon.image())->number;
    }

    // The shell's notice for a mouse action, through the hidden window.
    qintptr notify(qintptr mouseMessage, quint32 msg = shell::kWmTrayNotify)
    {
        WindowMessage m { msg, 9, mouseMessage, -1 };
        procedure(m);
        return m.result;
    }
};

} // namespace tess::components::testing
