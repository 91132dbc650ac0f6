#pragma once

class QWidget;

namespace tess::ui {

// Centres the window, frame included, on the screen it is on (or the
// primary screen).
void centreOnScreen(QWidget& window);

} // namespace tess::ui
