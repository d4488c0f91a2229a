#include "document/document_qt.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <memory>
#include <optional>
#include <utility>

#include "document/file_dialogs_qt.h"
#include "document/history_qt.h"
#include "document/import_export.h"
#include "document/import_export_commands.h"
#include "document/import_export_formats.h"
#include "base/job_qt.h"
#include "base/message_box.h"
#include "base/progress.h"
#include "resources/command_ids.h"
#include "resources/string_ids.h"
#include "resources/strings.h"

namespace {

Document::SaveQuestion& Question() {
    static Document::SaveQuestion question;
    return question;
}

Document::StopQuestion& StopQuestionHook() {
    static Document::StopQuestion question;
    return question;
}

std::function<void(const QString&)>& RecentSink() {
    static std::function<void(const QString&)> sink;
    return sink;
}

bool IsDocumentFile(const QString& path) {
    return IsDocumentFilePath(path.toStdString());
}

QString ProgramName() { return QString::fromUtf8(LoadStringById(IDS_PRODUCT_FAMILY)); }

int TransformCommand(TransformOp op) {
    switch (op) {
    case TransformOp::MirrorHorizontal: return ID_MIRROR_HORIZONTAL;
    case TransformOp::MirrorVertical: return ID_MIRROR_VERTICAL;
    case TransformOp::MirrorDiagonal: return ID_MIRROR_DIAGONAL;
    case TransformOp::RotateLeft: return ID_ROTATE_LEFT;
    case TransformOp::RotateRight: return ID_ROTATE_RIGHT;
    case TransformOp::RotateHalf: return ID_MIRROR_DIAGONAL;
    }
    return 0;
}

}  // namespace

void Document::SetSaveQuestion(SaveQuestion question) { Question() = std::move(question); }
void Document::SetStopQuestion(StopQuestion question) { StopQuestionHook() = std::move(question); }

bool Document::AskStopWork(QWidget* owner, const QString& question) {
    if (StopQuestionHook()) return StopQuestionHook()(question);
    return QMessageBox::question(owner, ProgramName(), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void Document::AskStopWork(QWidget* owner, const QString& question, std::function<void(bool stop)> answered) {
    if (StopQuestionHook()) {
        answered(StopQuestionHook()(question));
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Question, ProgramName(), question, QMessageBox::Yes | QMessageBox::No,
                                owner);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, answered = std::move(answered)](int) {
        answered(box->clickedButton() == box->button(QMessageBox::Yes));
    });
    box->open();
}
void Document::SetRecentFileSink(std::function<void(const QString&)> sink) {
    RecentSink() = std::move(sink);
}

Document::Document(QObject* parent) : QObject(parent) {
    doc_.SetObserver(this);
    history_ = std::make_unique<DocumentHistory>(
        doc_, [this] { emit pictureChanged(QRect()); },
        [this](const QString& text) { ShowMessage(text.toStdString()); });
    // The modified flag is the history's: unsaved unless at the step saved.
    connect(&history_->stack(), &QUndoStack::cleanChanged, this, [this](bool clean) {
        doc_.SetModifiedFlag(!clean);
        syncModified();
    });
    connect(history_.get(), &DocumentHistory::changed, this, &Document::historyChanged);
}

Document::~Document() {
    // A job still running is stopped first: it works on the picture.
    if (job_) {
        job_->disconnect(this);
        job_->cancel();
        delete job_.data();
    }
    history_.reset();
    doc_.SetObserver(nullptr);
}

bool Document::startJob(int captionId, std::function<void(Progress&)> work, std::function<void()> done) {
    if (job_) return false;
    auto* job = new Job(captionId, std::move(work), this);
    job_ = job;
    connect(job, &Job::finished, this, [this, job, done = std::move(done)] {
        job_ = nullptr;
        job->deleteLater();
        done();
        emit busyChanged(false);
        emit jobFinished();
    });
    // Told before the worker starts: the windows take what they show of the
    // picture while it is still whole.
    emit busyChanged(true);
    job->start();
    return true;
}

void Document::cancelJob() {
    if (job_) job_->cancel();
}

void Document::finishJob() {
    if (job_) job_->finishNow();
}

void Document::stopJob() {
    if (!job_) return;
    job_->cancel();
    job_->finishNow();
}

void Document::takeResult(DocumentChange change) {
    switch (change.kind) {
    case DocumentChange::Kind::Transform: {
        const PrintSettings before = doc_.m_print;
        recordTransform(change.op, before,
                        doc_.TakeTransform(change.op, change.transformResult, std::move(change.picture)));
        return;
    }
    case DocumentChange::Kind::Opened:
        if (!doc_.TakeOpenedPicture(change.path, std::move(change.picture))) return;
        // A new picture from a file: nothing before it to go back to.
        history_->clear();
        stitchFinding_.clear();
        syncModified();
        emit pathChanged();
        emit pictureChanged(QRect());
        return;
    case DocumentChange::Kind::Imported:
        // The document now holds a picture that is saved nowhere: no file
        // name (Save asks for one), an untitled title. Undo brings back the
        // picture, the print options and the name it had.
        doc_.m_pStitchWork.reset();
        doc_.m_pStitchWork2.reset();
        stitchFinding_.clear();
        replace(std::move(change.picture), StepName(ID_IMPORT));
        doc_.SetPathName(std::string());
        SetBaseName(std::string());
        return;
    case DocumentChange::Kind::Saved:
    case DocumentChange::Kind::SavedAs:
        if (change.kind == DocumentChange::Kind::SavedAs) {
            doc_.SetPathName(change.path);
            SetBaseName(change.path);
            AddToRecentFiles(change.path);
        }
        markSaved();
        return;
    }
}

bool Document::transform(TransformOp op) {
    CPicture* source = picture();
    if (!source || busy()) return false;
    struct Out {
        TransformResult result = kTransformFailed;
        std::unique_ptr<CPicture> turned;
    };
    auto out = std::make_shared<Out>();
    const bool progress = !doc_.IsInPlaceActive();
    return startJob(
        TransformCaption(op),
        [source, op, progress, out](Progress& p) {
            out->result = TransformPictureInto(source, op, progress, out->turned, &p);
        },
        [this, op, out] {
            DocumentChange change;
            change.kind = DocumentChange::Kind::Transform;
            change.op = op;
            change.transformResult = out->result;
            change.picture = std::move(out->turned);
            takeResult(std::move(change));
        });
}

bool Document::openInBackground(const QString& path, std::function<void(bool, const FileStatus&)> done) {
    struct Out {
        std::unique_ptr<CPicture> picture;
        FileStatus status;
    };
    auto out = std::make_shared<Out>();
    const std::string file = path.toStdString();
    return startJob(
        IDS_LOADING_IMAGE,
        [file, out](Progress& p) { out->picture = ReadImageFile(file, true, &out->status, &p); },
        [this, file, out, done = std::move(done)] {
            const bool ok = out->picture != nullptr;
            if (ok) {
                DocumentChange change;
                change.kind = DocumentChange::Kind::Opened;
                change.picture = std::move(out->picture);
                change.path = file;
                takeResult(std::move(change));
            }
            if (done) done(ok, out->status);
        });
}

bool Document::writeInBackground(const std::string& path, std::function<void(const FileStatus&)> done) {
    CPicture* source = picture();
    if (!source) return false;
    auto status = std::make_shared<FileStatus>();
    // The document's own file is a plain BMP file; every other extension
    // chooses its format.
    const bool documentFile = IsDocumentFilePath(path);
    return startJob(
        IDS_SAVING_IMAGE,
        [path, source, documentFile, status](Progress& p) {
            if (documentFile) WriteDocumentFile(path, source, status.get());
            else WriteImageFile(path, source, status.get(), &p);
        },
        [status, done = std::move(done)] { done(*status); });
}

void Document::setModified(bool modified) {
    // Not modified: the picture is as saved; modified: no step leads back
    // to the saved picture any more.
    if (modified)
        history_->stack().resetClean();
    else
        history_->stack().setClean();
    doc_.SetModifiedFlag(modified);
    syncModified();
}

void Document::markSaved() { setModified(false); }

void Document::followHistory() {
    doc_.SetModifiedFlag(!history_->stack().isClean());
    syncModified();
}

void Document::recordTransform(TransformOp op, const PrintSettings& before, TransformResult result) {
    // A lossless step: undone by the inverse, with the print options it reset.
    if (result == kTransformDone) history_->recordTransform(op, before, StepName(TransformCommand(op)));
    followHistory();
}

void Document::replace(std::unique_ptr<CPicture> picture, const QString& text) {
    const PrintSettings before = doc_.m_print;
    const std::string path = doc_.GetPathName();
    std::unique_ptr<CPicture> previous = std::move(doc_.m_pPicture);
    doc_.SetPicture(std::move(picture));
    history_->recordReplace(std::move(previous), before, path, text);
    followHistory();
    emit pictureChanged(QRect());
}

bool Document::replacePicture(std::unique_ptr<CPicture> picture, const QString& text) {
    if (!picture || busy()) return false;
    replace(std::move(picture), text);
    return true;
}

bool Document::replaceInBackground(int captionId, MakePicture make, const QString& text,
                                   std::function<void(bool)> done) {
    CPicture* current = picture();
    if (!current || busy()) return false;
    auto made = std::make_shared<std::unique_ptr<CPicture>>();
    return startJob(
        captionId,
        [current, make = std::move(make), made](Progress& p) {
            *made = make(*current, p);
            if (p.Cancelled()) made->reset();
            // The history keeps the picture replaced on disk: written here,
            // not on the window's thread.
            if (*made) current->SwapOut();
        },
        [this, made, text, done = std::move(done)] {
            const bool replaced = *made && replacePicture(std::move(*made), text);
            if (done) done(replaced);
        });
}

bool Document::undo() { return moveHistory(true); }

bool Document::redo() { return moveHistory(false); }

bool Document::moveHistory(bool back) {
    if (busy()) return false;
    DocumentHistory::Move move;
    if (!history_->beginMove(back, move)) return false;
    const bool started = startJob(move.captionId, std::move(move.work), [this] {
        history_->finishMove();
        followHistory();
    });
    // Not started: the history is left as it was.
    if (!started) history_->finishMove();
    return started;
}

void Document::syncModified() {
    if (doc_.IsModified() == toldModified_) return;
    toldModified_ = doc_.IsModified();
    emit modifiedChanged(toldModified_);
}

bool Document::open(const QString& path) {
    if (busy()) return false;  // a job works on the picture
    const bool ok = doc_.OnOpenDocument(path.toStdString()) != 0;
    // A new picture from a file: nothing before it to go back to.
    history_->clear();
    stitchFinding_.clear();
    syncModified();
    if (ok) {
        emit pathChanged();
        emit pictureChanged(QRect());
    }
    return ok;
}

void Document::setPicture(std::unique_ptr<CPicture> picture) {
    if (!picture) return;
    stitchFinding_.clear();
    replace(std::move(picture), StepName(ID_ACQUIRE));
}

bool Document::save() { return saveOrAsk(false); }

bool Document::saveOrAsk(bool answerNow) {
    if (!picture() || busy()) return false;
    const QString path = pathName();
    if (path.isEmpty() || !(IsDocumentFile(path) || CanSaveInPlace(path.toStdString())))
        return askSaveAs(answerNow);
    const std::string file = path.toStdString();
    const bool documentFile = IsDocumentFile(path);
    return writeInBackground(file, [this, file, documentFile](const FileStatus& status) {
        if (documentFile ? !doc_.TakeSaveStatus(status) : !status) return;
        DocumentChange change;
        change.kind = DocumentChange::Kind::Saved;
        change.path = file;
        takeResult(std::move(change));
    });
}

bool Document::saveAs() { return askSaveAs(false); }

bool Document::askSaveAs(bool answerNow) {
    if (!picture() || busy()) return false;
    SaveDialogSetup setup;
    if (!PrepareSaveDialog(doc_.GetPathName(), setup)) return false;
    QStringList filters = QtFilters(setup.filter);
    QStringList extensions;
    for (int i = 0; i < filters.size(); ++i)
        extensions << QString::fromStdString(Formats().WriteExtensionAt(i)).toLower();
    filters << DocumentFilter();
    extensions << "vdl";
    int position = setup.filterPosition;
    if (IsDocumentFile(pathName())) position = int(filters.size());
    QString initial = QString::fromStdString(setup.defaultName);
    // The suggestion is the same file: the name's own extension, as it is
    // spelt, when it names the preselected type ("MyMap.PNG" stays so).
    if (!setup.defaultExtension.empty() && position == setup.filterPosition &&
        Formats().FindFormat(setup.defaultExtension) == setup.format)
        initial += '.' + QString::fromStdString(setup.defaultExtension);
    else if (position >= 1 && position <= extensions.size() && !initial.isEmpty())
        initial += '.' + extensions[position - 1];
    const QString directory = QString::fromStdString(setup.initialDirectory);
    if (answerNow)
        return saveAsChosen(ChooseSaveFile(owner_, ProgramName(), directory, initial, filters, position, extensions));
    // Answered later, or at once by an answerer: then the answer is known here.
    auto started = std::make_shared<std::optional<bool>>();
    AskSaveFile(owner_, ProgramName(), directory, initial, filters, position, extensions, this,
                [this, started](const FileChoice& choice) { *started = saveAsChosen(choice); });
    return started->value_or(true);
}

bool Document::saveAsChosen(const FileChoice& choice) {
    if (choice.path.isEmpty() || !picture() || busy()) return false;
    const std::string path = choice.path.toStdString();
    const bool documentFile = IsDocumentFile(choice.path);
    if (!documentFile && !AskSaveAsOptions(path, owner_)) return false;
    return writeInBackground(path, [this, path, documentFile](const FileStatus& status) {
        if (documentFile) {
            if (!doc_.TakeSaveStatus(status)) return;
            RememberOpenChoice(path, 0);
        } else {
            if (!status) return;
            RememberSaveAsDirectory(path);
        }
        DocumentChange change;
        change.kind = DocumentChange::Kind::SavedAs;
        change.path = path;
        takeResult(std::move(change));
    });
}

bool Document::import() {
    if (busy()) return false;
    // Every format the library reads, as Open offers them.
    OpenDialogSetup setup;
    if (!PrepareOpenDialog(setup, OpenDialogKind::Import)) return false;
    auto started = std::make_shared<std::optional<bool>>();
    AskOpenFile(owner_, ProgramName(), QString::fromStdString(setup.initialDirectory), QString(),
                QtFilters(setup.filter), setup.filterPosition, this,
                [this, started](const FileChoice& choice) { *started = importChosen(choice); });
    return started->value_or(true);
}

bool Document::importChosen(const FileChoice& choice) {
    if (choice.path.isEmpty() || busy()) return false;
    // The imported picture takes the place of this one: a modified picture
    // is offered for saving first, as before a close.
    if (!canClose()) return false;
    const std::string path = choice.path.toStdString();
    const int filterPosition = choice.filterPosition;
    struct Out {
        std::unique_ptr<CPicture> picture;
        FileStatus status;
    };
    auto out = std::make_shared<Out>();
    CPicture* current = picture();
    return startJob(
        IDS_LOADING_IMAGE,
        [path, out, current](Progress& p) {
            out->picture = ReadImageFile(path, true, &out->status, &p);
            // The picture replaced goes to the history, on disk: written here.
            if (out->picture && current) current->SwapOut();
        },
        [this, path, filterPosition, out] {
            if (!out->picture) {
                // The picture held so far stays as it was.
                const FileFailure failure = out->status.failure;
                if (failure == FileFailure::kLibrary || failure == FileFailure::kNotAFile ||
                    failure == FileFailure::kFormat)
                    ShowMessage(FormatStringById(IDS_CANNOT_OPEN_PICTURE, path.c_str()));
                return;
            }
            RememberOpenChoice(path, filterPosition);
            DocumentChange change;
            change.kind = DocumentChange::Kind::Imported;
            change.picture = std::move(out->picture);
            takeResult(std::move(change));
        });
}

bool Document::canClose() {
    if (!doc_.IsModified() || doc_.IsInPlaceActive()) return true;
    QString name = QFileInfo(pathName()).fileName();
    if (name.isEmpty()) name = QStringLiteral("untitled");
    QString question = QString::fromUtf8(LoadStringById(IDS_ASK_TO_SAVE)).replace("%1", name);
    switch (AskSaveChanges(question.toStdString())) {
    case SaveAnswer::No: return true;
    case SaveAnswer::Cancel: return false;
    case SaveAnswer::Yes:
        // The document goes once this answers: the name is asked now and the
        // save ends first.
        if (!saveOrAsk(true)) return false;
        finishJob();
        return !doc_.IsModified();
    }
    return false;
}

void Document::UpdateAllViews(const Rect* hint) {
    syncModified();
    if (hint)
        emit pictureChanged(QRect(QPoint(hint->left, hint->top), QPoint(hint->right, hint->bottom)));
    else
        emit pictureChanged(QRect());
}

void Document::SetBaseName(const std::string&) { emit pathChanged(); }

void Document::BeginWaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void Document::EndWaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QGuiApplication::restoreOverrideCursor();
}

SaveAnswer Document::AskSaveChanges(const std::string& question) {
    const QString text = QString::fromStdString(question);
    if (Question()) return Question()(text);
    const auto answer = QMessageBox::question(owner_, ProgramName(), text,
                                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                              QMessageBox::Yes);
    if (answer == QMessageBox::Yes) return SaveAnswer::Yes;
    if (answer == QMessageBox::No) return SaveAnswer::No;
    return SaveAnswer::Cancel;
}

std::string Document::ChooseSavePath() {
    // Asked by the core's own save path, which writes the document file.
    const FileChoice choice = ChooseSaveFile(owner_, ProgramName(), QString::fromStdString(InitialDirectory()),
                                             QStringLiteral("untitled.vdl"), {DocumentFilter()}, 1, {"vdl"});
    return choice.path.toStdString();
}

void Document::AddToRecentFiles(const std::string& path) {
    if (RecentSink()) RecentSink()(QString::fromStdString(path));
}

bool Document::OnCommand(int id) {
    switch (id) {
    case ID_SAVE: save(); return true;
    case ID_SAVE_AS: saveAs(); return true;
    case ID_IMPORT: import(); return true;
    case ID_EDIT_UNDO: undo(); return true;
    case ID_EDIT_REDO: redo(); return true;
    default: break;
    }
    // The core's transforms, on this thread, recorded as every transform.
    static constexpr std::pair<int, TransformOp> kTransforms[] = {
        {ID_MIRROR_HORIZONTAL, TransformOp::MirrorHorizontal}, {ID_MIRROR_VERTICAL, TransformOp::MirrorVertical},
        {ID_MIRROR_DIAGONAL, TransformOp::MirrorDiagonal},     {ID_ROTATE_LEFT, TransformOp::RotateLeft},
        {ID_ROTATE_RIGHT, TransformOp::RotateRight}};
    for (const auto& [command, op] : kTransforms)
        if (command == id) {
            if (busy()) return true;
            const PrintSettings before = doc_.m_print;
            recordTransform(op, before, doc_.Transform(op));
            return true;
        }
    const bool handled = doc_.OnCommand(id);
    if (handled) syncModified();
    return handled;
}

void Document::apply(const std::function<void(CVandrelDoc&)>& change) {
    change(doc_);
    syncModified();
}
