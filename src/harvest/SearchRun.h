#pragma once

#include "browser/BrowserHost.h"
#include "browser/CompletionTracker.h"
#include "harvest/PageReader.h"
#include "harvest/RequestAddress.h"
#include "harvest/RuleSet.h"
#include "harvest/StateFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

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
// One page's road: NextPageStep() builds the request address from
// RequestBase and PageOffset and navigates; the browser's completion sets
// the tracker's tag; PollTick() sees the tag and runs ProcessPage(), which
// runs the pager test and the link harvest and requests the next page, the
// next keyword's first page, or runs FinishStep().
class SearchRun final : public StateReceiver {
public:
    struct Services {
        SearchWindow& window;
        browser::BrowserHost& browser;
        browser::CompletionTracker& tracker;
        Timer& pollTimer; // Timer1
        Timer& watchdogTimer; // Timer2
        QString statePath;
        // The machine's IPv4 address (GetLocalAddress by default).
        std::function<QString()> localAddress;
        // Blocks the thread without processing events (Start's pause).
        std::function<void(int ms)> pause;
        // Run while Start shows "清空IE数据...": empties the browser's
        // history and cache. Optional.
        std::function<void()> clearBrowserData;
        // Keeps every harvested row of the run. Optional.
        ResultsLog* log = nullptr;
        // Runs each timer tick; the window passes its error guard so that
        // a failing tick reaches the user. Optional: ticks run as they are.
        std::function<void(const std::function<void()>& tick)> runTick;
        // Raised once a page's rows are all appended (and the log flushed),
        // before the next request. Optional.
        std::function<void()> pageHarvested = {};
        // Raised by the finish step once the run is over, before the state
        // is saved (a failed save throws after it). Optional.
        std::function<void()> finished = {};
        // Finds the targets of the engine's redirect links. Optional:
        // without it such links count as unresolved.
        RedirectResolver* resolver = nullptr;
        // Raised when the engine answers with its verification page and
        // the run waits for the user to pass it (the window comes to the
        // front). Optional.
        std::function<void()> verificationNeeded = {};
    };

    static constexpr int MaxPagesPerKeyword = 75;
    // A page that has not completed 15 intervals after its request is asked
    // for again, twice at most, then given up as a failed load.
    static constexpr int WatchdogIntervals = 15;
    static constexpr int MaxRetries = 2;
    // After 终止 the loading page gets the interval, at least this long, to
    // complete; then it is given up and the run finishes.
    static constexpr int StopBoundMs = 5000;
    // The longest request address sent. Browsers drop far longer ones
    // (about 2 MB) without a word; engines refuse much shorter ones. A
    // keyword whose request would be longer is skipped.
    static constexpr qsizetype MaxRequestAddress = 32 * 1024;
    static constexpr int PollIntervalAtStart = 8000;
    static constexpr int WatchdogIntervalAtStart = 60000;

    explicit SearchRun(Services services);
    ~SearchRun() override;
    SearchRun(const SearchRun&) = delete;
    SearchRun& operator=(const SearchRun&) = delete;

    // The engine's web host (and port), www.baidu.com unless set; an
    // explicit scheme ("http://127.0.0.1:8642") wins over the rule set's.
    void setEngineHost(const QByteArray& host);
    const QByteArray& engineHost() const { return m_engine.host; }
    // The rule set pages are asked for and read by; the classic one unless
    // set. Takes effect at the next Start.
    void setRules(const RuleSet& rules) { m_rules = rules; }
    const RuleSet& rules() const { return m_rules; }

    KeywordList& keywordList() { return m_keywords; }

    // Start (N2Click).
    void Start();
    // Stop (N3Click).
    void Stop();
    // The next-page step (Button1Click).
    void NextPageStep();
    // The finish step (BitBtn1Click).
    void FinishStep();
    // Timer1's tick.
    void PollTick();
    // Timer2's tick: re-requests a page that never completed.
    void WatchdogTick();
    // Reads the page just taken and moves on.
    void ProcessPage();

    // The state file. The run writes it whenever it takes the next keyword,
    // so a run that ends without the finish step (a crash, a power cut, the
    // program killed) can be resumed from there.
    void SaveState();
    // Returns false when there is no state file; throws as LoadStateFile.
    bool LoadState();

    int KeywordIndex = 0;
    int PageOffset = 0;
    bool StopRequested = false;
    bool MorePages = false;
    int HarvestCount = 0;
    QByteArray RequestBase;
    int FailedPages = 0; // this run's pages given up or not readable
    int SkippedKeywords = 0; // this run's keywords too long to ask for
    int UnresolvedLinks = 0; // this run's redirect links without a target
    // The engine showed its verification page; the run waits for the user
    // to pass it, then asks for the interrupted page again.
    bool Paused = false;
    // A page's redirect links are being resolved; its rows follow.
    bool Resolving = false;

private:
    void TakeKeyword();
    bool TakeSendableKeyword();
    void NextKeywordOrFinish();
    void GiveUpPage(const QString& why);
    void Note(const QString& text);
    void SaveStateDuringRun();
    void RequestPage();
    void HarvestLinks();
    void AppendRows(const QList<QPair<QByteArray, QByteArray>>& rows);
    void PageDone();
    void PauseForVerification();
    void ResumeAfterVerification();
    int IntervalMs() const;

    void RestoreKeywordFile(const QString& path) override;
    void RestoreKeywordIndex(int value) override;
    void RestoreDedupe(bool checked) override;
    void RestoreInterval(int seconds) override;

    Services m_s;
    EngineAddress m_engine;
    RuleSet m_rules;
    KeywordList m_keywords;
    PageLinkList m_pageLinks; // PageLinkList: this page's addresses
    PageLinkList m_runLinks; // every address of the run, for 去重
    QByteArray m_requestAddress; // the page asked for last
    int m_retries = 0; // of the page asked for last
    bool m_stateSaveFailed = false; // reported once a run
};

} // namespace tess::harvest
