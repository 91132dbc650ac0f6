#include "ui/Dialogs.h"

#include "ui/QtDialogs.h"

namespace tess::ui {
namespace {

Dialogs* installed = nullptr;

} // namespace

QString applicationTitle() { return QStringLiteral("『Tessaroon』V2.0 "); }

Dialogs& dialogs()
{
    static QtDialogs real;
    return installed ? *installed : real;
}

void setDialogs(Dialogs* replacement) { installed = replacement; }

} // namespace tess::ui
