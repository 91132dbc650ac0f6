#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

namespace tess::components {

// A colour as the program's forms store it: red in the lowest byte, green
// in the next, blue in the third; with the top bit set, the low byte names
// one of the desktop's own colours instead.
using FormColor = quint32;

inline constexpr FormColor kBlue = 0xFF0000;
inline constexpr FormColor kRed = 0x0000FF;
inline constexpr FormColor kFuchsia = 0xFF00FF;
inline constexpr FormColor kButtonFace = 0x8000000F;

// The colour to paint with; desktop colours are taken from `palette`.
QColor toQColor(FormColor color, const QPalette& palette);

} // namespace tess::components
