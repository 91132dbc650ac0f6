#include "components/tray/qt/QtTrayHandles.h"

#include <memory>

namespace tess::components {

TIcon trayIcon(const QIcon& icon)
{
    if (icon.isNull())
        return TIcon();
    return TIcon(std::make_shared<QtTrayImage>(icon));
}

} // namespace tess::components
