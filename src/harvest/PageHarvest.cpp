#include "harvest/PageHarvest.h"

#include "text/Gbk.h"

#include <limits>

namespace tess::harvest {

PageHarvest harvestPage(const browser::PageSnapshot& page, const RuleSet& rules, const QByteArray& engineHost)
{
    PageHarvester harvester(page, rules, engineHost);
    harvester.step(std::numeric_limits<qsizetype>::max());
    return harvester.take();
}

PageHarvester::PageHarvester(
    const browser::PageSnapshot& page, const RuleSet& rules, const QByteArray& engineHost)
    : m_rules(rules)
    , m_harvest { .location = text::toGbk(page.location) }
    , m_pageRules(m_rules, engineHost, m_harvest.location)
    , m_links(m_harvest.location.isEmpty() ? QList<browser::PageLink>() : page.links)
{
}

bool PageHarvester::step(qsizetype links)
{
    const qsizetype end = m_next + std::min(links, m_links.size() - m_next);
    for (; m_next < end; ++m_next)
        read(m_links.at(m_next));
    if (m_next < m_links.size())
        return false;
    m_links.clear();
    m_next = 0;
    return true;
}

void PageHarvester::read(const browser::PageLink& link)
{
    const QByteArray href = text::toGbk(link.href);
    // A browser never hands over such an address; one that does would cut
    // the row it makes in two.
    if (hasControlCharacter(href))
        return;
    const LinkKind kind = m_pageRules.classify(href);
    PageRow row { .address = href,
        .text = text::toGbk(link.text),
        .kind = link.ad             ? RowKind::Ad
            : link.resultIndex >= 0 ? RowKind::Result
                                    : RowKind::Link,
        .resultIndex = link.resultIndex };
    if (kind == LinkKind::Outbound) {
        m_harvest.rows.append(row);
        return;
    }
    const ParameterTarget parameter = m_pageRules.parameterTarget(href);
    // An advertisement's link goes through the engine's own pages in a form
    // of its own; only the landing page its element names makes it a row.
    const bool onlyCarried = kind != LinkKind::Redirect && !parameter.matched;
    if (onlyCarried && !link.ad)
        return;
    // Where the link leads, from what the page says first: an attribute,
    // then the link's own parameter; the redirector is asked last.
    switch (takeCarried(text::toGbk(link.carriedTarget), row)) {
    case Found::Target:
        m_harvest.rows.append(row);
        return;
    case Found::Drop:
        return;
    case Found::Nothing:
        if (onlyCarried)
            return;
        break;
    }
    // A parameter that holds no target leaves a redirect link to be asked.
    if (parameter.matched && (!parameter.target.isEmpty() || kind != LinkKind::Redirect)) {
        const QByteArray& target = parameter.target;
        if (!target.isEmpty() && m_pageRules.classify(target) == LinkKind::Outbound) {
            row.address = target;
            m_harvest.rows.append(row);
        } else if (target.isEmpty() || !m_pageRules.isOwn(target)) {
            ++m_harvest.refusedTargets;
        } // else it leads to the engine's own pages: no row
        return;
    }
    // The same redirect once a page, found without a search through every
    // one so far.
    auto found = m_redirectIndex.constFind(href);
    if (found == m_redirectIndex.constEnd()) {
        found = m_redirectIndex.insert(href, m_harvest.redirects.size());
        m_harvest.redirects.append(href);
    }
    row.redirect = found.value();
    m_harvest.rows.append(row);
}

PageHarvester::Found PageHarvester::takeCarried(const QByteArray& carried, PageRow& row)
{
    if (m_pageRules.classify(carried) == LinkKind::Outbound) {
        // Only the page says where it leads: what it says must be a plain
        // address, or it could forge rows and fields.
        if (!isAcceptableTarget(carried)) {
            ++m_harvest.refusedTargets;
            return Found::Drop;
        }
        row.address = carried;
        return Found::Target;
    }
    if (!carried.isEmpty() && m_pageRules.isOwn(carried))
        return Found::Drop; // leads to the engine's own pages
    return Found::Nothing;
}

TakenRows takeRows(const PageHarvest& harvest, const RedirectTargets& targets, const RuleSet& rules,
    const QByteArray& engineHost)
{
    const PageRules pageRules(rules, engineHost, harvest.location);
    TakenRows out;
    out.unresolved = harvest.refusedTargets;
    for (const PageRow& row : harvest.rows) {
        if (row.redirect < 0) {
            out.rows.append({ row.address, row.text, row.kind, row.resultIndex });
            continue;
        }
        const std::optional<QByteArray> target = targets.value(row.redirect);
        if (!target)
            continue;
        const LinkKind kind = pageRules.classify(*target);
        if (target->isEmpty() || kind == LinkKind::Redirect) {
            ++out.unresolved;
            continue;
        }
        if (kind == LinkKind::Outbound)
            out.rows.append({ *target, row.text, row.kind, row.resultIndex });
    }
    return out;
}

} // namespace tess::harvest
