#include "harvest/SearchRun.h"

#include "harvest/LocalAddress.h"
#include "harvest/RedirectResolver.h"
#include "harvest/ResultsLog.h"
#include "harvest/SearchWindow.h"
#include "harvest/Timer.h"
#include "text/Errors.h"
#include "text/Gbk.h"
#include "text/Integer.h"

#include <QDateTime>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace tess::harvest {

SearchRun::SearchRun(Services services)
    : m_s(std::move(services))
    , m_engines { engineOnDefaultHost(classicRules()) }
{
    if (!m_s.localAddress)
        m_s.localAddress = getLocalAddress;
    if (!m_s.pause)
        m_s.pause = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    m_s.pollTimer.setInterval(kPollIntervalAtStart);
    m_s.pollTimer.setEnabled(false);
    if (!m_s.runTick)
        m_s.runTick = [](const std::function<void()>& tick) { tick(); };
    m_s.pollTimer.onTimer = [this] { m_s.runTick([this] { pollTick(); }); };
    m_s.watchdogTimer.setInterval(kWatchdogIntervalAtStart);
    m_s.watchdogTimer.setEnabled(false);
    m_s.watchdogTimer.onTimer = [this] { m_s.runTick([this] { watchdogTick(); }); };
    m_s.browser.onNote
        = [this](const QString& note) { notify({ .kind = RunNoticeKind::BrowserNote, .detail = note }); };
}

SearchRun::~SearchRun()
{
    // A page's resolutions must not come back to a run that is gone.
    if (m_resolving && m_resolverInUse)
        m_resolverInUse->cancel();
}

void SearchRun::setEngines(QList<SearchEngine> engines)
{
    if (engines.isEmpty())
        return;
    m_engines = std::move(engines);
    m_engineIndex = 0;
}

void SearchRun::setRules(const RuleSet& rules)
{
    SearchEngine engine = engineOnDefaultHost(rules);
    if (m_hostForAll)
        engine.address = parseEngineAddress(*m_hostForAll).value_or(EngineAddress { {}, *m_hostForAll });
    setEngines({ engine });
}

void SearchRun::setEngineHost(const QByteArray& host)
{
    m_hostForAll = host;
    for (SearchEngine& engine : m_engines)
        engine.address = parseEngineAddress(host).value_or(EngineAddress { {}, host });
}

int SearchRun::activeEngineFrom(int index) const
{
    for (int i = std::max(0, index); i < m_counts.engines.size(); ++i) {
        if (!m_counts.engines.at(i).dropped)
            return i;
    }
    return -1;
}

void SearchRun::beginEngine()
{
    const SearchEngine& engine = currentEngine();
    m_pageIndex = 0;
    m_ranksBefore = 0;
    m_requestBase = buildRequestBase(engine.rules, engine.address, m_keyword);
}

RedirectResolver* SearchRun::resolverInUse() const
{
    if (currentEngine().rules.redirectMode == RuleSet::RedirectMode::Browser && m_s.browserResolver)
        return m_s.browserResolver;
    return m_s.resolver;
}

void SearchRun::countFailedPage()
{
    ++m_counts.failedPages;
    ++m_counts.engines[m_engineIndex].failedPages;
}

int SearchRun::intervalMs() const { return m_s.window.intervalSetting() * 1000; }

void SearchRun::start()
{
    SearchWindow& w = m_s.window;
    if (m_s.localAddress() == QLatin1String("127.0.0.1")) {
        w.informationBox(QStringLiteral("您还没有连接到网上！"));
        return;
    }
    if (m_keywords.isEmpty()) {
        // An imported file without a single keyword is not "nothing imported".
        if (!w.keywordFileText().isEmpty())
            throw text::AppError(QStringLiteral("关键字列表文件中没有关键字：%1").arg(w.keywordFileText()));
        throw text::AppError(QStringLiteral("请先导入关键字列表文件"));
    }

    // A stopped run has already taken the keyword it was searching.
    if (m_keywordIndex > 1)
        --m_keywordIndex;
    const std::optional<QString> answer = w.inputQuery(QStringLiteral("搜索参数设置"),
        QStringLiteral("请输入关键字搜索断点位置        "), QString::number(m_keywordIndex));
    if (!answer)
        return;
    m_keywordIndex = std::max(0, text::toInteger(*answer));
    if (m_keywordIndex != 0 && m_keywordIndex >= m_keywords.size()) {
        w.plainMessage(QStringLiteral("搜索断点位置超过关键字文件行数！"));
        m_keywordIndex = 0;
    }
    resetForStart();
    beginRequests();
}

void SearchRun::resetForStart()
{
    SearchWindow& w = m_s.window;
    w.repaintNow();
    w.clearResults();
    m_counts = {};
    for (const SearchEngine& engine : std::as_const(m_engines))
        m_counts.engines.append({ .name = engine.rules.name, .label = engine.rules.label });
    m_engineIndex = 0;
    m_paused = false;
    m_resolving = false;
    m_preparing.reset();
    m_retries = 0;
    m_pageIndex = 0;
    m_stopRequested = false;
    m_morePages = takeSendableKeyword();
    m_counts.harvested = 0;
    w.clearResults();
    m_pageLinks.clear();
    m_runLinks.clear();
    m_runSites.clear();
    m_stateSaveFailed = false;
    if (m_s.log)
        m_s.log->restart();
}

void SearchRun::beginRequests()
{
    SearchWindow& w = m_s.window;
    w.setCommandsEnabled(false, true, false);
    m_s.pollTimer.setInterval(intervalMs());
    m_s.watchdogTimer.setInterval(intervalMs() * kWatchdogIntervals);
    m_s.browser.setUnattended(true);

    w.setPanelText(PanelHarvestCount, QStringLiteral("0"));
    notify({ .kind = RunNoticeKind::ClearingBrowserData });
    if (m_s.clearBrowserData)
        m_s.clearBrowserData();
    m_s.pause(500);
    notify({ .kind = RunNoticeKind::Searching });

    try {
        nextPageStep();
    } catch (const std::exception&) {
        // The start swallows whatever goes wrong in its first request.
    }
}

bool SearchRun::takeKeyword()
{
    m_keyword = trimKeyword(m_keywords.value(m_keywordIndex));
    ++m_keywordIndex;
    return !m_keyword.isEmpty();
}

bool SearchRun::takeSendableKeyword()
{
    for (;;) {
        // A blank line asks the engine for nothing worth having.
        if (!takeKeyword()) {
            ++m_counts.blankKeywords;
        } else if (std::all_of(m_engines.begin(), m_engines.end(), [&](const SearchEngine& engine) {
                       // The last page's request is the longest a keyword makes;
                       // mining asks for the first only.
                       const QByteArray base = buildRequestBase(engine.rules, engine.address, m_keyword);
                       const int lastPage = m_mining ? 0 : kMaxPagesPerKeyword - 1;
                       return requestAddress(engine.rules, base, lastPage).size() <= kMaxRequestAddress;
                   })) {
            m_engineIndex = std::max(0, activeEngineFrom(0));
            beginEngine();
            return true;
        } else {
            ++m_counts.skippedKeywords;
            notify({ .kind = RunNoticeKind::KeywordTooLong, .keyword = m_keywordIndex });
        }
        if (m_keywordIndex >= m_keywords.size())
            return false;
    }
}

void SearchRun::notify(RunNotice notice) { m_s.window.showNotice(notice); }

void SearchRun::stop()
{
    m_stopRequested = true;
    notify({ .kind = RunNoticeKind::Stopping });
    m_s.window.setCommandsEnabled(true, false, true);
    if (m_paused) {
        // Nothing of the run's is loading: the page on show is the
        // user's. The state keeps the keyword that was interrupted.
        finishStep();
        return;
    }
    if (m_preparing || m_resolving) {
        cutPageShort();
        return;
    }
    // The poll timer keeps running: the loading page is still taken and
    // harvested, and readLoadedPage then runs the finish step. A page that
    // does not complete within the bound is given up, and the run finishes
    // all the same.
    m_s.watchdogTimer.setEnabled(false);
    if (m_s.pollTimer.enabled()) {
        m_s.watchdogTimer.setInterval(std::max(intervalMs(), kStopBoundMs));
        m_s.watchdogTimer.setEnabled(true);
    }
}

void SearchRun::nextPageStep()
{
    if (!m_morePages || m_stopRequested) {
        finishStep();
        return;
    }
    requestPage();
}

void SearchRun::requestPage()
{
    const RuleSet& rules = currentEngine().rules;
    const QByteArray address = requestAddress(rules, m_requestBase, m_pageIndex);
    ++m_pageIndex;
    m_s.browser.setTargetAttributes(rules.targetAttributes);
    m_s.browser.setPageParts({ rules.resultContainer, rules.adMarkers, rules.relatedSearches });
    m_requestAddress = address;
    m_s.window.setPanelText(PanelKeywordIndex, QString::number(m_keywordIndex));
    try {
        m_s.browser.navigate(address);
    } catch (const std::exception&) {
        // A load that cannot start still leaves the run waiting; the
        // watchdog asks again.
    }
    m_s.pollTimer.setEnabled(true);
    // The watchdog counts from the latest request.
    m_s.watchdogTimer.setEnabled(false);
    m_s.watchdogTimer.setInterval(intervalMs() * kWatchdogIntervals);
    m_s.watchdogTimer.setEnabled(true);
}

void SearchRun::finishStep()
{
    m_s.pollTimer.setEnabled(false);
    m_s.watchdogTimer.setEnabled(false);
    m_s.browser.setUnattended(false);
    m_paused = false;
    // The window is idle again whatever becomes of the state file; a
    // failed save is reported after that.
    notify({ .kind = RunNoticeKind::Finished, .counts = m_counts, .severalEngines = m_engines.size() > 1 });
    m_s.window.repaintNow();
    m_s.window.setCommandsEnabled(true, false, true);
    if (m_s.finished)
        m_s.finished(endReport());
    saveState();
}

void SearchRun::saveStateDuringRun()
{
    try {
        saveState();
    } catch (const text::AppError& e) {
        // The run goes on; the user hears of it once, and the finish step
        // tries again.
        if (!m_stateSaveFailed)
            m_s.window.reportError(e.message());
        m_stateSaveFailed = true;
    }
}

void SearchRun::pollTick()
{
    m_s.pollTimer.setEnabled(false);
    m_s.pollTimer.setInterval(intervalMs()); // a changed setting applies from the next tick
    if (!m_s.tracker.pageLoaded()) {
        m_s.pollTimer.setEnabled(true);
        return;
    }
    m_s.tracker.clearPageLoaded();
    if (m_paused) {
        if (isVerificationPage(rules(), m_s.browser.snapshot()))
            m_s.pollTimer.setEnabled(true);
        else
            resumeAfterVerification();
        return;
    }
    try {
        readLoadedPage();
    } catch (...) {
        // A page that cannot be read halts the run; nothing may revive it.
        m_s.watchdogTimer.setEnabled(false);
        throw;
    }
}

void SearchRun::watchdogTick()
{
    if (m_stopRequested) {
        // 终止, and the loading page never completed within the bound.
        if (m_s.pollTimer.enabled()) {
            m_s.browser.abandonLoad();
            countFailedPage();
            finishStep();
        }
        return;
    }
    // A page that completed waits for the poll.
    if (m_s.tracker.pageLoaded() || !m_s.pollTimer.enabled())
        return;
    m_s.browser.abandonLoad();
    if (m_retries < kMaxRetries) {
        ++m_retries;
        notify({ .kind = RunNoticeKind::PageReload, .count = m_retries });
        --m_pageIndex;
        requestPage();
        return;
    }
    giveUpPage({ .kind = RunNoticeKind::PageNotLoaded, .count = kMaxRetries + 1 });
    nextKeywordOrFinish();
}

void SearchRun::giveUpPage(RunNotice notice)
{
    countFailedPage();
    m_retries = 0;
    m_morePages = false;
    notice.keyword = m_keywordIndex;
    notify(notice);
}

void SearchRun::readLoadedPage()
{
    m_retries = 0;
    const browser::PageSnapshot& page = m_s.browser.snapshot();
    // The verification page may come with an error status; it is still
    // the engine asking, not a page that failed.
    if (isVerificationPage(rules(), page)) {
        pauseForVerification();
        return;
    }
    // Only the document of the request counts: not an error page, not a
    // page that took the browser to another site.
    const QByteArray requestDomain = siteDomain(m_requestAddress);
    if (page.loadFailed) {
        giveUpPage({ .kind = RunNoticeKind::PageFailed, .detail = page.failure });
    } else if (!m_requestAddress.isEmpty() && !requestDomain.isEmpty()
        && !text::toGbk(page.location).contains(requestDomain)) {
        giveUpPage({ .kind = RunNoticeKind::PageElsewhere, .detail = page.location.left(80) });
    } else if (m_mining) {
        readRelatedSearches(page);
    } else {
        m_morePages = hasFurtherPage(rules(), page);
        // The page index already names the following page.
        if (m_pageIndex >= kMaxPagesPerKeyword)
            m_morePages = false;
        harvestLoadedPage(); // moves on once the page's rows are in
        return;
    }
    moveOnAfterPage();
}

void SearchRun::moveOnAfterPage()
{
    m_pageLinks.clear();
    if (m_morePages) {
        if (m_stopRequested)
            finishStep();
        else
            requestPage();
        return;
    }
    nextKeywordOrFinish();
}

void SearchRun::readRelatedSearches(const browser::PageSnapshot& page)
{
    m_morePages = false;
    m_pageLinks.clear();
    // The page is in and read at once: nothing is loading until the next
    // request.
    m_s.watchdogTimer.setEnabled(false);
    if (m_s.relatedSearchesRead)
        m_s.relatedSearchesRead(m_keywordIndex - 1, m_keyword, rules().name, page.relatedSearches);
}

void SearchRun::pauseForVerification()
{
    m_paused = true;
    m_s.watchdogTimer.setEnabled(false);
    // The user answers the page now, dialogs included.
    m_s.browser.setUnattended(false);
    notify({ .kind = RunNoticeKind::VerificationNeeded,
        .detail = rules().label,
        .severalEngines = m_engines.size() > 1 });
    // The next page the browser completes is looked at again.
    m_s.pollTimer.setEnabled(true);
    if (m_s.verificationNeeded)
        m_s.verificationNeeded();
}

void SearchRun::resumeAfterVerification()
{
    m_paused = false;
    m_s.browser.setUnattended(true);
    notify({ .kind = RunNoticeKind::Searching });
    --m_pageIndex;
    requestPage();
}

void SearchRun::skipEngine()
{
    if (!m_paused)
        return;
    EngineTally& tally = m_counts.engines[m_engineIndex];
    tally.dropped = true;
    tally.droppedAtKeyword = m_keywordIndex - 1;
    m_paused = false;
    m_s.browser.setUnattended(true);
    // Whatever the user did on the page is not a result page of the run.
    m_s.tracker.clearPageLoaded();
    const auto remaining = std::count_if(
        m_counts.engines.begin(), m_counts.engines.end(), [](const EngineTally& t) { return !t.dropped; });
    notify({ .kind = RunNoticeKind::EngineSkipped,
        .count = static_cast<int>(remaining),
        .detail = tally.label,
        .severalEngines = m_engines.size() > 1 });
    if (remaining == 0) {
        // No engine searched the keyword to its end.
        m_morePages = true;
        finishStep();
        return;
    }
    m_morePages = false;
    nextKeywordOrFinish();
}

bool SearchRun::nextEngine()
{
    const int next = activeEngineFrom(m_engineIndex + 1);
    if (next >= 0) {
        m_engineIndex = next;
        beginEngine();
        m_morePages = true;
        return true;
    }
    if (activeEngineFrom(0) < 0 || m_keywordIndex >= m_keywords.size() || !takeSendableKeyword())
        return false;
    saveStateDuringRun();
    return true;
}

void SearchRun::nextKeywordOrFinish()
{
    m_pageIndex = 0;
    if (m_stopRequested) {
        // Engines still to ask for this keyword leave it unfinished.
        if (activeEngineFrom(m_engineIndex + 1) >= 0)
            m_morePages = true;
        finishStep();
        return;
    }
    if (!nextEngine()) {
        finishStep();
        return;
    }
    requestPage();
}

void SearchRun::harvestLoadedPage()
{
    SearchWindow& w = m_s.window;
    if (w.resultRowCount() > 100)
        w.clearResults();
    m_pageLinks.clear();
    // The page is in; whatever its reading takes, nothing is loading.
    m_s.watchdogTimer.setEnabled(false);
    ++m_pageSerial;
    m_pageResults = m_s.browser.snapshot().resultCount;
    m_preparing = std::make_unique<PageHarvester>(m_s.browser.snapshot(), rules(), engineHost());
    prepareSlice();
}

void SearchRun::prepareSlice()
{
    if (!m_preparing->step(kLinksPerSlice)) {
        QTimer::singleShot(0, &m_sliceContext, [this, serial = m_pageSerial] {
            if (m_preparing && serial == m_pageSerial)
                m_s.runTick([this] { prepareSlice(); });
        });
        return;
    }
    PageHarvest harvest = m_preparing->take();
    m_preparing.reset();
    resolveRedirects(std::move(harvest));
}

void SearchRun::resolveRedirects(PageHarvest harvest)
{
    if (harvest.location.isEmpty()) {
        if (m_s.pageHarvested)
            m_s.pageHarvested();
        moveOnAfterPage();
        return;
    }
    m_resolverInUse = resolverInUse();
    if (harvest.redirects.isEmpty() || !m_resolverInUse) {
        takePageRows(harvest, RedirectTargets(harvest.redirects.size(), QByteArray()));
        return;
    }
    const qsizetype asked = std::min(harvest.redirects.size(), kMaxRedirectsPerPage);
    if (asked < harvest.redirects.size())
        notify({ .kind = RunNoticeKind::TooManyRedirects,
            .keyword = m_keywordIndex,
            .count = static_cast<int>(kMaxRedirectsPerPage) });
    // The page's redirects are asked for before the next page is: rows
    // keep page order, and the interval still paces the engine.
    m_resolving = true;
    m_resolvingHarvest = std::move(harvest);
    m_resolverInUse->resolveAll(
        m_resolvingHarvest.redirects.first(asked), [this](const QList<QByteArray>& found) {
            // Those past the cap were never asked: they lead nowhere known.
            RedirectTargets targets(m_resolvingHarvest.redirects.size(), QByteArray());
            std::copy(found.begin(), found.end(), targets.begin());
            const PageHarvest page = std::exchange(m_resolvingHarvest, {});
            m_s.runTick([&] { takePageRows(page, targets); });
        });
}

void SearchRun::takePageRows(const PageHarvest& harvest, const RedirectTargets& targets)
{
    m_resolving = false;
    deliverRows(harvest, targets);
    moveOnAfterPage();
}

void SearchRun::deliverRows(const PageHarvest& harvest, const RedirectTargets& targets)
{
    const TakenRows taken = takeRows(harvest, targets, rules(), engineHost());
    m_counts.unresolvedLinks += taken.unresolved;
    appendRows(taken.rows);
    // The next page's organic results rank after this page's.
    m_ranksBefore += std::exchange(m_pageResults, 0);
    if (m_s.pageHarvested)
        m_s.pageHarvested();
}

void SearchRun::cutPageShort()
{
    // Reading on could take the page's redirects' bound each, far past the
    // stop's. The rows known are kept; the keyword is searched again from
    // its first page when the run is resumed.
    PageHarvest harvest;
    RedirectTargets targets;
    if (m_preparing) {
        harvest = m_preparing->take();
        m_preparing.reset();
    } else {
        targets = m_resolverInUse->answeredSoFar();
        m_resolverInUse->cancel();
        harvest = std::exchange(m_resolvingHarvest, {});
    }
    m_resolving = false;
    deliverRows(harvest, targets);
    m_pageLinks.clear();
    m_morePages = true;
    finishStep();
}

bool SearchRun::takesRow(const TakenRow& row, bool acrossPages)
{
    if (row.kind == RowKind::Ad && !m_takeAds)
        return false;
    if (m_pageLinks.contains(row.address))
        return false;
    if (acrossPages && m_runLinks.contains(row.address))
        return false;
    if (!m_excludedSites.isEmpty() && m_excludedSites.matches(row.address)) {
        ++m_counts.excludedRows;
        return false;
    }
    // A row without a host of its own is its own site.
    const QByteArray site = m_onePerSite ? sites::siteKey(row.address) : QByteArray();
    if (!site.isEmpty() && m_runSites.contains(site))
        return false;
    if (!site.isEmpty())
        m_runSites.insert(site);
    return true;
}

void SearchRun::appendRows(const QList<TakenRow>& rows)
{
    // Every row of a page shares the page's context and time; the offset
    // is kept so the time reads the same anywhere.
    const QDateTime now = QDateTime::currentDateTime();
    HarvestedRow context { .keyword = m_keyword,
        .engine = rules().name,
        .page = m_pageIndex,
        .time = now.toOffsetFromUtc(now.offsetFromUtc()) };
    const bool acrossPages = m_s.window.dedupeChecked();
    HarvestedRows taken;
    for (const TakenRow& row : rows) {
        if (!takesRow(row, acrossPages))
            continue;
        m_pageLinks.add(row.address);
        m_runLinks.add(row.address);
        HarvestedRow& out = taken.emplace_back(context);
        out.address = row.address;
        out.title = row.text;
        out.kind = row.kind;
        if (row.kind == RowKind::Result && row.resultIndex >= 0)
            out.rank = m_ranksBefore + row.resultIndex + 1;
        if (m_s.log)
            m_s.log->append(out);
    }
    if (m_s.log)
        m_s.log->flush();
    if (taken.isEmpty())
        return;
    m_counts.harvested += static_cast<int>(taken.size());
    m_counts.engines[m_engineIndex].harvested += static_cast<int>(taken.size());
    m_s.window.appendResults(taken);
    m_s.window.setPanelText(PanelHarvestCount, QString::number(m_counts.harvested));
}

void SearchRun::saveState()
{
    SearchWindow& w = m_s.window;
    saveStateFile(
        m_s.statePath, { w.keywordFileText(), m_keywordIndex, w.dedupeChecked(), w.intervalSetting() });
}

bool SearchRun::loadState() { return loadStateFile(m_s.statePath, *this); }

void SearchRun::restoreKeywordFile(const QString& path) { m_s.window.setKeywordFileText(path); }

void SearchRun::restoreKeywordIndex(int value) { m_keywordIndex = value; }

void SearchRun::restoreDedupe(bool checked) { m_s.window.setDedupeChecked(checked); }

void SearchRun::restoreInterval(int seconds) { m_s.window.setIntervalSetting(seconds); }

} // namespace tess::harvest
