// The command layer: one QAction per numeric command id, created from the
// command table, and the routing of commands and of their states through a
// chain of command targets (active view, its document, the child frame, the
// main frame, the application; the first that answers wins).
#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <vector>

#include "resources/command_target.h"

class QAction;
class QTimer;

// The prompt a command shows in the status bar: the text of its string
// before the line break (at most 128 characters), for the application's
// commands, the recent files and Exit; "" for every other id.
QString CommandPrompt(int id);
// The tool tip of a command: the text of its string after the line break.
QString CommandToolTip(int id);

class CommandManager : public QObject {
    Q_OBJECT
public:
    using Chain = std::function<std::vector<CommandTarget*>()>;
    using Rules = std::function<void(int id, CommandState& state)>;

    explicit CommandManager(QObject* parent = nullptr);

    // The targets asked, in order (null entries are skipped).
    void setChain(Chain chain) { chain_ = std::move(chain); }
    // Applied after the chain decided: the application's rules (stitch
    // sheet open, no printer, no scanner) that gray commands whatever the
    // target said.
    void setRules(Rules rules) { rules_ = std::move(rules); }

    // The action of id (null for an id the table does not have).
    QAction* action(int id) const;
    const std::map<int, QAction*>& actions() const { return actions_; }

    // The state of id as the chain and the rules give it; a command no
    // target decides is disabled.
    CommandState state(int id) const;
    // Routes id to the first target that handles it; false when it is
    // disabled or nobody handles it.
    bool execute(int id);
    // Brings every action's enabled and checked state up to date.
    void updateStates();
    // Keeps the states fresh on an idle timer (interval in ms; 0 stops it).
    void setIdleInterval(int ms);

signals:
    // id was carried out by a target.
    void executed(int id);

private:
    std::map<int, QAction*> actions_;
    Chain chain_;
    Rules rules_;
    QTimer* idle_ = nullptr;
};
