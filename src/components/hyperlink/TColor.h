#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

namespace tess::components {

// A colour as the program's forms store it: red in the lowest byte, green
// in the next, blue in the third; with the top bit set, the low byte names
// one of the desktop's own colours instead.
using TColor = quint32;

inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clBtnFace = 0x8000000F;

// The colour to paint with; desktop colours are taken from `palette`.
QColor toQColor(TColor color, const QPalette& palette);

} // namespace tess::components
