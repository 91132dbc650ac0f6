#include "app/headless/HeadlessSupport.h"

#include "app/headless/ProgressLine.h"
#include "app/headless/StopSignals.h"
#include "browser/webengine/ChromiumEnvironment.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "harvest/LocalAddress.h"
#include "harvest/RunTexts.h"
#include "io/FileDescriptor.h"
#include "io/FileReader.h"
#include "io/PathName.h"
#include "text/Errors.h"
#include "tools/import/KeywordImport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>

namespace tess::app::headless {

namespace {

bool isLoopbackHost(const QByteArray& host)
{
    const QByteArray name = host.left(host.indexOf(':') < 0 ? host.size() : host.indexOf(':'));
    return name.startsWith("127.") || name == "localhost";
}

bool allOnLoopback(const QList<harvest::SearchEngine>& engines)
{
    return std::all_of(engines.begin(), engines.end(),
        [](const harvest::SearchEngine& engine) { return isLoopbackHost(engine.address.host); });
}

} // namespace

std::optional<QString> noticeText(const harvest::RunNotice& notice)
{
    switch (notice.kind) {
    case harvest::RunNoticeKind::ClearingBrowserData:
    case harvest::RunNoticeKind::Searching:
    case harvest::RunNoticeKind::VerificationNeeded:
    case harvest::RunNoticeKind::EngineSkipped:
        return std::nullopt;
    default:
        return harvest::runNoticeText(notice);
    }
}

std::optional<harvest::KeywordList> readKeywords(const QString& path)
{
    QByteArray bytes;
    try {
        bytes = io::readWholeFile(path);
    } catch (const text::AppError& e) {
        say(QStringLiteral("%1: %2").arg(path, e.message()));
        return std::nullopt;
    }
    // Read as GBK, UTF-16 text is one keyword of garbage.
    if (const std::optional<QString> utf16 = tools::detectUtf16(bytes)) {
        say(QStringLiteral("%1: the keyword file is %2 text, which is not read; save it as GBK and run again")
                .arg(path, *utf16));
        return std::nullopt;
    }
    harvest::KeywordList keywords = tools::splitList(bytes);
    // As 导入 says it: keywords end at a lone CR or a NUL byte too, and
    // nothing after a NUL byte is read.
    const qsizetype lines = tools::countLines(bytes);
    if (lines != keywords.size())
        say(QStringLiteral("%1: file has %2 lines, %3 keywords read")
                .arg(path)
                .arg(lines)
                .arg(keywords.size()));
    return keywords;
}

bool isOpenFile(const QString& path, int fd)
{
    struct stat named { };
    struct stat open { };
    return ::stat(io::encodePath(path).constData(), &named) == 0 && ::fstat(fd, &open) == 0
        && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

bool sameFile(const QString& a, const QString& b)
{
    const io::FileDescriptor file(::open(io::encodePath(a).constData(), O_PATH | O_CLOEXEC));
    return file.isOpen() && isOpenFile(b, file.get());
}

void prepareApplication()
{
    // No display is needed, and none is used even when there is one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    browser::prepareWebEngineEnvironment();
}

void setUpApplication()
{
    QApplication::setApplicationName(QStringLiteral("tessaroon"));
    // The browser's start-up report is for its developers, not for the log
    // of a harvest; QT_LOGGING_RULES still overrides this.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

std::optional<QList<harvest::SearchEngine>> lookUpEngines(
    const QString& rules, const QList<QByteArray>& engineHosts, const QString& command)
{
    const RuleChoice choice = chooseRules(rules, harvest::classicRules().name);
    for (const harvest::RuleFileNotTaken& error : choice.errors)
        say(error.message);
    if (choice.chosen.isEmpty()) {
        say(choice.unknownMessage);
        return std::nullopt;
    }
    QList<harvest::SearchEngine> engines;
    for (const harvest::RuleSet& set : choice.chosenSets())
        engines.append(harvest::engineOnDefaultHost(set));
    if (const std::optional<QString> wrong = harvest::applyEngineHosts(engines, engineHosts)) {
        say(QStringLiteral("%1: %2").arg(command, *wrong));
        return std::nullopt;
    }
    return engines;
}

HarvestAssembly::Options assemblyOptions(harvest::SearchWindow& window, const QString& scratchFolder,
    const QList<harvest::SearchEngine>& engines, const QString& statePath,
    const std::function<void(const QString& message)>& fail)
{
    // A sample engine on this machine needs no network.
    std::function<QString()> localAddress = harvest::getLocalAddress;
    if (allOnLoopback(engines))
        localAddress = [] { return QStringLiteral("loopback"); };
    QList<harvest::RuleSet> ruleSets;
    QList<QByteArray> hosts;
    for (const harvest::SearchEngine& engine : engines) {
        ruleSets.append(engine.rules);
        const harvest::EngineAddress& a = engine.address;
        hosts.append(
            engine.rules.name.toUtf8() + '=' + (a.scheme.isEmpty() ? a.host : a.scheme + "://" + a.host));
    }
    return {
        .window = window,
        .profileFolder = QDir(scratchFolder).filePath(QStringLiteral("browser")),
        .ruleSets = ruleSets,
        .engineHosts = hosts,
        .statePath = statePath,
        .localAddress = localAddress,
        // The browser data is fresh: nothing to clear, nothing to wait for.
        .pause = [](int) {},
        .runTick =
            [fail](const std::function<void()>& tick) {
                try {
                    tick();
                } catch (const text::AppError& e) {
                    fail(e.message());
                } catch (const std::exception& e) {
                    fail(QString::fromLocal8Bit(e.what()));
                }
            },
    };
}

QString verificationText(const QString& name, const QString& location)
{
    return QStringLiteral("the engine %1 answered with its verification page (%2); "
                          "no one is here to pass it, so %1 is dropped for the rest of the run")
        .arg(name, location.left(120));
}

void settleAfterBrowser()
{
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

int exitStatus(int signo, int status)
{
    // SIGHUP, SIGINT and SIGTERM, as the shell reports them.
    return signo != 0 ? 128 + signo : status;
}

RunDriver::RunDriver(QString stopNote)
    : m_stopNote(std::move(stopNote))
{
}

RunDriver::~RunDriver() = default;

void RunDriver::fail(const QString& message)
{
    m_progress.breakLine();
    say(message);
    if (m_status == HarvestDone)
        m_status = HarvestFailed;
    if (assembly() && !m_finished)
        assembly()->run().stop();
    if (m_finished)
        runFinished();
}

void RunDriver::onVerificationNeeded()
{
    if (m_status == HarvestDone)
        m_status = HarvestPagesMissing;
    m_progress.breakLine();
    say(verificationText(assembly()->run().rules().name, assembly()->browserHost().snapshot().location));
    QTimer::singleShot(0, qApp, [this] {
        if (!m_finished && assembly())
            assembly()->run().skipEngine();
    });
}

void RunDriver::onStopSignal()
{
    while (const int signo = stopsignals::take()) {
        if (m_stopSignal == 0) {
            m_stopSignal = signo;
            m_progress.breakLine();
            say(m_stopNote);
        }
        if (!m_finished && assembly())
            assembly()->run().stop();
    }
}

void RunDriver::runToEnd()
{
    m_signalNotifier = std::make_unique<QSocketNotifier>(stopsignals::readEnd(), QSocketNotifier::Read);
    QObject::connect(m_signalNotifier.get(), &QSocketNotifier::activated, [this] { onStopSignal(); });
    stopsignals::catchSignals();
    try {
        assembly()->run().start();
    } catch (const text::AppError& e) {
        fail(e.message());
    }
    if (!m_finished && assembly()->pollTimer().enabled())
        QCoreApplication::exec();
    else if (!m_finished && m_status == HarvestDone)
        m_status = HarvestFailed; // the start refused; its box is on standard error
}

void RunDriver::runFinished()
{
    m_finished = true;
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

} // namespace tess::app::headless
