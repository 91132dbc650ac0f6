#include "harvest/PageHarvest.h"

#include "harvest/PageReader.h"
#include "text/Gbk.h"

namespace tess::harvest {
namespace {

// The index of `href` in `redirects`, added when it is not there yet.
qsizetype redirectIndex(QList<QByteArray>& redirects, const QByteArray& href)
{
    const qsizetype found = redirects.indexOf(href);
    if (found >= 0)
        return found;
    redirects.append(href);
    return redirects.size() - 1;
}

} // namespace

PageHarvest harvestPage(const browser::PageSnapshot& page, const RuleSet& rules, const QByteArray& engineHost)
{
    PageHarvest out;
    out.location = text::toGbk(page.location);
    if (out.location.isEmpty())
        return out;
    const PageRules pageRules(rules, engineHost, out.location);
    for (const browser::PageLink& link : page.links) {
        const QByteArray href = text::toGbk(link.href);
        const LinkKind kind = pageRules.classify(href);
        if (kind == LinkKind::Skip)
            continue;
        PageRow row { href, text::toGbk(link.text) };
        if (kind == LinkKind::Redirect) {
            const QByteArray carried = text::toGbk(link.carriedTarget);
            if (pageRules.classify(carried) == LinkKind::Outbound)
                row.address = carried;
            else if (!carried.isEmpty() && pageRules.isOwn(carried))
                continue; // leads to the engine's own pages
            else
                row.redirect = redirectIndex(out.redirects, href);
        }
        out.rows.append(row);
    }
    return out;
}

TakenRows takeRows(const PageHarvest& harvest, const QList<QByteArray>& targets, const RuleSet& rules,
    const QByteArray& engineHost)
{
    const PageRules pageRules(rules, engineHost, harvest.location);
    TakenRows out;
    for (const PageRow& row : harvest.rows) {
        if (row.redirect < 0) {
            out.rows.append({ row.address, row.text });
            continue;
        }
        const QByteArray target = targets.value(row.redirect);
        const LinkKind kind = pageRules.classify(target);
        if (target.isEmpty() || kind == LinkKind::Redirect) {
            ++out.unresolved;
            continue;
        }
        if (kind == LinkKind::Outbound)
            out.rows.append({ target, row.text });
    }
    return out;
}

} // namespace tess::harvest
