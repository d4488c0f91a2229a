// A place a command can be routed to: the active view, its document, the
// child frame, the main frame and the application each are one. Routing asks
// them in that order; the first that handles an id wins.
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
