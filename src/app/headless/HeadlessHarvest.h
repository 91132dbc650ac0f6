#pragma once

#include "harvest/RowFormats.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace tess::app {

// `tessaroon harvest`: the window's search run without the window.
struct HarvestArguments {
    // What becomes of an output file that already holds something.
    enum class ExistingOutput {
        Refuse, // the default: nothing is erased without being asked
        Append, // --append: the rows go after the ones there
        Replace, // --force
    };

    QString keywordFile; // -k
    QString output; // -o; empty: standard output
    ExistingOutput existingOutput = ExistingOutput::Refuse;
    int from = 0; // --from: position of the first keyword searched, from 0
    std::optional<int> to; // --to: the position the run stops before
    int intervalSeconds = 5; // --interval, 1..1000
    // --engine-host, each one given: "[NAME=]ADDRESS"; none: each engine's public host
    QList<QByteArray> engineHosts;
    QString rules; // --rules: names separated by commas; empty: the classic rules
    bool dedupe = false; // --dedupe
    bool onePerSite = false; // --unique domain: one row per site (registrable domain)
    QString dropListed; // --drop-listed FILE: sites never harvested; empty: none
    // --format; without it by -o's extension, else Tsv
    harvest::RowFormat format = harvest::RowFormat::Tsv;
    // --columns (Tsv and Csv); none: the format's own (defaultRowColumns)
    std::optional<harvest::RowColumns> columns;
    bool takeAds = true; // --no-ads: false
    QString stateFile; // --state; empty: no state file is written
};

// Exit statuses of `tessaroon harvest`.
enum HarvestExit : int {
    HarvestDone = 0, // every keyword of the slice searched, every page read
    HarvestFailed = 1, // an error ended the run; the message is on standard error
    HarvestUsage = 2, // the command line is wrong
    HarvestPagesMissing = 3, // every keyword searched, but some pages could not be loaded
    HarvestHungUp = 129, // SIGHUP: 128 + the signal
    HarvestInterrupted = 130, // SIGINT
    HarvestTerminated = 143, // SIGTERM
};

// Runs the harvest to its end; returns the exit status. argc and argv go to
// the application object (the browser reads its switches there).
int runHeadlessHarvest(int argc, char** argv, const HarvestArguments& args);

} // namespace tess::app
