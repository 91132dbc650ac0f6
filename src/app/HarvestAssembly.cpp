#include "app/HarvestAssembly.h"

#include "browser/webengine/BrowserRedirectFetcher.h"
#include "browser/webengine/NetworkRedirectFetcher.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "harvest/RedirectResolver.h"
#include "harvest/RuleCatalog.h"

namespace tess::app {

QList<harvest::RuleSet> RuleChoice::chosenSets() const
{
    QList<harvest::RuleSet> out;
    for (const QString& name : chosen) {
        for (const harvest::RuleSet& set : sets) {
            if (set.name == name)
                out.append(set);
        }
    }
    if (out.isEmpty())
        out.append(harvest::classicRules());
    return out;
}

namespace {

// The names in a list of them ("today, 360"), each once, as the catalog
// spells them; the first one it does not know goes to `unknown`.
QStringList knownNames(const harvest::RuleCatalog& catalog, const QString& list, QString* unknown)
{
    QStringList names;
    for (const QString& item : list.split(QLatin1Char(','))) {
        const QString name = item.trimmed();
        const harvest::RuleSet* set = catalog.find(name);
        if (!set) {
            if (unknown && unknown->isEmpty())
                *unknown = name;
            continue;
        }
        if (!names.contains(set->name))
            names.append(set->name);
    }
    return names;
}

} // namespace

RuleChoice chooseRules(const QString& asked, const QString& preferred)
{
    return chooseRules(asked, preferred, harvest::defaultRulesFolder());
}

RuleChoice chooseRules(const QString& asked, const QString& preferred, const QString& folder)
{
    harvest::RuleCatalog catalog;
    catalog.loadFolder(folder);
    RuleChoice choice { catalog.sets(), {}, catalog.errors(), {} };
    if (!asked.isEmpty()) {
        QString unknown;
        const QStringList names = knownNames(catalog, asked, &unknown);
        if (unknown.isEmpty() && !names.isEmpty())
            choice.chosen = names;
        else
            choice.unknownMessage = QStringLiteral("no rule set is named %1 (there are: %2)")
                                        .arg(unknown, catalog.names().join(QStringLiteral(", ")));
        return choice;
    }
    choice.chosen = knownNames(catalog, preferred, nullptr);
    if (choice.chosen.isEmpty())
        choice.chosen = QStringList { harvest::classicRules().name };
    return choice;
}

HarvestAssembly::HarvestAssembly(Options options)
    : m_host(std::make_unique<browser::WebEngineBrowserHost>(options.profileFolder, options.viewParent))
{
    m_tracker.attach(*m_host);
    // Made with the profile, before its first page, so that it sees every
    // cookie the browser has.
    m_fetcher = std::make_unique<browser::NetworkRedirectFetcher>(m_host->profile());
    m_resolver = std::make_unique<harvest::RedirectResolver>(*m_fetcher);
    m_browserFetcher = std::make_unique<browser::BrowserRedirectFetcher>(m_host->profile());
    m_browserResolver = std::make_unique<harvest::RedirectResolver>(*m_browserFetcher);
    m_run = std::make_unique<harvest::SearchRun>(harvest::SearchRun::Services {
        .window = options.window,
        .browser = *m_host,
        .tracker = m_tracker,
        .pollTimer = m_pollTimer,
        .watchdogTimer = m_watchdogTimer,
        .statePath = options.statePath,
        .localAddress = std::move(options.localAddress),
        .pause = std::move(options.pause),
        .clearBrowserData = std::move(options.clearBrowserData),
        .log = options.log,
        .runTick = std::move(options.runTick),
        .pageHarvested = std::move(options.pageHarvested),
        .finished = std::move(options.finished),
        .resolver = m_resolver.get(),
        .browserResolver = m_browserResolver.get(),
        .verificationNeeded = std::move(options.verificationNeeded),
        .relatedSearchesRead = std::move(options.relatedSearchesRead),
    });
    QList<harvest::SearchEngine> engines;
    for (const harvest::RuleSet& rules : std::as_const(options.ruleSets))
        engines.append(harvest::engineOnDefaultHost(rules));
    for (const QByteArray& item : std::as_const(options.engineHosts))
        harvest::applyEngineHosts(engines, { item });
    m_run->setEngines(engines);
}

HarvestAssembly::~HarvestAssembly() = default;

} // namespace tess::app
