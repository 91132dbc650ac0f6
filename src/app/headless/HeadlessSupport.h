#pragma once

#include "app/HarvestAssembly.h"
#include "harvest/RunNews.h"
#include "harvest/SearchEngine.h"
#include "harvest/SearchRun.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
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

} // namespace tess::app::headless
