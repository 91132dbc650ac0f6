#pragma once

#include <QPixmap>

namespace tess::browser {

// The cleaner button's 32 × 32 picture: a web page with a warning sign.
QPixmap cleanerGlyph();

} // namespace tess::browser
