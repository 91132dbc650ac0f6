#pragma once

#include "browser/PageSnapshot.h"
#include "harvest/HarvestedRow.h"
#include "harvest/PageReader.h"
#include "harvest/RuleSet.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>

#include <optional>

namespace tess::harvest {

// One row a result page offers: a link's address and text, in GBK.
struct PageRow {
    QByteArray address;
    QByteArray text;
    // The row of a redirect link waits for its target: an index into
    // PageHarvest::redirects. -1: the address is the row's own.
    qsizetype redirect = -1;
    RowKind kind = RowKind::Link;
    int resultIndex = -1; // browser::PageLink::resultIndex: the organic result it is in
};

// What a result page offers, before its redirect links are resolved.
struct PageHarvest {
    QByteArray location; // the page's address in GBK; empty: no document
    QList<PageRow> rows = {}; // in page order
    QList<QByteArray> redirects = {}; // the redirect links to resolve, each once
    // Redirect links whose carried target was refused (not a well-formed
    // web address, or one with control characters): counted as unresolved.
    int refusedTargets = 0;
};

// Reads the rows of a loaded result page under a rule set, asked on the
// engine host in use: the links that are not the engine's own as they
// are; a redirect link, or a link of the engine's that holds one of the
// rule set's target parameters, by the target it carries in an attribute
// (PageLink::carriedTarget) when that is outbound, else by the target its
// parameter holds, else (a redirect link) waiting for its redirect to be
// resolved. A target that is the engine's own drops the row. A link whose
// address holds a control character is passed over, and a carried target
// that is not acceptable (isAcceptableTarget), or a parameter that holds
// none on a link that is no redirect, is refused. An advertisement's link on
// the engine's own pages is a row when it carries an outbound target. Each
// row's kind and result follow the link's place on the page (PageLink::ad,
// PageLink::resultIndex): an ad, else an organic result, else a link.
PageHarvest harvestPage(
    const browser::PageSnapshot& page, const RuleSet& rules, const QByteArray& engineHost);

// harvestPage a slice of links at a time, so that a page with a great many
// links need not hold the thread until all are read.
class PageHarvester final {
public:
    PageHarvester(const browser::PageSnapshot& page, const RuleSet& rules, const QByteArray& engineHost);
    PageHarvester(const PageHarvester&) = delete;
    PageHarvester& operator=(const PageHarvester&) = delete;

    // Reads up to `links` more links; true once every link is read.
    bool step(qsizetype links);
    // What the links read so far offer.
    const PageHarvest& harvest() const { return m_harvest; }
    PageHarvest take() { return std::move(m_harvest); }

private:
    // What a link's carried target makes of its row.
    enum class Found {
        Target, // the row's address is the target
        Drop, // the row goes: the target is refused or the engine's own
        Nothing, // no outbound target carried; look further
    };

    void read(const browser::PageLink& link);
    Found takeCarried(const QByteArray& carried, PageRow& row);

    RuleSet m_rules;
    PageHarvest m_harvest;
    PageRules m_pageRules;
    QList<browser::PageLink> m_links;
    qsizetype m_next = 0;
    QHash<QByteArray, qsizetype> m_redirectIndex; // into m_harvest.redirects
};

// A row as taken: address and link text, and where it stood on the page.
struct TakenRow {
    QByteArray address;
    QByteArray text;
    RowKind kind = RowKind::Link;
    int resultIndex = -1;
};

struct TakenRows {
    QList<TakenRow> rows; // in page order
    int unresolved = 0; // redirect rows whose target is missing or another redirect
};

// What became of a page's redirects, one for each of PageHarvest::
// redirects: the target, "" when there is none; no value when its answer
// never came (the page was cut short). Missing ones at the end have no value.
using RedirectTargets = QList<std::optional<QByteArray>>;

// The page's rows with their redirects resolved. A row whose target leads
// to the engine's own pages is dropped; so is a row whose target never
// came, without being counted.
TakenRows takeRows(const PageHarvest& harvest, const RedirectTargets& targets, const RuleSet& rules,
    const QByteArray& engineHost);

} // namespace tess::harvest
