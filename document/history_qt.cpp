#include "document/history_qt.h"

#include <QTimer>
#include <QUndoCommand>
#include <utility>

#include "base/progress.h"
#include "picture/picture.h"
#include "platform/profile.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {

TransformOp Inverse(TransformOp op) {
    switch (op) {
    case TransformOp::RotateLeft: return TransformOp::RotateRight;
    case TransformOp::RotateRight: return TransformOp::RotateLeft;
    default: return op;  // the mirrors and the half turn undo themselves
    }
}

}  // namespace

// What the long half of a move left for the short one.
struct MoveOutcome {
    bool done = false;  // carried out: the stack may move
    TransformResult result = kTransformCancelled;
    std::unique_ptr<CPicture> turned;  // a turn's new picture
};

namespace {

using Move = DocumentHistory::Move;

// A step of this history; what it holds on disk, and letting it go.
class Step : public QUndoCommand {
public:
    Step(DocumentHistory& history, const QString& text) : history_(history) { setText(text); }
    virtual std::uint64_t heldBytes() const { return 0; }
    // The step will never be undone again: what it holds goes.
    virtual void release() {}
    // The long half of undoing (back) or redoing the step: work for a
    // worker on current, the document's picture, that fills outcome.
    virtual Move move(bool back, CPicture* current, bool progress, std::shared_ptr<MoveOutcome> outcome) const = 0;
    // The work of a move was not carried out (cancelled or failed).
    virtual void notMoved(bool /*back*/, const MoveOutcome& /*outcome*/) {}

protected:
    DocumentHistory& history_;
    bool done_ = true;  // pushed after the change was made: the first redo does nothing
};

// A lossless transform: undone by its inverse.
class TransformStep : public Step {
public:
    TransformStep(DocumentHistory& history, TransformOp op, const PrintSettings& before, const QString& text)
        : Step(history, text), op_(op), before_(before), after_(history.doc().m_print) {}

    Move move(bool back, CPicture* current, bool progress, std::shared_ptr<MoveOutcome> outcome) const override {
        const TransformOp op = back ? Inverse(op_) : op_;
        return {TransformCaption(op), [op, current, progress, outcome](Progress& p) {
                    if (p.Cancelled()) return;
                    outcome->result = TransformPictureInto(current, op, progress, outcome->turned, &p);
                    outcome->done = outcome->result == kTransformDone;
                }};
    }
    void notMoved(bool back, const MoveOutcome& outcome) override {
        if (outcome.result != kTransformFailed) return;  // cancelled: the picture is as it was
        const TransformOp op = back ? Inverse(op_) : op_;
        history_.doc().TakeTransform(op, kTransformFailed, nullptr);  // says so
        // A mirror stopped half way leaves a picture no step expects.
        if (!TransformMakesNewPicture(op)) history_.failedStep();
    }
    void undo() override { take(Inverse(op_), before_); }
    void redo() override {
        if (std::exchange(done_, false)) return;
        take(op_, after_);
    }

private:
    void take(TransformOp op, const PrintSettings& print) {
        MoveOutcome* outcome = history_.outcome();
        if (!outcome || !outcome->done) return history_.failedStep();
        history_.doc().TakeTransform(op, kTransformDone, std::move(outcome->turned));
        history_.doc().m_print = print;
    }

    TransformOp op_;
    PrintSettings before_, after_;
};

// A change that is not invertible: the other picture is kept, in the swap
// store, and exchanged with the document's at each undo and redo.
class ReplaceStep : public Step {
public:
    ReplaceStep(DocumentHistory& history, std::unique_ptr<CPicture> previous, const PrintSettings& print,
                const std::string& path, const QString& text)
        : Step(history, text), other_(std::move(previous)), otherPrint_(print), otherPath_(path) {}

    std::uint64_t heldBytes() const override { return other_ ? other_->Store().GetSize() : 0; }
    void release() override { other_.reset(); }

    Move move(bool, CPicture* current, bool, std::shared_ptr<MoveOutcome> outcome) const override {
        return {IDS_PROCESSING, [current, outcome](Progress& p) {
                    if (p.Cancelled()) return;
                    // The picture shown now is kept for a later undo or redo,
                    // not for the view: out of memory. A failed swap-out
                    // leaves it in memory, which costs memory only.
                    if (current) current->SwapOut();
                    outcome->done = !p.Cancelled();
                }};
    }
    void undo() override { exchange(); }
    void redo() override {
        if (std::exchange(done_, false)) return;
        exchange();
    }

private:
    void exchange() {
        CVandrelDoc& doc = history_.doc();
        MoveOutcome* outcome = history_.outcome();
        if (!other_ || !outcome || !outcome->done) return history_.failedStep();
        std::swap(doc.m_pPicture, other_);
        std::swap(doc.m_print, otherPrint_);
        const std::string path = doc.GetPathName();
        doc.SetPathName(otherPath_);
        if (path != otherPath_ && doc.GetObserver()) doc.GetObserver()->SetBaseName(doc.GetPathName());
        otherPath_ = path;
    }

    std::unique_ptr<CPicture> other_;
    PrintSettings otherPrint_;
    std::string otherPath_;
};

}  // namespace

int TransformCaption(TransformOp op) {
    return TransformMakesNewPicture(op) ? IDS_ROTATING : IDS_MIRRORING;
}

QString StepName(int commandId) {
    const CommandEntry* entry = FindCommand(commandId);
    return entry && entry->menuText ? QString::fromStdString(PlainText(entry->menuText)) : QString();
}

DocumentHistory::DocumentHistory(CVandrelDoc& doc, std::function<void()> changed,
                                 std::function<void(const QString&)> tell, QObject* parent)
    : QObject(parent), doc_(doc), notify_(std::move(changed)), tell_(std::move(tell)) {
    connect(&stack_, &QUndoStack::indexChanged, this, &DocumentHistory::changed);
}

DocumentHistory::~DocumentHistory() = default;

bool DocumentHistory::beginMove(bool back, Move& move) {
    if (outcome_ || !(back ? canUndo() : canRedo())) return false;
    const auto* step = static_cast<const Step*>(stack_.command(stack_.index() - (back ? 1 : 0)));
    auto outcome = std::make_shared<MoveOutcome>();
    move = step->move(back, doc_.m_pPicture.get(), !doc_.IsInPlaceActive(), outcome);
    outcome_ = std::move(outcome);
    moving_ = step;
    movingBack_ = back;
    return true;
}

void DocumentHistory::finishMove() {
    if (!outcome_) return;
    const bool back = movingBack_;
    // The step the move was made for is still the one to move (nothing
    // changes the stack while the document is busy).
    const int at = stack_.index() - (back ? 1 : 0);
    if (at < 0 || at >= stack_.count() || stack_.command(at) != moving_) {
        outcome_.reset();
        return;
    }
    auto* step = const_cast<Step*>(static_cast<const Step*>(moving_));
    if (outcome_->done) {
        if (back)
            stack_.undo();
        else
            stack_.redo();
    } else {
        step->notMoved(back, *outcome_);
    }
    outcome_.reset();
    moving_ = nullptr;
    if (notify_) notify_();
}

void DocumentHistory::failedStep() {
    // The picture is not what the steps around this one expect: none of
    // them can be trusted any more. The document keeps what it shows, as
    // a change not saved.
    QTimer::singleShot(0, this, [this] {
        clear();
        stack_.resetClean();
        emit changed();
    });
}

void DocumentHistory::clear() {
    // A move under way has no step to move any more.
    outcome_.reset();
    moving_ = nullptr;
    stack_.clear();
    // An empty stack keeps a clean state made unreachable; now is clean.
    stack_.setClean();
    floor_ = 0;
    emit changed();
}

void DocumentHistory::recordTransform(TransformOp op, const PrintSettings& printBefore, const QString& text) {
    stack_.push(new TransformStep(*this, op, printBefore, text));
    enforceLimit();
}

void DocumentHistory::recordReplace(std::unique_ptr<CPicture> previous, const PrintSettings& printBefore,
                                    const std::string& pathBefore, const QString& text) {
    if (!previous) {
        // Nothing was replaced (a first picture): there is no step back to it.
        clear();
        stack_.resetClean();
        return;
    }
    // Onto the disk before the step counts; a full disk (or a swap store
    // that refuses) makes room by dropping the oldest steps.
    bool kept = previous->SwapOut() != 0;
    while (!kept && dropOldest()) kept = previous->SwapOut() != 0;
    if (!kept) {
        // Not even alone: the step is not kept; the change stays made.
        previous.reset();
        clear();
        stack_.resetClean();
        tellDroppedOnce();
        return;
    }
    stack_.push(new ReplaceStep(*this, std::move(previous), printBefore, pathBefore, text));
    enforceLimit();
}

std::uint64_t DocumentHistory::heldBytes() const {
    std::uint64_t total = 0;
    for (int i = 0; i < stack_.count(); ++i)
        total += static_cast<const Step*>(stack_.command(i))->heldBytes();
    return total;
}

std::uint64_t DocumentHistory::limitBytes() const {
    if (limit_) return limit_;
    int mb = platform::GetProfileInt("History", "DiskLimitMB", kDefaultHistoryDiskLimitMB);
    if (mb <= 0) mb = kDefaultHistoryDiskLimitMB;
    return std::uint64_t(mb) << 20;
}

bool DocumentHistory::dropOldest() {
    if (floor_ >= stack_.index()) return false;
    auto* step = const_cast<Step*>(static_cast<const Step*>(stack_.command(floor_)));
    step->release();
    ++floor_;
    tellDroppedOnce();
    emit changed();
    return true;
}

void DocumentHistory::enforceLimit() {
    const std::uint64_t limit = limitBytes();
    // The newest step stays: it is the one the user most likely undoes.
    while (heldBytes() > limit && floor_ < stack_.index() - 1 && dropOldest()) {
    }
}

void DocumentHistory::tellDroppedOnce() {
    if (told_) return;
    told_ = true;
    if (tell_) tell_(QString::fromUtf8(LoadStringById(IDS_HISTORY_DROPPED)));
}
