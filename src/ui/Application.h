#pragma once

#include <QApplication>

#include <functional>

namespace tess::ui {

// The program's application object. An error that a handler lets through
// reaches the user in the standard error box, and the program goes on.
class Application final : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows an escaped error in the standard error box: our own errors with
// their message, anything else with what the runtime says of it.
void showStandardError(const std::exception& error);

// The window every box is shown over. The main window sets it to bring
// itself back (out of the tray, say) and answer itself, so that a box never
// stands alone: closing a lone box would otherwise leave the program with
// no visible window. Unset, boxes go over the active window.
void setBoxOwner(std::function<QWidget*()> owner);
QWidget* boxOwner();

} // namespace tess::ui

namespace tess::ui {

// Runs a window's handler; an error it raises is shown in the standard error
// box instead of unwinding through the toolkit.
template <typename F> void guarded(F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        showStandardError(e);
    }
}

} // namespace tess::ui
