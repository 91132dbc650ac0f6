#include "harvest/SearchRun.h"

#include "harvest/LocalAddress.h"
#include "harvest/RequestAddress.h"
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
    , m_engineHost(DefaultEngineHost)
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
    RequestBase = BuildRequestBase(m_engineHost, keyword);
}

bool SearchRun::TakeSendableKeyword()
{
    for (;;) {
        TakeKeyword();
        // The last page's request is the longest a keyword makes.
        if (RequestAddress(RequestBase, (MaxPagesPerKeyword - 1) * 10).size() <= MaxRequestAddress)
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
    const QByteArray address = RequestAddress(RequestBase, PageOffset);
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
    // The window is idle again whatever becomes of the state file; a
    // failed save is reported after that.
    QString finished = QStringLiteral("搜索已经结束！");
    if (FailedPages > 0 || SkippedKeywords > 0)
        finished += QStringLiteral("（%1 页未能载入，%2 个关键字过长被跳过）")
                        .arg(FailedPages)
                        .arg(SkippedKeywords);
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
    // Only the document of the request counts: not an error page, not a
    // page that took the browser to another site.
    const QByteArray requestDomain = SiteDomain(m_requestAddress);
    if (page.loadFailed) {
        GiveUpPage(page.failure);
    } else if (!m_requestAddress.isEmpty() && !requestDomain.isEmpty()
        && !text::toGbk(page.location).contains(requestDomain)) {
        GiveUpPage(QStringLiteral("网页已转到别的网站：%1").arg(page.location.left(80)));
    } else {
        MorePages = ReadPagerState(text::toGbk(m_s.browser.BodyText()));
        // PageOffset already names the following page: the last page read
        // for a keyword is the one at offset 740.
        if (PageOffset >= MaxPagesPerKeyword * 10)
            MorePages = false;
        HarvestLinks();
        if (m_s.pageHarvested)
            m_s.pageHarvested();
    }
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

    const QByteArray location = text::toGbk(m_s.browser.LocationURL());
    if (location.isEmpty())
        return;
    const QByteArray siteDomain = SiteDomain(location);
    m_pageLinks.clear();

    const bool acrossPages = w.DedupeChecked();
    const int count = m_s.browser.LinkCount();
    for (int i = 0; i < count; ++i) {
        const QByteArray href = text::toGbk(m_s.browser.LinkHref(i));
        if (!IsOutboundLink(href, siteDomain) || m_pageLinks.contains(href))
            continue;
        if (acrossPages && m_runLinks.contains(href))
            continue;
        m_pageLinks.add(href);
        m_runLinks.add(href);
        const QByteArray linkText = text::toGbk(m_s.browser.LinkText(i));
        w.AppendResult(href, linkText);
        if (m_s.log)
            m_s.log->append(href, linkText);
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
