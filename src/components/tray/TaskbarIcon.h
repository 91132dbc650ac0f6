#pragma once

#include "components/tray/IconPicture.h"
#include "components/tray/TrayComponents.h"
#include "components/tray/TrayProvider.h"
#include "components/tray/TrayShell.h"

#include <QByteArray>
#include <QFlags>
#include <QString>

#include <functional>

namespace tess::components {

// One icon with a tooltip in the notification area. Mouse actions on it come
// back as the shell's notices to a hidden window of the component and are
// turned into events; a right click pops the assigned menu up at the cursor.
//
// Everything reaches the system through the provider given at construction,
// which must outlive the component. Events are called only when assigned.
class TaskbarIcon {
public:
    enum class MouseButton { Left, Right, Middle };
    // The keys held, and for mouse events the button that is down.
    enum ShiftStateFlag {
        Shift = 0x01,
        Alt = 0x02,
        Ctrl = 0x04,
        LeftButton = 0x08,
        RightButton = 0x10,
    };
    Q_DECLARE_FLAGS(ShiftState, ShiftStateFlag)

    using NotifyHandler = std::function<void(TaskbarIcon* sender)>;
    using MouseHandler
        = std::function<void(TaskbarIcon* sender, MouseButton button, ShiftState shift, int x, int y)>;

    enum class ComponentOperation { Insert, Remove };

    // The tip buffer holds 63 bytes and its terminating zero.
    static constexpr qsizetype kMaxHintBytes = 63;
    static constexpr quint32 kIconDataSize = 88;

    explicit TaskbarIcon(TrayProvider& provider);
    virtual ~TaskbarIcon();
    Q_DISABLE_COPY_MOVE(TaskbarIcon)

    MouseHandler onMouseDown;
    MouseHandler onMouseUp;
    NotifyHandler onClick;
    NotifyHandler onDoubleClick;
    NotifyHandler onPopupMenu;
    NotifyHandler onShow;
    NotifyHandler onHide;

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    const IconPicture& icon() const { return m_icon; }
    TrayImageList* imageList() const { return m_imageList; }
    int imageIndex() const { return m_imageIndex; }
    int iconId() const { return m_iconId; }
    bool isVisible() const { return m_visible; }
    bool isEnabled() const { return m_enabled; }
    const QByteArray& hint() const { return m_hint; }
    TrayMenu* popupMenu() const { return m_popupMenu; }
    void setPopupMenu(TrayMenu* menu) { m_popupMenu = menu; }

    // The hidden window that receives the shell's notices for this icon.
    TrayHandle windowHandle() const { return m_window; }
    quint32 iconFlags() const { return m_iconFlags; }
    const NotifyIconRecord& iconData() const { return m_iconData; }

    // Copies the picture; the caller keeps its own icon.
    virtual void setIcon(const IconPicture& value);
    // Not owned: the list must outlive its use here, or be unassigned first.
    virtual void setImageList(TrayImageList* value);
    virtual void setImageIndex(int value);
    // Re-adds a shown icon under the new identifier (onHide, then onShow).
    virtual void setIconId(int value);
    virtual void setVisible(bool value);
    // Takes effect with the next notice from the shell.
    virtual void setEnabled(bool value);
    // 8-bit (GBK) text; anything past 63 bytes is cut off.
    virtual void setHint(const QByteArray& value);

    // The hidden window's message procedure.
    virtual void handleIconMessage(WindowMessage& message);

    virtual void update();
    virtual void show();
    virtual void hide();
    virtual void popupAtCursor();

    // Runs once the owner has written every stored property.
    virtual void loaded();
    // A component of the same owner is coming or going.
    virtual void notification(TrayComponent* component, ComponentOperation operation);

protected:
    virtual void fillIconData();
    virtual void addToTaskbar();
    virtual void deleteFromTaskbar();
    virtual void loadIconFromImageList();
    virtual void mouseDown(MouseButton button, ShiftState shift, int x, int y);
    virtual void mouseUp(MouseButton button, ShiftState shift, int x, int y);
    virtual void click();
    virtual void doubleClick();

    TrayProvider& provider() const { return m_provider; }

private:
    void notifyShell(quint32 command, const char* operation);
    ShiftState keyboardShiftState() const;

    TrayProvider& m_provider;
    QString m_name;
    TrayHandle m_window = 0;
    NotifyIconRecord m_iconData {};
    IconPicture m_icon;
    TrayImageList* m_imageList = nullptr;
    int m_imageIndex = 0;
    int m_iconId = 0;
    quint32 m_iconFlags = shell::kNifMessage | shell::kNifTip;
    bool m_visible = false;
    bool m_enabled = true;
    QByteArray m_hint;
    TrayMenu* m_popupMenu = nullptr;
    bool m_clickPending = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TaskbarIcon::ShiftState)

} // namespace tess::components
