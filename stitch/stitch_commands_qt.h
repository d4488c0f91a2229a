// The Stitch command: opens the stitch sheet over the workspace's window.
#pragma once

class CommandRegistry;

void RegisterStitchCommands(CommandRegistry& registry);
