#include "components/tray/qt/QtTrayHandles.h"

#include <memory>

namespace tess::components {

IconPicture iconPicture(const QIcon& icon)
{
    if (icon.isNull())
        return IconPicture();
    return IconPicture(std::make_shared<QtTrayImage>(icon));
}

} // namespace tess::components
