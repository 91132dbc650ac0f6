#pragma once

#include "browser/PageSnapshot.h"
#include "harvest/RuleSet.h"

#include <QByteArray>
#include <QList>
#include <QPair>

namespace tess::harvest {

// One row a result page offers: a link's address and text, in GBK.
struct PageRow {
    QByteArray address;
    QByteArray text;
    // The row of a redirect link waits for its target: an index into
    // PageHarvest::redirects. -1: the address is the row's own.
    qsizetype redirect = -1;
};

// What a result page offers, before its redirect links are resolved.
struct PageHarvest {
    QByteArray location; // the page's address in GBK; empty: no document
    QList<PageRow> rows; // in page order
    QList<QByteArray> redirects; // the redirect links to resolve, each once
};

// Reads the rows of a loaded result page under a rule set, asked on the
// engine host in use: the links that are not the engine's own, a redirect
// link by the target it carries when that is outbound (dropped when that
// is the engine's own), else waiting for its redirect to be resolved.
PageHarvest harvestPage(
    const browser::PageSnapshot& page, const RuleSet& rules, const QByteArray& engineHost);

// A row as taken: address and link text.
using TakenRow = QPair<QByteArray, QByteArray>;

struct TakenRows {
    QList<TakenRow> rows; // in page order
    int unresolved = 0; // redirect rows whose target is missing or another redirect
};

// The page's rows with their redirects resolved: `targets` holds one target
// for each of harvest.redirects ("" for none). A row whose target leads to
// the engine's own pages is dropped.
TakenRows takeRows(const PageHarvest& harvest, const QList<QByteArray>& targets, const RuleSet& rules,
    const QByteArray& engineHost);

} // namespace tess::harvest
