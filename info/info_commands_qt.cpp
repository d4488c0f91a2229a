#include "info/info_commands_qt.h"

#include <QMdiArea>

#include "info/info_sheet_qt.h"
#include "resources/command_ids.h"

void ShowInfoSheet(QWidget* owner, QMdiArea* area) {
    CInfoSheet sheet(area, owner);
    sheet.exec();
}

void ShowInfoSheet(QWidget* owner, const QList<InfoDocumentWindow>& windows) {
    CInfoSheet sheet(windows, owner);
    sheet.exec();
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
