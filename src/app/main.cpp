#include "app/CommandLine.h"
#include "app/Glyphs.h"
#include "app/TForm1.h"
#include "app/dialogs/Application.h"
#include "browser/cleaner/ui/Tdelform.h"
#include "browser/webengine/ChromiumEnvironment.h"
#include "components/hyperlink/WindowFont.h"
#include "text/ExeDir.h"
#include "tools/about/TForm2.h"
#include "tools/builder/TForm3.h"
#include "tools/merge/MergeCommand.h"

#include <cstdio>

using namespace tess;

namespace {

QStringList arguments(int argc, char** argv)
{
    QStringList out;
    for (int i = 1; i < argc; ++i)
        out << QString::fromLocal8Bit(argv[i]);
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const app::CommandLine cl = app::CommandLine::parse(arguments(argc, argv));
    switch (cl.action) {
    case app::CommandLine::Action::Merge:
        // No window and no browser: the same merge as the toolbar's.
        return tools::mergeMain(arguments(argc, argv), stdout, stderr);
    case app::CommandLine::Action::Help:
        std::fputs(app::CommandLine::usage().toLocal8Bit().constData(), stdout);
        return 0;
    case app::CommandLine::Action::Error:
        std::fprintf(stderr, "tessaroon: %s\n\n%s", cl.error.toLocal8Bit().constData(),
            app::CommandLine::usage().toLocal8Bit().constData());
        return 2;
    case app::CommandLine::Action::RunWindow:
        break;
    }

    browser::prepareWebEngineEnvironment();
    app::Application application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tessaroon"));
    QApplication::setFont(components::songtiFont(12));
    QApplication::setWindowIcon(app::glyphs::programIcon());

    app::TForm1 Form1({ cl.engineHost, text::exeDir() + QStringLiteral("browser"), {} });
    tools::TForm2 Form2;
    tools::TForm3 Form3;
    browser::Tdelform delform(Form1.browserProfile());
    Form1.setSecondaryWindows(&Form2, &Form3, &delform);
    Form1.show();
    return application.exec();
}
