// The document's commands: Import, Save, Save As, the Bitmap operations
// (mirror, rotate) and Copy, carried out on the workspace's active document.
#pragma once

class CommandRegistry;

void RegisterDocumentCommands(CommandRegistry& registry);
