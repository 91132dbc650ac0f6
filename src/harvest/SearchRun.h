#pragma once

#include "browser/BrowserHost.h"
#include "browser/CompletionTracker.h"
#include "harvest/PageHarvest.h"
#include "harvest/PageReader.h"
#include "harvest/RequestAddress.h"
#include "harvest/RuleSet.h"
#include "harvest/RunNews.h"
#include "harvest/SearchEngine.h"
#include "harvest/StateFile.h"
#include "sites/SiteAddress.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace tess::harvest {

class RedirectResolver;
class ResultsLog;
class SearchWindow;
class Timer;

// The lines of the imported keyword file, indexed from 0.
using KeywordList = QList<QByteArray>;

// The search run: asks the engine for the result pages of one keyword after
// another through the embedded browser, takes each loaded page at the next
// poll tick, harvests its links and decides where to go next. Everything
// runs on the user-interface thread, carried by the poll timer and the
// browser's completion events; there is no background work.
//
// One page's road: nextPageStep() builds the request address from the
// keyword's request base and the page offset and navigates; the browser's
// completion marks the page loaded in the tracker; pollTick() sees the mark
// and runs readLoadedPage(), which runs the pager test and the page's
// harvest (PageHarvest) and requests the next page, the next keyword's
// first page, or runs finishStep(). The run's news goes to the window as
// notices (RunNews.h).
class SearchRun final : public StateReceiver {
public:
    struct Services {
        SearchWindow& window;
        browser::BrowserHost& browser;
        browser::CompletionTracker& tracker;
        Timer& pollTimer;
        Timer& watchdogTimer;
        QString statePath;
        // The machine's IPv4 address (getLocalAddress by default).
        std::function<QString()> localAddress = {};
        // Blocks the thread without processing events (the start's pause).
        std::function<void(int ms)> pause = {};
        // Run while the start tells of clearing the browser's data: empties
        // the browser's history and cache. Optional.
        std::function<void()> clearBrowserData = {};
        // Keeps every harvested row of the run. Optional.
        ResultsLog* log = nullptr;
        // Runs each timer tick; the window passes its error guard so that
        // a failing tick reaches the user. Optional: ticks run as they are.
        std::function<void(const std::function<void()>& tick)> runTick = {};
        // Raised once a page's rows are all appended (and the log flushed),
        // before the next request. Optional.
        std::function<void()> pageHarvested = {};
        // Raised by the finish step once the run is over, before the state
        // is saved (a failed save throws after it). Optional.
        std::function<void(const RunEnd& end)> finished = {};
        // Finds the targets of the engine's redirect links. Optional:
        // without it such links count as unresolved.
        RedirectResolver* resolver = nullptr;
        // Finds them in the browser, for the rule sets that ask for it
        // (RuleSet::RedirectMode::Browser). Optional: `resolver` then
        // answers for them too.
        RedirectResolver* browserResolver = nullptr;
        // Raised when the engine answers with its verification page and
        // the run waits for the user to pass it (the window comes to the
        // front). Optional.
        std::function<void()> verificationNeeded = {};
        // In a mining run (setMining), raised for each result page read
        // with the position of its keyword in keywordList(), the keyword,
        // the engine's rule set name and the page's related searches.
        // Keywords it appends to keywordList() are asked in turn. Optional.
        std::function<void(int keywordIndex, const QByteArray& keyword, const QString& engine,
            const QList<QString>& relatedSearches)>
            relatedSearchesRead = {};
    };

    static constexpr int kMaxPagesPerKeyword = 75;
    // A page that has not completed 15 intervals after its request is asked
    // for again, twice at most, then given up as a failed load.
    static constexpr int kWatchdogIntervals = 15;
    static constexpr int kMaxRetries = 2;
    // After 终止 the loading page gets the interval, at least this long, to
    // complete; then it is given up and the run finishes.
    static constexpr int kStopBoundMs = 5000;
    // The longest request address sent. Browsers drop far longer ones
    // (about 2 MB) without a word; engines refuse much shorter ones. A
    // keyword whose request would be longer is skipped.
    static constexpr qsizetype kMaxRequestAddress = 32 * 1024;
    // A page's links are read this many at a time, one slice an event-loop
    // turn, so that the window and the stop signals are answered between.
    static constexpr qsizetype kLinksPerSlice = 2000;
    // The most redirect links of one page that are asked for; the rest
    // count as unresolved. At two at a time and up to 10 s each, more would
    // keep the engine waiting for hours.
    static constexpr qsizetype kMaxRedirectsPerPage = 1000;
    static constexpr int kPollIntervalAtStart = 8000;
    static constexpr int kWatchdogIntervalAtStart = 60000;

    explicit SearchRun(Services services);
    ~SearchRun() override;
    SearchRun(const SearchRun&) = delete;
    SearchRun& operator=(const SearchRun&) = delete;

    // The engines asked for each keyword, in this order; at least one.
    // The classic rules on their public host unless set. Takes effect at
    // the next start.
    void setEngines(QList<SearchEngine> engines);
    const QList<SearchEngine>& engines() const { return m_engines; }
    // One engine, on the host set by setEngineHost if any, else on its
    // rule set's public host.
    void setRules(const RuleSet& rules);
    // Every engine's web host (and port); an explicit scheme
    // ("http://127.0.0.1:8642") wins over the rule set's.
    void setEngineHost(const QByteArray& host);
    // The engine being asked, or about to be.
    const QByteArray& engineHost() const { return currentEngine().address.host; }
    const RuleSet& rules() const { return currentEngine().rules; }

    KeywordList& keywordList() { return m_keywords; }

    // 搜索: asks for the starting position and makes the first request.
    void start();
    // 按站点: one row per site (registrable domain) for the whole run, the
    // first found. Read at each page's rows, as 去重 is.
    void setOnePerSite(bool on) { m_onePerSite = on; }
    bool onePerSite() const { return m_onePerSite; }
    // 不要广告 unticked: rows of the engines' advertisements are taken, as
    // rows of kind Ad; ticked, they are passed over. Read at each page's rows.
    void setTakeAds(bool take) { m_takeAds = take; }
    bool takeAds() const { return m_takeAds; }
    // Keyword mining: only the first result page of each keyword is asked
    // for, and its related searches go to Services::relatedSearchesRead;
    // no rows are taken and no redirects asked for. Takes effect at the
    // next page read.
    void setMining(bool on) { m_mining = on; }
    bool mining() const { return m_mining; }
    // 排除列表: rows whose host is listed, or under a listed domain, are
    // never taken. Empty: none excluded.
    void setExcludedSites(sites::SiteList excluded) { m_excludedSites = std::move(excluded); }
    const sites::SiteList& excludedSites() const { return m_excludedSites; }

    // 跳过此引擎, while the run waits at a verification page: the engine is
    // asked no more for the rest of the run, and the run goes on with the
    // next engine, or the next keyword.
    void skipEngine();
    // 终止: the loading page is still harvested, then the run finishes. A
    // page whose links are being read or whose redirects are being asked
    // for is cut short: its rows known so far are kept, the redirects in
    // flight dropped, and the keyword counts as not done.
    void stop();
    // Requests the next page, or finishes when there is none to ask for.
    void nextPageStep();
    // Ends the run: timers off, the finish notice, the state saved.
    void finishStep();
    // The poll timer's tick: takes a page that has loaded.
    void pollTick();
    // The watchdog's tick: re-requests a page that never completed.
    void watchdogTick();
    // Reads the page just taken and moves on.
    void readLoadedPage();

    // The state file. The run writes it whenever it takes the next keyword,
    // so a run that ends without the finish step (a crash, a power cut, the
    // program killed) can be resumed from there.
    void saveState();
    // Returns false when there is no state file; throws as loadStateFile.
    bool loadState();

    // Keywords taken so far: the one being searched is keywordIndex() - 1.
    // Set it to start from another position (the start prompt offers it).
    int keywordIndex() const { return m_keywordIndex; }
    void setKeywordIndex(int index) { m_keywordIndex = index; }
    // The next page of the keyword to ask for; the first page is 0.
    int pageIndex() const { return m_pageIndex; }
    void setPageIndex(int index) { m_pageIndex = index; }
    bool stopRequested() const { return m_stopRequested; }
    // The keyword taken last still has pages to read.
    bool morePages() const { return m_morePages; }
    const RunCounts& counts() const { return m_counts; }
    RunEnd endReport() const { return { m_counts, m_keywordIndex, m_morePages }; }
    // The engine showed its verification page; the run waits for the user
    // to pass it, then asks for the interrupted page again.
    bool paused() const { return m_paused; }
    // A page's redirect links are being resolved; its rows follow.
    bool resolving() const { return m_resolving; }
    // A page's links are being read, a slice at a time.
    bool preparing() const { return m_preparing != nullptr; }

private:
    const SearchEngine& currentEngine() const { return m_engines.at(m_engineIndex); }
    // The first engine from `index` on that is not dropped; -1 when none is.
    int activeEngineFrom(int index) const;
    // Starts asking the current engine for the keyword taken last.
    void beginEngine();
    // The next engine for this keyword, else the next keyword; false when
    // there is neither.
    bool nextEngine();
    void countFailedPage();
    RedirectResolver* resolverInUse() const;
    // Takes the next keyword; false when it is blank.
    bool takeKeyword();
    bool takeSendableKeyword();
    void nextKeywordOrFinish();
    void resetForStart();
    void beginRequests();
    void giveUpPage(RunNotice notice);
    void notify(RunNotice notice);
    void saveStateDuringRun();
    void requestPage();
    void harvestLoadedPage();
    void prepareSlice();
    void resolveRedirects(PageHarvest harvest);
    void takePageRows(const PageHarvest& harvest, const RedirectTargets& targets);
    // Takes the page's rows with their targets into the run and the window.
    void deliverRows(const PageHarvest& harvest, const RedirectTargets& targets);
    void cutPageShort();
    // The row passes 去重 (`acrossPages`), 按站点, 排除列表 and 不要广告.
    bool takesRow(const TakenRow& row, bool acrossPages);
    void appendRows(const QList<TakenRow>& rows);
    void moveOnAfterPage();
    // A mining run's page: its related searches, and no further page.
    void readRelatedSearches(const browser::PageSnapshot& page);
    void pauseForVerification();
    void resumeAfterVerification();
    int intervalMs() const;

    void restoreKeywordFile(const QString& path) override;
    void restoreKeywordIndex(int value) override;
    void restoreDedupe(bool checked) override;
    void restoreInterval(int seconds) override;

    Services m_s;
    QList<SearchEngine> m_engines;
    std::optional<QByteArray> m_hostForAll; // setEngineHost's, for the sets setRules gives later
    int m_engineIndex = 0; // into m_engines
    RedirectResolver* m_resolverInUse = nullptr; // the current page's
    KeywordList m_keywords;
    int m_keywordIndex = 0;
    int m_pageIndex = 0;
    int m_ranksBefore = 0; // organic results on the keyword's pages read so far, on this engine
    int m_pageResults = 0; // organic results of the page being read
    bool m_stopRequested = false;
    bool m_morePages = false;
    QByteArray m_keyword; // the keyword taken last, trimmed
    QByteArray m_requestBase; // its request address on the current engine, without the page
    RunCounts m_counts;
    bool m_paused = false;
    bool m_resolving = false;
    std::unique_ptr<PageHarvester> m_preparing; // the page whose links are being read
    int m_pageSerial = 0; // moves on with every page read, so a stale slice finds itself superseded
    PageHarvest m_resolvingHarvest; // the page whose redirects are being asked for
    QObject m_sliceContext; // the next slice's timer goes with the run
    PageLinkList m_pageLinks; // this page's addresses
    PageLinkList m_runLinks; // every address of the run, for 去重
    bool m_onePerSite = false;
    bool m_takeAds = true;
    bool m_mining = false;
    QSet<QByteArray> m_runSites; // the sites of the run's rows, for 按站点
    sites::SiteList m_excludedSites;
    QByteArray m_requestAddress; // the page asked for last
    int m_retries = 0; // of the page asked for last
    bool m_stateSaveFailed = false; // reported once a run
};

} // namespace tess::harvest
