#pragma once

#include "tools/merge/AddressMerge.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <exception>
#include <memory>

namespace tess::tools {

// Runs mergeFiles() on a thread of its own, so the thread that started it
// (a window's) goes on meanwhile; its news comes back through that
// thread's event queue. One merge at a time.
class BackgroundMerge final : public QObject {
    Q_OBJECT

public:
    explicit BackgroundMerge(QObject* parent = nullptr);
    // Stops a merge still running, as stop() does.
    ~BackgroundMerge() override;

    // Starts merging `sources` into `target`, as mergeFiles() does in the
    // collation locale of the environment with `options` (whose cancel
    // flag and progress are this object's). Does nothing while a merge
    // runs.
    void start(const QStringList& sources, const QString& target, MergeOptions options = {});
    // Stops the merge and waits for its thread: it ends at its next look
    // at its stop flag (a part being sorted is finished first), the target
    // untouched. Nothing more is signalled of it, not even news it had
    // already sent.
    void stop();

    bool running() const { return m_job != nullptr; }
    // Whether stop() is waiting for the merge's thread; may be asked from
    // any thread.
    bool stopping() const { return m_stopping; }

signals:
    // How much of the work is done: sorting is about two thirds of it,
    // merging the rest.
    void progress(int percent);
    // The merge has ended: `doneText` is the count mergeFiles() reports
    // ("文件合并整理完毕！共计：N"), empty when it failed with `error`.
    void finished(const QString& doneText, std::exception_ptr error);

private:
    struct Job;

    void reportProgress(int serial, MergePhase phase, int percent);
    void finish(int serial, const QString& doneText, std::exception_ptr error);

    std::unique_ptr<Job> m_job;
    // Tells a merge's news from that of one stopped before it.
    int m_serial = 0;
    std::atomic<bool> m_stopping = false;
};

} // namespace tess::tools
