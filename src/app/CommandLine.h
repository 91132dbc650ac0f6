#pragma once

#include "app/headless/HeadlessHarvest.h"
#include "tools/merge/MergeCommand.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tess::app {

// What the program was asked to do on its command line.
struct CommandLine {
    // MergeUsage: "merge" with words that do not fit its form.
    enum class Action { RunWindow, Merge, MergeUsage, Harvest, Help, Error };
    Action action = Action::RunWindow;
    // --engine-host [NAME=][http://|https://]HOST[:PORT], each one given
    QList<QByteArray> engineHosts;
    QString rules; // --rules NAME[,NAME...]; empty: the remembered choice
    tools::MergeArguments merge; // with Action::Merge
    HarvestArguments harvest; // with Action::Harvest
    QString error;

    static CommandLine parse(const QStringList& args); // without the program name
    static QString usage();
};

} // namespace tess::app
