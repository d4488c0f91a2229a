#include "base/job_qt.h"

#include <mutex>

#include "base/message_box.h"

namespace {

// The image-file library and the swap store's policy are shared by the
// process: jobs run one after the other.
std::mutex& JobLock() {
    static std::mutex lock;
    return lock;
}

QList<Job*>& Running() {
    static QList<Job*> jobs;
    return jobs;
}

}  // namespace

Job::Job(int captionId, Work work, QObject* parent)
    : QObject(parent), work_(std::move(work)), messages_(std::make_shared<std::vector<std::string>>()) {
    progress_.SetCaption(captionId);
}

Job::~Job() {
    if (thread_.joinable()) {
        progress_.Cancel();
        thread_.join();
    }
    if (running_) {
        running_ = false;
        Running().removeAll(this);
        emit monitor()->ended(this);
    }
}

JobMonitor* Job::monitor() {
    static JobMonitor monitor;
    return &monitor;
}

QList<Job*> Job::runningJobs() { return Running(); }

void Job::start() {
    if (running_ || delivered_) return;
    running_ = true;
    Running() << this;
    emit monitor()->started(this);
    thread_ = std::thread([this, messages = messages_] {
        {
            std::lock_guard<std::mutex> lock(JobLock());
            ThreadMessageSink sink([messages](const std::string& text) { messages->push_back(text); });
            ProgressScope scope(&progress_);
            try {
                work_(progress_);
            } catch (...) {
                // The work's own code reports its failures; nothing may
                // cross the thread's edge.
            }
        }
        QMetaObject::invokeMethod(this, [this] { deliver(); }, Qt::QueuedConnection);
    });
}

void Job::join() {
    if (thread_.joinable()) thread_.join();
}

void Job::finishNow() {
    if (!running_) return;
    deliver();
}

void Job::deliver() {
    if (delivered_) return;
    delivered_ = true;
    join();
    running_ = false;
    Running().removeAll(this);
    emit monitor()->ended(this);
    const std::vector<std::string> messages = std::move(*messages_);
    messages_->clear();
    for (const std::string& text : messages) ShowMessage(text);
    emit finished();
}
