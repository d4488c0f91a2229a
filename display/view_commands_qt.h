// The view's commands: Zoom In, Zoom Out, the Enlarge and Reduce steps,
// Actual Size, Fit In Window and Full Screen, carried out by the
// workspace's active view.
#pragma once

class CommandRegistry;

void RegisterViewCommands(CommandRegistry& registry);
