#pragma once

#include "app/headless/HeadlessHarvest.h"
#include "app/headless/HeadlessKeywords.h"
#include "tools/list/ListArguments.h"
#include "tools/merge/MergeCommand.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tess::app {

// What the program was asked to do on its command line.
struct CommandLine {
    // MergeUsage, ListUsage: "merge", "list" with words that do not fit
    // their form.
    enum class Action { RunWindow, Merge, MergeUsage, List, ListUsage, Harvest, Keywords, Help, Error };
    Action action = Action::RunWindow;
    // --engine-host [NAME=][http://|https://]HOST[:PORT], each one given
    QList<QByteArray> engineHosts;
    QString rules; // --rules NAME[,NAME...]; empty: the remembered choice
    tools::MergeArguments merge; // with Action::Merge
    tools::ListArguments list; // with Action::List
    HarvestArguments harvest; // with Action::Harvest
    KeywordsArguments keywords; // with Action::Keywords
    QString error;

    static CommandLine parse(const QStringList& args); // without the program name
    static QString usage();
};

} // namespace tess::app
