#pragma once

#include "app/HarvestAssembly.h"
#include "app/headless/HeadlessHarvest.h"
#include "app/headless/ProgressLine.h"
#include "harvest/RunNews.h"
#include "harvest/SearchEngine.h"
#include "harvest/SearchRun.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QSocketNotifier;

#include <functional>
#include <memory>
#include <optional>

// What the headless commands that drive the search run (harvest, keywords)
// share: the application and its browser, the engines, the keyword file.
namespace tess::app::headless {

// What of the run's news goes to standard error: nothing of its start or of
// its pause for a verification, which is told in a message of its own.
std::optional<QString> noticeText(const harvest::RunNotice& notice);

// The keyword file's keywords as 导入 reads them. Nothing when the file
// cannot be read or is not in a form the run reads (the message is out).
std::optional<harvest::KeywordList> readKeywords(const QString& path);

// Whether the file `path` names is the one open as `fd`, links followed.
bool isOpenFile(const QString& path, int fd);
// Whether `a` and `b` name one file, by any links or spellings.
bool sameFile(const QString& a, const QString& b);

// Makes the application the browser needs, offscreen; before the
// application object.
void prepareApplication();
// After it.
void setUpApplication();

// The engines `rules` names (the classic rules by default) on the hosts
// `engineHosts` names; nothing when a name is unknown or an address is for
// an engine not chosen (the message is out, after "COMMAND: " where it is
// the command line's fault).
std::optional<QList<harvest::SearchEngine>> lookUpEngines(
    const QString& rules, const QList<QByteArray>& engineHosts, const QString& command);

// The assembly's options for a run without a window: the engines, a browser
// profile in `scratchFolder`, no pause at the start, and ticks whose errors
// go to `fail`. The caller adds the run's callbacks.
HarvestAssembly::Options assemblyOptions(harvest::SearchWindow& window, const QString& scratchFolder,
    const QList<harvest::SearchEngine>& engines, const QString& statePath,
    const std::function<void(const QString& message)>& fail);

// What is said when the engine `name` answers with its verification page
// at `location` and no one is there to pass it.
QString verificationText(const QString& name, const QString& location);

// Lets the browser profile write its last state once the browser is gone,
// so that its temporary folder can go.
void settleAfterBrowser();

// The exit status for the stop signal `signo` (128 + it), or `status` when
// no signal stopped the run.
int exitStatus(int signo, int status);

// What the harvest and the mining run share from the start of their run to
// its end: the exit status so far, the stop signals, the rule for a
// verification page no one is there to pass, and the event loop.
class RunDriver {
public:
    virtual ~RunDriver();

protected:
    // `stopNote`: said once at the first stop signal.
    explicit RunDriver(QString stopNote);
    RunDriver(const RunDriver&) = delete;
    RunDriver& operator=(const RunDriver&) = delete;

    // The run's assembly; null before it is made and after it is gone.
    virtual HarvestAssembly* assembly() = 0;

    // Says `message`; the run goes no further than the page in flight,
    // and ends as failed unless it had failed otherwise already.
    void fail(const QString& message);
    // No one is here to pass it: the engine is asked no more, the others
    // go on, and the engine's part can be resumed once it lets requests
    // through again.
    void onVerificationNeeded();
    // Starts the run, listening to the stop signals, and runs the event
    // loop until it ends.
    void runToEnd();
    // Raised by the run's finish: the event loop ends.
    void runFinished();
    bool finished() const { return m_finished; }

    ProgressLine m_progress;
    int m_status = HarvestDone;
    int m_stopSignal = 0;

private:
    void onStopSignal();

    QString m_stopNote;
    std::unique_ptr<QSocketNotifier> m_signalNotifier;
    bool m_finished = false;
};

} // namespace tess::app::headless
