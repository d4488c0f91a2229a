// The command registry: every menu and tool-bar command of the program,
// declared once by the feature that carries it out (the document's Bitmap
// operations, the view's zoom, stitch, acquire, print, information, help,
// the windows). A declaration holds the command's id, shortcut, icon,
// handler, the predicate for when it is enabled and the places it shows
// (main menus, icon bar, in-place menu and tool bar, the embedded
// document's File menu); its menu text, prompt and tool tip come from the
// command and string tables by id. The menus and tool bars are built from
// it (CommandSet below), never written out by hand.
#pragma once
#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <vector>

#include "resources/command_target.h"

class QMenu;
class QToolBar;
class Workspace;

// Where a command shows.
enum class CommandSurface { MainMenu, IconBar, InPlaceMenu, InPlaceToolBar, EmbeddedFileMenu };

// One place of a command. Menu items are sorted by group, then order; a
// separator stands between two groups. A menu path "&View/&Enlarge" puts
// the item into a sub-menu, which sits in its parent where its first item
// would.
struct CommandPlace {
    CommandPlace(CommandSurface surface, QString menu, int group, int order, QKeySequence shortcut = {})
        : surface(surface), menu(std::move(menu)), group(group), order(order), shortcut(std::move(shortcut)) {}
    CommandSurface surface;
    QString menu;  // empty on tool bars
    int group;
    int order;
    QKeySequence shortcut;  // on this surface instead of the command's own (empty: the own)
};

// The conditions of the workspace a command needs besides its predicate.
enum CommandNeed : unsigned {
    kNeedsIdle = 1,     // grayed while a stitch sheet is open
    kNeedsPrinter = 2,  // grayed without a printer (and while a sheet is open)
    kNeedsScanner = 4,  // grayed without the scanner library
    kNeedsIdleDocument = 8,  // grayed while a job works on the active document
};

// A command's declaration, written as CommandDecl(id).runs(...).placed(...).
struct CommandDecl {
    explicit CommandDecl(int id) : id(id) {}

    int id;
    QList<QKeySequence> shortcuts;
    QIcon icon;
    // Carries the command out in the workspace; false when it did nothing.
    std::function<bool(Workspace&)> run;
    // Whether the command can run now; empty: always.
    std::function<bool(const Workspace&)> enabled;
    // The check mark of a command that has one; empty: not checkable.
    std::function<bool(const Workspace&)> checked;
    unsigned needs = 0;
    std::vector<CommandPlace> places;
    // The command shows a dialog or sheet and waits for the user.
    bool asksUser = false;

    CommandDecl& keys(QList<QKeySequence> k) {
        shortcuts = std::move(k);
        return *this;
    }
    CommandDecl& withIcon(QIcon i) {
        icon = std::move(i);
        return *this;
    }
    CommandDecl& runs(std::function<bool(Workspace&)> f) {
        run = std::move(f);
        return *this;
    }
    CommandDecl& enabledWhen(std::function<bool(const Workspace&)> f) {
        enabled = std::move(f);
        return *this;
    }
    CommandDecl& checkedWhen(std::function<bool(const Workspace&)> f) {
        checked = std::move(f);
        return *this;
    }
    CommandDecl& needing(unsigned n) {
        needs = n;
        return *this;
    }
    CommandDecl& opensDialog() {
        asksUser = true;
        return *this;
    }
    CommandDecl& placed(std::vector<CommandPlace> p) {
        places = std::move(p);
        return *this;
    }
};

class CommandRegistry {
public:
    // Adds a declaration. A second declaration of an id is refused (false)
    // and remembered as a fault for the tests to find.
    bool add(CommandDecl decl);
    const CommandDecl* find(int id) const;
    const std::map<int, CommandDecl>& all() const { return decls_; }
    // Ids declared more than once.
    const std::vector<int>& duplicates() const { return duplicates_; }

    // The commands placed on surface (for a menu surface, in menu), in
    // display order; 0 stands for a separator between groups.
    struct Item {
        int id = 0;       // 0: separator
        QString subMenu;  // the sub-menu the item belongs to ("" none)
    };
    std::vector<Item> layout(CommandSurface surface, const QString& menu = {}) const;
    // The top-level menus of surface in the order of the menu bar.
    QStringList menus(CommandSurface surface) const;
    // The place of id on surface, or null.
    const CommandPlace* place(int id, CommandSurface surface) const;

private:
    std::map<int, CommandDecl> decls_;
    std::vector<int> duplicates_;
};

// The menu bar's order of the top-level menus.
QStringList MenuBarOrder();
// The title of a menu as the user reads it: the registry names menus in
// English ("&File", "&Enlarge"); this is the title translated (context
// kMenusContext).
inline constexpr const char* kMenusContext = "Menus";
QString MenuTitleText(const QString& title);

// The actions of one window (the main window, an in-place frame) over the
// registry, carried out in the window's workspace. The active view of the
// workspace has the first word on every command: a view that is a command
// target may take a command over or decide its state; then the command's
// own handler and predicate, then the needs. Enabled states are brought up
// to date by refresh(), which the window calls on the signals that change
// them (active document, picture, sheet, printers, scanners).
class CommandSet : public QObject {
    Q_OBJECT
public:
    CommandSet(const CommandRegistry& registry, Workspace& workspace, QObject* parent = nullptr);

    const CommandRegistry& registry() const { return registry_; }
    // The action of id (null for an id the registry does not have).
    QAction* action(int id) const;
    const std::map<int, QAction*>& actions() const { return actions_; }

    CommandState state(int id) const;
    // Carries id out when it is enabled; false when it is not or nothing
    // handled it.
    bool execute(int id);
    // Carries id out whatever its state (the application's own calls).
    bool run(int id);

    // An extra rule after the needs (the embedded documents gray Save).
    using Rule = std::function<void(int id, CommandState& state)>;
    void addRule(Rule rule) { rules_.push_back(std::move(rule)); }

    // Fills menu with the items of surface's menu title (sub-menus made as
    // they come); returns the separators before each group, by group.
    std::map<int, QAction*> fillMenu(QMenu* menu, CommandSurface surface, const QString& title);
    // Fills a tool bar with the items of surface, with their icons.
    void fillToolBar(QToolBar* bar, CommandSurface surface);

public slots:
    // Brings every action's enabled and checked state up to date.
    void refresh();

signals:
    void executed(int id);

private:
    const CommandRegistry& registry_;
    Workspace& workspace_;
    std::map<int, QAction*> actions_;
    std::vector<Rule> rules_;
};

// The prompt a command shows in the status bar: the text of its string
// before the line break (at most 128 characters), for the application's
// commands, the recent files and Exit; "" for every other id.
QString CommandPrompt(int id);
// The tool tip of a command: the text of its string after the line break.
QString CommandToolTip(int id);
