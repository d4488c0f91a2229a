// Long work off the window's thread.
//
// A Job runs one function on a worker thread and hands control back to the
// event loop at once. The function gets the job's Progress (base/progress.h):
// it passes it to the core's long operations (ReadImageFile, WriteImageFile,
// TransformPictureInto, ...), which report their caption and gauge into it
// and stop when it is cancelled. When the function has returned, finished()
// is emitted on the thread that made the job (the window's thread): read the
// result there and hand it to its owner in one place.
//
//     auto* job = new Job(IDS_ROTATING, [source, out](Progress& p) {
//         out->result = TransformPictureInto(source, op, true, out->turned, &p);   // worker thread
//     }, owner);
//     QObject::connect(job, &Job::finished, owner, [out] { /* window's thread: take *out */ });
//     job->start();
//
// Rules for the work function: it touches only what it was given (the
// pictures it reads or makes, a path); it never touches a widget, a
// Document, a QObject of the window's thread or the settings. Messages the
// core shows while it runs (ShowMessage) are kept and shown on the window's
// thread, in their order, just before finished() (the application's message
// sink runs there as before).
//
// The jobs of the application run one after the other (a second job waits
// until the first has ended): the image-file library keeps per-process save
// options. Cancel() asks the work to stop at its next step; wait() blocks
// until the work has returned (quitting). Destroying a running job cancels
// it and waits.
//
// Job::monitor() (a JobMonitor) tells displays (the status bar) which job runs: it emits
// started(job) and ended(job) on the window's thread.
#pragma once
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/progress.h"

class JobMonitor;

class Job : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(Progress& progress)>;

    // captionId: the progress caption shown until the work begins its own
    // progress (string table id).
    Job(int captionId, Work work, QObject* parent = nullptr);
    ~Job() override;

    void start();
    Progress& progress() { return progress_; }
    const Progress& progress() const { return progress_; }
    // Any thread.
    void cancel() { progress_.Cancel(); }
    bool cancelled() const { return progress_.Cancelled(); }
    // Between start() and the emission of finished().
    bool running() const { return running_; }
    // Blocks until the work has returned, then delivers the result at once
    // (its messages and finished()) rather than from the event loop. For
    // quitting: no event loop runs meanwhile.
    void finishNow();

    // The running jobs of the application, oldest first.
    static QList<Job*> runningJobs();

    static JobMonitor* monitor();

signals:
    void finished();

private:
    void deliver();
    void join();

    Progress progress_;
    Work work_;
    std::thread thread_;
    bool running_ = false;
    bool delivered_ = false;
    // Filled by the worker, read after it has ended.
    std::shared_ptr<std::vector<std::string>> messages_;
};

// Tells which job runs (Job::monitor()).
class JobMonitor : public QObject {
    Q_OBJECT
signals:
    void started(Job* job);
    void ended(Job* job);
};
