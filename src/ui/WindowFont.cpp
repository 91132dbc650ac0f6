#include "ui/WindowFont.h"

#include <QStringList>

namespace tess::ui {

QFont songtiFont(int pixelSize)
{
    QFont font;
    font.setFamilies({ QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Serif CJK SC") });
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace tess::ui
