#include "tools/merge/BackgroundMerge.h"

#include <QMetaObject>

#include <thread>

namespace tess::tools {

// The merge's thread: asked to stop, it ends at its next look at the flag.
struct BackgroundMerge::Job {
    int serial = 0;
    std::atomic<bool> stop = false;
    std::thread thread;

    ~Job()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }
};

BackgroundMerge::BackgroundMerge(QObject* parent)
    : QObject(parent)
{
}

BackgroundMerge::~BackgroundMerge() { stop(); }

void BackgroundMerge::start(const QStringList& sources, const QString& target, MergeOptions options)
{
    if (m_job)
        return;
    auto job = std::make_unique<Job>();
    const int serial = job->serial = ++m_serial;
    options.cancel = &job->stop;
    options.progress
        = [this, serial](MergePhase phase, int percent) { reportProgress(serial, phase, percent); };
    job->thread = std::thread([this, serial, sources, target, options] {
        QString doneText;
        std::exception_ptr error;
        try {
            MergeReport report;
            report.finished = [&doneText](const QString& text) { doneText = text; };
            mergeFiles(sources, target, report, options);
        } catch (const MergeCancelled&) {
            // Only stop() cancels a merge: nothing to tell.
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this, [this, serial, doneText, error] { finish(serial, doneText, error); }, Qt::QueuedConnection);
    });
    m_job = std::move(job);
}

// On the merge's thread.
void BackgroundMerge::reportProgress(int serial, MergePhase phase, int percent)
{
    if (percent < 0)
        return;
    const int done = phase == MergePhase::Sorting ? percent * 2 / 3 : 66 + percent * 34 / 100;
    QMetaObject::invokeMethod(
        this,
        [this, serial, done] {
            if (m_job && m_job->serial == serial)
                emit progress(done);
        },
        Qt::QueuedConnection);
}

void BackgroundMerge::finish(int serial, const QString& doneText, std::exception_ptr error)
{
    if (!m_job || m_job->serial != serial)
        return; // stopped meanwhile
    m_job.reset();
    emit finished(doneText, error);
}

void BackgroundMerge::stop()
{
    if (!m_job)
        return;
    m_stopping = true;
    m_job->stop = true;
    m_job->thread.join();
    m_job.reset();
    m_stopping = false;
}

} // namespace tess::tools
