#pragma once

#include "components/tray/TantTaskbarIcon.h"
#include "components/tray/qt/QtTrayHandles.h"
#include "components/tray/qt/QtTrayProvider.h"

#include <QIcon>
#include <QMenu>
#include <QMetaObject>
#include <QWidget>

#include <cstddef>
#include <memory>

namespace tess::components {

namespace detail {
// Holds the provider so that it is made before the tray icon and outlives it.
struct QtTrayProviderHolder {
    explicit QtTrayProviderHolder(QWidget* applicationWindow)
        : m_trayProvider(applicationWindow)
    {
    }
    QtTrayProvider m_trayProvider;
};
} // namespace detail

// The tray icon as a window uses it: the component with the desktop's tray
// behind it, taking a QIcon and a QMenu directly.
//
//     antTaskbarIcon1 = std::make_unique<QtTaskbarIcon>(this);
//     antTaskbarIcon1->SetName(u"antTaskbarIcon1"_s);
//     antTaskbarIcon1->SetIcon(windowIcon());
//     antTaskbarIcon1->SetVisible(true);
//     antTaskbarIcon1->SetHint(text::toGbk(u"『Tessaroon』V2.0 "));
//     antTaskbarIcon1->SetPopupMenu(PopupMenu1);
//     antTaskbarIcon1->OnClick = [this](TantTaskbarIcon*) { N17Click(); };
//     antTaskbarIcon1->Loaded();
//
// When the assigned QMenu is destroyed first, the icon hears of it as of a
// removed component and shows no menu from then on.
class QtTaskbarIcon final : private detail::QtTrayProviderHolder, public TantTaskbarIcon {
public:
    // `applicationWindow` (usually the main window) is brought forward on the
    // icon's mouse releases while it is visible.
    explicit QtTaskbarIcon(QWidget* applicationWindow = nullptr);
    ~QtTaskbarIcon() override;

    using TantTaskbarIcon::SetIcon;
    using TantTaskbarIcon::SetPopupMenu;
    void SetIcon(const QIcon& icon);
    // Not owned; may be null.
    void SetPopupMenu(QMenu* menu);
    void SetPopupMenu(std::nullptr_t) { SetPopupMenu(static_cast<QMenu*>(nullptr)); }
    QMenu* popupQMenu() const;

    QtTrayProvider& trayProvider() { return m_trayProvider; }

private:
    std::unique_ptr<QtTrayMenu> m_menu;
    QMetaObject::Connection m_menuDestroyed;
};

} // namespace tess::components
