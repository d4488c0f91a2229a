#include "stitch/stitch_commands_qt.h"

#include "base/command_icons_qt.h"
#include "base/command_registry_qt.h"
#include "base/workspace_qt.h"
#include "resources/command_ids.h"
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
}
