// The scanning commands over CTwainAcquirer, with Qt windows as owners.
#include "acquire/acquire_commands_qt.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "acquire/scan_dialog_qt.h"
#include "acquire/twain_acquirer.h"
#include "acquire/xfer_done_qt.h"
#include "base/command_icons_qt.h"
#include "base/command_registry_qt.h"
#include "base/job_qt.h"
#include "base/workspace_qt.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"

namespace {

// The scan job running, if any: the scanner layer keeps process-wide state,
// so while one transfer runs on its worker no other conversation starts.
QPointer<Job>& RunningScan() {
    static QPointer<Job> job;
    return job;
}

// One window's conversation: the acquirer and the owner it delivers to.
// A child of the window, so it ends (closing the conversation) with it.
//
// The source's dialog runs on the window's thread; the transfers then run as
// a job on a worker thread, which alone touches the acquirer (and the
// scanner layer under it) until the job has ended. The pictures are handed
// to the window on its thread when the job finishes.
class ScanConversation : public QObject, public CTwainOwner {
public:
    explicit ScanConversation(QWidget* window) : QObject(window), window_(window) {
        setObjectName("scanConversation");
        acquirer_.SetOwner(this);
        acquirer_.Prepare(this);
        const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        if (screen) acquirer_.SetScreenDpi(int(screen->logicalDotsPerInchX()), int(screen->logicalDotsPerInchY()));
    }
    // The job goes first: it cancels and waits while the acquirer still is.
    ~ScanConversation() override { delete job_; }

    CTwainAcquirer& acquirer() { return acquirer_; }
    void* WindowHandle() override { return window_.data(); }

    // Worker thread (the job's): keeps the picture for the window.
    void OnTwainXferDone(HGlobal dib, std::unique_ptr<CPicture> picture) override {
        if (dib) {
            picture = std::make_unique<CDocPicture>();
            if (!picture->AttachPackedDib(std::move(dib))) picture.reset();
        }
        // An empty notice (a failed or cancelled transfer) tells nothing new:
        // the source has said what went wrong.
        if (picture) scanned_.push_back(std::move(picture));
    }

    // Lets the source's notices in until it has none, as the message loop
    // would hand them over, on a worker thread; the pictures reach the
    // window when it is done.
    void Transfer() {
        job_ = new Job(IDS_SCANNING, [this](Progress&) {
            while (acquirer_.ProcessMessage(nullptr)) {
            }
        }, this);
        RunningScan() = job_;
        connect(job_, &Job::finished, this, [this] {
            job_->deleteLater();
            job_ = nullptr;
            std::vector<std::unique_ptr<CPicture>> pictures = std::move(scanned_);
            scanned_.clear();
            for (auto& picture : pictures) {
                if (!window_) break;
                TwainXferDoneEvent event(std::move(picture));
                QCoreApplication::sendEvent(window_, &event);
            }
        });
        job_->start();
    }

private:
    QPointer<QWidget> window_;
    CTwainAcquirer acquirer_;
    Job* job_ = nullptr;
    // Filled by the job's worker, taken on the window's thread after it.
    std::vector<std::unique_ptr<CPicture>> scanned_;
};

ScanConversation* NewConversation(QWidget* owner) {
    // The last conversation of this window is replaced by the new one.
    for (QObject* child : owner->children())
        if (auto* old = dynamic_cast<ScanConversation*>(child)) delete old;
    QtScanHooks::Install();
    return new ScanConversation(owner);
}

}  // namespace

bool ScanRunning() { return RunningScan() && RunningScan()->running(); }

bool ScannerAvailable() {
    static const bool available = twain::ManagerLibraryPresent();
    return available;
}

bool StartScanFor(QWidget* owner) {
    if (!owner || ScanRunning()) return false;
    ScanConversation* conversation = NewConversation(owner);
    if (!conversation->acquirer().IsAvailable() || !conversation->acquirer().Acquire()) return false;
    // The command returns first; the scan goes on from the event loop.
    QPointer<ScanConversation> guard(conversation);
    QTimer::singleShot(0, conversation, [guard] {
        if (guard) guard->Transfer();
    });
    return true;
}

bool HandleAcquireCommand(int id, QWidget* owner) {
    if (id == ID_ACQUIRE) {
        StartScanFor(owner);
        return true;
    }
    if (id == ID_SELECT_SOURCE) {
        if (owner && !ScanRunning()) NewConversation(owner)->acquirer().SelectSource();
        return true;
    }
    return false;
}

namespace {

// The scanner library is there and no scan holds the scanner layer.
bool ScannerFree() { return ScannerAvailable() && !ScanRunning(); }

}  // namespace

bool UpdateAcquireCommand(int id, CommandState& state) {
    if (id != ID_ACQUIRE && id != ID_SELECT_SOURCE) return false;
    state.enabled = state.enabled && ScannerFree();
    return true;
}

void RegisterAcquireCommands(CommandRegistry& r) {
    using S = CommandSurface;
    auto run = [](int id) { return [id](Workspace& w) { return HandleAcquireCommand(id, w.dialogParent()); }; };
    // Gray while a scan runs: the window's command states follow the jobs.
    auto scannerFree = [](const Workspace&) { return ScannerFree(); };
    r.add(CommandDecl(ID_ACQUIRE)
              .withIcon(CommandIcon(ID_ACQUIRE))
              .runs(run(ID_ACQUIRE))
              .opensDialog()
              .enabledWhen(scannerFree)
              .needing(kNeedsIdle | kNeedsScanner)
              .placed({{S::MainMenu, "&File", 2, 1},
                       {S::IconBar, {}, 2, 2},
                       {S::InPlaceMenu, "&File", 2, 1},
                       {S::InPlaceToolBar, {}, 2, 1},
                       {S::EmbeddedFileMenu, "&File", 3, 1}}));
    r.add(
        CommandDecl(ID_SELECT_SOURCE)
            .runs(run(ID_SELECT_SOURCE))
            .opensDialog()
            .enabledWhen(scannerFree)
            .needing(kNeedsScanner)
            .placed(
                {{S::MainMenu, "&File", 2, 2}, {S::InPlaceMenu, "&File", 2, 2}, {S::EmbeddedFileMenu, "&File", 3, 2}}));
}
