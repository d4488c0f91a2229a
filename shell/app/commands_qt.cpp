#include "shell/app/commands_qt.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "acquire/acquire_commands_qt.h"
#include "base/command_icons_qt.h"
#include "base/workspace_qt.h"
#include "display/view_commands_qt.h"
#include "document/document_commands_qt.h"
#include "info/info_commands_qt.h"
#include "print/print_commands_qt.h"
#include "resources/command_ids.h"
#include "shell/app/app_qt.h"
#include "shell/app/logo_wnd_qt.h"
#include "stitch/stitch_commands_qt.h"
#include "stitch/stitch_sheet_qt.h"

namespace {

CommandRegistry BuildProgramCommands() {
    CommandRegistry registry;
    RegisterApplicationCommands(registry);
    RegisterWindowCommands(registry);
    RegisterDocumentCommands(registry);
    RegisterViewCommands(registry);
    RegisterPrintCommands(registry);
    RegisterAcquireCommands(registry);
    RegisterInfoCommands(registry);
    RegisterStitchCommands(registry);
    return registry;
}

using S = CommandSurface;

}  // namespace

const CommandRegistry& ProgramCommands() {
    static const CommandRegistry registry = BuildProgramCommands();
    return registry;
}

void RegisterApplicationCommands(CommandRegistry& r) {
    r.add(CommandDecl(ID_OPEN)
              .keys({QKeySequence(QKeySequence::Open)})
              .withIcon(CommandIcon(ID_OPEN))
              .runs([](Workspace&) { return theApp() && theApp()->RunOpen(); })
              .needing(kNeedsIdle)
              .placed({{S::MainMenu, "&File", 1, 1}, {S::IconBar, {}, 1, 1}}));
    for (int id = ID_FILE_MRU_FILE1; id <= ID_FILE_MRU_FILE4; ++id) {
        const int index = id - ID_FILE_MRU_FILE1;
        r.add(CommandDecl(id)
                  .runs([index](Workspace&) { return theApp() && theApp()->OpenRecentFile(index); })
                  .enabledWhen(
                      [index](const Workspace&) { return theApp() && index < theApp()->recentFiles().Files().size(); })
                  .needing(kNeedsIdle)
                  .placed({{S::MainMenu, "&File", 5, index}, {S::EmbeddedFileMenu, "&File", 6, index}}));
    }
    r.add(CommandDecl(ID_APP_EXIT)
              .keys({QKeySequence(Qt::CTRL | Qt::Key_Q)})
              .runs([](Workspace&) { return theApp() && theApp()->RunExit(); })
              .needing(kNeedsIdle)
              .placed({{S::MainMenu, "&File", 6, 1}, {S::EmbeddedFileMenu, "&File", 7, 1}}));

    // Help.
    const int help[] = {ID_HELP_INDEX, ID_HELP_KEYBOARD, ID_HELP_ICONS, ID_HELP_USING};
    for (int i = 0; i < 4; ++i) {
        const int id = help[i];
        CommandDecl decl = CommandDecl(id)
                               .runs([id](Workspace&) {
                                   if (!theApp()) return false;
                                   theApp()->ShowHelp(id);
                                   return true;
                               })
                               .needing(kNeedsIdle)
                               .placed({{S::MainMenu, "&Help", 1, i}});
        if (id == ID_HELP_INDEX) decl.shortcuts = {QKeySequence(QKeySequence::HelpContents)};
        if (id == ID_HELP_INDEX || id == ID_HELP_USING) decl.places.push_back({S::InPlaceMenu, "&Help", 1, i});
        r.add(std::move(decl));
    }
    r.add(CommandDecl(ID_ABOUT)
              .withIcon(CommandIcon(ID_ABOUT))
              .opensDialog()
              .runs([](Workspace& w) {
                  ShowLogoWindow(qobject_cast<QMainWindow*>(w.dialogParent()), 0);
                  return true;
              })
              .needing(kNeedsIdle)
              .placed({{S::MainMenu, "&Help", 2, 1},
                       {S::IconBar, {}, 4, 2},
                       {S::InPlaceMenu, "&Help", 2, 1},
                       {S::InPlaceToolBar, {}, 3, 2}}));
}

void RegisterWindowCommands(CommandRegistry& r) {
    r.add(CommandDecl(ID_VIEW_ICONBAR)
              .runs([](Workspace& w) {
                  w.setIconBarShown(!w.iconBarShown());
                  return true;
              })
              .checkedWhen([](const Workspace& w) { return w.iconBarShown(); })
              .placed({{S::MainMenu, "&View", 1, 1}, {S::InPlaceMenu, "&View", 1, 1}}));
    r.add(CommandDecl(ID_VIEW_STATUSBAR)
              .runs([](Workspace& w) {
                  w.setStatusBarShown(!w.statusBarShown());
                  return true;
              })
              .checkedWhen([](const Workspace& w) { return w.statusBarShown(); })
              .placed({{S::MainMenu, "&View", 1, 2}}));
    auto hasWindows = [](const Workspace& w) {
        return w.documentArea() && !w.documentArea()->subWindowList().isEmpty();
    };
    r.add(CommandDecl(ID_WINDOW_CASCADE)
              .runs([](Workspace& w) {
                  if (!w.documentArea()) return false;
                  w.documentArea()->cascadeSubWindows();
                  return true;
              })
              .enabledWhen(hasWindows)
              .needing(kNeedsIdle)
              .placed({{S::MainMenu, "&Window", 1, 1}}));
    r.add(CommandDecl(ID_WINDOW_TILE)
              .runs([](Workspace& w) {
                  if (!w.documentArea()) return false;
                  w.documentArea()->tileSubWindows();
                  return true;
              })
              .enabledWhen(hasWindows)
              .needing(kNeedsIdle)
              .placed({{S::MainMenu, "&Window", 1, 2}}));
    r.add(CommandDecl(ID_WINDOW_ARRANGE)
              .runs([](Workspace& w) {
                  QMdiArea* area = w.documentArea();
                  if (!area) return false;
                  // Minimised windows in a row along the bottom of the document
                  // area.
                  int x = 0;
                  const int bottom = area->viewport()->height();
                  for (QMdiSubWindow* window : area->subWindowList()) {
                      if (!window->isMinimized()) continue;
                      window->move(x, bottom - window->height());
                      x += window->width();
                  }
                  return true;
              })
              .enabledWhen(hasWindows)
              .needing(kNeedsIdle)
              .placed({{S::MainMenu, "&Window", 1, 3}}));
}
