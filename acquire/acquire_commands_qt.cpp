// The scanning commands over CTwainAcquirer, with Qt windows as owners.
#include "acquire/acquire_commands_qt.h"

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "acquire/scan_dialog_qt.h"
#include "acquire/twain_acquirer.h"
#include "acquire/xfer_done_qt.h"
#include "base/command_icons_qt.h"
#include "base/command_registry_qt.h"
#include "base/workspace_qt.h"
#include "resources/command_ids.h"

namespace {

// One window's conversation: the acquirer and the owner it delivers to.
// A child of the window, so it ends (closing the conversation) with it.
class ScanConversation : public QObject, public CTwainOwner {
public:
    explicit ScanConversation(QWidget* window) : QObject(window), window_(window) {
        setObjectName("scanConversation");
        acquirer_.SetOwner(this);
        acquirer_.Prepare(this);
        const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        if (screen) acquirer_.SetScreenDpi(int(screen->logicalDotsPerInchX()), int(screen->logicalDotsPerInchY()));
    }

    CTwainAcquirer& acquirer() { return acquirer_; }
    void* WindowHandle() override { return window_.data(); }

    void OnTwainXferDone(HGlobal dib, std::unique_ptr<CPicture> picture) override {
        if (dib) {
            picture = std::make_unique<CDocPicture>();
            if (!picture->AttachPackedDib(std::move(dib))) picture.reset();
        }
        // An empty notice (a failed or cancelled transfer) tells nothing new:
        // the source has said what went wrong.
        if (!picture || !window_) return;
        TwainXferDoneEvent event(std::move(picture));
        QCoreApplication::sendEvent(window_, &event);
    }

    // Lets the source's notices in until it has none, as the message loop
    // would hand them over.
    void Pump() {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        while (acquirer_.ProcessMessage(nullptr)) {
        }
        QApplication::restoreOverrideCursor();
    }

private:
    QPointer<QWidget> window_;
    CTwainAcquirer acquirer_;
};

ScanConversation* NewConversation(QWidget* owner) {
    // The last conversation of this window is replaced by the new one.
    for (QObject* child : owner->children())
        if (auto* old = dynamic_cast<ScanConversation*>(child)) delete old;
    QtScanHooks::Install();
    return new ScanConversation(owner);
}

}  // namespace

bool ScannerAvailable() {
    static const bool available = twain::ManagerLibraryPresent();
    return available;
}

bool StartScanFor(QWidget* owner) {
    if (!owner) return false;
    ScanConversation* conversation = NewConversation(owner);
    if (!conversation->acquirer().IsAvailable() || !conversation->acquirer().Acquire()) return false;
    // The command returns first; the scan goes on from the event loop.
    QPointer<ScanConversation> guard(conversation);
    QTimer::singleShot(0, conversation, [guard] {
        if (guard) guard->Pump();
    });
    return true;
}

bool HandleAcquireCommand(int id, QWidget* owner) {
    if (id == ID_ACQUIRE) {
        StartScanFor(owner);
        return true;
    }
    if (id == ID_SELECT_SOURCE) {
        if (owner) NewConversation(owner)->acquirer().SelectSource();
        return true;
    }
    return false;
}

bool UpdateAcquireCommand(int id, CommandState& state) {
    if (id != ID_ACQUIRE && id != ID_SELECT_SOURCE) return false;
    state.enabled = state.enabled && ScannerAvailable();
    return true;
}

void RegisterAcquireCommands(CommandRegistry& r) {
    using S = CommandSurface;
    auto run = [](int id) { return [id](Workspace& w) { return HandleAcquireCommand(id, w.dialogParent()); }; };
    auto library = [](const Workspace&) { return ScannerAvailable(); };
    r.add(CommandDecl(ID_ACQUIRE)
              .withIcon(CommandIcon(ID_ACQUIRE))
              .runs(run(ID_ACQUIRE))
              .opensDialog()
              .enabledWhen(library)
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
            .enabledWhen(library)
            .needing(kNeedsScanner)
            .placed(
                {{S::MainMenu, "&File", 2, 2}, {S::InPlaceMenu, "&File", 2, 2}, {S::EmbeddedFileMenu, "&File", 3, 2}}));
}
