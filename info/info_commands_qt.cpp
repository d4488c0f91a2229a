#include "info/info_commands_qt.h"

#include <QMdiArea>

#include "base/command_icons_qt.h"
#include "base/command_registry_qt.h"
#include "base/workspace_qt.h"
#include "document/document_qt.h"
#include "info/info_sheet_qt.h"
#include "resources/command_ids.h"

namespace {

// The sheet only reports: window-modal over its owner, gone once closed.
void OpenSheet(CInfoSheet* sheet) {
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

}  // namespace

void ShowInfoSheet(QWidget* owner, QMdiArea* area) { OpenSheet(new CInfoSheet(area, owner)); }

void ShowInfoSheet(QWidget* owner, const QList<InfoDocumentWindow>& windows) {
    OpenSheet(new CInfoSheet(windows, owner));
}

bool HandleInfoCommand(int id, QWidget* owner, const QList<InfoDocumentWindow>& windows) {
    if (id != ID_INFORMATION) return false;
    ShowInfoSheet(owner, windows);
    return true;
}

bool HandleInfoCommand(int id, QWidget* owner) {
    if (id != ID_INFORMATION) return false;
    QMdiArea* area = qobject_cast<QMdiArea*>(owner);
    if (!area && owner) area = owner->findChild<QMdiArea*>();
    ShowInfoSheet(owner, area);
    return true;
}

bool UpdateInfoCommand(int id, CommandState& state) {
    if (id != ID_INFORMATION) return false;
    state.enabled = true;
    return true;
}

void RegisterInfoCommands(CommandRegistry& r) {
    using S = CommandSurface;
    r.add(CommandDecl(ID_INFORMATION)
              .withIcon(CommandIcon(ID_INFORMATION))
              .opensDialog()
              .runs([](Workspace& w) {
                  if (w.documentArea()) return HandleInfoCommand(ID_INFORMATION, w.dialogParent());
                  return HandleInfoCommand(ID_INFORMATION, w.dialogParent(),
                                           {InfoDocumentWindow{w.dialogParent(), w.activeDocument()}});
              })
              .needing(kNeedsIdle | kNeedsIdleDocument)
              .placed({{S::MainMenu, "&View", 3, 1},
                       {S::IconBar, {}, 4, 1},
                       {S::InPlaceMenu, "&View", 2, 1},
                       {S::InPlaceToolBar, {}, 3, 1}}));
}
