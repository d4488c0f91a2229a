// The Information command: the information sheet, window-modal over a
// window. The main window routes ID_INFORMATION here; so can any other frame
// with the command (the in-place tool bar).
#pragma once

#include <QList>

#include "resources/command_target.h"

struct InfoDocumentWindow;
namespace info {
class DisplayUnitChoice;
}
class QMdiArea;
class QWidget;

// Carries out ID_INFORMATION: the sheet, window-modal over owner, with the
// Document page for the document windows of owner's document area (owner
// itself when it is one) and the System page; sizes in unit's unit (none:
// the setting's). False for other ids.
bool HandleInfoCommand(int id, QWidget* owner, info::DisplayUnitChoice* unit = nullptr);
// The same for a frame that shows its documents outside a document area
// (the in-place frame): the Document page walks the given windows.
bool HandleInfoCommand(int id, QWidget* owner, const QList<InfoDocumentWindow>& windows,
                       info::DisplayUnitChoice* unit = nullptr);
// ID_INFORMATION is always enabled here (the application grays it while a
// stitch sheet is open); false for other ids.
bool UpdateInfoCommand(int id, CommandState& state);
// Declares Information: the sheet over the workspace's window, with its
// document area's windows (or its one document).
class CommandRegistry;
void RegisterInfoCommands(CommandRegistry& registry);

// Shows the sheet window-modal over owner with the document windows of area
// (null: the System page alone) and returns at once; the sheet goes when it
// is closed. unit, when given, must outlive the sheet.
void ShowInfoSheet(QWidget* owner, QMdiArea* area, info::DisplayUnitChoice* unit = nullptr);
void ShowInfoSheet(QWidget* owner, const QList<InfoDocumentWindow>& windows, info::DisplayUnitChoice* unit = nullptr);
