#pragma once

#include <QDialog>

namespace tess::ui {

// A window the program opens over its main window (About, the keyword list
// builder, the history cleaner): a dialog with a title bar, a system menu
// and a close button, in the program's window font, centred on the screen
// each time it is shown.
class SecondaryWindow : public QDialog {
    Q_OBJECT
public:
    explicit SecondaryWindow(QWidget* parent = nullptr, Qt::WindowFlags extraFlags = {});

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace tess::ui
