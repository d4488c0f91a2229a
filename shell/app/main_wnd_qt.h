// PMainWnd: the application's main window. A QMainWindow around a QMdiArea
// of document windows, with the menus, the icon bar and the status bar. It
// handles the frame commands (icon bar, status bar, window arrangement),
// opens the files dropped on it and the pictures scanners deliver to it.
#pragma once
#include <QMainWindow>
#include <vector>

#include "resources/command_target.h"

class CIconBarToggle;
class CMainStatusBar;
class CommandManager;
class Document;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

class PMainWnd : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit PMainWnd(CommandManager* commands, QWidget* parent = nullptr);
    ~PMainWnd() override;

    CMainStatusBar* statusBar() const { return statusBar_; }
    QMdiArea* mdiArea() const { return mdi_; }
    QToolBar* iconBar() const { return iconBar_; }
    CIconBarToggle* iconBarToggle() const { return toggle_; }
    QMenu* fileMenu() const { return fileMenu_; }
    QMenu* windowMenu() const { return windowMenu_; }

    // The active document window, its view (the widget in it that takes
    // commands; none for a window without one) and its document.
    QMdiSubWindow* activeDocumentWindow() const;
    QWidget* activeView() const;
    Document* activeDocument() const;
    QList<QMdiSubWindow*> documentWindows() const;

    // Puts a new document window into the document area and shows it.
    void addDocumentWindow(QMdiSubWindow* window);

    // The command targets in routing order: active view, its document, the
    // child frame, the main frame (the application comes after).
    std::vector<CommandTarget*> commandChain();

    // Shows or hides the icon bar; the choice is kept in the settings.
    void setIconBarShown(bool shown);
    bool iconBarShown() const;
    void setStatusBarShown(bool shown);
    bool statusBarShown() const;

    // The recent-file entries of the File menu, from the application's list.
    void updateRecentFileMenu(const QStringList& files);

    // The prompt rules of the menus: what the prompt pane shows for a
    // hovered menu item (command ids of the prompt ranges show their
    // prompt, pop-up items and every other id nothing).
    static QString PromptForMenuItem(const QAction* action);

    // CommandTarget
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void buildMenus();
    QMenu* addMenu(const QString& title, const std::vector<int>& ids);
    void connectPrompts(QMenu* menu);
    void onWindowActivated(QMdiSubWindow* window);
    // Idempotent: a title that already shows the wanted one is left alone.
    void updateTitle();
    QString wantedTitle() const;
    bool titleShows(const QString& wanted) const;
    void arrangeIcons();
    void fillWindowList();

    CommandManager* commands_;
    QMdiArea* mdi_;
    QToolBar* iconBar_;
    CMainStatusBar* statusBar_;
    CIconBarToggle* toggle_;
    QMenu* fileMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    QList<QAction*> windowListActions_;
    QMdiSubWindow* titled_ = nullptr;
    bool settingTitle_ = false;
};
