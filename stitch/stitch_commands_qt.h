// The stitch commands: Stitch opens the stitch sheet over the workspace's
// window, Stitch Many the window that joins any number of pieces.
#pragma once

class CommandRegistry;

void RegisterStitchCommands(CommandRegistry& registry);
