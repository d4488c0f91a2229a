#include "display/view_commands_qt.h"

#include "base/command_registry_qt.h"
#include "base/workspace_qt.h"
#include "display/view_qt.h"
#include "resources/command_ids.h"

namespace {

using S = CommandSurface;

CVandrelView* ViewOf(const Workspace& w) {
    return qobject_cast<CVandrelView*>(w.activeView());
}

void AddViewCommand(CommandRegistry& r, int id, const QString& menu, int order, QList<QKeySequence> keys = {}) {
    // The view, a command target, decides its commands' states itself (a
    // zoom step is checked while it is the view's zoom); without a view
    // they are gray.
    r.add(CommandDecl(id)
              .keys(std::move(keys))
              .runs([id](Workspace& w) { return ViewOf(w) && ViewOf(w)->OnCommand(id); })
              .enabledWhen([](const Workspace& w) { return ViewOf(w) != nullptr; })
              .placed({{S::MainMenu, menu, 2, order}}));
}

}  // namespace

void RegisterViewCommands(CommandRegistry& r) {
    AddViewCommand(r, ID_ZOOM_IN, "&View", 1, {QKeySequence(Qt::Key_Plus), QKeySequence(QKeySequence::ZoomIn)});
    AddViewCommand(r, ID_ZOOM_OUT, "&View", 2, {QKeySequence(Qt::Key_Minus), QKeySequence(QKeySequence::ZoomOut)});
    for (int id = ID_ZOOM_TIMES_FIRST; id <= ID_ZOOM_TIMES_LAST; ++id)
        AddViewCommand(r, id, "&View/&Enlarge", id);
    for (int id = ID_ZOOM_FRACTION_FIRST; id <= ID_ZOOM_FRACTION_LAST; ++id)
        AddViewCommand(r, id, "&View/&Reduce", id);
    AddViewCommand(r, ID_ACTUAL_SIZE, "&View", ID_ACTUAL_SIZE);
    AddViewCommand(r, ID_FIT_IN_WINDOW, "&View", ID_FIT_IN_WINDOW, {QKeySequence(Qt::CTRL | Qt::Key_0)});
    AddViewCommand(r, ID_FULL_SCREEN, "&View", ID_FULL_SCREEN, {QKeySequence(Qt::Key_F11)});
}
