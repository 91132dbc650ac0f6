#include "app/dialogs/Dialogs.h"

#include "app/dialogs/QtDialogs.h"

namespace tess::app {
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

} // namespace tess::app
