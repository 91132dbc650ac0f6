#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tess::app {

// `tessaroon keywords`: keyword mining without the window. The seeds'
// related searches, and theirs to the depth asked, make a keyword list.
struct KeywordsArguments {
    QString seedFile; // --seed
    QString output; // -o; empty: standard output
    int depth = 1; // --depth: keywords of a lower depth are asked (seeds are 0)
    qint64 max = 0; // --max: keywords at most, seeds included; 0: no bound
    QStringList require; // --require: a found keyword holds one of these
    QStringList exclude; // --exclude: and none of these
    QString rules; // --rules, as harvest takes it
    QList<QByteArray> engineHosts; // --engine-host, as harvest takes it
    int intervalSeconds = 5; // --interval, 1..1000
    qint64 memoryBudget = 0; // --memory; 0: the merge's default share
};

// Exit statuses: those of `tessaroon harvest` (HarvestExit).

// Mines to the end; returns the exit status. argc and argv go to the
// application object (the browser reads its switches there).
int runHeadlessKeywords(int argc, char** argv, const KeywordsArguments& args);

} // namespace tess::app
