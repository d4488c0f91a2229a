#include "display/view_commands_qt.h"

#include "base/command_registry_qt.h"
#include "base/workspace_qt.h"
#include "display/mouse_tool_qt.h"
#include "display/selection_tool_qt.h"
#include "display/view_qt.h"
#include "document/crop_qt.h"
#include "document/document_qt.h"
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
    AddViewCommand(r, ID_FIT_IN_WINDOW, "&View", ID_FIT_IN_WINDOW);
    AddViewCommand(r, ID_FULL_SCREEN, "&View", ID_FULL_SCREEN);

    // The selection tool, on and off, and cropping to what it selected.
    r.add(CommandDecl(ID_SELECT_AREA)
              .runs([](Workspace& w) {
                  CVandrelView* view = ViewOf(w);
                  if (!view) return false;
                  SelectionTool();  // made before it can be chosen
                  const bool on = CurrentTool()->id() == ID_TOOL_SELECT;
                  return SelectTool(view, on ? ID_TOOL_DEFAULT : ID_TOOL_SELECT);
              })
              .enabledWhen([](const Workspace& w) { return ViewOf(w) && ViewOf(w)->GetPicture(); })
              .checkedWhen([](const Workspace&) { return CurrentTool()->id() == ID_TOOL_SELECT; })
              .needing(kNeedsIdle | kNeedsIdleDocument)
              .placed({{S::MainMenu, "&Edit", 2, 1}}));
    r.add(CommandDecl(ID_CROP_TO_SELECTION)
              .keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X)})
              .runs([](Workspace& w) {
                  CVandrelView* view = ViewOf(w);
                  if (!view || !view->GetDocument()) return false;
                  CropDocument(*view->GetDocument(), view->Selection());
                  return true;
              })
              .enabledWhen([](const Workspace& w) {
                  return ViewOf(w) && ViewOf(w)->GetDocument() && !ViewOf(w)->Selection().isEmpty();
              })
              .needing(kNeedsIdle | kNeedsIdleDocument)
              .placed({{S::MainMenu, "&Bitmap", 3, 1}}));
}
