// Document: the application's side of a CVandrelDoc. It owns the core
// document, is its observer (redraws, titles, wait cursor, questions),
// carries out the document's commands (document_commands_qt.h declares
// them), and tells the windows that show it what changed by signals.
#pragma once
#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

#include "document/document.h"

class DocumentHistory;
class QWidget;

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
    // A picture from a scan or a stitch: the document takes it and is
    // marked modified; a picture it replaces can be brought back by Undo.
    void setPicture(std::unique_ptr<CPicture> picture);

    // The document's undo history (document/history_qt.h).
    DocumentHistory& history() { return *history_; }
    // The two ways a change to the picture enters the history. transform
    // runs a lossless operation (undone by its inverse); replacePicture puts
    // picture in place of the current one, which the history keeps in the
    // swap store (text: what the step is called). Both tell the windows;
    // false when nothing changed.
    bool transform(TransformOp op);
    bool replacePicture(std::unique_ptr<CPicture> picture, const QString& text);
    void undo();
    void redo();

    // The commands. Each answers whether it did what it was asked.
    bool save();
    bool saveAs();
    bool import();
    // Before the document's window closes: asks whether to save changes of a
    // modified document (yes saves as the Save command does; cancel keeps it
    // open). True when the document may close.
    bool canClose();

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

private:
    // Emits modifiedChanged when the flag differs from the last one told.
    void syncModified();
    bool saveTo(const QString& path);

    // The document now is as its file: the history's clean state.
    void markSaved();
    // The modified flag as the history's clean state has it.
    void followHistory();

    CVandrelDoc doc_;
    QWidget* owner_ = nullptr;
    bool toldModified_ = false;
    std::unique_ptr<DocumentHistory> history_;
};
