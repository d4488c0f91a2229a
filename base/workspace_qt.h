// Workspace: what the features' Qt halves see of the application. A window
// that carries commands (the main window, an in-place frame) offers one:
// the active document and its view, the parent of dialogs, the conditions
// commands depend on, the window's bars, and the few services the features
// ask of the application (a new document for a picture, the status prompt,
// the stitch sheet's state). The features never reach the application
// otherwise; shell/app implements it.
#pragma once
#include <QString>
#include <memory>

class CPicture;
class Document;
class QMdiArea;
class QWidget;

class Workspace {
public:
    virtual ~Workspace() = default;

    // The document the commands work on and the widget showing it (null:
    // none).
    virtual Document* activeDocument() const = 0;
    virtual QWidget* activeView() const = 0;
    // The window dialogs belong to; scanned pictures are delivered to it.
    virtual QWidget* dialogParent() const = 0;
    // The area of document windows (null where documents are not kept in one).
    virtual QMdiArea* documentArea() const { return nullptr; }

    // The conditions commands depend on.
    // A job works on the active document (Document::busy): the commands that
    // read, change or close it wait.
    virtual bool activeDocumentBusy() const { return false; }
    virtual bool sheetOpen() const = 0;
    virtual bool printerAvailable() const = 0;
    virtual bool scannerAvailable() const = 0;

    // The window's bars.
    virtual bool iconBarShown() const = 0;
    virtual void setIconBarShown(bool shown) = 0;
    virtual bool statusBarShown() const { return false; }
    virtual void setStatusBarShown(bool) {}

    // The application's services.
    // A new untitled document window holding the picture (marked modified),
    // made the active one with its view focused: the document and the view
    // (nulls when no window could be made).
    struct Opened {
        Document* document = nullptr;
        QWidget* view = nullptr;
    };
    virtual Opened openPicture(std::unique_ptr<CPicture> picture) = 0;
    // The status bar's prompt pane.
    virtual void setStatusPrompt(const QString&) {}
    // Something the commands depend on changed (a stitch sheet opened or
    // closed): their states are asked again.
    virtual void conditionsChanged() {}
};

// The application's workspace while the application runs (null before and
// after it, and for a feature used on its own).
Workspace* ApplicationWorkspace();
void SetApplicationWorkspace(Workspace* workspace);
