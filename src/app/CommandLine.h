#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tess::app {

// What the program was asked to do on its command line.
struct CommandLine {
    enum class Action { RunWindow, Merge, Help, Error };
    Action action = Action::RunWindow;
    QByteArray engineHost; // --engine-host HOST[:PORT]
    QStringList mergeArgs; // everything after "merge"
    QString error;

    static CommandLine parse(const QStringList& args); // without the program name
    static QString usage();
};

} // namespace tess::app
