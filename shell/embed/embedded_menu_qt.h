// CEmbeddedMenu: the File menu of an embedded document opened in the
// program's own window. While such a document's window is the active one,
// this menu stands in the menu bar in place of the ordinary File menu:
// Import, Update (the container gets the picture now), Save Copy As (a copy
// in a file of the user's choice; the embedded document stays as it is),
// Acquire, Select Source, Stitch, Print Preview, Print, Print Setup, the
// recent files and Exit. Save and Save As are grayed for such a document:
// its file is its container.
#pragma once
#include <QObject>
#include <QPointer>
#include <functional>

#include "resources/command_target.h"

class CommandSet;
class Document;
class PMainWnd;
class QAction;
class QMdiSubWindow;
class QMenu;
class QWidget;

class CEmbeddedMenu : public QObject {
    Q_OBJECT
public:
    // Which embedded document a window shows (0: it shows none).
    using Lookup = std::function<uint(const QMdiSubWindow*)>;

    // Builds the menu from the commands placed on it and watches main's document
    // area; the menu is shown whenever the active window is embedded.
    CEmbeddedMenu(PMainWnd* main, CommandSet* commands, Lookup lookup);
    ~CEmbeddedMenu() override;

    QMenu* fileMenu() const { return menu_; }
    QAction* updateAction() const { return update_; }
    QAction* saveCopyAsAction() const { return saveCopy_; }

    // The embedded document of the main window's active document window
    // (0 when that window is not one of them, or there is none).
    uint activeDocument() const;
    // Puts the right File menu into the menu bar for the active window
    // (also after the lookup's answer for a window changed).
    void Refresh();
    // The rule the embedded documents add to the application's command
    // rules: Save and Save As grayed while one of them is active.
    void ApplyRules(int id, CommandState& state) const;

signals:
    void updateRequested(uint id);
    void saveCopyAsRequested(uint id);

private:
    // The main window while it is one (not while it is being destroyed:
    // its document area still reports then).
    PMainWnd* mainWindow() const;

    QPointer<QObject> main_;
    Lookup lookup_;
    QMenu* menu_ = nullptr;
    QAction* update_ = nullptr;
    QAction* saveCopy_ = nullptr;
    QAction* recentSeparator_ = nullptr;
};

// Writes a copy of the document's picture as a document file at path. The
// document keeps its modified state and its path. Messages as Save gives
// them; a failed write leaves an existing file as it was. True when written.
bool SaveDocumentCopy(Document* document, const QString& path);

// Asks where a copy of the document goes: the save dialog for a document
// file, starting in the last directory used. Empty when cancelled.
QString ChooseDocumentCopyPath(QWidget* owner, Document* document);
