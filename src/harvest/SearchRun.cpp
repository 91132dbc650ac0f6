#include "harvest/SearchRun.h"

#include "harvest/LocalAddress.h"
#include "harvest/RedirectResolver.h"
#include "harvest/ResultsLog.h"
#include "harvest/SearchWindow.h"
#include "harvest/Timer.h"
#include "text/Errors.h"
#include "text/Gbk.h"
#include "text/Integer.h"

#include <QThread>

namespace tess::harvest {

SearchRun::SearchRun(Services services)
    : m_s(std::move(services))
    , m_engine { {}, DefaultEngineHost }
    , m_rules(ClassicRules())
{
    if (!m_s.localAddress)
        m_s.localAddress = GetLocalAddress;
    if (!m_s.pause)
        m_s.pause = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    m_s.pollTimer.setInterval(PollIntervalAtStart);
    m_s.pollTimer.setEnabled(false);
    if (!m_s.runTick)
        m_s.runTick = [](const std::function<void()>& tick) { tick(); };
    m_s.pollTimer.OnTimer = [this] { m_s.runTick([this] { PollTick(); }); };
    m_s.watchdogTimer.setInterval(WatchdogIntervalAtStart);
    m_s.watchdogTimer.setEnabled(false);
    m_s.watchdogTimer.OnTimer = [this] { m_s.runTick([this] { WatchdogTick(); }); };
    m_s.browser.OnNote = [this](const QString& note) { Note(note); };
}

SearchRun::~SearchRun()
{
    // A page's resolutions must not come back to a run that is gone.
    if (Resolving && m_s.resolver)
        m_s.resolver->cancel();
}

void SearchRun::setEngineHost(const QByteArray& host)
{
    m_engine = ParseEngineAddress(host).value_or(EngineAddress { {}, host });
}

int SearchRun::IntervalMs() const { return m_s.window.IntervalSetting() * 1000; }

void SearchRun::Start()
{
    SearchWindow& w = m_s.window;
    if (m_s.localAddress() == QLatin1String("127.0.0.1")) {
        w.InformationBox(QStringLiteral("您还没有连接到网上！"));
        return;
    }
    if (m_keywords.isEmpty()) {
        // An imported file without a single keyword is not "nothing imported".
        if (!w.KeywordFileText().isEmpty())
            throw text::AppError(QStringLiteral("关键字列表文件中没有关键字：%1").arg(w.KeywordFileText()));
        throw text::AppError(QStringLiteral("请先导入关键字列表文件"));
    }

    // A stopped run has already taken the keyword it was searching.
    if (KeywordIndex > 1)
        --KeywordIndex;
    const std::optional<QString> answer = w.InputQuery(QStringLiteral("搜索参数设置"),
        QStringLiteral("请输入关键字搜索断点位置        "), QString::number(KeywordIndex));
    if (!answer)
        return;
    KeywordIndex = std::max(0, text::toInteger(*answer));
    if (KeywordIndex != 0 && KeywordIndex >= m_keywords.size()) {
        w.PlainMessage(QStringLiteral("搜索断点位置超过关键字文件行数！"));
        KeywordIndex = 0;
    }

    w.RepaintNow();
    w.ClearResults();
    FailedPages = 0;
    SkippedKeywords = 0;
    UnresolvedLinks = 0;
    Paused = false;
    Resolving = false;
    m_retries = 0;
    PageOffset = 0;
    StopRequested = false;
    MorePages = TakeSendableKeyword();
    HarvestCount = 0;
    w.ClearResults();
    m_pageLinks.clear();
    m_runLinks.clear();
    m_stateSaveFailed = false;
    if (m_s.log)
        m_s.log->restart();

    w.SetCommandsEnabled(false, true, false);
    m_s.pollTimer.setInterval(IntervalMs());
    m_s.watchdogTimer.setInterval(IntervalMs() * WatchdogIntervals);
    m_s.browser.SetUnattended(true);
    m_s.browser.SetTargetAttributes(m_rules.targetAttributes);

    w.SetPanelText(PanelHarvestCount, QStringLiteral("0"));
    w.SetPanelText(PanelStatus, QStringLiteral("清空IE数据..."));
    if (m_s.clearBrowserData)
        m_s.clearBrowserData();
    m_s.pause(500);
    w.SetPanelText(PanelStatus, QStringLiteral("正在搜索..."));

    try {
        NextPageStep();
    } catch (const std::exception&) {
        // Start swallows whatever goes wrong in its first request.
    }
}

void SearchRun::TakeKeyword()
{
    const QByteArray keyword = TrimKeyword(m_keywords.value(KeywordIndex));
    ++KeywordIndex;
    RequestBase = BuildRequestBase(m_rules, m_engine, keyword);
}

bool SearchRun::TakeSendableKeyword()
{
    for (;;) {
        TakeKeyword();
        // The last page's request is the longest a keyword makes.
        if (RequestAddress(m_rules, RequestBase, (MaxPagesPerKeyword - 1) * 10).size() <= MaxRequestAddress)
            return true;
        ++SkippedKeywords;
        Note(QStringLiteral("第 %1 个关键字过长，已跳过").arg(KeywordIndex));
        if (KeywordIndex >= m_keywords.size())
            return false;
    }
}

void SearchRun::Note(const QString& text) { m_s.window.SetPanelText(PanelStatus, text); }

void SearchRun::Stop()
{
    StopRequested = true;
    m_s.window.SetPanelText(PanelStatus, QStringLiteral("终止搜索..."));
    m_s.window.SetCommandsEnabled(true, false, true);
    if (Paused) {
        // Nothing of the run's is loading: the page on show is the
        // user's. The state keeps the keyword that was interrupted.
        FinishStep();
        return;
    }
    // The poll timer keeps running: the loading page is still taken and
    // harvested, and ProcessPage then runs the finish step. A page that
    // does not complete within the bound is given up, and the run finishes
    // all the same.
    m_s.watchdogTimer.setEnabled(false);
    if (m_s.pollTimer.enabled()) {
        m_s.watchdogTimer.setInterval(std::max(IntervalMs(), StopBoundMs));
        m_s.watchdogTimer.setEnabled(true);
    }
}

void SearchRun::NextPageStep()
{
    if (!MorePages || StopRequested) {
        FinishStep();
        return;
    }
    RequestPage();
}

void SearchRun::RequestPage()
{
    const QByteArray address = RequestAddress(m_rules, RequestBase, PageOffset);
    PageOffset += 10;
    m_requestAddress = address;
    m_s.window.SetPanelText(PanelKeywordIndex, QString::number(KeywordIndex));
    try {
        m_s.browser.Navigate(address);
    } catch (const std::exception&) {
        // A load that cannot start still leaves the run waiting; the
        // watchdog asks again.
    }
    m_s.pollTimer.setEnabled(true);
    // The watchdog counts from the latest request.
    m_s.watchdogTimer.setEnabled(false);
    m_s.watchdogTimer.setInterval(IntervalMs() * WatchdogIntervals);
    m_s.watchdogTimer.setEnabled(true);
}

void SearchRun::FinishStep()
{
    m_s.pollTimer.setEnabled(false);
    m_s.watchdogTimer.setEnabled(false);
    m_s.browser.SetUnattended(false);
    Paused = false;
    // The window is idle again whatever becomes of the state file; a
    // failed save is reported after that.
    QString finished = QStringLiteral("搜索已经结束！");
    QStringList notes;
    if (FailedPages > 0 || SkippedKeywords > 0)
        notes << QStringLiteral("%1 页未能载入，%2 个关键字过长被跳过").arg(FailedPages).arg(SkippedKeywords);
    if (UnresolvedLinks > 0)
        notes << QStringLiteral("%1 个跳转链接未能解析").arg(UnresolvedLinks);
    if (!notes.isEmpty())
        finished += QStringLiteral("（%1）").arg(notes.join(QStringLiteral("，")));
    m_s.window.SetPanelText(PanelStatus, finished);
    m_s.window.RepaintNow();
    m_s.window.SetCommandsEnabled(true, false, true);
    if (m_s.finished)
        m_s.finished();
    SaveState();
}

void SearchRun::SaveStateDuringRun()
{
    try {
        SaveState();
    } catch (const text::AppError& e) {
        // The run goes on; the user hears of it once, and the finish step
        // tries again.
        if (!m_stateSaveFailed)
            m_s.window.ReportError(e.message());
        m_stateSaveFailed = true;
    }
}

void SearchRun::PollTick()
{
    m_s.pollTimer.setEnabled(false);
    m_s.pollTimer.setInterval(IntervalMs()); // a changed setting applies from the next tick
    if (m_s.tracker.tag() == 0) {
        m_s.pollTimer.setEnabled(true);
        return;
    }
    m_s.tracker.setTag(0);
    if (Paused) {
        if (IsVerificationPage(m_rules, m_s.browser.snapshot()))
            m_s.pollTimer.setEnabled(true);
        else
            ResumeAfterVerification();
        return;
    }
    try {
        ProcessPage();
    } catch (...) {
        // A page that cannot be read halts the run; nothing may revive it.
        m_s.watchdogTimer.setEnabled(false);
        throw;
    }
}

void SearchRun::WatchdogTick()
{
    if (StopRequested) {
        // 终止, and the loading page never completed within the bound.
        if (m_s.pollTimer.enabled()) {
            m_s.browser.AbandonLoad();
            ++FailedPages;
            FinishStep();
        }
        return;
    }
    // A page that completed waits for the poll.
    if (m_s.tracker.tag() != 0 || !m_s.pollTimer.enabled())
        return;
    m_s.browser.AbandonLoad();
    if (m_retries < MaxRetries) {
        ++m_retries;
        Note(QStringLiteral("网页未能按时载入，第 %1 次重新请求").arg(m_retries));
        PageOffset -= 10;
        RequestPage();
        return;
    }
    GiveUpPage(QStringLiteral("%1 次请求都未能载入").arg(MaxRetries + 1));
    NextKeywordOrFinish();
}

void SearchRun::GiveUpPage(const QString& why)
{
    ++FailedPages;
    m_retries = 0;
    MorePages = false;
    Note(QStringLiteral("第 %1 个关键字的网页未能读取（%2），转到下一个关键字").arg(KeywordIndex).arg(why));
}

void SearchRun::ProcessPage()
{
    m_retries = 0;
    const browser::PageSnapshot& page = m_s.browser.snapshot();
    // The verification page may come with an error status; it is still
    // the engine asking, not a page that failed.
    if (IsVerificationPage(m_rules, page)) {
        PauseForVerification();
        return;
    }
    // Only the document of the request counts: not an error page, not a
    // page that took the browser to another site.
    const QByteArray requestDomain = SiteDomain(m_requestAddress);
    if (page.loadFailed) {
        GiveUpPage(page.failure);
    } else if (!m_requestAddress.isEmpty() && !requestDomain.isEmpty()
        && !text::toGbk(page.location).contains(requestDomain)) {
        GiveUpPage(QStringLiteral("网页已转到别的网站：%1").arg(page.location.left(80)));
    } else {
        MorePages = HasFurtherPage(m_rules, page);
        // PageOffset already names the following page: the last page read
        // for a keyword is the one at offset 740.
        if (PageOffset >= MaxPagesPerKeyword * 10)
            MorePages = false;
        HarvestLinks(); // moves on once the page's rows are in
        return;
    }
    PageDone();
}

void SearchRun::PageDone()
{
    m_pageLinks.clear();
    if (MorePages) {
        if (StopRequested)
            FinishStep();
        else
            RequestPage();
        return;
    }
    NextKeywordOrFinish();
}

void SearchRun::PauseForVerification()
{
    Paused = true;
    m_s.watchdogTimer.setEnabled(false);
    // The user answers the page now, dialogs included.
    m_s.browser.SetUnattended(false);
    Note(QStringLiteral("请在下方浏览器中完成验证，完成后自动继续"));
    // The next page the browser completes is looked at again.
    m_s.pollTimer.setEnabled(true);
    if (m_s.verificationNeeded)
        m_s.verificationNeeded();
}

void SearchRun::ResumeAfterVerification()
{
    Paused = false;
    m_s.browser.SetUnattended(true);
    Note(QStringLiteral("正在搜索..."));
    PageOffset -= 10;
    RequestPage();
}

void SearchRun::NextKeywordOrFinish()
{
    PageOffset = 0;
    if (KeywordIndex >= m_keywords.size() || StopRequested || !TakeSendableKeyword()) {
        FinishStep();
        return;
    }
    SaveStateDuringRun();
    RequestPage();
}

void SearchRun::HarvestLinks()
{
    SearchWindow& w = m_s.window;
    if (w.ResultRowCount() > 100)
        w.ClearResults();

    const browser::PageSnapshot& page = m_s.browser.snapshot();
    const QByteArray location = text::toGbk(page.location);
    if (location.isEmpty()) {
        if (m_s.pageHarvested)
            m_s.pageHarvested();
        PageDone();
        return;
    }
    const PageRules rules(m_rules, m_engine.host, location);
    m_pageLinks.clear();

    // The page's rows in page order; a redirect's row waits for its target.
    struct Row {
        QByteArray address;
        QByteArray text;
        qsizetype redirect = -1; // index into `redirects`
    };
    QList<Row> rows;
    QList<QByteArray> redirects;
    for (const browser::PageLink& link : page.links) {
        const QByteArray href = text::toGbk(link.href);
        const LinkKind kind = rules.classify(href);
        if (kind == LinkKind::Skip)
            continue;
        Row row { href, text::toGbk(link.text) };
        if (kind == LinkKind::Redirect) {
            const QByteArray carried = text::toGbk(link.carriedTarget);
            if (rules.classify(carried) == LinkKind::Outbound) {
                row.address = carried;
            } else if (!carried.isEmpty() && rules.isOwn(carried)) {
                continue; // leads to the engine's own pages
            } else {
                row.redirect = redirects.indexOf(href);
                if (row.redirect < 0) {
                    row.redirect = redirects.size();
                    redirects.append(href);
                }
            }
        }
        rows.append(row);
    }

    // Takes the rows once every target is known ("" for none).
    auto finish = [this, rows, location](const QList<QByteArray>& targets) {
        Resolving = false;
        const PageRules pageRules(m_rules, m_engine.host, location);
        QList<QPair<QByteArray, QByteArray>> taken;
        for (const Row& row : rows) {
            if (row.redirect < 0) {
                taken.append({ row.address, row.text });
                continue;
            }
            const QByteArray target = targets.value(row.redirect);
            const LinkKind kind = pageRules.classify(target);
            if (target.isEmpty() || kind == LinkKind::Redirect) {
                ++UnresolvedLinks;
                continue;
            }
            if (kind == LinkKind::Outbound)
                taken.append({ target, row.text });
        }
        AppendRows(taken);
        if (m_s.pageHarvested)
            m_s.pageHarvested();
        PageDone();
    };
    if (redirects.isEmpty()) {
        finish({});
        return;
    }
    if (!m_s.resolver) {
        finish(QList<QByteArray>(redirects.size()));
        return;
    }
    // The page's redirects are asked for before the next page is: rows
    // keep page order, and the interval still paces the engine.
    Resolving = true;
    m_s.watchdogTimer.setEnabled(false);
    m_s.resolver->resolveAll(redirects,
        [this, finish](const QList<QByteArray>& targets) { m_s.runTick([&] { finish(targets); }); });
}

void SearchRun::AppendRows(const QList<QPair<QByteArray, QByteArray>>& rows)
{
    SearchWindow& w = m_s.window;
    const bool acrossPages = w.DedupeChecked();
    for (const auto& [address, linkText] : rows) {
        if (m_pageLinks.contains(address))
            continue;
        if (acrossPages && m_runLinks.contains(address))
            continue;
        m_pageLinks.add(address);
        m_runLinks.add(address);
        w.AppendResult(address, linkText);
        if (m_s.log)
            m_s.log->append(address, linkText);
        ++HarvestCount;
        w.SetPanelText(PanelHarvestCount, QString::number(HarvestCount));
    }
    if (m_s.log)
        m_s.log->flush();
}

void SearchRun::SaveState()
{
    SearchWindow& w = m_s.window;
    SaveStateFile(
        m_s.statePath, { w.KeywordFileText(), KeywordIndex, w.DedupeChecked(), w.IntervalSetting() });
}

bool SearchRun::LoadState() { return LoadStateFile(m_s.statePath, *this); }

void SearchRun::RestoreKeywordFile(const QString& path) { m_s.window.SetKeywordFileText(path); }

void SearchRun::RestoreKeywordIndex(int value) { KeywordIndex = value; }

void SearchRun::RestoreDedupe(bool checked) { m_s.window.SetDedupeChecked(checked); }

void SearchRun::RestoreInterval(int seconds) { m_s.window.SetIntervalSetting(seconds); }

} // namespace tess::harvest
