// The undo history of one document: a QUndoStack of the changes made to its
// picture. A lossless change (a mirror, a quarter turn) is undone by its
// inverse and keeps no pixels; any other change keeps the picture it
// replaced, moved (never copied) into the swap store, so that a step of a
// large picture costs disk, not memory. The pictures held are limited by a
// setting (megabytes, "History" / "DiskLimitMB"); past it, and when the disk
// is full, the oldest steps are dropped and the user is told once.
//
// Undo and redo of a large picture take seconds (a quarter turn, writing
// the picture replaced to the swap store), so each runs in two halves: the
// long one on a worker thread as the document's job (beginMove gives it; it
// touches only the document's picture), then finishMove on the window's
// thread moves the stack. A move cancelled or failed leaves the stack where
// it was, so the history's index always says what the picture is.
#pragma once
#include <QObject>
#include <QString>
#include <QUndoStack>
#include <cstdint>
#include <functional>
#include <memory>

#include "document/document.h"

class CPicture;
class Progress;
struct MoveOutcome;

// What a step is called: the menu text of the command that made it, as the
// user reads it.
QString StepName(int commandId);
// The progress caption of a transform (string table id).
int TransformCaption(TransformOp op);

// The disk the history of one document may use when the setting is absent.
inline constexpr int kDefaultHistoryDiskLimitMB = 4096;

class DocumentHistory : public QObject {
    Q_OBJECT
public:
    // doc: the core document whose picture the steps change. changed is
    // called after every undo and redo (the document tells its windows);
    // tell shows a message to the user.
    DocumentHistory(CVandrelDoc& doc, std::function<void()> changed,
                    std::function<void(const QString&)> tell, QObject* parent = nullptr);
    ~DocumentHistory() override;

    QUndoStack& stack() { return stack_; }
    // Whether a step can be undone (dropped steps cannot).
    bool canUndo() const { return stack_.index() > floor_; }
    bool canRedo() const { return stack_.canRedo(); }

    // The long half of an undo (back) or a redo.
    struct Move {
        int captionId = 0;                    // the job's caption (string table id)
        std::function<void(Progress&)> work;  // for the worker thread
    };
    // The move of the step there is (false: none, or a move is under way).
    bool beginMove(bool back, Move& move);
    // On the window's thread after the work: the stack moves when it was
    // done; a cancel leaves picture and index as they were, a failure tells
    // the user.
    void finishMove();

    // A transform op was just carried out on the picture; print settings
    // before it as given.
    void recordTransform(TransformOp op, const PrintSettings& printBefore, const QString& text);
    // The picture was just replaced: previous is what it replaced (with its
    // print settings and the document's path then). previous goes to the
    // swap store; when it cannot be kept, older steps are dropped first,
    // then the step itself (the change stays made).
    void recordReplace(std::unique_ptr<CPicture> previous, const PrintSettings& printBefore,
                       const std::string& pathBefore, const QString& text);
    // A new picture from a file: no step before it can be undone.
    void clear();

    // Bytes the held pictures take, and the limit (bytes; the setting's
    // value unless a test set one).
    std::uint64_t heldBytes() const;
    std::uint64_t limitBytes() const;
    void setLimitBytes(std::uint64_t limit) { limit_ = limit; }
    // The steps dropped so far because of the limit or a full disk.
    int droppedSteps() const { return floor_; }

    CVandrelDoc& doc() { return doc_; }
    // For the steps, while the stack moves: what the work of the move left.
    MoveOutcome* outcome() { return outcome_.get(); }
    // An undo or redo could not be carried out: the history goes at the
    // next turn of the event loop (a stack cannot be cleared from inside
    // a step).
    void failedStep();

signals:
    // canUndo or canRedo may have changed.
    void changed();

private:
    // Keeps the total under the limit by dropping the oldest undoable steps
    // (never the newest).
    void enforceLimit();
    // Drops the oldest undoable step; false when there is none.
    bool dropOldest();
    void tellDroppedOnce();

    CVandrelDoc& doc_;
    QUndoStack stack_;
    std::function<void()> notify_;
    std::function<void(const QString&)> tell_;
    int floor_ = 0;  // steps below this index were dropped
    std::uint64_t limit_ = 0;  // 0: the setting's
    bool told_ = false;
    // The move under way: its outcome (filled by the worker) and the step.
    std::shared_ptr<MoveOutcome> outcome_;
    const QUndoCommand* moving_ = nullptr;
    bool movingBack_ = false;
};
