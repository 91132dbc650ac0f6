#include "app/headless/HeadlessHarvest.h"

#include "app/HarvestAssembly.h"
#include "app/headless/HeadlessSupport.h"
#include "app/headless/ProgressLine.h"
#include "app/headless/StopSignals.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "harvest/HeadlessWindow.h"
#include "harvest/RequestAddress.h"
#include "harvest/ResultsLog.h"
#include "harvest/RunTexts.h"
#include "harvest/SearchEngine.h"
#include "harvest/SearchRun.h"
#include "harvest/StateFile.h"
#include "harvest/WorkbookWriter.h"
#include "io/FileDescriptor.h"
#include "io/PathName.h"
#include "io/SystemCalls.h"
#include "io/TemporaryFiles.h"
#include "sites/SiteAddress.h"
#include "text/Errors.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

namespace tess::app {
namespace {

using headless::isOpenFile;
using headless::noticeText;
using headless::readKeywords;
using headless::sameFile;

// The keywords of the slice: positions from..to-1, so that one run's --to
// is the next one's --from. Nothing, with the exit status, when there is
// nothing to search.
std::variant<harvest::KeywordList, int> readSlice(const HarvestArguments& args)
{
    std::optional<harvest::KeywordList> keywords = readKeywords(args.keywordFile);
    if (!keywords)
        return HarvestFailed;
    const int end = static_cast<int>(std::min<qsizetype>(args.to.value_or(INT_MAX), keywords->size()));
    if (keywords->isEmpty()) {
        say(QStringLiteral("关键字列表文件中没有关键字：%1").arg(args.keywordFile));
        return HarvestFailed;
    }
    if (args.from >= end) {
        say(QStringLiteral("nothing to search: --from %1 is not before the slice's end (%2 of %3 keywords)")
                .arg(args.from)
                .arg(end)
                .arg(keywords->size()));
        return HarvestUsage;
    }
    keywords->resize(end);
    return std::move(*keywords);
}

// The files of the command line that must be distinct, so that nothing
// writes over what the run reads: the message when two are one.
std::optional<QString> sharedFile(const HarvestArguments& args)
{
    const QString& keywords = args.keywordFile;
    if (!args.output.isEmpty() && sameFile(args.output, keywords))
        return QStringLiteral("harvest: -o %1 is the keyword file %2: the rows would replace the keywords")
            .arg(args.output, keywords);
    if (args.output.isEmpty() && isOpenFile(keywords, STDOUT_FILENO))
        return QStringLiteral("harvest: standard output is the keyword file %1: the rows would go into it")
            .arg(keywords);
    if (!args.output.isEmpty() && !args.stateFile.isEmpty() && sameFile(args.output, args.stateFile))
        return QStringLiteral("harvest: -o %1 is the state file %2: the position would replace the rows")
            .arg(args.output, args.stateFile);
    if (!args.output.isEmpty() && !args.dropListed.isEmpty() && sameFile(args.output, args.dropListed))
        return QStringLiteral("harvest: -o %1 is the --drop-listed file %2: the rows would replace the list")
            .arg(args.output, args.dropListed);
    if (!args.stateFile.isEmpty() && sameFile(args.stateFile, keywords))
        return QStringLiteral(
            "harvest: --state %1 is the keyword file %2: the position would replace the keywords")
            .arg(args.stateFile, keywords);
    return std::nullopt;
}

// Where the rows go: the file named by -o, or standard output.
struct Output {
    io::FileDescriptor file;
    int fd = STDOUT_FILENO;
    QString name = QStringLiteral("standard output");
};

// Opens the file -o names without erasing anything in it unasked: one that
// holds something already is added to with --append, emptied with --force,
// and refused otherwise. The exit status when it cannot be used.
std::optional<int> openOutputFile(const HarvestArguments& args, Output& out)
{
    out.file = io::openForAppend(args.output, false);
    if (!out.file.isOpen()) {
        say(QStringLiteral("cannot write %1: %2").arg(args.output, systemError(errno)));
        return HarvestFailed;
    }
    out.fd = out.file.get();
    out.name = args.output;
    struct stat st { };
    if (::fstat(out.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return std::nullopt;
    switch (args.existingOutput) {
    case HarvestArguments::ExistingOutput::Refuse:
        say(QStringLiteral("harvest: %1 already holds %2 bytes; to add the rows after them give --append, "
                           "to replace them give --force")
                .arg(args.output)
                .arg(st.st_size));
        return HarvestUsage;
    case HarvestArguments::ExistingOutput::Replace:
        if (io::systemCalls().ftruncate(out.fd, 0) != 0) {
            say(QStringLiteral("cannot write %1: %2").arg(args.output, systemError(errno)));
            return HarvestFailed;
        }
        return std::nullopt;
    case HarvestArguments::ExistingOutput::Append:
        return std::nullopt;
    }
    return std::nullopt;
}

// Where a workbook's rows wait while the run goes: whole rows of the
// scratch file's layout, which a crash leaves for the user.
QString workbookRowsPath(const QString& output) { return output + QStringLiteral(".rows.txt"); }

// A workbook is written only at the end: the target is left alone until
// then, but what would refuse it then refuses the run now.
std::optional<int> checkWorkbookTarget(const HarvestArguments& args)
{
    struct stat st { };
    if (::stat(io::encodePath(workbookRowsPath(args.output)).constData(), &st) == 0) {
        say(QStringLiteral("harvest: %1 holds the rows of a run that did not finish; save them or delete "
                           "the file, then run again")
                .arg(workbookRowsPath(args.output)));
        return HarvestUsage;
    }
    if (::stat(io::encodePath(args.output).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0
        && args.existingOutput != HarvestArguments::ExistingOutput::Replace) {
        say(QStringLiteral("harvest: %1 already holds %2 bytes; to replace it give --force")
                .arg(args.output)
                .arg(st.st_size));
        return HarvestUsage;
    }
    return std::nullopt;
}

// Opens the output and writes its preamble; the exit status when either
// fails (the message is out).
std::optional<int> openOutput(
    const HarvestArguments& args, Output& out, std::optional<harvest::RowWriter>& rows, bool withEngine)
{
    if (args.format == harvest::RowFormat::Xlsx)
        return checkWorkbookTarget(args);
    if (!args.output.isEmpty())
        if (const std::optional<int> status = openOutputFile(args, out))
            return status;
    rows.emplace(
        out.fd, args.format, args.columns.value_or(harvest::defaultRowColumns(args.format, withEngine)));
    if (!rows->begin()) {
        say(QStringLiteral("cannot write %1: %2").arg(out.name, systemError(errno)));
        return HarvestFailed;
    }
    return std::nullopt;
}

// What a harvest runs with, its keywords read and its output open.
struct RunSetting {
    const HarvestArguments& args;
    harvest::KeywordList keywords;
    harvest::RowWriter* rows; // none for a workbook
    QString outName;
    QString scratchFolder; // the run's own, for its browser profile
    QString statePath;
    QList<harvest::SearchEngine> engines;
    sites::SiteList excludedSites;
};

// One harvest from its start to its exit status, on the application's
// event loop.
class HeadlessRun final : public headless::RunDriver {
public:
    explicit HeadlessRun(RunSetting setting);

    // Runs the harvest to its end; the exit status.
    int exec();

private:
    HarvestAssembly* assembly() override { return m_harvest.get(); }
    HarvestAssembly::Options assemblyOptions();
    void onNotice(const harvest::RunNotice& notice);
    void onPageHarvested();
    void keepPosition();
    void sayDroppedEngines(const harvest::RunEnd& end);
    void sayIfNothingSearched(const harvest::RunEnd& end);
    void tearDown();
    void writeWorkbook();
    qint64 rowCount() const { return m_log.rowCount(); }

    RunSetting m_setting;
    harvest::HeadlessWindow m_window;
    // Every row with where it came from: passed on to the output as it
    // comes, or kept beside the workbook until it is written.
    harvest::ResultsLog m_log;
    std::unique_ptr<HarvestAssembly> m_harvest;
    // The first keyword some of whose rows the output refused.
    std::optional<int> m_undelivered;
};

HeadlessRun::HeadlessRun(RunSetting setting)
    : RunDriver(QStringLiteral("stopping: the page in flight is harvested first"))
    , m_setting(std::move(setting))
    , m_window({ m_setting.args.intervalSeconds, m_setting.args.dedupe, m_setting.args.keywordFile,
          m_setting.args.from })
    , m_log(m_setting.rows ? QDir(m_setting.scratchFolder).filePath(QStringLiteral("rows.txt"))
                           : workbookRowsPath(m_setting.args.output))
{
    if (harvest::RowWriter* rows = m_setting.rows)
        m_log.onAppend = [rows](const harvest::HarvestedRow& row) { rows->append(row); };
    else
        m_log.onWriteFailure = [this](const QString&) {
            fail(QStringLiteral("cannot write %1: the rows are kept in memory until the workbook is written")
                     .arg(m_log.path()));
        };
    m_window.onMessage = [this](const QString& text) { fail(text); };
    m_window.onNotice = [this](const harvest::RunNotice& notice) { onNotice(notice); };
    m_harvest = std::make_unique<HarvestAssembly>(assemblyOptions());
    m_harvest->run().keywordList() = m_setting.keywords;
    m_harvest->run().setOnePerSite(m_setting.args.onePerSite);
    m_harvest->run().setExcludedSites(m_setting.excludedSites);
    m_harvest->run().setTakeAds(m_setting.args.takeAds);
}

HarvestAssembly::Options HeadlessRun::assemblyOptions()
{
    HarvestAssembly::Options options = headless::assemblyOptions(m_window, m_setting.scratchFolder,
        m_setting.engines, m_setting.statePath, [this](const QString& message) { fail(message); });
    options.log = &m_log;
    options.pageHarvested = [this] { onPageHarvested(); };
    options.finished = [this](const harvest::RunEnd&) { runFinished(); };
    options.verificationNeeded = [this] { onVerificationNeeded(); };
    return options;
}

void HeadlessRun::onNotice(const harvest::RunNotice& notice)
{
    if (const std::optional<QString> text = noticeText(notice)) {
        m_progress.breakLine();
        say(*text);
    }
}

void HeadlessRun::onPageHarvested()
{
    const harvest::SearchRun& run = m_harvest->run();
    if (m_setting.rows && !m_setting.rows->flush()) {
        // The page is its keyword's: the keyword has to be searched again.
        if (!m_undelivered)
            m_undelivered = run.keywordIndex() - 1;
        fail(QStringLiteral("cannot write %1: %2").arg(m_setting.outName, systemError(errno)));
        return;
    }
    m_progress.page(
        run.keywordIndex(), static_cast<int>(m_setting.keywords.size()), run.pageIndex(), rowCount());
}

// Tells the position that resumes the run, and keeps it in the state file.
void HeadlessRun::keepPosition()
{
    const HarvestArguments& args = m_setting.args;
    const harvest::RunEnd end = m_harvest->run().endReport();
    // The keyword in flight is searched again from its first page; a
    // keyword whose last page was read is done.
    int resume = end.morePages ? end.keywordIndex - 1 : end.keywordIndex;
    // A keyword counts as done only once all of its rows are out.
    if (m_undelivered)
        resume = std::min(resume, *m_undelivered);
    m_progress.breakLine();
    if ((m_stopSignal != 0 || m_status != HarvestDone) && end.keywordIndex > args.from
        && resume < m_setting.keywords.size())
        say(QStringLiteral("stopped; resume with --from %1").arg(resume));
    if (!args.stateFile.isEmpty()) {
        try {
            harvest::saveStateFile(args.stateFile,
                { m_window.keywordFileText(), resume + 1, m_window.dedupeChecked(),
                    m_window.intervalSetting() });
        } catch (const text::AppError& e) {
            say(e.message());
            m_status = HarvestFailed;
        }
    }
    if (m_status == HarvestDone && end.counts.failedPages > 0)
        m_status = HarvestPagesMissing;
    sayDroppedEngines(end);
    sayIfNothingSearched(end);
}

// How to search again what each engine dropped at its verification page
// left out: that engine alone, from the keyword it was on.
void HeadlessRun::sayDroppedEngines(const harvest::RunEnd& end)
{
    for (const harvest::EngineTally& engine : end.counts.engines) {
        if (!engine.dropped)
            continue;
        say(QStringLiteral("%1 was dropped at keyword %2; resume it with --rules %1 --from %2")
                .arg(engine.name)
                .arg(engine.droppedAtKeyword));
    }
}

// A run that went through its keywords without asking for one of them
// searched nothing, whatever its end says.
void HeadlessRun::sayIfNothingSearched(const harvest::RunEnd& end)
{
    const harvest::RunCounts& counts = end.counts;
    const int taken = end.keywordIndex - m_setting.args.from;
    if (m_stopSignal != 0 || m_status != HarvestDone || end.keywordIndex < m_setting.keywords.size()
        || counts.skippedKeywords + counts.blankKeywords < taken)
        return;
    m_status = HarvestPagesMissing;
    if (counts.blankKeywords == 0)
        say(QStringLiteral("nothing was searched because every keyword was too long (%1 skipped)")
                .arg(counts.skippedKeywords));
    else if (counts.skippedKeywords == 0)
        say(QStringLiteral("nothing was searched because every keyword was blank (%1 skipped)")
                .arg(counts.blankKeywords));
    else
        say(QStringLiteral("nothing was searched because every keyword was too long or blank "
                           "(%1 too long, %2 blank)")
                .arg(counts.skippedKeywords)
                .arg(counts.blankKeywords));
}

void HeadlessRun::tearDown()
{
    m_harvest.reset();
    headless::settleAfterBrowser();
}

// The workbook from the rows kept beside it, whole, at the end of the run
// however it ended; the rows go once it is written.
void HeadlessRun::writeWorkbook()
{
    if (m_setting.rows)
        return;
    try {
        const harvest::RowColumns columns
            = m_setting.args.columns.value_or(harvest::defaultRowColumns(harvest::RowFormat::Xlsx, false));
        harvest::saveWorkbook(m_setting.args.output, columns, m_log.rows());
        m_log.remove();
    } catch (const text::AppError& e) {
        m_progress.breakLine();
        say(QStringLiteral("%1; the rows are in %2").arg(e.message(), m_log.path()));
        m_status = HarvestFailed;
    }
}

int HeadlessRun::exec()
{
    runToEnd();
    writeWorkbook();
    keepPosition();
    tearDown();
    stopsignals::release();
    return headless::exitStatus(m_stopSignal, m_status);
}

} // namespace

int runHeadlessHarvest(int argc, char** argv, const HarvestArguments& args)
{
    if (const std::optional<QString> shared = sharedFile(args)) {
        say(*shared);
        return HarvestUsage;
    }
    auto slice = readSlice(args);
    if (const int* status = std::get_if<int>(&slice))
        return *status;
    // A reader of the rows that goes away is a failed write like a full
    // disk, told and resumable, not a silent end.
    ::signal(SIGPIPE, SIG_IGN);
    for (const QString& written : { args.output, args.stateFile })
        io::removeStaleTemporaryFilesBeside(written); // what a killed run left there
    headless::prepareApplication();
    QApplication application(argc, argv);
    headless::setUpApplication();
    const std::optional<QList<harvest::SearchEngine>> engines
        = headless::lookUpEngines(args.rules, args.engineHosts, QStringLiteral("harvest"));
    if (!engines)
        return HarvestUsage;
    sites::SiteList excluded;
    try {
        if (!args.dropListed.isEmpty())
            excluded = sites::SiteList::load(args.dropListed);
    } catch (const text::AppError& e) {
        say(QStringLiteral("--drop-listed %1: %2").arg(args.dropListed, e.message()));
        return HarvestFailed;
    }
    Output output;
    std::optional<harvest::RowWriter> rows;
    // Rows from more than one engine say which one.
    if (const std::optional<int> status = openOutput(args, output, rows, engines->size() > 1))
        return *status;

    // A browser profile of the run's own, gone with it: the run goes beside
    // an open window and other runs, and none of them sees its cookies.
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        say(QStringLiteral("cannot create a temporary folder: %1").arg(scratch.errorString()));
        return HarvestFailed;
    }
    // Without --state the run's own saves land in the temporary folder,
    // never in the window's program folder.
    const QString statePath = args.stateFile.isEmpty()
        ? scratch.filePath(QLatin1String(harvest::kStateFileName))
        : args.stateFile;
    if (!stopsignals::open()) {
        say(QStringLiteral("cannot create a pipe: %1").arg(systemError(errno)));
        return HarvestFailed;
    }
    HeadlessRun run({ args, std::get<harvest::KeywordList>(std::move(slice)), rows ? &*rows : nullptr,
        output.name, scratch.path(), statePath, *engines, std::move(excluded) });
    return run.exec();
}

} // namespace tess::app
