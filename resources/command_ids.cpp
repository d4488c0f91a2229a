// The table of numeric command ids.
#include "resources/command_ids.h"

#include <algorithm>
#include <iterator>

#include "resources/strings.h"

namespace {

constexpr CommandEntry kCommands[] = {
#define STITCHARA_COMMAND(name, id, text) {id, #name, text},
#include "resources/command_list.inc"
#undef STITCHARA_COMMAND
};

constexpr bool AscendingAndUnique() {
    for (std::size_t i = 1; i < std::size(kCommands); ++i)
        if (kCommands[i - 1].id >= kCommands[i].id) return false;
    return true;
}
static_assert(AscendingAndUnique(), "command ids must be listed in ascending order, once each");

}  // namespace

std::span<const CommandEntry> AllCommands() { return kCommands; }

const CommandEntry* FindCommand(int id) {
    auto it = std::lower_bound(std::begin(kCommands), std::end(kCommands), id,
                               [](const CommandEntry& e, int key) { return e.id < key; });
    return it != std::end(kCommands) && it->id == id ? it : nullptr;
}

const char* CommandMenuText(int id) {
    const CommandEntry* entry = FindCommand(id);
    return entry && entry->menuText ? TranslateText(kCommandsContext, entry->menuText) : nullptr;
}

bool IsPromptCommand(int id) {
    return (id >= ID_PROMPT_COMMANDS_FIRST && id <= ID_PROMPT_COMMANDS_LAST) ||
           (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) || id == ID_APP_EXIT || id == ID_EDIT_UNDO ||
           id == ID_EDIT_REDO;
}
