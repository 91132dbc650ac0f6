#pragma once

#include <QApplication>

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
