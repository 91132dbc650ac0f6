#pragma once

#include "components/tray/TIcon.h"
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
class TantTaskbarIcon {
public:
    enum class TMouseButton { mbLeft, mbRight, mbMiddle };
    enum TShiftStateFlag {
        ssShift = 0x01,
        ssAlt = 0x02,
        ssCtrl = 0x04,
        ssLeft = 0x08,
        ssRight = 0x10,
    };
    Q_DECLARE_FLAGS(TShiftState, TShiftStateFlag)

    using TNotifyEvent = std::function<void(TantTaskbarIcon* Sender)>;
    using TMouseEvent
        = std::function<void(TantTaskbarIcon* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

    enum class TOperation { opInsert, opRemove };

    // The tip buffer holds 63 bytes and its terminating zero.
    static constexpr qsizetype MaxHintBytes = 63;
    static constexpr quint32 IconDataSize = 88;

    explicit TantTaskbarIcon(TrayProvider& provider);
    virtual ~TantTaskbarIcon();
    Q_DISABLE_COPY_MOVE(TantTaskbarIcon)

    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnPopupMenu;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

    const QString& Name() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }

    const TIcon& Icon() const { return m_icon; }
    TrayImageList* ImageList() const { return m_imageList; }
    int ImageIndex() const { return m_imageIndex; }
    int IconID() const { return m_iconID; }
    bool Visible() const { return m_visible; }
    bool Enabled() const { return m_enabled; }
    const QByteArray& Hint() const { return m_hint; }
    TrayMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(TrayMenu* menu) { m_popupMenu = menu; }

    // The hidden window that receives the shell's notices for this icon.
    TrayHandle WindowHandle() const { return m_window; }
    quint32 IconFlags() const { return m_iconFlags; }
    const TNotifyIconDataA& IconData() const { return m_iconData; }

    // Copies the picture; the caller keeps its own icon.
    virtual void SetIcon(const TIcon& value);
    // Not owned: the list must outlive its use here, or be unassigned first.
    virtual void SetImageList(TrayImageList* value);
    virtual void SetImageIndex(int value);
    // Re-adds a shown icon under the new identifier (OnHide, then OnShow).
    virtual void SetIconID(int value);
    virtual void SetVisible(bool value);
    // Takes effect with the next notice from the shell.
    virtual void SetEnabled(bool value);
    // 8-bit (GBK) text; anything past 63 bytes is cut off.
    virtual void SetHint(const QByteArray& value);

    // The hidden window's message procedure.
    virtual void HandleIconMessage(TMessage& Message);

    virtual void UpDate();
    virtual void Show();
    virtual void Hide();
    virtual void PopupAtCursor();

    // Runs once the owner has written every stored property.
    virtual void Loaded();
    // A component of the same owner is coming or going.
    virtual void Notification(TrayComponent* AComponent, TOperation Operation);

protected:
    virtual void FillIconData();
    virtual void AddToTaskbar();
    virtual void DeleteFromTaskbar();
    virtual void LoadIconFromImageList();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void Click();
    virtual void DblClick();

    TrayProvider& provider() const { return m_provider; }

private:
    void notifyShell(quint32 command, const char* operation);
    TShiftState keyboardShiftState() const;

    TrayProvider& m_provider;
    QString m_name;
    TrayHandle m_window = 0;
    TNotifyIconDataA m_iconData {};
    TIcon m_icon;
    TrayImageList* m_imageList = nullptr;
    int m_imageIndex = 0;
    int m_iconID = 0;
    quint32 m_iconFlags = shell::NIF_MESSAGE | shell::NIF_TIP;
    bool m_visible = false;
    bool m_enabled = true;
    QByteArray m_hint;
    TrayMenu* m_popupMenu = nullptr;
    bool m_clickPending = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TantTaskbarIcon::TShiftState)

} // namespace tess::components
