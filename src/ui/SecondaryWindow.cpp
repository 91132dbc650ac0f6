#include "ui/SecondaryWindow.h"

#include "ui/WindowFont.h"
#include "ui/WindowPlacement.h"

namespace tess::ui {

SecondaryWindow::SecondaryWindow(QWidget* parent, Qt::WindowFlags extraFlags)
    : QDialog(parent,
        Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | extraFlags)
{
    setFont(songtiFont(12));
}

void SecondaryWindow::showEvent(QShowEvent* event)
{
    centreOnScreen(*this);
    QDialog::showEvent(event);
}

} // namespace tess::ui
