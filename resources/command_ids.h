// The numeric command ids: menu and tool-bar commands, dialog buttons, mouse
// tools, and the framework's standard commands, as named constants and as one
// table (id, name, menu text).
#pragma once
#include <span>

#define STITCHARA_COMMAND(name, id, text) constexpr int name = id;
#include "resources/command_list.inc"
#undef STITCHARA_COMMAND

// The span of recent-file commands and the command ranges whose prompts the
// status bar shows.
constexpr int ID_FILE_MRU_FIRST = 57616;
constexpr int ID_FILE_MRU_LAST = 57631;
constexpr int ID_PROMPT_COMMANDS_FIRST = 32000;
constexpr int ID_PROMPT_COMMANDS_LAST = 32089;

// Zoom commands: ID_ZOOM_2 .. ID_ZOOM_16 display at id - 32028 times,
// ID_ZOOM_1_2 .. ID_ZOOM_1_16 at 1 / (id - 32043).
constexpr int ID_ZOOM_TIMES_FIRST = ID_ZOOM_2;
constexpr int ID_ZOOM_TIMES_LAST = ID_ZOOM_16;
constexpr int ID_ZOOM_FRACTION_FIRST = ID_ZOOM_1_2;
constexpr int ID_ZOOM_FRACTION_LAST = ID_ZOOM_1_16;

// Control-bar ids of the main frame and the in-place frame.
constexpr int ID_BAR_ICONBAR = 0xE800;
constexpr int ID_BAR_STATUSBAR = 0xE801;
constexpr int ID_BAR_RESIZE = 0xE803;

// Help contexts of the help commands.
constexpr int HELP_CONTEXT_INDEX = 2000;
constexpr int HELP_CONTEXT_KEYBOARD = 2001;
constexpr int HELP_CONTEXT_ICONS = 2004;

struct CommandEntry {
    int id;
    const char* name;      // the constant's name, e.g. "ID_STITCH"
    const char* menuText;  // resource form, or nullptr
};

// Every command, ids ascending.
std::span<const CommandEntry> AllCommands();
// The entry of id, or nullptr.
const CommandEntry* FindCommand(int id);
// The menu text of command id as the user reads it (translated when a
// translator is installed), or nullptr when it has none.
const char* CommandMenuText(int id);
// True when the status bar shows the prompt string of command id: the
// application's commands, the recent-file entries and Exit.
bool IsPromptCommand(int id);
