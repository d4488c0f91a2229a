// The program's command registry: every feature's declarations in one
// registry, built once. The main window and each in-place frame make their
// actions from it (CommandSet).
#pragma once
#include "base/command_registry_qt.h"

// The registry of the program (built on first use; it does not change
// afterwards).
const CommandRegistry& ProgramCommands();

// The application's own commands: Open, the recent files, Exit, the help
// commands and About; and the window commands (bars, window arrangement).
void RegisterApplicationCommands(CommandRegistry& registry);
void RegisterWindowCommands(CommandRegistry& registry);
