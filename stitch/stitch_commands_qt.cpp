#include "stitch/stitch_commands_qt.h"

#include "base/command_icons_qt.h"
#include "base/command_registry_qt.h"
#include "base/workspace_qt.h"
#include "resources/command_ids.h"
#include "stitch/mosaic_window_qt.h"
#include "stitch/stitch_sheet_qt.h"

void RegisterStitchCommands(CommandRegistry& r) {
    using S = CommandSurface;
    r.add(CommandDecl(ID_STITCH)
              .withIcon(CommandIcon(ID_STITCH))
              .runs([](Workspace& w) {
                  OpenStitchSheet(w.dialogParent());
                  return true;
              })
              .needing(kNeedsIdle)
              .placed({{S::MainMenu, "&File", 3, 1}, {S::IconBar, {}, 2, 1}, {S::EmbeddedFileMenu, "&File", 4, 1}}));
    // The Stitch Many window stands beside the sheet: it opens also while a
    // sheet is open.
    r.add(CommandDecl(ID_STITCH_MANY)
              .runs([](Workspace& w) {
                  OpenMosaicWindow(w.dialogParent());
                  return true;
              })
              .placed({{S::MainMenu, "&File", 3, 2}}));
}
