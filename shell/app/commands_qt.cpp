#include "shell/app/commands_qt.h"

#include <QAction>
#include <QKeySequence>
#include <QTimer>

#include "resources/command_ids.h"
#include "resources/strings.h"

namespace {

constexpr int kPromptChars = 128;

// Which ids become actions: the menu and icon-bar commands and the
// framework's standard commands; not the dialog buttons, the prompt ids or
// the print preview's own buttons.
bool IsActionId(int id) {
    if (id < ID_OPEN) return false;
    if (id == ID_PROMPT_IDLE || id == ID_PROMPT_POPUP) return false;
    return id < ID_PREVIEW_CLOSE;
}

QList<QKeySequence> ShortcutsFor(int id) {
    switch (id) {
    case ID_OPEN: return {QKeySequence(QKeySequence::Open)};
    case ID_SAVE: return {QKeySequence(QKeySequence::Save)};
    case ID_SAVE_AS: return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
    case ID_PRINT: return {QKeySequence(QKeySequence::Print)};
    case ID_IMPORT: return {QKeySequence(Qt::CTRL | Qt::Key_I)};
    case ID_ZOOM_IN: return {QKeySequence(Qt::Key_Plus), QKeySequence(QKeySequence::ZoomIn)};
    case ID_ZOOM_OUT: return {QKeySequence(Qt::Key_Minus), QKeySequence(QKeySequence::ZoomOut)};
    case ID_HELP_INDEX: return {QKeySequence(QKeySequence::HelpContents)};
    case ID_APP_EXIT: return {QKeySequence(Qt::CTRL | Qt::Key_Q)};
    default: return {};
    }
}

}  // namespace

QString CommandPrompt(int id) {
    if (!IsPromptCommand(id)) return {};
    QString text = QString::fromUtf8(TextBeforeLineBreak(LoadStringById(id)));
    return text.left(kPromptChars);
}

QString CommandToolTip(int id) { return QString::fromUtf8(TextAfterLineBreak(LoadStringById(id))); }

CommandManager::CommandManager(QObject* parent) : QObject(parent) {
    for (const CommandEntry& entry : AllCommands()) {
        if (!IsActionId(entry.id)) continue;
        auto* action = new QAction(this);
        const int id = entry.id;
        action->setObjectName(QString::fromUtf8(entry.name));
        action->setData(id);
        if (entry.menuText) action->setText(QString::fromUtf8(entry.menuText));
        action->setStatusTip(CommandPrompt(id));
        const QString tip = CommandToolTip(id);
        if (!tip.isEmpty()) action->setToolTip(tip);
        action->setShortcuts(ShortcutsFor(id));
        action->setEnabled(false);
        connect(action, &QAction::triggered, this, [this, id] { execute(id); });
        actions_[id] = action;
    }
}

QAction* CommandManager::action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

CommandState CommandManager::state(int id) const {
    CommandState state;
    state.enabled = false;
    if (chain_) {
        for (CommandTarget* target : chain_()) {
            if (!target) continue;
            CommandState s;
            if (target->OnUpdateCommand(id, s)) {
                state = s;
                break;
            }
        }
    }
    if (rules_) rules_(id, state);
    return state;
}

bool CommandManager::execute(int id) {
    // The state is asked again: a stale action must not run a command the
    // rules gray now (a stitch sheet opened since the last refresh).
    if (!state(id).enabled) {
        updateStates();
        return false;
    }
    if (!chain_) return false;
    for (CommandTarget* target : chain_()) {
        if (target && target->OnCommand(id)) {
            emit executed(id);
            updateStates();
            return true;
        }
    }
    return false;
}

void CommandManager::updateStates() {
    for (auto& [id, action] : actions_) {
        const CommandState s = state(id);
        if (action->isEnabled() != s.enabled) action->setEnabled(s.enabled);
        if (action->isCheckable() != s.checkable) action->setCheckable(s.checkable);
        if (s.checkable && action->isChecked() != s.checked) action->setChecked(s.checked);
    }
}

void CommandManager::setIdleInterval(int ms) {
    if (ms <= 0) {
        if (idle_) idle_->stop();
        return;
    }
    if (!idle_) {
        idle_ = new QTimer(this);
        connect(idle_, &QTimer::timeout, this, &CommandManager::updateStates);
    }
    idle_->start(ms);
}
