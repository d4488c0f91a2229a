#include "document/document_qt.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>

#include "document/file_dialogs_qt.h"
#include "document/history_qt.h"
#include "document/import_export.h"
#include "document/import_export_commands.h"
#include "document/import_export_formats.h"
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
    history_.reset();
    doc_.SetObserver(nullptr);
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

bool Document::transform(TransformOp op) {
    if (!picture()) return false;
    const PrintSettings before = doc_.m_print;
    const TransformResult result = doc_.Transform(op);
    if (result != kTransformDone) {
        syncModified();
        return false;
    }
    history_->recordTransform(op, before, StepName(TransformCommand(op)));
    followHistory();
    return true;
}

bool Document::replacePicture(std::unique_ptr<CPicture> picture, const QString& text) {
    if (!picture) return false;
    const PrintSettings before = doc_.m_print;
    const std::string path = doc_.GetPathName();
    std::unique_ptr<CPicture> previous = std::move(doc_.m_pPicture);
    doc_.SetPicture(std::move(picture));
    history_->recordReplace(std::move(previous), before, path, text);
    followHistory();
    emit pictureChanged(QRect());
    return true;
}

void Document::undo() {
    history_->undo();
    followHistory();
}

void Document::redo() {
    history_->redo();
    followHistory();
}

void Document::syncModified() {
    if (doc_.IsModified() == toldModified_) return;
    toldModified_ = doc_.IsModified();
    emit modifiedChanged(toldModified_);
}

bool Document::open(const QString& path) {
    const bool ok = doc_.OnOpenDocument(path.toStdString()) != 0;
    // A new picture from a file: nothing before it to go back to.
    history_->clear();
    syncModified();
    if (ok) {
        emit pathChanged();
        emit pictureChanged(QRect());
    }
    return ok;
}

void Document::setPicture(std::unique_ptr<CPicture> picture) {
    if (!picture) return;
    replacePicture(std::move(picture), StepName(ID_ACQUIRE));
}

bool Document::saveTo(const QString& path) {
    // The document's own file is a plain BMP file; every other extension
    // chooses its format.
    if (IsDocumentFile(path)) return doc_.OnSaveDocument(path.toStdString()) != 0;
    return SaveToPath(path.toStdString(), picture()) != 0;
}

bool Document::save() {
    if (!picture()) return false;
    const QString path = pathName();
    if (path.isEmpty() || !(IsDocumentFile(path) || CanSaveInPlace(path.toStdString())))
        return saveAs();
    if (!saveTo(path)) return false;
    markSaved();
    return true;
}

bool Document::saveAs() {
    if (!picture()) return false;
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
    const FileChoice choice =
        ChooseSaveFile(owner_, ProgramName(), QString::fromStdString(setup.initialDirectory),
                       initial, filters, position, extensions);
    if (choice.path.isEmpty()) return false;
    const std::string path = choice.path.toStdString();
    if (IsDocumentFile(choice.path)) {
        if (!doc_.OnSaveDocument(path)) return false;
        RememberOpenChoice(path, 0);
    } else {
        SetProgressCaption(IDS_SAVING_IMAGE);
        const SaveAsResult result = SaveAsToPath(path, picture(), owner_);
        if (result != kSaveAsWritten) return false;
    }
    doc_.SetPathName(path);
    SetBaseName(path);
    AddToRecentFiles(path);
    markSaved();
    return true;
}

bool Document::import() {
    // Every format the library reads, as Open offers them.
    OpenDialogSetup setup;
    if (!PrepareOpenDialog(setup, OpenDialogKind::Import)) return false;
    const FileChoice choice =
        ChooseOpenFile(owner_, ProgramName(), QString::fromStdString(setup.initialDirectory), QString(),
                       QtFilters(setup.filter), setup.filterPosition);
    if (choice.path.isEmpty()) return false;
    // The imported picture takes the place of this one: a modified picture
    // is offered for saving first, as before a close.
    if (!canClose()) return false;
    const std::string path = choice.path.toStdString();
    FileStatus status;
    BeginWaitCursor();
    SetProgressCaption(IDS_LOADING_IMAGE);
    std::unique_ptr<CPicture> picture = ReadImageFile(path, true, &status);
    EndProgress();
    EndWaitCursor();
    if (!picture) {
        // The picture held so far stays as it was.
        if (status.failure == FileFailure::kLibrary || status.failure == FileFailure::kNotAFile ||
            status.failure == FileFailure::kFormat)
            ShowMessage(FormatStringById(IDS_CANNOT_OPEN_PICTURE, path.c_str()));
        return false;
    }
    RememberOpenChoice(path, choice.filterPosition);
    // The document now holds a picture that is saved nowhere: no file name
    // (Save asks for one), an untitled title. Undo brings back the picture,
    // the print options and the name it had.
    doc_.m_pStitchWork.reset();
    doc_.m_pStitchWork2.reset();
    replacePicture(std::move(picture), StepName(ID_IMPORT));
    doc_.SetPathName(std::string());
    SetBaseName(std::string());
    return true;
}

bool Document::canClose() {
    if (!doc_.IsModified() || doc_.IsInPlaceActive()) return true;
    QString name = QFileInfo(pathName()).fileName();
    if (name.isEmpty()) name = QStringLiteral("untitled");
    QString question = QString::fromUtf8(LoadStringById(IDS_ASK_TO_SAVE)).replace("%1", name);
    switch (AskSaveChanges(question.toStdString())) {
    case SaveAnswer::No: return true;
    case SaveAnswer::Cancel: return false;
    case SaveAnswer::Yes: return save();
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
    default: break;
    }
    switch (id) {
    case ID_MIRROR_HORIZONTAL: transform(TransformOp::MirrorHorizontal); return true;
    case ID_MIRROR_VERTICAL: transform(TransformOp::MirrorVertical); return true;
    case ID_MIRROR_DIAGONAL: transform(TransformOp::MirrorDiagonal); return true;
    case ID_ROTATE_LEFT: transform(TransformOp::RotateLeft); return true;
    case ID_ROTATE_RIGHT: transform(TransformOp::RotateRight); return true;
    case ID_EDIT_UNDO: undo(); return true;
    case ID_EDIT_REDO: redo(); return true;
    default: break;
    }
    const bool handled = doc_.OnCommand(id);
    if (handled) syncModified();
    return handled;
}

void Document::apply(const std::function<void(CVandrelDoc&)>& change) {
    change(doc_);
    syncModified();
}
