#include "ui/Application.h"

#include "text/Errors.h"
#include "ui/Dialogs.h"

namespace tess::ui {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showStandardError(e);
    }
    return false;
}

void showStandardError(const std::exception& error)
{
    if (const auto* app = dynamic_cast<const text::AppError*>(&error))
        dialogs().standardError(QApplication::activeWindow(), app->message());
    else
        dialogs().standardError(QApplication::activeWindow(), QString::fromLocal8Bit(error.what()));
}

} // namespace tess::ui
