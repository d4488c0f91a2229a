// The state a command shows, and a widget that carries commands itself: the
// active view of a window is asked before a command's own handler and
// predicate (the picture view takes its zoom and print commands so).
#pragma once

// The state a command shows in menus and on the icon bar.
struct CommandState {
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // Carries out command id; false when this target does not handle it.
    virtual bool OnCommand(int id) { (void)id; return false; }
    // Sets the state of command id; false when this target does not decide it.
    virtual bool OnUpdateCommand(int id, CommandState& state) { (void)id; (void)state; return false; }
};
