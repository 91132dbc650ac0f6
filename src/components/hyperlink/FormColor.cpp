#include "components/hyperlink/FormColor.h"

namespace tess::components {
namespace {

// The desktop colour indices the forms use, mapped onto the palette's roles.
QPalette::ColorRole roleForIndex(unsigned index)
{
    switch (index) {
    case 5:
        return QPalette::Base; // window background
    case 6:
        return QPalette::Shadow; // window frame
    case 7:
        return QPalette::Text; // menu text
    case 8:
        return QPalette::WindowText; // window text
    case 13:
        return QPalette::Highlight;
    case 14:
        return QPalette::HighlightedText;
    case 15:
        return QPalette::Button; // button face
    case 16:
        return QPalette::Dark; // button shadow
    case 18:
        return QPalette::ButtonText;
    case 20:
        return QPalette::Light; // button highlight
    case 21:
        return QPalette::Shadow; // 3-D dark shadow
    case 22:
        return QPalette::Midlight; // 3-D light
    case 23:
        return QPalette::ToolTipText;
    case 24:
        return QPalette::ToolTipBase;
    default:
        return QPalette::Window;
    }
}

} // namespace

QColor toQColor(FormColor color, const QPalette& palette)
{
    if (color & 0x80000000u)
        return palette.color(QPalette::Active, roleForIndex(color & 0xFFu));
    return QColor(int(color & 0xFFu), int((color >> 8) & 0xFFu), int((color >> 16) & 0xFFu));
}

} // namespace tess::components
