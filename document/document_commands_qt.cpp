#include "document/document_commands_qt.h"

#include "base/command_icons_qt.h"
#include "base/command_registry_qt.h"
#include "base/workspace_qt.h"
#include "document/crop_qt.h"
#include "document/document_qt.h"
#include "document/history_qt.h"
#include "resources/command_ids.h"

namespace {

using S = CommandSurface;

bool HasPicture(const Workspace& w) {
    return w.activeDocument() && w.activeDocument()->picture();
}

// A Bitmap transform of the active document's picture, made on a worker
// thread and undone by its inverse.
void AddBitmapCommand(CommandRegistry& r, int id, TransformOp op, int group, int order) {
    r.add(CommandDecl(id)
              .runs([op](Workspace& w) {
                  Document* document = w.activeDocument();
                  return document && document->transform(op);
              })
              .enabledWhen(HasPicture)
              .needing(kNeedsIdle | kNeedsIdleDocument)
              .placed({{S::MainMenu, "&Bitmap", group, order}, {S::InPlaceMenu, "&Bitmap", group, order}}));
}

}  // namespace

void RegisterDocumentCommands(CommandRegistry& r) {
    r.add(CommandDecl(ID_IMPORT)
              .keys({QKeySequence(Qt::CTRL | Qt::Key_I)})
              // Import shows the picture-file icon of Open.
              .withIcon(CommandIcon(ID_OPEN))
              .opensDialog()
              .runs([](Workspace& w) { return w.activeDocument() && (w.activeDocument()->import(), true); })
              .enabledWhen([](const Workspace& w) { return w.activeDocument() != nullptr; })
              .needing(kNeedsIdleDocument)
              .placed({{S::MainMenu, "&File", 1, 2},
                       {S::InPlaceMenu, "&File", 1, 1, QKeySequence(Qt::CTRL | Qt::Key_L)},
                       {S::InPlaceToolBar, {}, 1, 1, QKeySequence(Qt::CTRL | Qt::Key_L)},
                       {S::EmbeddedFileMenu, "&File", 1, 1}}));
    r.add(CommandDecl(ID_SAVE)
              .keys({QKeySequence(QKeySequence::Save)})
              .withIcon(CommandIcon(ID_SAVE))
              .runs([](Workspace& w) { return w.activeDocument() && (w.activeDocument()->save(), true); })
              .enabledWhen(HasPicture)
              .needing(kNeedsIdle | kNeedsIdleDocument)
              .placed({{S::MainMenu, "&File", 1, 3}, {S::IconBar, {}, 1, 2}}));
    r.add(CommandDecl(ID_SAVE_AS)
              .keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)})
              .runs([](Workspace& w) { return w.activeDocument() && (w.activeDocument()->saveAs(), true); })
              .enabledWhen(HasPicture)
              .needing(kNeedsIdle | kNeedsIdleDocument)
              .placed({{S::MainMenu, "&File", 1, 4}}));
    r.add(CommandDecl(ID_EDIT_COPY)
              // Accepted, does nothing.
              .runs([](Workspace& w) { return w.activeDocument() != nullptr; })
              .enabledWhen(HasPicture));

    AddBitmapCommand(r, ID_MIRROR_HORIZONTAL, TransformOp::MirrorHorizontal, 1, 1);
    AddBitmapCommand(r, ID_MIRROR_VERTICAL, TransformOp::MirrorVertical, 1, 2);
    AddBitmapCommand(r, ID_MIRROR_DIAGONAL, TransformOp::MirrorDiagonal, 1, 3);
    AddBitmapCommand(r, ID_ROTATE_LEFT, TransformOp::RotateLeft, 2, 1);
    AddBitmapCommand(r, ID_ROTATE_RIGHT, TransformOp::RotateRight, 2, 2);
    r.add(CommandDecl(ID_TRIM_BORDER)
              .runs([](Workspace& w) {
                  return w.activeDocument() && (TrimDocument(*w.activeDocument(), TrimTolerance()), true);
              })
              .enabledWhen(HasPicture)
              .needing(kNeedsIdle | kNeedsIdleDocument)
              .placed({{S::MainMenu, "&Bitmap", 3, 2}}));

    // Undo and redo of the active document's changes; their states follow
    // its history (Document::historyChanged).
    r.add(CommandDecl(ID_EDIT_UNDO)
              .keys({QKeySequence(QKeySequence::Undo)})
              .runs([](Workspace& w) { return w.activeDocument() && (w.activeDocument()->undo(), true); })
              .enabledWhen([](const Workspace& w) {
                  return w.activeDocument() && w.activeDocument()->history().canUndo();
              })
              .needing(kNeedsIdle | kNeedsIdleDocument)
              // Also in the in-place menu: an embedded picture's changes undo
              // there as in the program's own window.
              .placed({{S::MainMenu, "&Edit", 1, 1},
                       {S::InPlaceMenu, "&Edit", 1, 1, QKeySequence(QKeySequence::Undo)}}));
    r.add(CommandDecl(ID_EDIT_REDO)
              .keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)})
              .runs([](Workspace& w) { return w.activeDocument() && (w.activeDocument()->redo(), true); })
              .enabledWhen([](const Workspace& w) {
                  return w.activeDocument() && w.activeDocument()->history().canRedo();
              })
              .needing(kNeedsIdle | kNeedsIdleDocument)
              .placed({{S::MainMenu, "&Edit", 1, 2},
                       {S::InPlaceMenu, "&Edit", 1, 2, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}}));
}
