#include "app/headless/HeadlessHarvest.h"

#include "browser/CompletionTracker.h"
#include "browser/webengine/ChromiumEnvironment.h"
#include "browser/webengine/NetworkRedirectFetcher.h"
#include "browser/webengine/WebEngineBrowserHost.h"
#include "harvest/HeadlessWindow.h"
#include "harvest/LocalAddress.h"
#include "harvest/RedirectResolver.h"
#include "harvest/RequestAddress.h"
#include "harvest/RuleCatalog.h"
#include "harvest/SearchRun.h"
#include "harvest/StateFile.h"
#include "harvest/Timer.h"
#include "io/FileDescriptor.h"
#include "text/Errors.h"
#include "tools/import/KeywordImport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tess::app {
namespace {

// The signal handler may only write to a pipe; the event loop reads the
// other end and stops the run from there, between two steps of it.
int g_signalPipe[2] = { -1, -1 };

extern "C" void onStopSignal(int signo)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

void say(const QString& text)
{
    std::fprintf(stderr, "tessaroon: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool isLoopbackHost(const QByteArray& address)
{
    const QByteArray host
        = harvest::ParseEngineAddress(address).value_or(harvest::EngineAddress { {}, address }).host;
    const QByteArray name = host.left(host.indexOf(':') < 0 ? host.size() : host.indexOf(':'));
    return name.startsWith("127.") || name == "localhost";
}

// One line that keeps being rewritten on a terminal; a line per page in a
// log file or a pipe.
class Progress {
public:
    Progress()
        : m_terminal(::isatty(STDERR_FILENO) == 1)
    {
        m_clock.start();
    }

    void page(int keyword, int keywords, int page, qint64 rows)
    {
        const double seconds = std::max<qint64>(m_clock.elapsed(), 1) / 1000.0;
        const QString line = QStringLiteral("keyword %1 of %2, page %3, %4 rows, %5 rows/s")
                                 .arg(keyword)
                                 .arg(keywords)
                                 .arg(page)
                                 .arg(rows)
                                 .arg(rows / seconds, 0, 'f', 1);
        if (m_terminal) {
            std::fprintf(stderr, "\r\033[K%s", line.toLocal8Bit().constData());
            m_open = true;
        } else {
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        }
        std::fflush(stderr);
    }

    // Ends the updating line before anything else is written.
    void breakLine()
    {
        if (m_open)
            std::fputc('\n', stderr);
        m_open = false;
    }

private:
    bool m_terminal;
    bool m_open = false;
    QElapsedTimer m_clock;
};

} // namespace

int runHeadlessHarvest(int argc, char** argv, const HarvestArguments& args)
{
    harvest::KeywordList keywords;
    try {
        keywords = tools::loadList(args.keywordFile);
    } catch (const text::AppError& e) {
        say(QStringLiteral("%1: %2").arg(args.keywordFile, e.message()));
        return HarvestFailed;
    }
    // The slice: positions from..to-1, so that one run's --to is the next
    // one's --from.
    const int end = static_cast<int>(std::min<qsizetype>(args.to.value_or(INT_MAX), keywords.size()));
    if (keywords.isEmpty()) {
        say(QStringLiteral("关键字列表文件中没有关键字：%1").arg(args.keywordFile));
        return HarvestFailed;
    }
    if (args.from >= end) {
        say(QStringLiteral("nothing to search: --from %1 is not before the slice's end (%2 of %3 keywords)")
                .arg(args.from)
                .arg(end)
                .arg(keywords.size()));
        return HarvestUsage;
    }
    keywords.resize(end);

    io::FileDescriptor outFile;
    int outFd = STDOUT_FILENO;
    if (!args.output.isEmpty()) {
        outFile = io::openForAppend(args.output, true);
        if (!outFile.isOpen()) {
            say(QStringLiteral("cannot write %1: %2").arg(args.output, systemError(errno)));
            return HarvestFailed;
        }
        outFd = outFile.get();
    }
    const QString outName = args.output.isEmpty() ? QStringLiteral("standard output") : args.output;
    harvest::RowWriter rows(outFd, args.format);
    if (!rows.begin()) {
        say(QStringLiteral("cannot write %1: %2").arg(outName, systemError(errno)));
        return HarvestFailed;
    }

    // No display is needed, and none is used even when there is one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    browser::prepareWebEngineEnvironment();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tessaroon"));
    // The browser's start-up report is for its developers, not for the log
    // of a harvest; QT_LOGGING_RULES still overrides this.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));

    // The rule sets: the built-in ones and the user's files.
    harvest::RuleCatalog catalog;
    catalog.loadFolder(harvest::DefaultRulesFolder());
    const QString rulesName = args.rules.isEmpty() ? harvest::ClassicRules().name : args.rules;
    const harvest::RuleSet* rules = catalog.find(rulesName);
    for (const QString& error : catalog.errors())
        say(error);
    if (!rules) {
        say(QStringLiteral("no rule set is named %1 (there are: %2)")
                .arg(rulesName, catalog.names().join(QStringLiteral(", "))));
        return HarvestUsage;
    }

    // A browser profile of the run's own, gone with it: the run goes beside
    // an open window and other runs, and none of them sees its cookies.
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        say(QStringLiteral("cannot create a temporary folder: %1").arg(scratch.errorString()));
        return HarvestFailed;
    }
    // Without --state the run's own saves land in the temporary folder,
    // never in the window's program folder.
    const QString statePath
        = args.stateFile.isEmpty() ? scratch.filePath(QLatin1String(harvest::StateFileName)) : args.stateFile;

    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        say(QStringLiteral("cannot create a pipe: %1").arg(systemError(errno)));
        return HarvestFailed;
    }

    int status = HarvestDone;
    int stopSignal = 0;
    bool finished = false;
    bool verification = false;
    Progress progress;
    {
        auto host
            = std::make_unique<browser::WebEngineBrowserHost>(scratch.filePath(QStringLiteral("browser")));
        browser::CompletionTracker tracker;
        tracker.attach(*host);
        browser::NetworkRedirectFetcher fetcher(host->profile());
        harvest::RedirectResolver resolver(fetcher);
        harvest::QtTimer pollTimer(harvest::SearchRun::PollIntervalAtStart);
        harvest::QtTimer watchdogTimer(harvest::SearchRun::WatchdogIntervalAtStart);
        harvest::HeadlessWindow window(
            { args.intervalSeconds, args.dedupe, args.keywordFile, args.from }, rows);
        std::unique_ptr<harvest::SearchRun> run;

        auto fail = [&](const QString& message) {
            progress.breakLine();
            say(message);
            if (status == HarvestDone)
                status = HarvestFailed;
            // The run goes no further: the page in flight, if any, is
            // harvested and the run finishes.
            if (run && !finished)
                run->Stop();
            if (finished)
                QTimer::singleShot(0, &application, &QCoreApplication::quit);
        };
        window.OnMessage = [&](const QString& text) { fail(text); };
        window.OnStatus = [&](const QString& text) {
            // The pause for a verification is told in a message of its own.
            if (text == QStringLiteral("清空IE数据...") || text == QStringLiteral("正在搜索...")
                || text == QStringLiteral("请在下方浏览器中完成验证，完成后自动继续"))
                return;
            progress.breakLine();
            say(text);
        };

        harvest::SearchRun::Services services { window, *host, tracker, pollTimer, watchdogTimer, statePath,
            // A sample engine on this machine needs no network.
            isLoopbackHost(args.engineHost)
                ? std::function<QString()>([] { return QStringLiteral("loopback"); })
                : std::function<QString()>(harvest::GetLocalAddress),
            // The browser data is fresh: nothing to clear, nothing to wait for.
            [](int) {}, {}, nullptr,
            [&](const std::function<void()>& tick) {
                try {
                    tick();
                } catch (const text::AppError& e) {
                    fail(e.message());
                } catch (const std::exception& e) {
                    fail(QString::fromLocal8Bit(e.what()));
                }
            },
            [&] {
                if (!rows.flush()) {
                    fail(QStringLiteral("cannot write %1: %2").arg(outName, systemError(errno)));
                    return;
                }
                progress.page(run->KeywordIndex, static_cast<int>(keywords.size()), run->PageOffset / 10,
                    rows.rowCount());
            },
            [&] {
                finished = true;
                QTimer::singleShot(0, &application, &QCoreApplication::quit);
            },
            &resolver,
            [&] {
                // No one is here to pass it: the run stops, the keyword
                // kept, and the run can be resumed once the engine lets
                // requests through again.
                verification = true;
                if (status == HarvestDone)
                    status = HarvestPagesMissing;
                progress.breakLine();
                say(QStringLiteral("the engine answered with its verification page (%1); "
                                   "no one is here to pass it, so the run stops")
                        .arg(host->snapshot().location.left(120)));
                QTimer::singleShot(0, &application, [&] {
                    if (!finished)
                        run->Stop();
                });
            } };
        run = std::make_unique<harvest::SearchRun>(std::move(services));
        run->setRules(*rules);
        if (!args.engineHost.isEmpty())
            run->setEngineHost(args.engineHost);
        run->keywordList() = keywords;

        QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
            unsigned char byte = 0;
            while (::read(g_signalPipe[0], &byte, 1) == 1) {
                if (stopSignal == 0) {
                    stopSignal = byte;
                    progress.breakLine();
                    say(QStringLiteral("stopping: the page in flight is harvested first"));
                }
                if (!finished)
                    run->Stop();
            }
        });
        struct sigaction action { };
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);

        try {
            run->Start();
        } catch (const text::AppError& e) {
            fail(e.message());
        }
        if (!finished && pollTimer.enabled())
            application.exec();
        else if (!finished && status == HarvestDone)
            status = HarvestFailed; // Start refused; its box is on standard error

        // The keyword in flight is searched again from its first page; a
        // keyword whose last page was read is done.
        // A keyword interrupted by a verification page is searched again.
        const int resume = run->MorePages || verification ? run->KeywordIndex - 1 : run->KeywordIndex;
        progress.breakLine();
        if ((stopSignal != 0 || status != HarvestDone) && run->KeywordIndex > args.from && resume < end)
            say(QStringLiteral("stopped; resume with --from %1").arg(resume));
        if (!args.stateFile.isEmpty()) {
            try {
                harvest::SaveStateFile(args.stateFile,
                    { window.KeywordFileText(), resume + 1, window.DedupeChecked(),
                        window.IntervalSetting() });
            } catch (const text::AppError& e) {
                say(e.message());
                status = HarvestFailed;
            }
        }
        if (status == HarvestDone && run->FailedPages > 0)
            status = HarvestPagesMissing;
        run.reset();
        host.reset();
        // The profile writes its last state just after the host is gone;
        // the temporary folder goes once it has.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    if (stopSignal == SIGINT)
        return HarvestInterrupted;
    if (stopSignal == SIGTERM)
        return HarvestTerminated;
    return status;
}

} // namespace tess::app
