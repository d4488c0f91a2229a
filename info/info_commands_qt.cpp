#include "info/info_commands_qt.h"

#include <QMdiArea>
#include <memory>

#include "base/command_icons_qt.h"
#include "base/command_registry_qt.h"
#include "base/workspace_qt.h"
#include "document/document_qt.h"
#include "info/info_sheet_qt.h"
#include "resources/command_ids.h"

namespace {

// The sheet only reports: window-modal over its owner, gone once closed.
// The unit it is given lasts longer than it (the command keeps it).
void OpenSheet(CInfoSheet* sheet) {
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

}  // namespace

void ShowInfoSheet(QWidget* owner, QMdiArea* area, info::DisplayUnitChoice* unit) {
    OpenSheet(new CInfoSheet(area, owner, unit));
}

void ShowInfoSheet(QWidget* owner, const QList<InfoDocumentWindow>& windows, info::DisplayUnitChoice* unit) {
    OpenSheet(new CInfoSheet(windows, owner, unit));
}

bool HandleInfoCommand(int id, QWidget* owner, const QList<InfoDocumentWindow>& windows,
                       info::DisplayUnitChoice* unit) {
    if (id != ID_INFORMATION) return false;
    ShowInfoSheet(owner, windows, unit);
    return true;
}

bool HandleInfoCommand(int id, QWidget* owner, info::DisplayUnitChoice* unit) {
    if (id != ID_INFORMATION) return false;
    QMdiArea* area = qobject_cast<QMdiArea*>(owner);
    if (!area && owner) area = owner->findChild<QMdiArea*>();
    ShowInfoSheet(owner, area, unit);
    return true;
}

bool UpdateInfoCommand(int id, CommandState& state) {
    if (id != ID_INFORMATION) return false;
    state.enabled = true;
    return true;
}

void RegisterInfoCommands(CommandRegistry& r) {
    using S = CommandSurface;
    // The unit the user chose on the sheet lasts for the run: the command
    // keeps it for every sheet it shows.
    auto unit = std::make_shared<info::DisplayUnitChoice>();
    r.add(CommandDecl(ID_INFORMATION)
              .withIcon(CommandIcon(ID_INFORMATION))
              .opensDialog()
              .runs([unit](Workspace& w) {
                  if (w.documentArea()) return HandleInfoCommand(ID_INFORMATION, w.dialogParent(), unit.get());
                  return HandleInfoCommand(ID_INFORMATION, w.dialogParent(),
                                           {InfoDocumentWindow{w.dialogParent(), w.activeDocument()}}, unit.get());
              })
              .needing(kNeedsIdle | kNeedsIdleDocument)
              .placed({{S::MainMenu, "&View", 3, 1},
                       {S::IconBar, {}, 4, 1},
                       {S::InPlaceMenu, "&View", 2, 1},
                       {S::InPlaceToolBar, {}, 3, 1}}));
}
