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

namespace {

std::function<QWidget*()>& ownerFunction()
{
    static std::function<QWidget*()> owner;
    return owner;
}

} // namespace

void setBoxOwner(std::function<QWidget*()> owner) { ownerFunction() = std::move(owner); }

QWidget* boxOwner()
{
    const auto& owner = ownerFunction();
    return owner ? owner() : QApplication::activeWindow();
}

void showStandardError(const std::exception& error)
{
    if (const auto* app = dynamic_cast<const text::AppError*>(&error))
        dialogs().standardError(boxOwner(), app->message());
    else
        dialogs().standardError(boxOwner(), QString::fromLocal8Bit(error.what()));
}

} // namespace tess::ui
