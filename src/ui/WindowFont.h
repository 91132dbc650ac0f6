#pragma once

#include <QFont>

namespace tess::ui {

// The program's window font: 宋体 at the given pixel height, with the
// installed CJK faces behind it so Chinese text never shows as boxes.
QFont songtiFont(int pixelSize = 12);

} // namespace tess::ui
