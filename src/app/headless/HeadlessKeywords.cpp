#include "app/headless/HeadlessKeywords.h"

#include "app/HarvestAssembly.h"
#include "app/headless/HeadlessHarvest.h"
#include "app/headless/HeadlessSupport.h"
#include "app/headless/ProgressLine.h"
#include "app/headless/StopSignals.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "harvest/HeadlessWindow.h"
#include "harvest/RowFormats.h"
#include "harvest/StateFile.h"
#include "io/FileReplace.h"
#include "io/TemporaryFiles.h"
#include "text/Errors.h"
#include "tools/merge/MemoryBudget.h"
#include "tools/mining/KeywordMiner.h"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <memory>
#include <unistd.h>
#include <variant>

namespace tess::app {
namespace {

// Standard output as the target of the keywords.
class StandardOutput final : public io::ContentSink {
public:
    void write(const char* data, qsizetype size) override
    {
        while (size > 0) {
            const ssize_t n = ::write(STDOUT_FILENO, data, size_t(size));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw text::AppError(
                    QStringLiteral("cannot write standard output: %1").arg(systemError(n < 0 ? errno : EIO)));
            data += n;
            size -= n;
        }
    }
};

// What a mining run goes with, its seeds taken.
struct MiningSetting {
    const KeywordsArguments& args;
    tools::KeywordMiner& miner;
    QString scratchFolder; // the run's own, for its browser profile
    QList<harvest::SearchEngine> engines;
};

// One mining run from its start to its exit status, on the application's
// event loop: the search run asks the keywords the miner hands out, and
// the miner takes each page's related searches.
class MiningRun final : public headless::RunDriver {
public:
    explicit MiningRun(MiningSetting setting);

    // Mines to the end and writes the keywords; the exit status.
    int exec();

private:
    HarvestAssembly* assembly() override { return m_harvest.get(); }
    void onRelated(int index, const QList<QString>& related);
    void feedRun();
    void writeKeywords();

    MiningSetting m_setting;
    harvest::HeadlessWindow m_window;
    std::unique_ptr<HarvestAssembly> m_harvest;
    bool m_full = false; // the list is full: the run was stopped for it
};

MiningRun::MiningRun(MiningSetting setting)
    : RunDriver(QStringLiteral("stopping: the page in flight is read first; every keyword found is kept"))
    , m_setting(std::move(setting))
    , m_window({ m_setting.args.intervalSeconds, false, m_setting.args.seedFile, 0 })
{
    m_window.onMessage = [this](const QString& text) { fail(text); };
    m_window.onNotice = [this](const harvest::RunNotice& notice) {
        // Stopping for a full list is the run's end, not news.
        if (m_full && notice.kind == harvest::RunNoticeKind::Stopping)
            return;
        if (const std::optional<QString> text = headless::noticeText(notice)) {
            m_progress.breakLine();
            say(*text);
        }
    };
    HarvestAssembly::Options options = headless::assemblyOptions(m_window, m_setting.scratchFolder,
        m_setting.engines, QDir(m_setting.scratchFolder).filePath(QLatin1String(harvest::kStateFileName)),
        [this](const QString& message) { fail(message); });
    options.finished = [this](const harvest::RunEnd&) { runFinished(); };
    options.verificationNeeded = [this] { onVerificationNeeded(); };
    options.relatedSearchesRead = [this](int index, const QByteArray&, const QString&,
                                      const QList<QString>& related) { onRelated(index, related); };
    m_harvest = std::make_unique<HarvestAssembly>(std::move(options));
    m_harvest->run().setMining(true);
    feedRun();
}

// Hands the run every keyword there is to ask so far: those of a depth to
// ask are few enough to hold, being asked one an interval.
void MiningRun::feedRun()
{
    while (const std::optional<QByteArray> keyword = m_setting.miner.nextToAsk())
        m_harvest->run().keywordList().append(*keyword);
}

void MiningRun::onRelated(int index, const QList<QString>& related)
{
    tools::KeywordMiner& miner = m_setting.miner;
    try {
        miner.addRelated(index, related);
        feedRun();
    } catch (const text::AppError& e) {
        // The temporary file refused them (a full disk): the run ends here,
        // once this page is done, with what the file holds.
        fail(e.message());
        return;
    }
    m_progress.mining(miner.depthOf(index), m_harvest->run().keywordIndex(), miner.toAsk(), miner.size());
    if (!miner.full() || m_full)
        return;
    m_full = true;
    m_progress.breakLine();
    if (!miner.stopMessage().isEmpty())
        say(miner.stopMessage());
    else
        say(QStringLiteral("--max %1 reached; nothing more is asked").arg(m_setting.args.max));
    m_harvest->run().stop();
}

void MiningRun::writeKeywords()
{
    m_progress.breakLine();
    const QString& output = m_setting.args.output;
    try {
        if (output.isEmpty()) {
            StandardOutput out;
            m_setting.miner.writeTo(out);
        } else {
            m_setting.miner.save(output);
        }
    } catch (const text::AppError& e) {
        say(output.isEmpty() ? e.message() : QStringLiteral("%1: %2").arg(output, e.message()));
        m_status = HarvestFailed;
        return;
    }
    say(QStringLiteral("keywords done: %1 found, %2 asked")
            .arg(m_setting.miner.size())
            .arg(m_harvest->run().keywordIndex()));
}

int MiningRun::exec()
{
    // Seeds up to --max leave nothing to ask.
    if (m_harvest->run().keywordList().isEmpty())
        say(QStringLiteral("--max %1 reached; nothing more is asked").arg(m_setting.args.max));
    else
        runToEnd();
    const harvest::RunEnd end = m_harvest->run().endReport();
    if (m_status == HarvestDone && end.counts.failedPages > 0)
        m_status = HarvestPagesMissing;
    writeKeywords();
    m_harvest.reset();
    headless::settleAfterBrowser();
    stopsignals::release();
    return headless::exitStatus(m_stopSignal, m_status);
}

// The miner with the seed file's keywords; the exit status when there is
// nothing to mine from.
std::variant<std::unique_ptr<tools::KeywordMiner>, int> seededMiner(const KeywordsArguments& args)
{
    const std::optional<harvest::KeywordList> seeds = headless::readKeywords(args.seedFile);
    if (!seeds)
        return HarvestFailed;
    std::unique_ptr<tools::KeywordMiner> miner;
    try {
        miner = std::make_unique<tools::KeywordMiner>(tools::MiningOptions { .depth = args.depth,
            .max = args.max,
            .require = args.require,
            .exclude = args.exclude,
            .memoryBudget = tools::raisedToMinimum(args.memoryBudget, stderr) });
    } catch (const text::AppError& e) {
        say(e.message());
        return HarvestFailed;
    }
    for (const QByteArray& seed : *seeds)
        miner->addSeed(seed);
    if (miner->size() == 0) {
        say(QStringLiteral("keywords: the seed file %1 holds no keyword").arg(args.seedFile));
        return HarvestFailed;
    }
    return miner;
}

} // namespace

int runHeadlessKeywords(int argc, char** argv, const KeywordsArguments& args)
{
    auto seeded = seededMiner(args);
    if (const int* status = std::get_if<int>(&seeded))
        return *status;
    tools::KeywordMiner& miner = *std::get<std::unique_ptr<tools::KeywordMiner>>(seeded);
    // A reader of the keywords that goes away is a failed write, told.
    ::signal(SIGPIPE, SIG_IGN);
    io::removeStaleTemporaryFilesBeside(args.output); // what a killed run left there
    headless::prepareApplication();
    QApplication application(argc, argv);
    headless::setUpApplication();
    const std::optional<QList<harvest::SearchEngine>> engines
        = headless::lookUpEngines(args.rules, args.engineHosts, QStringLiteral("keywords"));
    if (!engines)
        return HarvestUsage;
    // A browser profile of the run's own, gone with it.
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        say(QStringLiteral("cannot create a temporary folder: %1").arg(scratch.errorString()));
        return HarvestFailed;
    }
    if (!stopsignals::open()) {
        say(QStringLiteral("cannot create a pipe: %1").arg(systemError(errno)));
        return HarvestFailed;
    }
    MiningRun run({ args, miner, scratch.path(), *engines });
    return run.exec();
}

} // namespace tess::app
