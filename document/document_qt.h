// Document: the application's side of a CVandrelDoc. It owns the core
// document, is its observer (redraws, titles, wait cursor, questions),
// carries out the document's commands (document_commands_qt.h declares
// them), and tells the windows that show it what changed by signals.
//
// Long work on the document (open, save, import, the transforms) runs as a
// Job (base/job_qt.h) on a worker thread, one at a time per document. While
// it runs the document is busy(): the worker reads or changes its picture,
// so nothing on the window's thread touches the picture (the view paints
// what it showed before, the commands that change or close the document are
// grayed). The finished work reaches the document in one place, takeResult.
#pragma once
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

#include "base/job_qt.h"
#include "document/document.h"

class DocumentHistory;
struct FileChoice;
class QWidget;

// What finished work hands to its document (Document::takeResult).
struct DocumentChange {
    enum class Kind {
        Transform,  // op ran on the picture: in place (picture none) or into picture
        Opened,     // picture was read from path
        Imported,   // picture was read from a file and is saved nowhere yet
        Saved,      // the picture was written to the document's path
        SavedAs,    // the picture was written to path, the document's path from now on
    };
    Kind kind = Kind::Transform;
    std::unique_ptr<CPicture> picture;
    TransformOp op = TransformOp::MirrorHorizontal;
    TransformResult transformResult = kTransformDone;
    std::string path;
};

class Document : public QObject, public DocumentObserver {
    Q_OBJECT
public:
    explicit Document(QObject* parent = nullptr);
    ~Document() override;

    CVandrelDoc& core() { return doc_; }
    const CVandrelDoc& core() const { return doc_; }
    CPicture* picture() const { return doc_.m_pPicture.get(); }
    QString pathName() const { return QString::fromStdString(doc_.GetPathName()); }
    bool isModified() const { return doc_.IsModified(); }
    void setModified(bool modified);

    // Reads the file as the document's picture (progress, messages as the
    // core gives them). False when no picture resulted.
    bool open(const QString& path);
    // The same on a worker thread: returns at once (false when the document
    // is busy); done is called on the window's thread with whether a picture
    // resulted and why not.
    bool openInBackground(const QString& path, std::function<void(bool ok, const FileStatus& status)> done);
    // A picture from a scan or a stitch: the document takes it and is
    // marked modified; a picture it replaces can be brought back by Undo.
    void setPicture(std::unique_ptr<CPicture> picture);

    // The document's undo history (document/history_qt.h).
    DocumentHistory& history() { return *history_; }
    // The two ways a change to the picture enters the history: a transform
    // (transform below; its result, in takeResult, is recorded as a step
    // undone by the inverse), and replacePicture, which puts picture in
    // place of the current one and keeps that in the swap store for Undo
    // (text: what the step is called). It tells the windows; false when
    // there is no picture or the document is busy.
    bool replacePicture(std::unique_ptr<CPicture> picture, const QString& text);
    // The same for a picture made from the current one on a worker thread
    // as the document's job: make reads the picture it gets (never changes
    // it) and gives the new one, or none to leave the document as it is.
    // done (may be empty) is told on the window's thread whether the
    // picture was replaced; a cancelled job replaces nothing. False when
    // there is no picture or the document is busy.
    using MakePicture = std::function<std::unique_ptr<CPicture>(CPicture& current, Progress& progress)>;
    bool replaceInBackground(int captionId, MakePicture make, const QString& text,
                             std::function<void(bool replaced)> done = {});
    // Undo and redo the last step as the document's job (the picture may
    // be large: a turn, a picture written to the swap store). False when
    // there is nothing to move or the document is busy. A cancelled job
    // leaves the picture and the history as they were.
    bool undo();
    bool redo();

    // The commands. Each answers whether it did what it was asked; the
    // writing and reading run on a worker thread, so true means the work
    // was started (jobFinished() tells its end). Save As, Import (and Save
    // of a picture without a file) ask for the file in a dialog that opens
    // window-modal and answers later: true then means the question was
    // asked, and the work starts when the user has chosen. With a file
    // dialog answerer the answer is known at once and told as before.
    bool save();
    bool saveAs();
    bool import();
    // A transform of the picture on a worker thread (false: busy or no
    // picture).
    bool transform(TransformOp op);

    // Whether a job works on the document, and that job (null: none).
    bool busy() const { return !job_.isNull(); }
    Job* job() const { return job_; }
    // Starts work on a worker thread as the document's job (printing uses
    // it too: the document stays busy while its pages go out); done runs on
    // the window's thread after it. False when a job runs already.
    bool startJob(int captionId, std::function<void(Progress&)> work, std::function<void()> done);
    // Asks the running job to stop (it ends soon, leaving the document as it was).
    void cancelJob();
    // Waits for the running job to end and hands its result over before
    // returning (the window's thread waits; no event loop runs).
    void finishJob();
    // Cancels the running job and waits for it to end (quitting): its
    // result is handed over before this returns.
    void stopJob();

    // The one place where finished work reaches the document, on the
    // window's thread: takes the new picture or path, marks the document
    // and emits the signals.
    void takeResult(DocumentChange change);
    // Before the document's window closes: asks whether to save changes of a
    // modified document (yes saves as the Save command does; cancel keeps it
    // open). True when the document may close.
    bool canClose();

    // What the stitch that made the document's picture found, in one line
    // (the Information sheet shows it); empty for any other picture. A
    // picture from a file or a scan in its place clears it.
    QString stitchFinding() const { return stitchFinding_; }
    void setStitchFinding(const QString& finding) { stitchFinding_ = finding; }

    // The window the document's dialogs belong to (the main window by default).
    void setDialogOwner(QWidget* owner) { owner_ = owner; }

    // DocumentObserver
    void UpdateAllViews(const Rect* hint) override;
    void SetBaseName(const std::string& path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    SaveAnswer AskSaveChanges(const std::string& question) override;
    std::string ChooseSavePath() override;
    void AddToRecentFiles(const std::string& path) override;

    // Runs a change of the core document and tells the windows about it.
    void apply(const std::function<void(CVandrelDoc&)>& change);
    // Carries out a document command by its id (Save, Save As, Import, the
    // core's commands); false for an id that is not the document's.
    bool OnCommand(int id);

    // Who answers the save-changes question (tests); empty: a message box.
    using SaveQuestion = std::function<SaveAnswer(const QString& question)>;
    static void SetSaveQuestion(SaveQuestion question);
    // Who answers "stop the work?" before a busy document or the program
    // closes (tests); empty: a message box.
    using StopQuestion = std::function<bool(const QString& question)>;
    static void SetStopQuestion(StopQuestion question);
    // Asks the question over owner (true: stop the work), modal: for the
    // program's quitting, which answers its close at once.
    static bool AskStopWork(QWidget* owner, const QString& question);
    // The same, window-modal: answered gets the answer when the user has
    // given it (the hook answers before the call returns).
    static void AskStopWork(QWidget* owner, const QString& question, std::function<void(bool stop)> answered);
    // Called with every path opened or saved as a document's file.
    static void SetRecentFileSink(std::function<void(const QString& path)> sink);

signals:
    // The picture changed; a null rectangle means all of it.
    void pictureChanged(const QRect& pictureRect);
    // The document's path (and so its name) changed.
    void pathChanged();
    void modifiedChanged(bool modified);
    // What Undo and Redo can do may have changed.
    void historyChanged();
    // A job began or ended on the document.
    void busyChanged(bool busy);
    // The job's result was handed over (also when it was cancelled or failed).
    void jobFinished();

private:
    // Emits modifiedChanged when the flag differs from the last one told.
    void syncModified();
    // Writes the picture to path on a worker; done gets the status.
    bool writeInBackground(const std::string& path, std::function<void(const FileStatus&)> done);
    // Save, or Save As when the picture has no file it can be saved in;
    // answerNow asks for the name in a modal dialog (a window closing).
    bool saveOrAsk(bool answerNow);
    bool askSaveAs(bool answerNow);
    // Where Save As and Import go on once the user has chosen a file.
    bool saveAsChosen(const FileChoice& choice);
    bool importChosen(const FileChoice& choice);

    // Undo (back) or redo as the document's job.
    bool moveHistory(bool back);
    // The document now is as its file: the history's clean state.
    void markSaved();
    // The modified flag as the history's clean state has it.
    void followHistory();
    // A transform's end: a step of the history when it was done.
    void recordTransform(TransformOp op, const PrintSettings& before, TransformResult result);
    // The picture replaced, the step recorded (replacePicture, setPicture, Import).
    void replace(std::unique_ptr<CPicture> picture, const QString& text);

    CVandrelDoc doc_;
    QWidget* owner_ = nullptr;
    bool toldModified_ = false;
    std::unique_ptr<DocumentHistory> history_;
    QPointer<Job> job_;
    QString stitchFinding_;
};
