#pragma once

#include <QIcon>

class QPainter;

namespace tess::app {

// The program's pictures, drawn at start-up rather than shipped as files:
// the program icon and the toolbar glyphs (Qt derives each glyph's
// disabled state from the normal one).
namespace glyphs {

QIcon programIcon();
// Draws the program icon into the size × size square at the painter's
// origin. The window icon and the icon files a desktop installation needs
// (drawn at build time) come from this one drawing.
void paintProgramIcon(QPainter& p, qreal size);
QIcon importList(); // 导入
QIcon search(); // 搜索
QIcon stop(); // 终止
QIcon saveResults(); // 保存
QIcon saveProgress(); // 进程
QIcon create(); // 创建
QIcon merge(); // 合并
QIcon listTool(); // 列表
QIcon about(); // 关于
QIcon exitProgram(); // 退出

} // namespace glyphs
} // namespace tess::app
