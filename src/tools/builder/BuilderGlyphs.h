#pragma once

#include <QIcon>

namespace tess::tools {

// The builder's button pictures: a new list, and a disk.
QIcon createGlyph();
QIcon saveGlyph();

} // namespace tess::tools
