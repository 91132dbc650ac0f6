#include "app/HarvestAssembly.h"

#include "browser/webengine/NetworkRedirectFetcher.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "harvest/RedirectResolver.h"
#include "harvest/RuleCatalog.h"

namespace tess::app {

const harvest::RuleSet& RuleChoice::rules() const
{
    for (const harvest::RuleSet& set : sets) {
        if (set.name == chosen)
            return set;
    }
    return harvest::classicRules();
}

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
        if (catalog.find(asked))
            choice.chosen = asked;
        else
            choice.unknownMessage = QStringLiteral("no rule set is named %1 (there are: %2)")
                                        .arg(asked, catalog.names().join(QStringLiteral(", ")));
        return choice;
    }
    choice.chosen = catalog.find(preferred) ? preferred : harvest::classicRules().name;
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
        .verificationNeeded = std::move(options.verificationNeeded),
    });
    m_run->setRules(options.rules);
    if (!options.engineHost.isEmpty())
        m_run->setEngineHost(options.engineHost);
}

HarvestAssembly::~HarvestAssembly() = default;

} // namespace tess::app
