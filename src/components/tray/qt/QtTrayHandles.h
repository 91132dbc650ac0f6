#pragma once

#include "components/tray/IconPicture.h"
#include "components/tray/TrayComponents.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QPointer>

namespace tess::components {

// A Qt icon as the tray's picture.
class QtTrayImage final : public TrayImage {
public:
    explicit QtTrayImage(QIcon icon)
        : m_icon(std::move(icon))
    {
    }
    const QIcon& icon() const { return m_icon; }

private:
    QIcon m_icon;
};

// An icon object holding `icon`; a null QIcon gives an empty one.
IconPicture iconPicture(const QIcon& icon);

// A QMenu as the tray's popup menu. The menu is not owned; once it is
// destroyed the handle refers to nothing and pops nothing up.
class QtTrayMenu final : public TrayMenu {
public:
    explicit QtTrayMenu(QMenu* menu)
        : m_menu(menu)
    {
    }
    QMenu* menu() const { return m_menu; }

private:
    QPointer<QMenu> m_menu;
};

// A list of Qt icons as the tray's image list.
class QtTrayImageList final : public TrayImageList {
public:
    QList<QIcon> icons;
};

} // namespace tess::components
