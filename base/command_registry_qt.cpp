#include "base/command_registry_qt.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QToolBar>
#include <algorithm>

#include "base/workspace_qt.h"
#include "resources/command_ids.h"
#include "resources/strings.h"

namespace {

constexpr int kPromptChars = 128;

QString TopMenu(const QString& path) {
    return path.section('/', 0, 0);
}
QString SubMenu(const QString& path) {
    return path.section('/', 1);
}

// The object name of a menu: its title without the mnemonic.
QString MenuObjectName(const QString& title) {
    return QString::fromStdString(PlainText(title.toStdString()));
}

}  // namespace

QString CommandPrompt(int id) {
    if (!IsPromptCommand(id)) return {};
    QString text = QString::fromUtf8(TextBeforeLineBreak(LoadStringById(id)));
    return text.left(kPromptChars);
}

QString CommandToolTip(int id) {
    return QString::fromUtf8(TextAfterLineBreak(LoadStringById(id)));
}

QString MenuTitleText(const QString& title) {
    const QByteArray english = title.toUtf8();
    return QCoreApplication::translate(kMenusContext, english.constData());
}

QStringList MenuBarOrder() {
    return {"&File", "&Edit", "&Bitmap", "&View", "&Window", "&Help"};
}

// ---- registry ----

bool CommandRegistry::add(CommandDecl decl) {
    const int id = decl.id;
    if (decls_.count(id)) {
        duplicates_.push_back(id);
        return false;
    }
    decls_.emplace(id, std::move(decl));
    return true;
}

const CommandDecl* CommandRegistry::find(int id) const {
    auto it = decls_.find(id);
    return it == decls_.end() ? nullptr : &it->second;
}

const CommandPlace* CommandRegistry::place(int id, CommandSurface surface) const {
    const CommandDecl* decl = find(id);
    if (!decl) return nullptr;
    for (const CommandPlace& p : decl->places)
        if (p.surface == surface) return &p;
    return nullptr;
}

QStringList CommandRegistry::menus(CommandSurface surface) const {
    QStringList found;
    for (const auto& [id, decl] : decls_)
        for (const CommandPlace& p : decl.places)
            if (p.surface == surface && !p.menu.isEmpty() && !found.contains(TopMenu(p.menu))) found << TopMenu(p.menu);
    QStringList ordered;
    for (const QString& title : MenuBarOrder())
        if (found.contains(title)) ordered << title;
    for (const QString& title : found)
        if (!ordered.contains(title)) ordered << title;
    return ordered;
}

std::vector<CommandRegistry::Item> CommandRegistry::layout(CommandSurface surface, const QString& menu) const {
    struct Entry {
        int group, order, id;
        QString sub;
    };
    std::vector<Entry> entries;
    for (const auto& [id, decl] : decls_)
        for (const CommandPlace& p : decl.places)
            if (p.surface == surface && TopMenu(p.menu) == menu)
                entries.push_back({p.group, p.order, id, SubMenu(p.menu)});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.group != b.group) return a.group < b.group;
        if (a.order != b.order) return a.order < b.order;
        return a.id < b.id;
    });
    std::vector<Item> items;
    for (size_t i = 0; i < entries.size(); ++i) {
        // Separators only between groups of the menu itself: a sub-menu's
        // items keep the group of their place in the parent.
        if (i > 0 && entries[i].group != entries[i - 1].group) items.push_back({0, {}});
        items.push_back({entries[i].id, entries[i].sub});
    }
    return items;
}

// ---- one window's actions ----

CommandSet::CommandSet(const CommandRegistry& registry, Workspace& workspace, QObject* parent)
    : QObject(parent), registry_(registry), workspace_(workspace) {
    for (const auto& [id, decl] : registry_.all()) {
        auto* action = new QAction(this);
        const CommandEntry* entry = FindCommand(id);
        action->setObjectName(QString::fromUtf8(entry ? entry->name : ""));
        action->setData(id);
        if (const char* text = CommandMenuText(id)) action->setText(QString::fromUtf8(text));
        action->setStatusTip(CommandPrompt(id));
        const QString tip = CommandToolTip(id);
        if (!tip.isEmpty()) action->setToolTip(tip);
        action->setShortcuts(decl.shortcuts);
        action->setEnabled(false);
        const int command = id;
        connect(action, &QAction::triggered, this, [this, command] { execute(command); });
        actions_[id] = action;
    }
}

QAction* CommandSet::action(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

CommandState CommandSet::state(int id) const {
    CommandState state;
    const CommandDecl* decl = registry_.find(id);
    if (!decl) {
        state.enabled = false;
        return state;
    }
    auto* view = dynamic_cast<CommandTarget*>(workspace_.activeView());
    CommandState fromView;
    if (view && view->OnUpdateCommand(id, fromView)) {
        state = fromView;
    } else {
        state.enabled = !decl->enabled || decl->enabled(workspace_);
        if (decl->checked) {
            state.checkable = true;
            state.checked = decl->checked(workspace_);
        }
    }
    const bool idle = !workspace_.sheetOpen();
    if ((decl->needs & kNeedsIdle) && !idle) state.enabled = false;
    if ((decl->needs & kNeedsPrinter) && (!idle || !workspace_.printerAvailable())) state.enabled = false;
    if ((decl->needs & kNeedsScanner) && !workspace_.scannerAvailable()) state.enabled = false;
    if ((decl->needs & kNeedsIdleDocument) && workspace_.activeDocumentBusy()) state.enabled = false;
    for (const Rule& rule : rules_)
        rule(id, state);
    return state;
}

bool CommandSet::run(int id) {
    const CommandDecl* decl = registry_.find(id);
    if (!decl) return false;
    auto* view = dynamic_cast<CommandTarget*>(workspace_.activeView());
    bool done = view && view->OnCommand(id);
    if (!done && decl->run) done = decl->run(workspace_);
    if (done) emit executed(id);
    return done;
}

bool CommandSet::execute(int id) {
    // The state is asked again: a stale action must not run a command that
    // is grayed now (a stitch sheet opened since the last refresh).
    if (!state(id).enabled) {
        refresh();
        return false;
    }
    const bool done = run(id);
    if (done) refresh();
    return done;
}

void CommandSet::refresh() {
    for (auto& [id, action] : actions_) {
        const CommandState s = state(id);
        if (action->isEnabled() != s.enabled) action->setEnabled(s.enabled);
        if (action->isCheckable() != s.checkable) action->setCheckable(s.checkable);
        if (s.checkable && action->isChecked() != s.checked) action->setChecked(s.checked);
    }
}

std::map<int, QAction*> CommandSet::fillMenu(QMenu* menu, CommandSurface surface, const QString& title) {
    std::map<int, QAction*> separators;
    std::map<QString, QMenu*> subMenus;
    QAction* pending = nullptr;
    for (const CommandRegistry::Item& item : registry_.layout(surface, title)) {
        if (item.id == 0) {
            pending = menu->addSeparator();
            continue;
        }
        const CommandPlace* p = registry_.place(item.id, surface);
        if (pending && p) separators[p->group] = pending;
        pending = nullptr;
        QAction* action = this->action(item.id);
        if (!action) continue;
        if (p && !p->shortcut.isEmpty()) action->setShortcut(p->shortcut);
        if (item.subMenu.isEmpty()) {
            menu->addAction(action);
            continue;
        }
        QMenu*& sub = subMenus[item.subMenu];
        if (!sub) {
            sub = menu->addMenu(MenuTitleText(item.subMenu));
            sub->setObjectName(MenuObjectName(item.subMenu));
        }
        sub->addAction(action);
    }
    return separators;
}

void CommandSet::fillToolBar(QToolBar* bar, CommandSurface surface) {
    for (const CommandRegistry::Item& item : registry_.layout(surface)) {
        if (item.id == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = this->action(item.id);
        if (!action) continue;
        const CommandPlace* p = registry_.place(item.id, surface);
        if (p && !p->shortcut.isEmpty()) action->setShortcut(p->shortcut);
        action->setIcon(registry_.find(item.id)->icon);
        bar->addAction(action);
    }
}
