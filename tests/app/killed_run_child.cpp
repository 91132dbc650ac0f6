// A whole harvest in a process of its own, for the test that kills it with
// SIGKILL and starts the window again in the same folder. Runs the main
// window against a local sample engine in FOLDER, with FOLDER/k.txt as its
// keyword file, until it is killed.
//
//   killed_run_child FOLDER

#include "SampleEngine.h"
#include "app/MainWindow.h"
#include "io/ExeDir.h"
#include "support/GuiEnvironment.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QSpinBox>

#include <cstdio>

using namespace tess;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: killed_run_child FOLDER\n", stderr);
        return 2;
    }
    test::prepareGuiTestEnvironment();
    QApplication application(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    io::setExeDir(folder);

    sample::SampleEngine engine({ 2, false });
    const int port = engine.start(0);
    if (port <= 0) {
        std::fputs("killed_run_child: the sample engine did not start\n", stderr);
        return 1;
    }
    test::ScriptedDialogs dialogs;
    app::MainWindow window({ .engineHosts = { "127.0.0.1:" + QByteArray::number(port) },
        .profileFolder = folder + QStringLiteral("browser"),
        .localAddress = [] { return QStringLiteral("192.0.2.1"); } });
    window.show();
    window.findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->setValue(1);
    dialogs.openAnswers.push_back({ folder + QStringLiteral("k.txt") });
    window.importKeywords();
    window.startSearch();
    return application.exec();
}
