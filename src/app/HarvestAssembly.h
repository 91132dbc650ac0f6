#pragma once

#include "browser/CompletionTracker.h"
#include "harvest/RuleCatalog.h"
#include "harvest/RuleSet.h"
#include "harvest/SearchRun.h"
#include "harvest/Timer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QWidget;

namespace tess::browser {
class BrowserRedirectFetcher;
class NetworkRedirectFetcher;
class WebEngineBrowserHost;
} // namespace tess::browser
namespace tess::harvest {
class RedirectResolver;
class ResultsLog;
class SearchWindow;
} // namespace tess::harvest

namespace tess::app {

// The rule sets a start may choose from, and the ones it takes: one for
// each engine the run asks.
struct RuleChoice {
    QList<harvest::RuleSet> sets; // the built-in ones, then those of the user's files
    // The names of the sets taken, in the order asked, each once; empty
    // when a name asked for is unknown.
    QStringList chosen;
    QList<harvest::RuleFileNotTaken> errors; // each rule file not taken
    QString unknownMessage; // says which name asked for is unknown, and what there is

    // The sets taken; the classic one when none is.
    QList<harvest::RuleSet> chosenSets() const;
};

// Reads the user's rule files (the application name must be set) and takes
// the sets `asked` names ("today,360,sogou"); when none is asked for, those
// of `preferred` that are still there, else the classic set.
RuleChoice chooseRules(const QString& asked, const QString& preferred);
// The same with the rule files of `folder`.
RuleChoice chooseRules(const QString& asked, const QString& preferred, const QString& folder);

// Everything a harvest runs on, made from one options value: the embedded
// browser (WebEngine) and its completion tracker, the redirect fetcher on
// the browser's profile and the resolver over it, the browser-side fetcher
// and its resolver for the rule sets that ask for it, the poll timer and the
// watchdog, and the search run wired to them. The window and the headless
// harvest both take theirs from here.
class HarvestAssembly final {
public:
    struct Options {
        harvest::SearchWindow& window;
        QString profileFolder; // the embedded browser's own data
        QWidget* viewParent = nullptr; // the browser view's parent
        // The engines asked, each on its public host...
        QList<harvest::RuleSet> ruleSets = { harvest::classicRules() };
        // ...unless one of these, "[NAME=]ADDRESS" each, names another
        // (harvest::applyEngineHosts; items that do not fit are passed over).
        QList<QByteArray> engineHosts = {};
        QString statePath = {};
        // The rest is handed to the run as it is (SearchRun::Services).
        std::function<QString()> localAddress = {};
        std::function<void(int ms)> pause = {};
        std::function<void()> clearBrowserData = {};
        harvest::ResultsLog* log = nullptr;
        std::function<void(const std::function<void()>& tick)> runTick = {};
        std::function<void()> pageHarvested = {};
        std::function<void(const harvest::RunEnd& end)> finished = {};
        std::function<void()> verificationNeeded = {};
        std::function<void(int keywordIndex, const QByteArray& keyword, const QString& engine,
            const QList<QString>& relatedSearches)>
            relatedSearchesRead = {};
    };

    explicit HarvestAssembly(Options options);
    ~HarvestAssembly();
    HarvestAssembly(const HarvestAssembly&) = delete;
    HarvestAssembly& operator=(const HarvestAssembly&) = delete;

    harvest::SearchRun& run() { return *m_run; }
    browser::WebEngineBrowserHost& browserHost() { return *m_host; }
    browser::CompletionTracker& tracker() { return m_tracker; }
    harvest::Timer& pollTimer() { return m_pollTimer; }
    harvest::Timer& watchdogTimer() { return m_watchdogTimer; }

private:
    // Declared in the order they are made; they go in reverse, the run
    // first and the browser last.
    std::unique_ptr<browser::WebEngineBrowserHost> m_host;
    browser::CompletionTracker m_tracker;
    std::unique_ptr<browser::NetworkRedirectFetcher> m_fetcher;
    std::unique_ptr<harvest::RedirectResolver> m_resolver;
    // For redirectors only a browser follows; its pages go before the profile.
    std::unique_ptr<browser::BrowserRedirectFetcher> m_browserFetcher;
    std::unique_ptr<harvest::RedirectResolver> m_browserResolver;
    harvest::QtTimer m_pollTimer { harvest::SearchRun::kPollIntervalAtStart };
    harvest::QtTimer m_watchdogTimer { harvest::SearchRun::kWatchdogIntervalAtStart };
    std::unique_ptr<harvest::SearchRun> m_run;
};

} // namespace tess::app
